#pragma once

#include <memory>

#include "link/NetworkPort.h"
#include "link/QtSerialPort.h"

namespace lumvaris::link {

// The port both faces open: a local serial port, or a network address ("tcp://…", "rfc2217://…"),
// chosen by the name at each open. Everything is passed to the one the name chose; the port list is
// the local ports'.
class AnyPort final : public ISerialPort {
  public:
    AnyPort();

    std::vector<std::string> ListPorts() override { return serial_.ListPorts(); }
    std::vector<PortInfo> ListPortInfos() override { return serial_.ListPortInfos(); }
    void SetName(const std::string& name) override;
    std::string Name() const override { return active_->Name(); }
    void SetLineSettings(const LineSettings& settings) override { active_->SetLineSettings(settings); }
    LineSettings Settings() const override { return active_->Settings(); }
    void SetReceiveNotification(std::function<void()> handler) override;
    void SetErrorNotification(std::function<void(const std::string&)> handler) override;
    void SetConnectedNotification(std::function<void()> handler) override;
    void Open() override { active_->Open(); }
    void RaiseRts() override { active_->RaiseRts(); }
    void RaiseDtr() override { active_->RaiseDtr(); }
    std::size_t Write(const std::uint8_t* bytes, std::size_t count) override {
        return active_->Write(bytes, count);
    }
    std::size_t ReadAvailable(std::uint8_t* buffer, std::size_t maxCount) override {
        return active_->ReadAvailable(buffer, maxCount);
    }
    bool IsOpen() const override { return active_->IsOpen(); }
    void Close() override { active_->Close(); }
    bool IsNetwork() const override { return active_->IsNetwork(); }
    bool SetsRate() const override { return active_->SetsRate(); }
    bool Connecting() const override { return active_->Connecting(); }

    QtSerialPort& Serial() { return serial_; }
    NetworkPort& Network() { return network_; }

  private:
    QtSerialPort serial_;
    NetworkPort network_;
    ISerialPort* active_ = &serial_;
};

}  // namespace lumvaris::link
