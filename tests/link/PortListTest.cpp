#include <gtest/gtest.h>

#include "link/PortList.h"

namespace lumvaris::link {
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

TEST(PortListTest, WhatTheListSaysBesideEachName) {
    const auto port = [](std::string name, std::string description, std::string manufacturer,
                         std::string location) {
        PortInfo info;
        info.name = std::move(name);
        info.description = std::move(description);
        info.manufacturer = std::move(manufacturer);
        info.systemLocation = std::move(location);
        return info;
    };
    const PortInfo ports[] = {
        port("ttyS0", "", "", "/dev/ttyS0"),
        port("ttyUSB0", "FT232R USB UART", "FTDI", "/dev/ttyUSB0"),
        port("ttyUSB1", "FTDI FT232R", "FTDI", "/dev/ttyUSB1"),
        port("ttyACM0", "", "Arduino", "/dev/ttyACM0"),
        port("/dev/serial/by-id/usb-FTDI_A5-if00-port0", "FT232R USB UART", "FTDI", "/dev/ttyUSB0"),
        port("/dev/serial/by-id/usb-Unknown-if00", "", "", "/dev/ttyUSB3"),
        port("/tmp/lumvaris-sim", "Симулятор концентратора (lumvaris-sim)", "", "/dev/pts/3"),
        port("COM3", "Communications Port", "(Standard port types)", "\\\\.\\COM3"),
    };
    const char* shown[] = {
        "",
        "FT232R USB UART, FTDI",
        "FTDI FT232R",  // the maker is not said twice
        "Arduino",
        "FT232R USB UART, FTDI → /dev/ttyUSB0",
        "→ /dev/ttyUSB3",
        "Симулятор концентратора (lumvaris-sim) → /dev/pts/3",
        "Communications Port, (Standard port types)",
    };
    for (std::size_t i = 0; i < std::size(ports); ++i) {
        EXPECT_EQ(PortDescription(ports[i]), shown[i]) << ports[i].name;
    }
}

}  // namespace
}  // namespace lumvaris::link
