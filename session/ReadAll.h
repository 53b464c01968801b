#pragma once

#include <QString>

#include <functional>
#include <memory>

#include "commands/ReadAllLoop.h"
#include "link/Requester.h"

namespace lumvaris::commands {
class CommandSender;
class IConnectionControl;
class ReplyHandler;
}  // namespace lumvaris::commands

namespace lumvaris::session {

class ITimer;
class ITimerFactory;

// How fast a read-all sends.
enum class ReadAllPace {
    // The window's pace: one request after another's pause (100 ms) and 1 ms more, without waiting
    // for replies; after the last request the replies still due have the port timeout.
    Window,
    // The next request as soon as the previous one has its reply, 5 ms after it; a request without
    // reply has its port timeout as usual. Never more than one request awaits its reply.
    Reply,
};

// What a face shows of a read-all: the window its status panel and meter fields, the
// command-line program its progress bar and summary.
class IReadAllView {
  public:
    virtual ~IReadAllView() = default;
    // Before the first request.
    virtual void ReadAllStarted(const commands::ReadAllLoop& /*loop*/) {}
    // The request for this meter is about to be written.
    virtual void ReadAllSending(int /*meter*/) {}
    // It was written (loop.ProgressText() says how far the read has come).
    virtual void ReadAllSent(const commands::ReadAllLoop& /*loop*/) {}
    // The end: every request gone and answered or timed out, stopped, or a port lost on the way.
    virtual void ReadAllFinished(const commands::ReadAllLoop& /*loop*/) {}
};

// The driver of the read of one buffer of every meter (commands::ReadAllLoop), on the event loop
// of either face: it sends what the loop names from its timers, so events and replies are handled
// between two requests, hands the reply handler's buffer replies to the loop, and ends with the
// loop's summary.
class ReadAll final : private link::IRequestListener {
  public:
    static constexpr int kStepMs = 1;         // after a request's pause, at the window's pace
    static constexpr int kAwaitTickMs = 100;  // the last replies are awaited in these ticks
    static constexpr int kReplyGapMs = 5;     // from a reply to the next request, at the reply's pace

    // Runs a timer's step; an exception escaping it (a port lost under a write) is the face's to
    // report. Null: the exception goes on to the caller of the timer.
    using Guard = std::function<void(const std::function<void()>&)>;

    ReadAll(commands::CommandSender& sender, link::Requester& requester, commands::ReplyHandler& replies,
            const commands::IConnectionControl& connection, ITimerFactory& timers, Guard guard = nullptr);
    ~ReadAll() override;
    ReadAll(const ReadAll&) = delete;
    ReadAll& operator=(const ReadAll&) = delete;

    void SetView(IReadAllView* view) { view_ = view; }

    // PacketBufferRead or MonthBufferRead for meters first..last. Nothing starts while a read-all
    // runs, while the port is closed or when the range is empty; false then. The first request
    // goes out before this returns.
    bool Start(commands::RequestType type, int first, int last, ReadAllPace pace);
    // Nothing more is sent; the read ends at once with its summary. False when none ran.
    bool Stop();

    bool Running() const { return loop_.Running(); }
    ReadAllPace Pace() const { return pace_; }
    const commands::ReadAllLoop& Loop() const { return loop_; }

  private:
    void Step();
    void AwaitTick();
    void Finish();
    // link::IRequestListener: at the reply's pace the end of a request's wait sends the next one.
    void WaitEnded(link::WaitOutcome outcome, int elapsed, int ticks) override;

    commands::CommandSender& sender_;
    link::Requester& requester_;
    commands::ReplyHandler& replies_;
    const commands::IConnectionControl& connection_;
    IReadAllView* view_ = nullptr;
    commands::ReadAllLoop loop_;
    ReadAllPace pace_ = ReadAllPace::Window;
    bool awaitingReply_ = false;  // at the reply's pace: the last request's wait runs
    int awaitTicks_ = 0;
    std::unique_ptr<ITimer> stepTimer_;
    std::unique_ptr<ITimer> awaitTimer_;
    std::unique_ptr<ITimer> gapTimer_;
};

}  // namespace lumvaris::session
