#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace lumvaris::link {

// Raised by a serial port operation that fails; the text is shown to the user as it stands.
class SerialPortError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Raised when the device has no such facility, for example modem-control lines on a
// pseudo-terminal. Opening a connection treats this as harmless.
class SerialPortNotSupported : public SerialPortError {
  public:
    using SerialPortError::SerialPortError;
};

enum class Parity { None };
enum class StopBits { One };
enum class FlowControl { None };

// The line settings the concentrator link always uses: 8 data bits, no parity, one stop bit, no flow
// control; only the rate varies.
struct LineSettings {
    int baudRate = 38400;
    int dataBits = 8;
    Parity parity = Parity::None;
    StopBits stopBits = StopBits::One;
    FlowControl flowControl = FlowControl::None;
};

// One entry of the port list: what the system knows of a port. Only the name goes into the port
// field; the rest tells the engineer which adapter is which and recognises an adapter that was
// pulled and plugged back.
struct PortInfo {
    std::string name;                       // as the port is opened: "ttyUSB0", "COM3" or a full path
    std::string description;                // "FT232R USB UART"; empty when the system knows none
    std::string manufacturer;               // "FTDI"
    std::string serialNumber;               // the adapter's own, empty for most built-in ports
    std::optional<std::uint16_t> vendorId;  // USB ids, when the port is on USB
    std::optional<std::uint16_t> productId;
    std::string systemLocation;  // the device the name leads to: "/dev/ttyUSB0"

    bool operator==(const PortInfo&) const = default;
};

// What the program needs of a serial port. One implementation over Qt SerialPort, one test double.
// All calls and notifications happen on the user-interface thread.
class ISerialPort {
  public:
    virtual ~ISerialPort() = default;

    // Names of the serial ports present on the machine, as the system reports them.
    virtual std::vector<std::string> ListPorts() = 0;
    // The same ports with what the system knows of them, plus other names that lead to a serial
    // port (stable names, the simulator's link). By default the names above and nothing more.
    virtual std::vector<PortInfo> ListPortInfos() {
        std::vector<PortInfo> ports;
        for (std::string& name : ListPorts()) {
            PortInfo info;
            info.systemLocation = name;
            info.name = std::move(name);
            ports.push_back(std::move(info));
        }
        return ports;
    }

    // Taken over at the next Open; set only while the port is closed.
    virtual void SetName(const std::string& name) = 0;
    virtual std::string Name() const = 0;
    virtual void SetLineSettings(const LineSettings& settings) = 0;
    virtual LineSettings Settings() const = 0;

    // Called whenever received bytes are waiting. Attached before Open, detached after Close.
    virtual void SetReceiveNotification(std::function<void()> handler) = 0;
    // Called once when the device reports a fatal fault while open (for example a USB adapter pulled).
    virtual void SetErrorNotification(std::function<void(const std::string&)> handler) = 0;

    // Exclusive read and write access with the line settings applied; throws SerialPortError.
    virtual void Open() = 0;
    // Assert the modem-control lines; throw SerialPortNotSupported on devices without them.
    virtual void RaiseRts() = 0;
    virtual void RaiseDtr() = 0;
    // Returns when the bytes are handed to the device; throws SerialPortError on failure or when
    // the port is not open.
    virtual std::size_t Write(const std::uint8_t* bytes, std::size_t count) = 0;
    // Returns at once with the bytes already received, at most maxCount.
    virtual std::size_t ReadAvailable(std::uint8_t* buffer, std::size_t maxCount) = 0;
    virtual bool IsOpen() const = 0;
    // Closes the port if open; pending notifications stop.
    virtual void Close() = 0;

    // --- What a port over the network says of itself; a local serial port keeps the defaults.
    // The link goes over the network: opening it takes time, and losing it is followed by new
    // attempts rather than by a wait for an adapter.
    virtual bool IsNetwork() const { return false; }
    // Whether the chosen rate reaches the concentrator's line. A raw TCP link runs at whatever
    // rate the far end's serial side has.
    virtual bool SetsRate() const { return true; }
    // Open() has started a connection that is not yet made. The connected notification follows
    // when it is; the error notification when it fails or times out.
    virtual bool Connecting() const { return false; }
    virtual void SetConnectedNotification(std::function<void()> /*handler*/) {}
};

}  // namespace lumvaris::link
