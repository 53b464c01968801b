#pragma once

#include <QObject>
#include <QSerialPort>

#include "link/Requester.h"
#include "link/SerialPort.h"

namespace lumvaris::link {

// The serial port over Qt SerialPort: real ports and pseudo-terminals alike. The port name may be
// a listed name ("ttyUSB0", "COM3") or a full device path ("/dev/pts/5").
class QtSerialPort final : public QObject, public ISerialPort {
    Q_OBJECT
  public:
    explicit QtSerialPort(QObject* parent = nullptr);
    ~QtSerialPort() override;

    std::vector<std::string> ListPorts() override;
    // The system's ports, then the stable names under /dev/serial/by-id, then the links of running
    // simulators in /tmp.
    std::vector<PortInfo> ListPortInfos() override;
    void SetName(const std::string& name) override;
    std::string Name() const override { return name_; }
    void SetLineSettings(const LineSettings& settings) override { settings_ = settings; }
    LineSettings Settings() const override { return settings_; }
    void SetReceiveNotification(std::function<void()> handler) override { onReceive_ = std::move(handler); }
    void SetErrorNotification(std::function<void(const std::string&)> handler) override {
        onError_ = std::move(handler);
    }

    void Open() override;
    void RaiseRts() override;
    void RaiseDtr() override;
    std::size_t Write(const std::uint8_t* bytes, std::size_t count) override;
    std::size_t ReadAvailable(std::uint8_t* buffer, std::size_t maxCount) override;
    bool IsOpen() const override { return port_.isOpen(); }
    void Close() override;

  private:
    void OnError(QSerialPort::SerialPortError error);
    void RaiseLine(bool rts);

    QSerialPort port_;
    std::string name_;
    LineSettings settings_;
    bool lost_ = false;  // the device vanished since the last open
    std::function<void()> onReceive_;
    std::function<void(const std::string&)> onError_;
};

// What is known about a port that would not open, for the reason shown to the user.
struct OpenFailure {
    std::string name;           // as the user typed or chose it
    bool deviceExists = true;   // the device file is there
    bool accessAllowed = true;  // the user may read and write it
    QSerialPort::SerialPortError error = QSerialPort::UnknownError;
    std::string errorText;     // the port library's own text
    bool isDirectory = false;  // a directory, not a device
};

// One Russian sentence: in use, no access (with the hint for the serial-port group), no such
// device, a directory or a file that is no serial port, or the library's own text.
std::string DescribeOpenFailure(const OpenFailure& failure);

// Why an open port stopped working, in words the engineer can act on: the device gone (adapter
// pulled, the program at the other end closed the port), a read or write that failed. The port
// library's own text only for a fault that none of these names.
std::string DescribePortFault(QSerialPort::SerialPortError error, const std::string& errorText);

// Blocks the calling thread; bytes arriving meanwhile wait in the port's queue.
class ThreadPause final : public IPause {
  public:
    void Pause(int milliseconds) override;
};

}  // namespace lumvaris::link
