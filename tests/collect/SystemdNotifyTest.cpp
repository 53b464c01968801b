// systemd's notify protocol against a datagram socket of the test's own, at a path and in the
// abstract namespace; the watchdog's interval from its variables and its pings on driven time.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "collect/SystemdNotify.h"
#include "support/FakeTimers.h"

namespace lumvaris::collect {
namespace {

// A bound datagram socket standing in for systemd.
class Listener {
  public:
    explicit Listener(const QByteArray& name) {
        fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::string path = name.toStdString();
        if (path[0] == '@') {
            path[0] = '\0';
        }
        std::copy(path.begin(), path.end(), address.sun_path);
        const auto length =
            static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + (path[0] == '\0' ? 0 : 1));
        bound_ = bind(fd_, reinterpret_cast<const sockaddr*>(&address), length) == 0;
    }
    ~Listener() { close(fd_); }
    bool Bound() const { return bound_; }
    // Every datagram waiting, in order.
    std::vector<std::string> Datagrams() {
        std::vector<std::string> list;
        char buffer[4096];
        for (ssize_t n; (n = recv(fd_, buffer, sizeof buffer, 0)) >= 0;) {
            list.emplace_back(buffer, static_cast<std::size_t>(n));
        }
        return list;
    }

  private:
    int fd_ = -1;
    bool bound_ = false;
};

TEST(SystemdNotifyTest, StatesArriveAsDatagramsAtAPathAndInTheAbstractNamespace) {
    QTemporaryDir dir;
    const QByteArray names[] = {
        QFile::encodeName(dir.filePath(QStringLiteral("notify"))),
        "@lumvaris-notify-test-" + QByteArray::number(QCoreApplication::applicationPid())};
    for (const QByteArray& name : names) {
        Listener systemd(name);
        ASSERT_TRUE(systemd.Bound()) << name.toStdString();
        SystemdNotify notify(name);
        ASSERT_TRUE(notify.Enabled());
        EXPECT_TRUE(notify.Ready());
        EXPECT_TRUE(notify.Status(QStringLiteral("1000 концентраторов,\nиз них 3 молчат")));
        EXPECT_TRUE(notify.Watchdog());
        EXPECT_TRUE(notify.Stopping());
        EXPECT_EQ(systemd.Datagrams(),
                  (std::vector<std::string>{"READY=1", "STATUS=1000 концентраторов, из них 3 молчат",
                                            "WATCHDOG=1", "STOPPING=1"}))
            << name.toStdString();
    }
}

TEST(SystemdNotifyTest, WithoutAUsableSocketNothingIsSent) {
    for (const QByteArray& name : {QByteArray(), QByteArray("relative/path"), QByteArray("@"),
                                   "/" + QByteArray(200, 'x'), QByteArray("vsock:2:1234")}) {
        SystemdNotify notify(name);
        EXPECT_FALSE(notify.Enabled()) << name.toStdString();
        EXPECT_FALSE(notify.Ready());
    }
    // A socket that nobody reads: the send fails, it does not block or end the process.
    QTemporaryDir dir;
    SystemdNotify gone(QFile::encodeName(dir.filePath(QStringLiteral("none"))));
    EXPECT_TRUE(gone.Enabled());
    EXPECT_FALSE(gone.Ready());
}

TEST(SystemdNotifyTest, TheWatchdogPingsAtHalfItsTimeOnlyForThisProcess) {
    using std::chrono::milliseconds;
    const struct {
        const char* usec;
        const char* pid;
        milliseconds interval;
    } cases[] = {
        {"", "", milliseconds(0)},              // no watchdog
        {"20000000", "", milliseconds(10000)},  // 20 s: a ping every 10 s
        {"20000000", "4242", milliseconds(10000)},
        {"20000000", "4243", milliseconds(0)},  // another process's
        {"0", "", milliseconds(0)},
        {"soon", "", milliseconds(0)},
        {"1", "", milliseconds(1)},
        {"99999999999999999", "", milliseconds(INT_MAX)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WatchdogInterval(c.usec, c.pid, 4242), c.interval) << c.usec << ' ' << c.pid;
    }

    QTemporaryDir dir;
    const QByteArray name = QFile::encodeName(dir.filePath(QStringLiteral("notify")));
    Listener systemd(name);
    SystemdNotify notify(name);
    testing::FakeTimerFactory timers;
    Watchdog watchdog(notify, timers, milliseconds(10000));
    EXPECT_TRUE(watchdog.Active());
    timers.Advance(9999);
    EXPECT_TRUE(systemd.Datagrams().empty());
    timers.Advance(1);
    EXPECT_EQ(systemd.Datagrams(), std::vector<std::string>{"WATCHDOG=1"});
    timers.Advance(30000);
    EXPECT_EQ(systemd.Datagrams().size(), 3u);

    SystemdNotify none(QByteArray{});
    Watchdog idle(none, timers, milliseconds(10000));
    EXPECT_FALSE(idle.Active());
    Watchdog off(notify, timers, milliseconds(0));
    EXPECT_FALSE(off.Active());
}

}  // namespace
}  // namespace lumvaris::collect
