#include "meterdata/DatabaseSettings.h"

#include <algorithm>

namespace lumvaris::meterdata {

int DatabaseSettings::ClampMeters(int value) {
    return std::clamp(value, kMetersMin, kMetersMax);
}
int DatabaseSettings::ClampDepth(int value) {
    return std::clamp(value, kDepthMin, kDepthMax);
}

void DatabaseSettings::SetMeters(int value) {
    meters_ = ClampMeters(value);
}
void DatabaseSettings::SetPacketDepth(int value) {
    packetDepth_ = ClampDepth(value);
}
void DatabaseSettings::SetDayDepth(int value) {
    dayDepth_ = ClampDepth(value);
}

}  // namespace lumvaris::meterdata
