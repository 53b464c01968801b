#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "link/SerialPort.h"

namespace lumvaris::testing {

// A serial port a test drives by hand: it feeds received bytes in and reads written frames out.
class FakeSerialPort : public link::ISerialPort {
  public:
    std::vector<std::string> ListPorts() override { return ports; }
    // The entries set in portInfos; while that is empty, the names of ports.
    std::vector<link::PortInfo> ListPortInfos() override {
        return portInfos.empty() ? ISerialPort::ListPortInfos() : portInfos;
    }
    void SetName(const std::string& name) override { name_ = name; }
    std::string Name() const override { return name_; }
    void SetLineSettings(const link::LineSettings& settings) override { settings_ = settings; }
    link::LineSettings Settings() const override { return settings_; }
    void SetReceiveNotification(std::function<void()> handler) override { notify_ = std::move(handler); }
    void SetErrorNotification(std::function<void(const std::string&)> handler) override {
        onError_ = std::move(handler);
    }

    void Open() override;
    void RaiseRts() override;
    void RaiseDtr() override;
    std::size_t Write(const std::uint8_t* bytes, std::size_t count) override;
    std::size_t ReadAvailable(std::uint8_t* buffer, std::size_t maxCount) override;
    bool IsOpen() const override { return open_; }
    void Close() override { open_ = false; }

    // Bytes the "device" sends; Feed also raises the receive notification when one is attached.
    void Feed(const std::vector<std::uint8_t>& bytes, bool notify = true);
    void Feed(const std::string& hex, bool notify = true);
    std::size_t Pending() const { return input_.size(); }
    // Simulates the device vanishing: reports the error and refuses further writes.
    void Vanish(const std::string& message);

    // What a test sets up or inspects.
    std::vector<std::string> ports;
    std::vector<link::PortInfo> portInfos;
    std::vector<std::vector<std::uint8_t>> writes;
    std::vector<std::string> openedNames;
    bool failOpen = false;
    bool failWrite = false;
    bool modemLinesSupported = true;
    bool rtsRaised = false;
    bool dtrRaised = false;
    // Largest count one ReadAvailable hands out (0 = no limit), to dribble bytes.
    std::size_t readLimit = 0;

  private:
    std::string name_;
    link::LineSettings settings_;
    std::function<void()> notify_;
    std::function<void(const std::string&)> onError_;
    std::deque<std::uint8_t> input_;
    bool open_ = false;
};

// "63 E0 A7" -> bytes; spaces are ignored.
std::vector<std::uint8_t> Hex(const std::string& text);
std::string ToHex(const std::vector<std::uint8_t>& bytes);

}  // namespace lumvaris::testing
