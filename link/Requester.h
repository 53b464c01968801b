#pragma once

#include <cstdint>
#include <string>

#include "Frame.h"
#include "LinkObserver.h"
#include "SerialPort.h"

namespace lumvaris::link {

// Request status shown in the third status bar panel.
enum class RequestStatus : std::uint8_t {
    None = 0,           // empty
    Ok = 1,             // "OK"
    Error = 2,          // "Ошибка!"
    NoData = 3,         // "Нет данных ..."
    MemoryCleared = 4,  // "Память очищена"
    Blank = 5,          // empty
    Text = 6,           // the request status text set by the reply handler
};

// The text of a status code; code 6 shows the given custom text.
std::string RequestStatusText(RequestStatus status, const std::string& customText = {});

enum class WaitOutcome { None, Answered, TimedOut };

// Colours the window paints the reply-wait gauge with.
enum class GaugeColor { Default, ButtonFace, Yellow, Black, Green, Maroon };

struct GaugeState {
    int maximum = 100;
    int progress = 0;
    GaugeColor background = GaugeColor::Default;
    GaugeColor foreground = GaugeColor::Default;
};

// The window side of sending: it paints what the sender decides and applies its locks.
class IRequestView {
  public:
    virtual ~IRequestView() = default;
    // Third status panel: one blank followed by the status text.
    virtual void ShowRequestStatusText(const std::string& panelText) = 0;
    virtual void ShowGauge(const GaugeState& gauge) = 0;
    virtual void SetGaugeTimerEnabled(bool enabled) = 0;
    // Disable and enable the colour reset timer, so it fires 2000 ms from now.
    virtual void RestartColorResetTimer() = 0;
    // Port name, rate and UART-ID inputs: locked while a reply is awaited.
    virtual void SetConnectionInputsEnabled(bool enabled) = 0;
    // Whether access control ("Включить управление ограничением доступа") is ticked.
    virtual bool AccessControlOn() const = 0;
    // Disable ButtonTimeSet, ButtonBDRset, ButtonBDAYset and ButtonPasswordSet.
    virtual void DisableProtectedButtons() = 0;
    // Port timeout chosen in the options menu: 1, 2, 4, 8 or 16 seconds.
    virtual int PortTimeoutSeconds() const = 0;
};

// Blocks the user-interface thread; received bytes wait in the port's own queue meanwhile.
class IPause {
  public:
    virtual ~IPause() = default;
    virtual void Pause(int milliseconds) = 0;
};

// Sends one request at a time and runs its reply wait: no queue, no retry. A new request replaces
// the wait of the previous one.
class Requester {
  public:
    // Expected reply type of a request that has no reply.
    static constexpr int kNoWait = 0x8000;
    static constexpr int kTicksPerSecond = 10;  // the gauge ticks every 100 ms

    Requester(ISerialPort& port, IPause& pause, IRequestView& view);

    // Hears every frame written; null: nobody.
    void SetObserver(ILinkObserver* observer) { observer_ = observer; }

    // Completes a copy of the frame (checksum, header CRC), writes it in one write, starts the reply
    // wait unless expectedReplyType is kNoWait, pauses, and (unless the request is the password
    // itself, which the catalogue says) re-locks the protected set buttons while access control
    // is on. A failed write throws SerialPortError before any wait starts.
    void SendRequest(const FrameBuffer& frame, int expectedReplyType, int pauseMilliseconds,
                     bool usesUpAccess = true);

    // TimerGauge: one 100 ms tick of the countdown.
    void GaugeTick();
    // Ends the wait; called by the gauge tick (not answered) and by the reply handler (answered).
    void EndReplyWait(bool answered);

    void SetRequestStatus(RequestStatus status) { status_ = status; }
    void SetRequestStatusText(const std::string& text) { statusText_ = text; }
    void ShowRequestStatus();

    bool WaitInProgress() const { return waiting_; }
    WaitOutcome Outcome() const { return outcome_; }
    int ExpectedReplyType() const { return expectedReplyType_; }
    int Countdown() const { return countdown_; }
    RequestStatus Status() const { return status_; }
    const std::string& StatusText() const { return statusText_; }
    const FrameBuffer& SendBuffer() const { return sendBuffer_; }
    const GaugeState& Gauge() const { return gauge_; }

  private:
    void StartReplyWait();

    ISerialPort& port_;
    IPause& pause_;
    IRequestView& view_;
    ILinkObserver* observer_ = nullptr;

    FrameBuffer sendBuffer_{};
    int expectedReplyType_ = 0;
    int countdown_ = 0;
    bool waiting_ = false;
    RequestStatus status_ = RequestStatus::None;
    std::string statusText_;
    WaitOutcome outcome_ = WaitOutcome::None;
    GaugeState gauge_;
};

}  // namespace lumvaris::link
