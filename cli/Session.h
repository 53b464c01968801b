#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

#include "cli/ExitStatus.h"
#include "cli/Options.h"
#include "cli/Output.h"
#include "cli/ReplyRecorder.h"
#include "commands/Requests.h"
#include "link/AnyPort.h"
#include "link/LinkObserver.h"
#include "link/QtSerialPort.h"
#include "meterdata/IMeterDataHooks.h"
#include "meterdata/SystemClock.h"
#include "session/Connection.h"
#include "session/QtTimerFactory.h"

class QEventLoop;

namespace lumvaris::cli {

// How often `listen` saves its database files, in minutes.
inline constexpr int kListenSaveMinutes = 10;

// The command-line program's face of one connection: the port and its database opened as the
// window opens them, requests sent one at a time with the reply awaited in the event loop (the
// connection's timers, the receive path and the reply handler run meanwhile), the connection's
// messages on standard error, nobody to ask (a failing save is not retried), and a stop signal
// that ends any wait.
class Session final : public QObject,
                      public session::IConnectionListener,
                      public session::IConnectionQuestions,
                      private link::IRequestListener,
                      private link::ILinkObserver,
                      private meterdata::IMeterDataHooks {
    Q_OBJECT
  public:
    Session(const Options& options, Output& output, const QString& dataDirectory);
    ~Session() override;

    const Options& Opts() const { return options_; }
    Output& Out() { return output_; }
    session::Connection& Connection() { return connection_; }
    ReplyRecorder& Recorder() { return recorder_; }
    session::ITimerFactory& Timers() { return timers_; }
    const QString& DataDirectory() const { return dataDirectory_; }
    // The name this concentrator's data carries outside the program.
    QString Site() const;
    // The port opened from now on, in place of --port (a call that came to listen --accept).
    void SetPortName(const QString& name) { portName_ = name; }
    link::AnyPort& Port() { return port_; }

    // Opens the port at its rate and the port's database. PortNotOpened with the connection's
    // message said when it does not open (no such port, in use, the database held elsewhere).
    ExitStatus Open();
    // The same without awaiting a network port's connection, which goes on trying by itself (the
    // collector watches the state instead of waiting in a loop of its own).
    ExitStatus OpenWithoutWait();
    // Files what arrived, saves and closes. FileError (said) when the files could not be written.
    ExitStatus Close();

    // What one request and its reply looked like on the link.
    struct Exchange {
        link::RequestStatus status = link::RequestStatus::None;
        QString statusText;  // the status in words, as the window's status panel shows it
        QString statusData;  // the same for the JSON: the status words never translated
        QByteArray request;  // the frame written
        QByteArray reply;    // the last reply frame received for it
    };
    // Sends the request (the password first, when it is protected and one was given) and awaits
    // its reply: Done when answered (the values shown are in the recorder), otherwise NoReply,
    // Refused, PortNotOpened or Interrupted, with the message said.
    ExitStatus Request(const commands::Request& request, Exchange* exchange = nullptr);
    // The same without a loop of its own: `done` is called from the event loop with the status
    // Request() would return, once the reply came, the wait timed out, the port was lost or a stop
    // signal arrived. One at a time: another, CancelRequest() or the session's end drops the
    // last one's `done` untold.
    void RequestAsync(const commands::Request& request, std::function<void(ExitStatus)> done);
    void CancelRequest();

    // Runs the event loop until `done` holds, a stop signal came or the port was lost. Anything
    // that may change `done` calls Wake().
    void Wait(const std::function<bool()>& done);
    // The same, going on through a lost port (the connection awaits the adapter meanwhile).
    void WaitThroughLoss(const std::function<bool()>& done);
    // Lets the port deliver what it already holds (a stop came between two reads).
    void Drain();
    void Wake();
    // Live meter packets filed since the port opened.
    qint64 PacketsHeard() const { return packetsHeard_; }

    // A stop signal (SIGINT, SIGTERM, SIGHUP) arrived: every wait ends.
    void Stop(int signal);
    int StopSignal() const { return stopSignal_; }
    // The status a stop signal leaves a command with: 128 + the signal (130 for Ctrl+C, 143 for
    // SIGTERM, 129 for SIGHUP).
    ExitStatus StopStatus() const;
    bool PortLost() const { return portLost_; }
    // The connection was made again (the collector's sites go on after a loss).
    void ClearPortLost() { portLost_ = false; }
    // Told of each UART-ID the concentrator reports.
    void SetUartIdHook(std::function<void(std::uint16_t)> hook) { uartIdHook_ = std::move(hook); }
    // Told of each change of the connection's state.
    void SetStateHook(std::function<void()> hook) { stateHook_ = std::move(hook); }
    // Told of a lost port in place of the connection's message (a call that hung up has no cable to
    // look at, and its own line names the concentrator).
    void SetLossHook(std::function<void(const QString&)> hook) { lossHook_ = std::move(hook); }
    // Whether an error was reported since the last call (a reply that could not be shown).
    bool TakeReportedError() { return std::exchange(errorReported_, false); }

    // session::IConnectionListener
    void ConnectionRefused(const QString& message) override { refusal_ = message; }
    void MeterPacketHeard(const link::FrameBuffer&) override { ++packetsHeard_; }
    void StateChanged() override;
    void PortLost(const QString& message) override;
    void UartIdReported(std::uint16_t address) override;
    void ReportError(const QString& message) override;
    // session::IConnectionQuestions: nobody to ask; the journal keeps what a save could not write.
    bool RetrySave(const QString& text, session::CloseReason reason) override;

  private:
    void RunLoop();
    ExitStatus SendAndWait(const commands::Request& request, Exchange* exchange);
    // The two halves of a request: the write (a status when it could not go out) and, once its
    // wait ended, what became of it.
    std::optional<ExitStatus> Send(const commands::Request& request, bool pause);
    ExitStatus Outcome(const commands::Request& request, Exchange* exchange);
    void SendAsync(const commands::Request& request);
    // The asynchronous request's end is looked at from the event loop, after the handler that
    // ended its wait has shown the reply.
    void PostAsyncEnd();
    // link::IRequestListener
    void WaitEnded(link::WaitOutcome outcome, int elapsed, int ticks) override;
    // link::ILinkObserver
    void FrameSent(const std::uint8_t* frame, std::size_t length) override;
    void FrameReceived(const std::uint8_t* frame, std::size_t length, bool checksumOk) override;
    void BytesDiscarded(const std::uint8_t*, std::size_t) override {}
    // meterdata::IMeterDataHooks: no tables; the database's notices go to standard error.
    meterdata::StorePage ActivePage() const override { return meterdata::StorePage::Other; }
    int SelectedMeter() const override { return 0; }
    void RedrawTable(meterdata::StorePage) override {}
    void ReReadSelectedMeter() override {}
    void NotifyUser(const QString& message) override { output_.Message(message); }

    const Options& options_;
    Output& output_;
    QString dataDirectory_;
    QString portName_;
    link::AnyPort port_;
    // The link's pauses (after a write, after a close) sleep the thread. The collector's one
    // thread serves every site, so there they sleep not at all: its requests are paced by their
    // replies, and a site that closes must not stop the others for half a second.
    class LinkPause final : public link::IPause {
      public:
        explicit LinkPause(bool sleeps) : sleeps_(sleeps) {}
        void Pause(int milliseconds) override {
            if (sleeps_) {
                thread_.Pause(milliseconds);
            }
        }

      private:
        bool sleeps_;
        link::ThreadPause thread_;
    };
    LinkPause pause_;
    session::QtTimerFactory timers_;
    meterdata::SystemClock clock_;
    session::Connection connection_;
    ReplyRecorder recorder_;
    QEventLoop* loop_ = nullptr;
    bool waitEnded_ = false;
    // The asynchronous request: what goes out after the password, and whom to tell.
    struct Pending {
        commands::Request request;
        bool passwordFirst = false;
        std::function<void(ExitStatus)> done;
    };
    std::optional<Pending> pending_;
    quint64 pendingSerial_ = 0;  // a posted end of an older request is not this one's
    int stopSignal_ = 0;
    bool portLost_ = false;
    bool errorReported_ = false;
    bool saveFailed_ = false;
    qint64 packetsHeard_ = 0;
    QString refusal_;
    QByteArray lastSent_;
    QByteArray lastReply_;
    std::function<void(std::uint16_t)> uartIdHook_;
    std::function<void()> stateHook_;
    std::function<void(const QString&)> lossHook_;
};

// Hex bytes separated by blanks: "FF FF 2F ...".
QString HexBytes(const QByteArray& bytes);

}  // namespace lumvaris::cli
