#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <memory>
#include <string>

#include "session/ITimer.h"

namespace lumvaris::collect {

// systemd's notify protocol without libsystemd: datagrams to the socket NOTIFY_SOCKET names (a
// path, or "@name" in the abstract namespace). Without the variable every call does nothing, so
// the collector runs the same outside a service.
class SystemdNotify {
  public:
    // From NOTIFY_SOCKET.
    static SystemdNotify FromEnvironment();
    explicit SystemdNotify(const QByteArray& socketName);
    ~SystemdNotify();
    SystemdNotify(SystemdNotify&& other) noexcept;
    SystemdNotify& operator=(SystemdNotify&&) = delete;

    bool Enabled() const { return !address_.empty(); }
    // One datagram of "KEY=VALUE" lines; never blocks. False when it could not be sent (or there
    // is no socket).
    bool Send(const QByteArray& state);
    bool Ready() { return Send("READY=1"); }
    bool Stopping() { return Send("STOPPING=1"); }
    bool Watchdog() { return Send("WATCHDOG=1"); }
    // A line break in the text would start another assignment.
    bool Status(const QString& text);

  private:
    std::string address_;  // sockaddr_un's sun_path bytes, with the leading NUL when abstract
    int fd_ = -1;
};

// How often the watchdog wants to hear from us: half of WATCHDOG_USEC, when it is set, valid, and
// WATCHDOG_PID (when set) is this process; zero otherwise.
std::chrono::milliseconds WatchdogInterval(const QByteArray& usec, const QByteArray& pid, qint64 ownPid);
std::chrono::milliseconds WatchdogIntervalFromEnvironment();

// Sends WATCHDOG=1 from a timer of the event loop it was made on, and from nowhere else: when
// that loop hangs, the pings stop and systemd restarts the service.
class Watchdog {
  public:
    Watchdog(SystemdNotify& notify, session::ITimerFactory& timers, std::chrono::milliseconds interval);
    bool Active() const { return timer_ != nullptr && timer_->IsActive(); }

  private:
    SystemdNotify& notify_;
    std::unique_ptr<session::ITimer> timer_;
};

}  // namespace lumvaris::collect
