#pragma once

#include "meterdata/MeterRecord.h"

#include <QTimeZone>

#include <unordered_map>
#include <utility>

namespace lumvaris::sinks {

// The instants (ms since 1970 UTC) a record's local time may stand for in a zone: one, or two in
// the hour repeated when clocks go back (earlier first); a local time the clocks skipped reads with
// the offset before the change. The zone is asked once per quarter hour of local time, since that
// lookup costs more than the rest of a reading. One per thread.
class LocalInstants {
  public:
    explicit LocalInstants(const QTimeZone& zone) : zone_(zone) {}

    // False when the record's time forms no date.
    bool Of(const meterdata::MeterRecord& record, qint64& first, qint64& second);

  private:
    QTimeZone zone_;
    std::unordered_map<qint64, std::pair<int, int>> offsets_;  // seconds, by quarter hour
};

}  // namespace lumvaris::sinks
