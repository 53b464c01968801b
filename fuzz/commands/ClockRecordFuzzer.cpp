// Any 7 bytes as a clock record: decoding never fails, and whatever forms a date and time comes
// back byte for byte when encoded again (the weekday from the date, the year modulo 100: a year
// byte above 99 reads as 2100 and later, and the sender writes only two digits).
#include <cstdint>
#include <cstdlib>

#include "commands/Records.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using lumvaris::commands::ClockRecord;
    if (size < ClockRecord::kSize) {
        return 0;
    }
    const ClockRecord record = ClockRecord::Decode(data);
    const std::optional<QDateTime> dateTime = record.DateTime();
    if (!dateTime) {
        return 0;
    }
    std::uint8_t again[ClockRecord::kSize];
    ClockRecord::FromDateTime(*dateTime).Encode(again);
    for (int i = 0; i < ClockRecord::kSize; ++i) {
        const int expected = i == 6 ? data[i] % 100 : data[i];
        if (i != 3 && again[i] != expected) {
            std::abort();
        }
    }
    if (again[3] > 6) {
        std::abort();
    }
    return 0;
}
