#include "meterdata/SystemClock.h"

namespace lumvaris::meterdata {

QDateTime SystemClock::Now() const {
    return QDateTime::currentDateTime();
}

}  // namespace lumvaris::meterdata
