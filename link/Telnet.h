#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace lumvaris::link {

// Telnet (RFC 854) with the Com Port Control option (RFC 2217), as a device server speaks it.
namespace telnet {

inline constexpr std::uint8_t kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251, kSb = 250,
                              kSe = 240;
inline constexpr std::uint8_t kBinary = 0, kSuppressGoAhead = 3, kComPortOption = 44;

enum class ComPort : std::uint8_t {
    SetBaudRate = 1,
    SetDataSize = 2,
    SetParity = 3,
    SetStopSize = 4,
    SetControl = 5,
    NotifyLineState = 6,
    NotifyModemState = 7,
    FlowControlSuspend = 8,
    FlowControlResume = 9,
    SetLineStateMask = 10,
    SetModemStateMask = 11,
    PurgeData = 12
};

// A server's answer carries the command + 100.
inline constexpr std::uint8_t kServerReply = 100;

// Values of the one-byte SET commands; 0 asks for the value in effect without changing it.
inline constexpr std::uint8_t kQuery = 0;
inline constexpr std::uint8_t kDataSize8 = 8;
inline constexpr std::uint8_t kParityNone = 1;
inline constexpr std::uint8_t kStopSize1 = 1;
inline constexpr std::uint8_t kControlNoFlow = 1, kControlBreakQuery = 4, kControlBreakOff = 6,
                              kControlDtrQuery = 7, kControlDtrOn = 8, kControlRtsQuery = 10,
                              kControlRtsOn = 11, kControlInboundFlowQuery = 13, kControlInboundNoFlow = 14;

}  // namespace telnet

// One side of a Telnet connection over bytes: splits what the peer sends into data and commands,
// negotiates the options, answers or reads the Com Port Control subnegotiations. No I/O of its own.
//
// Negotiation keeps RFC 1143's per-option state, so it never loops: a WILL/DO that confirms what
// this side asked is not answered, an option this side does not do is refused once, and a request
// for what is already in effect is ignored.
class TelnetCodec {
  public:
    enum class Role { Client, Server };
    // A subnegotiation longer than this (after unescaping) is dropped up to its IAC SE.
    static constexpr std::size_t kMaxSubnegotiation = 64;

    explicit TelnetCodec(Role role);

    // What this side says first. Client: WILL BINARY, DO BINARY, WILL SGA, DO SGA, WILL COM-PORT-OPTION.
    // Server: DO COM-PORT-OPTION, WILL BINARY, DO BINARY, WILL SGA, DO SGA. The codec counts these
    // as asked from the start, so send them before (or with) anything else.
    std::vector<std::uint8_t> Greeting() const;
    // Appends data bytes to out with every FFh doubled.
    static void Escape(const std::uint8_t* data, std::size_t count, std::vector<std::uint8_t>& out);
    // Client: the subnegotiations that set the remote port: this rate, 8 data bits, no parity, one
    // stop bit, no flow control, DTR on, RTS on.
    static std::vector<std::uint8_t> SetLine(int baudRate);
    // One Com Port Control subnegotiation: IAC SB 44 command value IAC SE, the value escaped.
    static void AppendComPort(std::uint8_t command, const std::uint8_t* value, std::size_t count,
                              std::vector<std::uint8_t>& out);

    // Feeds bytes received from the peer. Data bytes (IAC IAC unescaped) are appended to data; what
    // this side must answer is appended to reply. Keeps its state across calls: a sequence may be
    // split anywhere. Never throws; holds at most kMaxSubnegotiation bytes of its own.
    void Feed(const std::uint8_t* bytes, std::size_t count, std::vector<std::uint8_t>& data,
              std::vector<std::uint8_t>& reply);

    // Client: the server agreed to COM-PORT-OPTION (said WILL or DO it).
    bool ComPortAgreed() const;
    // Client: the last rate the server confirmed (its SET-BAUDRATE reply), 0 before any.
    int ConfirmedBaudRate() const { return confirmedBaudRate_; }
    // Server: called for the client's SET-BAUDRATE (the argument is the rate asked, 0 = a query);
    // returns the rate in effect, which the reply carries. Without a handler the rate asked is
    // taken. Other SET commands are answered with their value.
    void SetBaudRateHandler(std::function<int(int requested)> handler) {
        baudRateHandler_ = std::move(handler);
    }

    // Whether the option is in effect on this side (we WILL) or the peer's (he WILL).
    bool LocalEnabled(std::uint8_t option) const { return local_[option] == Q::Yes; }
    bool RemoteEnabled(std::uint8_t option) const { return remote_[option] == Q::Yes; }

  private:
    enum class Q : std::uint8_t { No, Yes, WantYes };
    enum class State : std::uint8_t { Data, Iac, Verb, Sb, SbIac, SbDrop, SbDropIac };

    // Both sides may do each of these, whoever asks.
    static bool Supported(std::uint8_t option);
    void Negotiate(std::uint8_t verb, std::uint8_t option, std::vector<std::uint8_t>& reply);
    void Subnegotiation(std::vector<std::uint8_t>& reply);
    void ServerComPort(std::uint8_t command, const std::uint8_t* value, std::size_t count,
                       std::vector<std::uint8_t>& reply);
    void ClientComPort(std::uint8_t command, const std::uint8_t* value, std::size_t count);

    Role role_;
    State state_ = State::Data;
    std::uint8_t verb_ = 0;
    std::array<Q, 256> local_{};
    std::array<Q, 256> remote_{};
    // Options already refused once (bit 0: a DO answered WONT, bit 1: a WILL answered DONT).
    std::array<std::uint8_t, 256> refused_{};
    std::array<std::uint8_t, kMaxSubnegotiation> sb_{};
    std::size_t sbCount_ = 0;

    int confirmedBaudRate_ = 0;
    std::function<int(int)> baudRateHandler_;
    int baudRate_ = 0;  // server: the rate in effect as last answered, 0 before any
    std::uint8_t dataSize_ = telnet::kDataSize8;
    std::uint8_t parity_ = telnet::kParityNone;
    std::uint8_t stopSize_ = telnet::kStopSize1;
};

}  // namespace lumvaris::link
