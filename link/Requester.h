#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Frame.h"
#include "LinkObserver.h"
#include "SerialPort.h"

namespace lumvaris::link {

// How a request ended, as the reply handler (or a timeout) leaves it; each face has its words
// for these.
enum class RequestStatus : std::uint8_t {
    None = 0,           // nothing to say yet
    Ok = 1,             // answered as asked
    Error = 2,          // no reply, or a reply the request could not use
    NoData = 3,         // answered without data
    MemoryCleared = 4,  // the outdated firmware start was answered
    Blank = 5,          // nothing to say
    Text = 6,           // a text of the reply handler or of a long operation
};

enum class WaitOutcome { None, Answered, TimedOut };

// Hears one request after another and its reply wait. The window paints its status panel and
// gauge from this; the command-line program reports from it. Every call comes from the thread
// that sends and ticks.
class IRequestListener {
  public:
    virtual ~IRequestListener() = default;
    // A request is about to be written; its status is cleared right after.
    virtual void RequestStarting() {}
    // The request's reply wait began: `ticks` ticks until it times out.
    virtual void WaitStarted(int /*ticks*/) {}
    // One tick of the running wait; elapsed counts from 1 to ticks.
    virtual void WaitTicked(int /*elapsed*/, int /*ticks*/) {}
    // The wait ended: answered (elapsed: the ticks it took) or timed out; told after the status
    // it leaves.
    virtual void WaitEnded(WaitOutcome /*outcome*/, int /*elapsed*/, int /*ticks*/) {}
    // The status the request leaves, to be shown now.
    virtual void StatusShown(RequestStatus /*status*/, const std::string& /*text*/) {}
};

// Blocks the user-interface thread; received bytes wait in the port's own queue meanwhile.
class IPause {
  public:
    virtual ~IPause() = default;
    virtual void Pause(int milliseconds) = 0;
};

// Sends one request at a time and runs its reply wait: no queue, no retry. A new request replaces
// the wait of the previous one. The wait counts ticks of 100 ms, given by whoever owns the timer
// (GaugeTick), and ends as answered when the reply handler says so.
class Requester {
  public:
    // Expected reply type of a request that has no reply.
    static constexpr int kNoWait = 0x8000;
    static constexpr int kTicksPerSecond = 10;  // one tick every 100 ms
    static constexpr int kDefaultTimeoutSeconds = 2;

    Requester(ISerialPort& port, IPause& pause);

    // Hears every frame written; null: nobody.
    void SetObserver(ILinkObserver* observer) { observer_ = observer; }
    // Hear the requests and their waits, in the order they were added.
    void AddListener(IRequestListener* listener);
    void RemoveListener(IRequestListener* listener);
    // The port timeout of the next reply wait (1, 2, 4, 8 or 16 s in the window's menu).
    void SetTimeoutSeconds(int seconds) { timeoutSeconds_ = seconds > 0 ? seconds : 1; }
    int TimeoutSeconds() const { return timeoutSeconds_; }

    // Completes a copy of the frame (checksum, header CRC), writes it in one write, starts the reply
    // wait unless expectedReplyType is kNoWait, and pauses. A failed write throws SerialPortError
    // before any wait starts.
    void SendRequest(const FrameBuffer& frame, int expectedReplyType, int pauseMilliseconds);

    // One 100 ms tick of the countdown; the last one ends the wait as not answered.
    void GaugeTick();
    // Ends the wait; called by the gauge tick (not answered) and by the reply handler (answered).
    void EndReplyWait(bool answered);

    void SetRequestStatus(RequestStatus status) { status_ = status; }
    void SetRequestStatusText(const std::string& text) { statusText_ = text; }
    // Tells the listener the status as it stands.
    void ShowRequestStatus();

    bool WaitInProgress() const { return waiting_; }
    // The awaited request went out without a pause after it: its sender paces by the replies (the
    // firmware lines, a read-all at the reply's pace), so the reply is to be handled as soon as its
    // bytes arrive rather than at the next receive tick.
    bool ReplyWantedAtOnce() const { return waiting_ && pauseMs_ == 0; }
    WaitOutcome Outcome() const { return outcome_; }
    int ExpectedReplyType() const { return expectedReplyType_; }
    int Countdown() const { return countdown_; }
    // Ticks of the last wait: its length, and those that went by.
    int WaitTicks() const { return ticks_; }
    int ElapsedTicks() const { return ticks_ - countdown_; }
    RequestStatus Status() const { return status_; }
    const std::string& StatusText() const { return statusText_; }
    const FrameBuffer& SendBuffer() const { return sendBuffer_; }

  private:
    template <typename Call>
    void Tell(Call call) {
        for (std::size_t i = 0; i < listeners_.size(); ++i) {
            call(*listeners_[i]);
        }
    }

    ISerialPort& port_;
    IPause& pause_;
    ILinkObserver* observer_ = nullptr;
    std::vector<IRequestListener*> listeners_;
    int timeoutSeconds_ = kDefaultTimeoutSeconds;

    FrameBuffer sendBuffer_{};
    int expectedReplyType_ = 0;
    int pauseMs_ = 0;
    int ticks_ = 0;
    int countdown_ = 0;
    bool waiting_ = false;
    RequestStatus status_ = RequestStatus::None;
    std::string statusText_;
    WaitOutcome outcome_ = WaitOutcome::None;
};

}  // namespace lumvaris::link
