#pragma once

#include <QDateTime>

#include <cstdint>

namespace lumvaris::meterdata {

// The workstation's local date and time. The window passes the system clock; tests drive time.
class IClock {
  public:
    virtual ~IClock() = default;
    virtual QDateTime Now() const = 0;
    // Now() as milliseconds since the epoch: the system clock gives it without the time-zone work
    // of a local date and time, for what is stamped many times a second.
    virtual std::int64_t NowMs() const { return Now().toMSecsSinceEpoch(); }
};

}  // namespace lumvaris::meterdata
