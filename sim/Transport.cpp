#include "Transport.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace lumvaris::sim {
namespace {

speed_t SpeedOf(int baud) {
    switch (baud) {
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        default:
            return B38400;
    }
}

bool MakeRaw(int fd, int baud) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) {
        return false;
    }
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CRTSCTS);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (baud > 0) {
        cfsetispeed(&t, SpeedOf(baud));
        cfsetospeed(&t, SpeedOf(baud));
    }
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

std::string Errno(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

}  // namespace

std::unique_ptr<Transport> Transport::OpenPseudoTerminal(std::string& error) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0) {
        error = Errno("posix_openpt");
        return nullptr;
    }
    const char* name = nullptr;
    if (grantpt(master) != 0 || unlockpt(master) != 0 || (name = ptsname(master)) == nullptr) {
        error = Errno("pseudo-terminal");
        close(master);
        return nullptr;
    }
    std::string path = name;
    // Open the serial side once and let it go: from then on the master reports a hang-up until a
    // client opens it, which is how a client's arrival is seen. Nothing is written before that,
    // so no stale bytes wait for the first client.
    const int slave = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0) {
        error = Errno(path.c_str());
        close(master);
        return nullptr;
    }
    MakeRaw(slave, 0);
    std::unique_ptr<Transport> transport(new Transport(master, std::move(path), true));
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch >= 0 && inotify_add_watch(watch, transport->path_.c_str(), IN_OPEN | IN_CLOSE) >= 0) {
        transport->slave_ = slave;
        transport->watch_ = watch;
    } else {
        if (watch >= 0) {
            close(watch);
        }
        close(slave);
    }
    return transport;
}

std::unique_ptr<Transport> Transport::OpenSerialPort(const std::string& name, int baud, std::string& error) {
    const int fd = open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = Errno(name.c_str());
        return nullptr;
    }
    if (!MakeRaw(fd, baud)) {
        error = Errno(name.c_str());
        close(fd);
        return nullptr;
    }
    tcflush(fd, TCIOFLUSH);
    return std::unique_ptr<Transport>(new Transport(fd, name, false));
}

Transport::~Transport() {
    Close();
}

void Transport::Close() {
    for (int* fd : {&watch_, &slave_, &fd_}) {
        if (*fd >= 0) {
            close(*fd);
            *fd = -1;
        }
    }
}

void Transport::CountClients() {
    alignas(inotify_event) char events[4096];
    for (;;) {
        const ssize_t n = read(watch_, events, sizeof events);
        if (n <= 0) {
            return;
        }
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(events + at);
            if ((event->mask & IN_OPEN) != 0) {
                ++clients_;
            }
            if ((event->mask & IN_CLOSE) != 0 && clients_ > 0) {
                --clients_;
                if (clients_ == 0) {
                    // What either side left unread is not the next client's, nor its exclusivity.
                    ioctl(slave_, TIOCNXCL);
                    tcflush(slave_, TCIOFLUSH);
                }
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

bool Transport::ClientPresent() {
    if (fd_ < 0) {
        return false;
    }
    if (!pty_) {
        return true;
    }
    if (watch_ >= 0) {
        CountClients();
        return clients_ > 0;
    }
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, 0) < 0) {
        return false;
    }
    return (p.revents & POLLHUP) == 0;
}

bool Transport::SetRate(int baud) {
    if (fd_ < 0 || pty_) {
        return false;
    }
    tcdrain(fd_);  // the answer still leaves at the old rate
    return MakeRaw(fd_, baud);
}

std::size_t FdSerialPort::Write(const std::uint8_t* bytes, std::size_t count) {
    if (fd_ < 0) {
        throw link::SerialPortError("port not open");
    }
    const ssize_t n = write(fd_, bytes, count);
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

std::size_t FdSerialPort::ReadAvailable(std::uint8_t* buffer, std::size_t maxCount) {
    if (fd_ < 0 || maxCount == 0 || hungUp_) {
        return 0;
    }
    for (;;) {
        const ssize_t n = read(fd_, buffer, maxCount);
        if (n > 0) {
            return static_cast<std::size_t>(n);
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            hungUp_ = true;  // EIO: the client closed the serial side, or the device vanished
        }
        return 0;
    }
}

}  // namespace lumvaris::sim
