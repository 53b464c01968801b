#include "collect/SystemdNotify.h"

#include <QCoreApplication>

#include <algorithm>
#include <climits>
#include <cstddef>

#ifdef __linux__
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace lumvaris::collect {

SystemdNotify SystemdNotify::FromEnvironment() {
    return SystemdNotify(qgetenv("NOTIFY_SOCKET"));
}

SystemdNotify::SystemdNotify(const QByteArray& socketName) {
#ifdef __linux__
    sockaddr_un probe{};
    // Only a path or an abstract name; not longer than the address can hold.
    if (socketName.size() < 2 || (socketName[0] != '/' && socketName[0] != '@') ||
        static_cast<std::size_t>(socketName.size()) >
            sizeof probe.sun_path - (socketName[0] == '/' ? 1 : 0) ||
        socketName.contains('\0')) {
        return;
    }
    address_ = socketName.toStdString();
    if (address_[0] == '@') {
        address_[0] = '\0';
    }
    fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd_ < 0) {
        address_.clear();
    }
#else
    (void)socketName;
#endif
}

SystemdNotify::SystemdNotify(SystemdNotify&& other) noexcept
    : address_(std::move(other.address_)), fd_(std::exchange(other.fd_, -1)) {
    other.address_.clear();
}

SystemdNotify::~SystemdNotify() {
#ifdef __linux__
    if (fd_ >= 0) {
        close(fd_);
    }
#endif
}

bool SystemdNotify::Send(const QByteArray& state) {
#ifdef __linux__
    if (!Enabled()) {
        return false;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::copy(address_.begin(), address_.end(), address.sun_path);
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + address_.size() +
                                               (address_[0] == '\0' ? 0 : 1));
    return sendto(fd_, state.constData(), static_cast<std::size_t>(state.size()), MSG_NOSIGNAL | MSG_DONTWAIT,
                  reinterpret_cast<const sockaddr*>(&address), length) == state.size();
#else
    (void)state;
    return false;
#endif
}

bool SystemdNotify::Status(const QString& text) {
    QByteArray line = text.toUtf8();
    line.replace('\n', ' ').replace('\r', ' ');
    return Send("STATUS=" + line);
}

std::chrono::milliseconds WatchdogInterval(const QByteArray& usec, const QByteArray& pid, qint64 ownPid) {
    bool ok = false;
    const qulonglong micros = usec.toULongLong(&ok);
    if (!ok || micros == 0) {
        return std::chrono::milliseconds(0);
    }
    if (!pid.isEmpty() && pid.toLongLong() != ownPid) {
        return std::chrono::milliseconds(0);  // meant for another process of the service
    }
    // A timer's int of milliseconds; at least 1 ms.
    const qulonglong half = std::clamp<qulonglong>(micros / 2000, 1, INT_MAX);
    return std::chrono::milliseconds(half);
}

std::chrono::milliseconds WatchdogIntervalFromEnvironment() {
    return WatchdogInterval(qgetenv("WATCHDOG_USEC"), qgetenv("WATCHDOG_PID"),
                            QCoreApplication::applicationPid());
}

Watchdog::Watchdog(SystemdNotify& notify, session::ITimerFactory& timers, std::chrono::milliseconds interval)
    : notify_(notify) {
    if (interval.count() <= 0 || !notify_.Enabled()) {
        return;
    }
    timer_ =
        timers.Create("TimerWatchdog", static_cast<int>(interval.count()), [this] { notify_.Watchdog(); });
    timer_->Start();
}

}  // namespace lumvaris::collect
