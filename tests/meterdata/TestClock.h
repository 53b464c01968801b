#pragma once

#include "meterdata/IClock.h"

#include <QDateTime>

namespace lumvaris::meterdata::test {

// A clock the test sets and advances.
class TestClock final : public IClock {
  public:
    explicit TestClock(QDateTime now = QDateTime(QDate(2024, 3, 15), QTime(12, 0))) : now_(std::move(now)) {}
    QDateTime Now() const override { return now_; }
    void Set(const QDateTime& now) { now_ = now; }
    void AdvanceSeconds(qint64 seconds) { now_ = now_.addSecs(seconds); }

  private:
    QDateTime now_;
};

}  // namespace lumvaris::meterdata::test
