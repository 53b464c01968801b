#pragma once

#include <memory>
#include <string>

#include "link/SerialPort.h"

namespace lumvaris::sim {

// The serial side the simulator serves: a pseudo-terminal of its own (the program opens the other
// side) or a real serial port. Non-blocking, raw, 8N1.
class Transport {
  public:
    static std::unique_ptr<Transport> OpenPseudoTerminal(std::string& error);
    static std::unique_ptr<Transport> OpenSerialPort(const std::string& name, int baud, std::string& error);
    ~Transport();
    Transport(const Transport&) = delete;
    Transport& operator=(const Transport&) = delete;

    int Fd() const { return fd_; }
    // The path to open: the pseudo-terminal's serial side, or the port's name.
    const std::string& Path() const { return path_; }
    bool IsPseudoTerminal() const { return pty_; }
    // Whether someone has the serial side open. A real port always counts as connected. When the
    // last client leaves, the exclusive use it may have claimed (TIOCEXCL) ends with it.
    bool ClientPresent();
    // A descriptor that becomes readable when a client opens or closes the serial side, or -1.
    int WatchFd() const { return watch_; }
    // Real ports only; a pseudo-terminal has no rate to change.
    bool SetRate(int baud);
    void Close();

  private:
    Transport(int fd, std::string path, bool pty) : fd_(fd), path_(std::move(path)), pty_(pty) {}
    void CountClients();

    int fd_;
    // Our own descriptor of the serial side, kept so that exclusive use left behind by a killed
    // client can be ended (only an open descriptor can, and nobody but root may open the side
    // while it lasts); with it the master no longer reports a hang-up, so the opens and closes of
    // the side are counted through inotify instead. -1: neither could be had, the hang-up tells.
    int slave_ = -1;
    int watch_ = -1;
    int clients_ = 0;
    std::string path_;
    bool pty_;
};

// The link core's view of the transport: non-blocking reads. A pseudo-terminal whose client has
// closed its side reads as an I/O error, which marks the port as hung up.
class FdSerialPort final : public link::ISerialPort {
  public:
    explicit FdSerialPort(int fd) : fd_(fd) {}

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
    link::LineSettings settings_;
};

}  // namespace lumvaris::sim
