#pragma once

#include <sys/types.h>
#include <memory>
#include <string>
#include <vector>

#include "link/SerialPort.h"
#include "link/Telnet.h"

namespace lumvaris::sim {

// The serial side the simulator serves: a pseudo-terminal of its own (the program opens the other
// side), a real serial port (non-blocking, raw, 8N1), or a network port: a listening socket whose
// one client is served at a time, or calls out to a collector as a modem does.
class Transport {
  public:
    enum class Kind { PseudoTerminal, SerialPort, Listen, Call };

    static std::unique_ptr<Transport> OpenPseudoTerminal(std::string& error);
    static std::unique_ptr<Transport> OpenSerialPort(const std::string& name, int baud, std::string& error);
    // Listens on address:port (port 0: any free one). scheme names the address printed ("tcp",
    // "rfc2217"); an address of all interfaces is printed as the loopback one.
    static std::unique_ptr<Transport> Listen(const std::string& address, int port, const std::string& scheme,
                                             std::string& error);
    // Calls nobody yet: StartCall dials.
    static std::unique_ptr<Transport> Call(const std::string& host, int port);
    ~Transport();
    Transport(const Transport&) = delete;
    Transport& operator=(const Transport&) = delete;

    // The serial side, or the network connection (-1 while there is none).
    int Fd() const { return fd_; }
    // Counts the network connections made, so that a new one is told from the last one even when
    // its socket got the same number.
    std::uint32_t Generation() const { return generation_; }
    // The path to open: the pseudo-terminal's serial side, the port's name, "tcp://HOST:PORT", or
    // "call HOST:PORT".
    const std::string& Path() const { return path_; }
    Kind GetKind() const { return kind_; }
    bool IsPseudoTerminal() const { return kind_ == Kind::PseudoTerminal; }
    bool IsNetwork() const { return kind_ == Kind::Listen || kind_ == Kind::Call; }

    // Listen: the listening socket, readable when a client waits.
    int ListenFd() const { return listen_; }
    // Listen: takes the waiting client, which becomes Fd() (the one before closed). Returns false
    // when nobody was waiting after all; peer names the client.
    bool Accept(std::string& peer);
    // Call: starts dialling; Fd() is the socket, writable once the call is answered or failed.
    bool StartCall(std::string& error);
    // Call: after Fd() became writable, whether the call went through (else error says why, and
    // the socket is closed).
    bool CallAnswered(std::string& error);
    bool Connected() const { return fd_ >= 0 && !dialing_; }
    bool Dialing() const { return dialing_; }
    // Ends the network connection; what the peer still sends is read and dropped first, so the
    // answers already written reach it before the connection closes.
    void CloseConnection();
    // Whether someone has the serial side open. A real port always counts as connected. When the
    // last client leaves, the exclusive use it may have claimed (TIOCEXCL) ends with it.
    bool ClientPresent();
    // A descriptor that becomes readable when a client opens or closes the serial side, or -1.
    int WatchFd() const { return watch_; }
    // Real ports only; a pseudo-terminal has no rate to change.
    bool SetRate(int baud);
    void Close();

  private:
    Transport(int fd, std::string path, Kind kind) : fd_(fd), path_(std::move(path)), kind_(kind) {}
    void CountClients();

    int fd_;
    // Our own descriptor of the serial side, kept so that exclusive use left behind by a killed
    // client can be ended (only an open descriptor can, and nobody but root may open the side
    // while it lasts); with it the master no longer reports a hang-up, so the opens and closes of
    // the side are counted through inotify instead. -1: neither could be had, the hang-up tells.
    int slave_ = -1;
    int watch_ = -1;
    int clients_ = 0;
    int listen_ = -1;
    bool dialing_ = false;
    std::uint32_t generation_ = 0;
    std::string host_;  // Call
    int port_ = 0;
    std::string path_;
    Kind kind_;
};

// The link core's view of the transport: non-blocking reads. A pseudo-terminal whose client has
// closed its side reads as an I/O error, a socket whose peer closed reads as its end; either marks
// the port as hung up. On a network connection what the simulator sends passes through a buffer of
// its own (escaped for Telnet, after the codec's own answers), flushed as the socket takes it.
class FdSerialPort final : public link::ISerialPort {
  public:
    // A peer that reads nothing while its commands keep being answered is dropped past this.
    static constexpr std::size_t kMaxPendingOut = 1 << 20;

    explicit FdSerialPort(int fd) : fd_(fd) {}
    // A new network connection: nothing of the last one carries over. telnet may be null (raw);
    // its greeting goes first.
    void Attach(int fd, link::TelnetCodec* telnet);
    // Sends like write(2): the count taken, or -1 with errno (EAGAIN: not now).
    ssize_t Send(const std::uint8_t* bytes, std::size_t count);
    // Sends bytes as they are, past the Telnet escaping (a modem's own words).
    void SendRaw(const std::string& text);
    // Writes what waits in the buffer; false when the connection failed.
    bool FlushOut();
    bool OutPending() const { return outAt_ < out_.size(); }

    std::vector<std::string> ListPorts() override { return {}; }
    void SetName(const std::string&) override {}
    std::string Name() const override { return {}; }
    void SetLineSettings(const link::LineSettings& settings) override { settings_ = settings; }
    link::LineSettings Settings() const override { return settings_; }
    void SetReceiveNotification(std::function<void()>) override {}
    void SetErrorNotification(std::function<void(const std::string&)>) override {}
    void Open() override {}
    void RaiseRts() override {}
    void RaiseDtr() override {}
    std::size_t Write(const std::uint8_t* bytes, std::size_t count) override;
    std::size_t ReadAvailable(std::uint8_t* buffer, std::size_t maxCount) override;
    bool IsOpen() const override { return fd_ >= 0; }
    void Close() override { fd_ = -1; }

    bool HungUp() const { return hungUp_; }
    void ClearHangUp() { hungUp_ = false; }

  private:
    int fd_;
    bool hungUp_ = false;
    bool socket_ = false;
    link::TelnetCodec* telnet_ = nullptr;
    std::vector<std::uint8_t> in_;  // data the codec took out of the last read, not yet handed on
    std::size_t inAt_ = 0;
    std::vector<std::uint8_t> out_;
    std::size_t outAt_ = 0;
    link::LineSettings settings_;
};

}  // namespace lumvaris::sim
