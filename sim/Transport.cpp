#include "Transport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>
#include <algorithm>
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

std::string NameOf(const sockaddr_storage& address) {
    char host[INET6_ADDRSTRLEN] = "?";
    int port = 0;
    if (address.ss_family == AF_INET6) {
        const auto& a = reinterpret_cast<const sockaddr_in6&>(address);
        inet_ntop(AF_INET6, &a.sin6_addr, host, sizeof host);
        port = ntohs(a.sin6_port);
        return "[" + std::string(host) + "]:" + std::to_string(port);
    }
    const auto& a = reinterpret_cast<const sockaddr_in&>(address);
    inet_ntop(AF_INET, &a.sin_addr, host, sizeof host);
    port = ntohs(a.sin_port);
    return std::string(host) + ":" + std::to_string(port);
}

// Answers leave at once, not when Nagle's algorithm has gathered enough of them.
void NoDelay(int fd) {
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

addrinfo* Resolve(const std::string& host, int port, bool passive, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | (passive ? AI_PASSIVE : 0);
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    const int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (rc != 0) {
        error = host + ": " + gai_strerror(rc);
        return nullptr;
    }
    return found;
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
    std::unique_ptr<Transport> transport(new Transport(master, std::move(path), Kind::PseudoTerminal));
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
    return std::unique_ptr<Transport>(new Transport(fd, name, Kind::SerialPort));
}

std::unique_ptr<Transport> Transport::Listen(const std::string& address, int port, const std::string& scheme,
                                             std::string& error) {
    addrinfo* found = Resolve(address, port, true, error);
    if (found == nullptr) {
        return nullptr;
    }
    int fd = -1;
    for (addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) {
        fd = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            error = Errno("socket");
            continue;
        }
        const int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (bind(fd, a->ai_addr, a->ai_addrlen) != 0 || listen(fd, 4) != 0) {
            error = Errno((address + ":" + std::to_string(port)).c_str());
            close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(found);
    if (fd < 0) {
        return nullptr;
    }
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
    // Listening on every interface: the address to open from this machine is the loopback one.
    if (bound.ss_family == AF_INET) {
        auto& a = reinterpret_cast<sockaddr_in&>(bound);
        if (a.sin_addr.s_addr == htonl(INADDR_ANY)) {
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        }
    } else if (bound.ss_family == AF_INET6) {
        auto& a = reinterpret_cast<sockaddr_in6&>(bound);
        if (IN6_IS_ADDR_UNSPECIFIED(&a.sin6_addr)) {
            a.sin6_addr = in6addr_loopback;
        }
    }
    std::unique_ptr<Transport> transport(new Transport(-1, scheme + "://" + NameOf(bound), Kind::Listen));
    transport->listen_ = fd;
    return transport;
}

std::unique_ptr<Transport> Transport::Call(const std::string& host, int port) {
    std::unique_ptr<Transport> transport(
        new Transport(-1, "call " + host + ":" + std::to_string(port), Kind::Call));
    transport->host_ = host;
    transport->port_ = port;
    return transport;
}

bool Transport::Accept(std::string& peer) {
    sockaddr_storage from{};
    socklen_t length = sizeof from;
    const int fd =
        accept4(listen_, reinterpret_cast<sockaddr*>(&from), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    CloseConnection();
    NoDelay(fd);
    fd_ = fd;
    ++generation_;
    peer = NameOf(from);
    return true;
}

bool Transport::StartCall(std::string& error) {
    CloseConnection();
    addrinfo* found = Resolve(host_, port_, false, error);
    if (found == nullptr) {
        return false;
    }
    const int fd =
        socket(found->ai_family, found->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, found->ai_protocol);
    if (fd < 0) {
        error = Errno("socket");
        freeaddrinfo(found);
        return false;
    }
    const int rc = connect(fd, found->ai_addr, found->ai_addrlen);
    freeaddrinfo(found);
    if (rc != 0 && errno != EINPROGRESS) {
        error = std::strerror(errno);
        close(fd);
        return false;
    }
    NoDelay(fd);
    fd_ = fd;
    ++generation_;
    dialing_ = true;
    return true;
}

bool Transport::CallAnswered(std::string& error) {
    int code = 0;
    socklen_t length = sizeof code;
    if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &code, &length) != 0) {
        code = errno;
    }
    if (code != 0) {
        error = std::strerror(code);
        CloseConnection();
        return false;
    }
    dialing_ = false;
    return true;
}

void Transport::CloseConnection() {
    dialing_ = false;
    if (fd_ < 0) {
        return;
    }
    // Closing with unread bytes would reset the connection, and a reset may cost the peer the
    // answers it has not read yet.
    std::uint8_t sink[4096];
    while (read(fd_, sink, sizeof sink) > 0) {
    }
    shutdown(fd_, SHUT_RDWR);
    close(fd_);
    fd_ = -1;
}

Transport::~Transport() {
    Close();
}

void Transport::Close() {
    dialing_ = false;
    for (int* fd : {&watch_, &slave_, &fd_, &listen_}) {
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
    if (IsNetwork()) {
        return Connected();
    }
    if (kind_ == Kind::SerialPort) {
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
    if (fd_ < 0 || kind_ != Kind::SerialPort) {
        return false;
    }
    tcdrain(fd_);  // the answer still leaves at the old rate
    return MakeRaw(fd_, baud);
}

void FdSerialPort::Attach(int fd, link::TelnetCodec* telnet) {
    fd_ = fd;
    socket_ = true;
    hungUp_ = false;
    telnet_ = telnet;
    in_.clear();
    inAt_ = 0;
    out_.clear();
    outAt_ = 0;
    if (telnet_ != nullptr) {
        out_ = telnet_->Greeting();
        FlushOut();
    }
}

bool FdSerialPort::FlushOut() {
    while (outAt_ < out_.size()) {
        const ssize_t n = send(fd_, out_.data() + outAt_, out_.size() - outAt_, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                return true;
            }
            hungUp_ = true;
            return false;
        }
        outAt_ += static_cast<std::size_t>(n);
    }
    out_.clear();
    outAt_ = 0;
    return true;
}

ssize_t FdSerialPort::Send(const std::uint8_t* bytes, std::size_t count) {
    if (!socket_) {
        return write(fd_, bytes, count);
    }
    if (fd_ < 0 || !FlushOut()) {
        errno = EPIPE;
        return -1;
    }
    if (OutPending()) {
        errno = EAGAIN;
        return -1;
    }
    if (telnet_ != nullptr) {
        link::TelnetCodec::Escape(bytes, count, out_);
    } else {
        out_.assign(bytes, bytes + count);
    }
    // Taken: what the socket does not take now leaves with the next flush.
    if (!FlushOut()) {
        errno = EPIPE;
        return -1;
    }
    return static_cast<ssize_t>(count);
}

void FdSerialPort::SendRaw(const std::string& text) {
    out_.insert(out_.end(), text.begin(), text.end());
    FlushOut();
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
        if (inAt_ < in_.size()) {
            const std::size_t n = std::min(maxCount, in_.size() - inAt_);
            std::memcpy(buffer, in_.data() + inAt_, n);
            inAt_ += n;
            if (inAt_ == in_.size()) {
                in_.clear();
                inAt_ = 0;
            }
            return n;
        }
        std::uint8_t wire[4096];
        const std::size_t want = telnet_ != nullptr ? std::min(maxCount, sizeof wire) : maxCount;
        const ssize_t n = read(fd_, telnet_ != nullptr ? wire : buffer, want);
        if (n > 0 && telnet_ == nullptr) {
            return static_cast<std::size_t>(n);
        }
        if (n > 0) {
            // Commands alone hand on no data: read on until data comes or the socket is empty.
            telnet_->Feed(wire, static_cast<std::size_t>(n), in_, out_);
            if (!FlushOut() || out_.size() - outAt_ > kMaxPendingOut) {
                hungUp_ = true;
                return 0;
            }
            continue;
        }
        if (n == 0 && socket_) {
            hungUp_ = true;  // the peer closed the connection
            return 0;
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
