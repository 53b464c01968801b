#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <QProcess>

#include "link/QtSerialPort.h"
#include "support/EventPump.h"

namespace lumvaris::link {
namespace {

// A pseudo-terminal pair: the test plays the device on the master side.
struct Pty {
    Pty() {
        char name[256] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) == 0) {
            path = name;
            fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
            termios t{};
            tcgetattr(slave, &t);
            cfmakeraw(&t);
            tcsetattr(slave, TCSANOW, &t);
        }
    }
    ~Pty() {
        if (master >= 0) {
            close(master);
        }
        if (slave >= 0) {
            close(slave);
        }
    }
    int master = -1;
    int slave = -1;
    std::string path;
};

class QtSerialPortTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { testing::EnsureApplication("link_qt_tests"); }
};

TEST_F(QtSerialPortTest, OpensAPseudoTerminalByPathAndMovesBytesBothWays) {
    Pty pty;
    ASSERT_FALSE(pty.path.empty());
    QtSerialPort port;
    int notifications = 0;
    port.SetReceiveNotification([&] { ++notifications; });
    port.SetName(pty.path);
    port.SetLineSettings({.baudRate = 9600});
    port.Open();
    ASSERT_TRUE(port.IsOpen());
    // A pseudo-terminal has no modem-control lines: that is "not supported", not a failure.
    try {
        port.RaiseRts();
        port.RaiseDtr();
    } catch (const SerialPortNotSupported&) {
    }

    const std::uint8_t request[] = {0x63, 0xE0, 0xA7, 0xFF, 0xFF, 0xFF, 0x2F, 0x01, 0x81, 0x80};
    EXPECT_EQ(port.Write(request, sizeof request), sizeof request);
    std::uint8_t got[32] = {};
    std::size_t have = 0;
    ASSERT_TRUE(testing::RunUntil([&] {
        const ssize_t n = read(pty.master, got + have, sizeof got - have);
        if (n > 0) {
            have += static_cast<std::size_t>(n);
        }
        return have >= sizeof request;
    }));
    EXPECT_EQ(0, std::memcmp(got, request, sizeof request));

    const std::uint8_t reply[] = {1, 2, 3, 4, 5};
    ASSERT_EQ(write(pty.master, reply, sizeof reply), static_cast<ssize_t>(sizeof reply));
    std::uint8_t in[16] = {};
    std::size_t inCount = 0;
    ASSERT_TRUE(testing::RunUntil([&] {
        inCount += port.ReadAvailable(in + inCount, sizeof in - inCount);
        return inCount >= sizeof reply;
    }));
    EXPECT_GE(notifications, 1);
    EXPECT_EQ(0, std::memcmp(in, reply, sizeof reply));
    port.Close();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_THROW(port.Write(request, 1), SerialPortError);
}

std::string OpenError(QtSerialPort& port) {
    try {
        port.Open();
    } catch (const SerialPortError& e) {
        return e.what();
    }
    return "opened";
}

TEST_F(QtSerialPortTest, AFailedOpenSaysWhyInRussian) {
    QtSerialPort port;
    port.SetName("/dev/lumvaris-no-such-port");
    EXPECT_EQ(OpenError(port), "Устройство «/dev/lumvaris-no-such-port» не найдено.");
    EXPECT_FALSE(port.IsOpen());
    port.SetName("");
    EXPECT_EQ(OpenError(port), "Не задано имя порта.");

    // A port another program holds.
    Pty pty;
    QProcess holder;
    holder.start(QStringLiteral(LUMVARIS_PORT_HOLDER), {QString::fromStdString(pty.path)});
    ASSERT_TRUE(holder.waitForReadyRead(5000));
    ASSERT_EQ(holder.readLine().trimmed(), "open");
    QtSerialPort second;
    second.SetName(pty.path);
    EXPECT_EQ(OpenError(second), "Порт «" + pty.path + "» занят другой программой.");
    EXPECT_FALSE(second.IsOpen());
    holder.closeWriteChannel();
    ASSERT_TRUE(holder.waitForFinished(5000));
    EXPECT_EQ(OpenError(second), "opened") << "free again once the other program lets go";
}

TEST(DescribeOpenFailure, NamesTheCauseTheEngineerCanAct) {
    const struct {
        OpenFailure failure;
        const char* text;
    } cases[] = {
        {{"ttyUSB0", false, true, QSerialPort::DeviceNotFoundError, "No such file"},
         "Устройство «ttyUSB0» не найдено."},
        {{"ttyUSB0", true, true, QSerialPort::DeviceNotFoundError, "x"}, "Устройство «ttyUSB0» не найдено."},
        {{"ttyS0", true, false, QSerialPort::PermissionError, "Permission denied"},
         "Нет доступа к порту «ttyS0» (отказано в доступе). Пользователь должен входить в группу "
         "dialout: sudo usermod -aG dialout <имя пользователя>, затем выйти из системы и войти снова."},
        {{"ttyS0", true, true, QSerialPort::PermissionError, "Device or resource busy"},
         "Порт «ttyS0» занят другой программой."},
        {{"ttyS0", true, true, QSerialPort::OpenError, "Device is already open"},
         "Порт «ttyS0» не открывается: Device is already open"},
        {{"", false, false, QSerialPort::UnknownError, ""}, "Не задано имя порта."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DescribeOpenFailure(c.failure), c.text) << c.failure.name << " " << c.failure.errorText;
    }
}

TEST_F(QtSerialPortTest, PeerHangUpClosesThePortAndReportsOnce) {
    auto pty = std::make_unique<Pty>();
    QtSerialPort port;
    std::vector<std::string> errors;
    port.SetErrorNotification([&](const std::string& why) { errors.push_back(why); });
    port.SetName(pty->path);
    port.Open();
    ASSERT_TRUE(port.IsOpen());
    close(pty->master);
    pty->master = -1;
    EXPECT_TRUE(testing::RunUntil([&] { return !port.IsOpen(); }));
    ASSERT_EQ(errors.size(), 1u);
    // The reason in words the engineer can act on, not the system's English.
    EXPECT_TRUE(
        QString::fromStdString(errors[0]).contains(QStringLiteral("программа на другом конце закрыла порт")))
        << errors[0];
}

}  // namespace
}  // namespace lumvaris::link
