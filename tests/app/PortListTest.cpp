#include <gtest/gtest.h>

#include "app/PortList.h"

namespace lumvaris::app {
namespace {

using Names = std::vector<std::string>;

TEST(PortListTest, ComPortsComeFirstInAscendingNumber) {
    const struct {
        Names found;
        Names listed;
    } cases[] = {
        {{}, {}},
        {{"ttyS0", "ttyUSB0"}, {"ttyS0", "ttyUSB0"}},
        {{"COM3", "COM1", "COM2"}, {"COM1", "COM2", "COM3"}},
        // Moved by exchange, so the other names may change places among themselves.
        {{"ttyS0", "COM10", "COM2", "ttyUSB0", "COM1"}, {"COM1", "COM2", "COM10", "ttyUSB0", "ttyS0"}},
        {{"A", "COM2", "B", "COM1"}, {"COM1", "COM2", "B", "A"}},
        // Only COM1..COM256, written without leading zeros, take part.
        {{"COM257", "COM0", "COM01", "com1", "COM256"}, {"COM256", "COM0", "COM01", "com1", "COM257"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OrderPortList(c.found), c.listed);
    }
}

}  // namespace
}  // namespace lumvaris::app
