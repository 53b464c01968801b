#pragma once

#include "meterdata/IClock.h"

namespace lumvaris::meterdata {

class SystemClock final : public IClock {
  public:
    QDateTime Now() const override;
    std::int64_t NowMs() const override;
};

}  // namespace lumvaris::meterdata
