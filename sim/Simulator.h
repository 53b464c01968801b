#pragma once

#include <array>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "Concentrator.h"
#include "Options.h"
#include "Random.h"
#include "Transport.h"
#include "link/Receiver.h"

namespace lumvaris::sim {

Millis SteadyMillis();

// One concentrator on its port: reads requests through the link core's frame assembler, lets the
// concentrator answer them, forwards the network's packets, puts the chosen faults on the outgoing
// bytes and logs every frame. It never blocks: the serving loop (Serve) asks it what to watch and
// when to wake, and hands it what the descriptors report, so one thread serves a whole fleet.
class Simulator final : private link::IFrameConsumer {
  public:
    static constexpr int kRunning = -1;

    // The descriptors a simulator watches, each with the poll events it wants (0: not watched).
    enum Slot { kWatchSlot, kListenSlot, kLinkSlot, kSlots };
    struct Interest {
        int fd = -1;
        short events = 0;
        // Changes with every new connection, so that a new socket that got the old one's number is
        // still seen as new.
        std::uint32_t generation = 0;
    };

    // log may be null (no log). fleet: each log line names the concentrator by its UART-ID.
    Simulator(const SimOptions& options, Transport& transport, std::FILE* log, bool fleet = false);

    // Does what is due and returns kRunning, or the process exit code once a hang-up fault closed a
    // serial port (a network port's hang-up closes the connection only: the simulator goes on
    // listening, or calls again). Afterwards Wake() and Watched() say what to wait for.
    int Service();
    // What the descriptors of Watched() reported (poll's revents per slot); Service follows.
    int HandleEvents(const std::array<short, kSlots>& revents);
    Millis Wake() const { return wake_; }
    const Interest& Watched(Slot slot) const { return interest_[slot]; }
    void LogNote(const std::string& text);
    std::uint16_t UartId() const { return concentrator_.UartId(); }
    // Meter packets written in full to a client, replies not counted.
    std::uint64_t PacketsSent() const { return packetsSent_; }

  private:
    struct Item {
        Millis due = 0;
        std::vector<std::uint8_t> bytes;  // garbage prefix, then the frame
        std::size_t garbage = 0;
        std::size_t written = 0;
        bool corrupted = false;
        bool packet = false;  // a meter packet, not a reply
        int rateAfter = -1;
    };

    void HandleReply(link::FrameBuffer& frame) override;
    void HandleMeterPacket(const link::FrameBuffer& frame) override;
    void ShowByteCounter(std::uint32_t) override {}

    void Enqueue(Outgoing out, Millis now);
    // Writes what is due; returns false when the port went away.
    bool Flush(Millis now);
    void Connect();
    void Disconnect(const std::string& why);
    // Network: the connection ends; a modem calls again after the redial pause.
    void HangUpNetwork(const std::string& why, Millis now);
    void Accept();
    void Dial(Millis now);
    void CallProgress(Millis now);
    int RateAsked(int requested);
    bool Sending() const { return client_ && !silent_ && !hangupPending_; }
    void Notes(const std::vector<std::string>& notes);
    void LogFrame(const char* direction, const std::uint8_t* bytes, std::size_t size, const char* remark);
    void LogGarbage(const std::uint8_t* bytes, std::size_t size);
    void LogLine(const char* text);
    double Elapsed() const;
    int Finish();
    void Plan(Millis now);

    SimOptions options_;
    const Faults& faults_;
    Transport& transport_;
    std::FILE* log_;
    Concentrator concentrator_;
    Random random_;  // the faults' own sequence
    FdSerialPort port_;
    std::unique_ptr<link::Receiver> receiver_;   // fresh for every client, so no half frame carries over
    std::unique_ptr<link::TelnetCodec> telnet_;  // likewise, for --rfc2217

    bool fleet_;
    std::uint64_t packetsSent_ = 0;
    Millis start_;
    Millis silentAt_ = -1;
    Millis hangupAfterMs_ = -1;
    Millis hangupAt_ = -1;
    bool pty_ = false;
    bool network_ = false;
    bool calling_ = false;
    Millis wake_ = 0;
    Interest interest_[kSlots];
    bool client_ = false;
    bool silent_ = false;
    bool hangupPending_ = false;
    bool waitWritable_ = false;
    int requests_ = 0;
    int connectionRequests_ = 0;  // network: the hang-up faults count per connection
    Millis connectedAt_ = 0;
    Millis redialAt_ = 0;
    Millis nextByteAt_ = 0;
    std::deque<Item> queue_;  // by due time; the front may be half written
};

}  // namespace lumvaris::sim
