#pragma once

#include <QDateTime>

namespace lumvaris::meterdata {

// The workstation's local date and time. The window passes the system clock; tests drive time.
class IClock {
  public:
    virtual ~IClock() = default;
    virtual QDateTime Now() const = 0;
};

}  // namespace lumvaris::meterdata
