#include <gtest/gtest.h>

#include "link/AdapterWatch.h"

namespace lumvaris::link {
namespace {

using Ports = std::vector<PortInfo>;
using State = AdapterWatch::State;

PortInfo Usb(std::string name, std::string serial, std::uint16_t vendor = 0x0403,
             std::uint16_t product = 0x6001, std::string location = {}) {
    PortInfo port;
    port.name = std::move(name);
    port.serialNumber = std::move(serial);
    port.vendorId = vendor;
    port.productId = product;
    port.systemLocation = location.empty() ? "/dev/" + port.name : std::move(location);
    return port;
}

PortInfo Link(std::string name, std::string location) {
    PortInfo port;
    port.name = std::move(name);
    port.systemLocation = std::move(location);
    return port;
}

const std::string kById = "/dev/serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0";

TEST(AdapterWatchTest, TheSameAdapterIsFoundByItsSerialNumberOrByItsIdsAndName) {
    const struct {
        const char* what;
        std::string opened;  // as the engineer opened it
        Ports atOpen;
        Ports back;
        std::optional<std::string> reopened;
    } cases[] = {
        {"same adapter, same name", "ttyUSB0", {Usb("ttyUSB0", "A5")}, {Usb("ttyUSB0", "A5")}, "ttyUSB0"},
        {"same serial number under another name",
         "ttyUSB0",
         {Usb("ttyUSB0", "A5")},
         {Usb("ttyUSB2", "B7"), Usb("ttyUSB1", "A5")},
         "ttyUSB1"},
        {"another adapter of the same kind in its place",
         "ttyUSB0",
         {Usb("ttyUSB0", "A5")},
         {Usb("ttyUSB0", "B7")},
         std::nullopt},
        {"the same serial number from another maker",
         "ttyUSB0",
         {Usb("ttyUSB0", "0001")},
         {Usb("ttyUSB0", "0001", 0x1a86, 0x7523)},
         std::nullopt},
        {"no serial number: same ids and name",
         "ttyUSB0",
         {Usb("ttyUSB0", "", 0x1a86)},
         {Usb("ttyUSB0", "", 0x1a86)},
         "ttyUSB0"},
        {"no serial number: same ids, another name",
         "ttyUSB0",
         {Usb("ttyUSB0", "", 0x1a86)},
         {Usb("ttyUSB1", "", 0x1a86)},
         std::nullopt},
        {"no serial number: other ids, same name",
         "ttyUSB0",
         {Usb("ttyUSB0", "", 0x1a86)},
         {Usb("ttyUSB0", "")},
         std::nullopt},
        {"opened by its device path",
         "/dev/ttyUSB0",
         {Usb("ttyUSB0", "A5")},
         {Usb("ttyUSB0", "A5")},
         "/dev/ttyUSB0"},
        {"opened by its stable name, which stays while the device changes",
         kById,
         {Usb("ttyUSB0", "A5"), Usb(kById, "A5", 0x0403, 0x6001, "/dev/ttyUSB0")},
         {Usb("ttyUSB1", "A5"), Usb(kById, "A5", 0x0403, 0x6001, "/dev/ttyUSB1")},
         kById},
        {"a simulator started again on another pseudo-terminal",
         "/tmp/lumvaris-sim",
         {Link("/tmp/lumvaris-sim", "/dev/pts/3")},
         {Link("/tmp/lumvaris-sim", "/dev/pts/5")},
         "/tmp/lumvaris-sim"},
        {"not back yet", "ttyUSB0", {Usb("ttyUSB0", "A5")}, {}, std::nullopt},
    };
    for (const auto& c : cases) {
        AdapterWatch watch;
        watch.Opened(c.opened, c.atOpen);
        ASSERT_TRUE(watch.Start()) << c.what;
        EXPECT_EQ(watch.Look(c.back, 1000), c.reopened) << c.what;
        EXPECT_EQ(watch.CurrentState(), State::Waiting) << c.what << ": waiting until an open succeeds";
    }
}

TEST(AdapterWatchTest, APortTheListDidNotShowIsNotWaitedFor) {
    AdapterWatch watch;
    // A pseudo-terminal typed by hand: its number is soon another program's.
    watch.Opened("/dev/pts/7", {Usb("ttyUSB0", "A5")});
    EXPECT_FALSE(watch.Start());
    EXPECT_EQ(watch.CurrentState(), State::Idle);
    EXPECT_EQ(watch.Look({Link("/dev/pts/7", "/dev/pts/7")}, 1000), std::nullopt);
}

TEST(AdapterWatchTest, WaitsSixtySecondsThenGivesUpAndEndsWhenReopenedOrCancelled) {
    const Ports adapter{Usb("ttyUSB0", "A5")};
    AdapterWatch watch;
    watch.Opened("ttyUSB0", adapter);
    ASSERT_TRUE(watch.Start());
    EXPECT_EQ(watch.SecondsLeft(), 60);
    for (int second = 1; second < 60; ++second) {
        ASSERT_EQ(watch.Look({}, 1000), std::nullopt);
    }
    EXPECT_EQ(watch.SecondsLeft(), 1);
    EXPECT_EQ(watch.Look(adapter, 1000), "ttyUSB0") << "the 60th second still counts";
    EXPECT_EQ(watch.Look(adapter, 1000), std::nullopt) << "an open that failed at the last second";
    EXPECT_EQ(watch.CurrentState(), State::NotFound);
    EXPECT_EQ(watch.SecondsLeft(), 0);

    // Each loss waits afresh; an open ends the wait as reconnected, the engineer's choice as idle.
    ASSERT_TRUE(watch.Start());
    EXPECT_EQ(watch.SecondsLeft(), 60);
    watch.Opened("ttyUSB0", adapter);
    EXPECT_EQ(watch.CurrentState(), State::Reconnected);
    ASSERT_TRUE(watch.Start());
    watch.Cancel();
    EXPECT_EQ(watch.CurrentState(), State::Idle);
    EXPECT_EQ(watch.Look(adapter, 1000), std::nullopt);
    watch.Opened("ttyUSB0", adapter);
    EXPECT_EQ(watch.CurrentState(), State::Idle) << "an open while nothing was awaited";
}

}  // namespace
}  // namespace lumvaris::link
