#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "CivilTime.h"
#include "LongCommandAssembler.h"
#include "MeterNetwork.h"
#include "link/Frame.h"

namespace lumvaris::sim {

// Monotonic time of the simulator, in milliseconds.
using Millis = std::int64_t;

// What the concentrator is at power-up.
struct ConcentratorSettings {
    std::uint16_t uartId = 0x2FFF;
    // Bit 0 set: packets heard on the power line are forwarded to the serial port at once.
    std::uint8_t config = 0x01;
    std::uint16_t networkSize = 256;
    RtcSeconds clockStart = 0;
    int driftPpm = 0;  // the clock crystal's own error
    std::int8_t trimPpm = 0;
    std::uint8_t rateIndex = 0;  // 0 = 38400, 1 = 19200, 2 = 9600
    std::int8_t billingDay = 0;
    std::string password;
    std::string versionText = "LUMVARIS-SIM 1.0";
    std::uint16_t memoryPages = 2048;
    bool memoryError = false;
    std::uint16_t memoryErrorOffset = 0;
    std::uint16_t memoryErrorPage = 0;
    int memoryTestMs = 1000;
    int plcCells = 16;
    int plcCellMs = 2000;  // one queued PLC command leaves the buffer this often
    int meters = 5;
    int intervalMs = 3000;   // one packet from the network this often
    int firstPacketMs = -1;  // the first packet this long after power-up; < 0: after intervalMs
    std::uint64_t seed = 1;
    std::string firmwareFile;  // firmware lines are written here, one per line, when not empty
};

// A frame for the serial link.
struct Outgoing {
    std::vector<std::uint8_t> bytes;
    int delayMs = 0;     // the concentrator's own time before the frame is ready
    int rateAfter = -1;  // switch the line to this rate index once the frame is written
    bool reply = true;   // false: a meter packet forwarded from the power line
};

struct RequestResult {
    bool addressed = false;  // the frame was meant for this concentrator
    std::vector<Outgoing> out;
    std::vector<std::string> notes;  // what happened, for the log
};

// The concentrator's behaviour: its state, its answers to requests, and the meter network whose
// packets it keeps in its buffers and forwards. Time is passed in, so the behaviour can be driven
// step by step.
class Concentrator {
  public:
    static constexpr std::size_t kRecordSize = 11;
    static constexpr std::size_t kMonthRecords = 22;
    using BufferRecord = std::array<std::uint8_t, kRecordSize>;

    Concentrator(const ConcentratorSettings& settings, Millis now);

    // One frame that passed the header CRC and payload checksum. refuse: answer AccessDenied instead
    // (a fault the operator asked for).
    RequestResult HandleRequest(const link::FrameBuffer& frame, Millis now, bool refuse = false);
    // Meter packets and buffer cells whose time has come.
    RequestResult Tick(Millis now);
    // When Tick next has something to do.
    Millis NextEventTime() const;

    // State, as the tests and the log look at it.
    std::uint16_t UartId() const { return uartId_; }
    RtcSeconds Clock(Millis now) const;
    RtcSeconds LastStart() const { return lastStart_; }
    int RateIndex() const { return rateIndex_; }
    // The line's rate changed from the other end (a network port's client set it): 0..2, else kept.
    void SetRateIndex(int index) {
        if (index >= 0 && index <= 2) {
            rateIndex_ = index;
        }
    }
    int FreeCells() const { return freeCells_; }
    const std::string& Password() const { return password_; }
    std::array<std::uint8_t, 4> Fingerprint() const;
    const BufferRecord* LastPacket(std::uint16_t meter) const;
    std::vector<BufferRecord> MonthRecords(std::uint16_t meter) const;
    const std::vector<LongCommand>& LongCommands() const { return longCommands_; }
    const std::vector<std::string>& FirmwareLines() const { return firmwareLines_; }
    bool PlcExchangeOn() const { return (config_ & 0x20) == 0 && (debugMode_ & 0x02) == 0; }

  private:
    Outgoing Reply(std::uint8_t type, const std::vector<std::uint8_t>& payload = {}) const;
    Outgoing Refusal() const { return Reply(0x40); }
    Outgoing Packet(const MeterPacket& p) const;
    void Execute(const link::FrameBuffer& frame, Millis now, bool sessionOpen, RequestResult& result);
    void HandleLongCommand(const link::FrameBuffer& frame, Millis now, RequestResult& result);
    void Store(const MeterPacket& p, RtcSeconds at);
    void Reanchor(Millis now);
    std::vector<std::uint8_t> LineState(Millis now) const;
    std::uint16_t RegisterWord(std::uint16_t page, std::uint16_t offset) const;
    void RecordFirmware(const std::string& line, bool begin);

    ConcentratorSettings settings_;
    std::uint16_t uartId_;
    std::uint8_t config_;
    std::uint16_t networkSize_;
    int rateIndex_;
    std::int8_t billingDay_;
    std::int8_t trimPpm_;
    std::uint8_t debugMode_ = 0;
    std::string password_;
    bool sessionOpen_ = false;  // the request right before was an accepted password
    std::array<std::uint8_t, 32> key_{};

    // Clock: RTC milliseconds at the anchor, running at (1 + ppm/10^6) from there.
    Millis anchor_ = 0;
    std::int64_t anchorRtcMs_ = 0;
    RtcSeconds lastStart_ = 0;

    int freeCells_;
    Millis nextCellFree_ = 0;
    std::deque<std::array<std::uint8_t, 5>> plcQueue_;

    MeterNetwork network_;
    Millis nextPacket_ = 0;
    std::vector<std::pair<Millis, MeterPacket>> scheduled_;  // meters answering a long command

    std::map<std::uint16_t, BufferRecord> lastPackets_;
    // Newest first, at most kMonthRecords: a vector of that capacity, where a deque would take a
    // 512-byte block per meter (a fleet holds thousands of these).
    std::map<std::uint16_t, std::vector<BufferRecord>> months_;

    LongCommandAssembler longAssembler_;
    std::vector<LongCommand> longCommands_;
    std::vector<std::string> firmwareLines_;
    int firmwareExpected_ = -1;
};

}  // namespace lumvaris::sim
