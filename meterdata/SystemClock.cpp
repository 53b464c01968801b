#include "meterdata/SystemClock.h"

namespace lumvaris::meterdata {

QDateTime SystemClock::Now() const {
    return QDateTime::currentDateTime();
}

std::int64_t SystemClock::NowMs() const {
    return QDateTime::currentMSecsSinceEpoch();
}

}  // namespace lumvaris::meterdata
