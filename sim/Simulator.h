#pragma once

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

// The serving loop: reads requests through the link core's frame assembler, lets the concentrator
// answer them, forwards the network's packets, puts the chosen faults on the outgoing bytes and
// logs every frame. One thread, one poll loop.
class Simulator final : private link::IFrameConsumer {
  public:
    // log may be null (no log).
    Simulator(const SimOptions& options, Transport& transport, std::FILE* log);

    // Serves until stopFd becomes readable (a signal arrived) or a hang-up fault closes the port.
    // On a network port a hang-up fault closes the connection only: the simulator goes on
    // listening, or calls again. Returns the process exit code.
    int Run(int stopFd);

  private:
    struct Item {
        Millis due = 0;
        std::vector<std::uint8_t> bytes;  // garbage prefix, then the frame
        std::size_t garbage = 0;
        std::size_t written = 0;
        bool corrupted = false;
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
    void LogNote(const std::string& text);
    void LogGarbage(const std::uint8_t* bytes, std::size_t size);
    double Elapsed() const;

    SimOptions options_;
    const Faults& faults_;
    Transport& transport_;
    std::FILE* log_;
    Concentrator concentrator_;
    Random random_;  // the faults' own sequence
    FdSerialPort port_;
    std::unique_ptr<link::Receiver> receiver_;   // fresh for every client, so no half frame carries over
    std::unique_ptr<link::TelnetCodec> telnet_;  // likewise, for --rfc2217

    Millis start_;
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
