#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QTemporaryDir>
#include <fstream>

#include "link/PortDiscovery.h"

namespace lumvaris::link {
namespace {

// A pseudo-terminal as the simulator holds one: the master open, the slave's node in /dev/pts.
struct Pty {
    Pty() {
        char name[256] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) == 0) {
            path = name;
        }
    }
    ~Pty() {
        close(master);
        close(slave);
    }
    int master = -1;
    int slave = -1;
    std::string path;
};

std::vector<std::string> Names(const std::vector<PortInfo>& ports) {
    std::vector<std::string> names;
    for (const PortInfo& port : ports) {
        names.push_back(port.name);
    }
    return names;
}

// Sets a link's own modification time, an hour back.
void AgeLink(const std::string& link) {
    struct stat st {};
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    const timespec times[2] = {st.st_atim, {st.st_mtim.tv_sec - 3600, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, link.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

TEST(PortDiscoveryTest, OnlyTheLinksOfARunningSimulatorAreListed) {
    Pty pty;
    Pty reused;
    ASSERT_FALSE(pty.path.empty());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string base = dir.path().toStdString() + "/";
    auto link = [&](const std::string& name, const std::string& target) {
        ASSERT_EQ(symlink(target.c_str(), (base + name).c_str()), 0) << name;
    };
    link("lumvaris-sim", pty.path);
    link("lumvaris-sim-2", pty.path);
    link("other-sim", pty.path);                  // not a simulator's name
    link("lumvaris-sim-gone", base + "missing");  // the simulator ended without removing it
    link("lumvaris-sim-null", "/dev/null");       // a device, but no pseudo-terminal
    link("lumvaris-sim-stale", reused.path);      // its terminal is younger than the link
    AgeLink(base + "lumvaris-sim-stale");
    std::ofstream(base + "lumvaris-sim.log") << "log\n";  // what scripts/run writes beside it
    link("lumvaris-sim-log", base + "lumvaris-sim.log");
    if (geteuid() == 0) {  // another user's link to a terminal of ours
        link("lumvaris-sim-foreign", pty.path);
        ASSERT_EQ(lchown((base + "lumvaris-sim-foreign").c_str(), 65534, 65534), 0);
    }
    mkdir((base + "lumvaris-sim-dir").c_str(), 0700);

    // Traffic through the terminal does not make it look younger than its link.
    ASSERT_EQ(write(pty.master, "x", 1), 1);
    ASSERT_EQ(write(pty.slave, "y", 1), 1);

    const std::vector<PortInfo> ports = SimulatorLinks(dir.path().toStdString());
    EXPECT_EQ(Names(ports), (std::vector<std::string>{base + "lumvaris-sim", base + "lumvaris-sim-2"}));
    ASSERT_FALSE(ports.empty());
    EXPECT_EQ(ports[0].description, kSimulatorDescription);
    EXPECT_EQ(ports[0].systemLocation, pty.path);
    EXPECT_FALSE(ports[0].vendorId.has_value());

    EXPECT_TRUE(SimulatorLinks(base + "missing").empty());
}

TEST(PortDiscoveryTest, StableNamesAreDescribedAsThePortTheyLeadTo) {
    Pty pty;
    ASSERT_FALSE(pty.path.empty());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string base = dir.path().toStdString() + "/";
    // As udev makes them: relative links to the device.
    std::string relative;
    for (int up = 0; up < dir.path().count(QLatin1Char('/')); ++up) {
        relative += "../";
    }
    relative += pty.path.substr(1);
    ASSERT_EQ(symlink(relative.c_str(), (base + "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0").c_str()), 0);
    ASSERT_EQ(symlink("/dev/null", (base + "usb-Other-if00").c_str()), 0);
    ASSERT_EQ(symlink((base + "missing").c_str(), (base + "usb-Gone-if00").c_str()), 0);
    std::ofstream(base + "not-a-link") << "x";
    ASSERT_EQ(symlink((base + "not-a-link").c_str(), (base + "usb-File").c_str()), 0);

    PortInfo system;
    system.name = pty.path.substr(5);
    system.description = "FT232R USB UART";
    system.manufacturer = "FTDI";
    system.serialNumber = "A50285BI";
    system.vendorId = 0x0403;
    system.productId = 0x6001;
    system.systemLocation = pty.path;

    const std::vector<PortInfo> ports = StableNames(dir.path().toStdString(), {system});
    ASSERT_EQ(Names(ports), (std::vector<std::string>{base + "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
                                                      base + "usb-Other-if00"}));
    PortInfo expected = system;
    expected.name = ports[0].name;
    EXPECT_TRUE(ports[0] == expected) << ports[0].description << ", " << ports[0].serialNumber;
    EXPECT_EQ(ports[1].systemLocation, "/dev/null");
    EXPECT_TRUE(ports[1].description.empty()) << "a device the system list does not hold";
}

}  // namespace
}  // namespace lumvaris::link
