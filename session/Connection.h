#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

#include "commands/CommandSender.h"
#include "commands/IConnectionControl.h"
#include "commands/ProtectedAccess.h"
#include "commands/ReplyHandler.h"
#include "link/AdapterWatch.h"
#include "link/Receiver.h"
#include "link/Requester.h"
#include "link/SerialPort.h"
#include "session/PortDatabase.h"
#include "session/Result.h"

namespace lumvaris::meterdata {
class IClock;
}

namespace lumvaris::session {

class ITimer;
class ITimerFactory;

// What the connection can be doing. The window's port panel and the command-line program's
// messages are drawn from this.
enum class ConnectionState {
    Closed,
    Connecting,  // a network port's connection is being made; the engineer may cancel it
    Open,
    OpenNotSaving,      // open, but this port's database files cannot be written
    WaitingForAdapter,  // the adapter was pulled; the same adapter is awaited for a minute
    AdapterGone,        // it did not come back
    WaitingForNetwork,  // a network port's connection was lost; it is made again after a wait
};

// Why a connection closes with its data saved first: the engineer's change of port or rate (the
// connection goes on elsewhere), or the end of the program.
enum class CloseReason { Change, Exit };

// What the connection asks the engineer. The window answers with a message box; the
// command-line program, with nobody to ask, never retries.
class IConnectionQuestions {
  public:
    virtual ~IConnectionQuestions() = default;
    // A save failed and records received since the last good save would be lost: try again?
    virtual bool RetrySave(const QString& text, CloseReason reason) = 0;
};

// What the connection tells the face that shows it; every call comes from the event loop.
class IConnectionListener {
  public:
    virtual ~IConnectionListener() = default;
    // The database is about to open (the window hands it the settings of its dialog).
    virtual void ConnectionOpening() {}
    // The port is open, the stores attached and the counters reset; the database's notices
    // follow once this has returned.
    virtual void ConnectionOpened() {}
    // An open the face asked for (or a change of rate the concentrator asked for) failed: the
    // port is closed again and the message says why.
    virtual void ConnectionRefused(const QString& /*message*/) {}
    // The port and the stores are released.
    virtual void ConnectionClosed() {}
    // The state, the seconds of the adapter wait or the saving state changed.
    virtual void StateChanged() {}
    // The port vanished; the message for the engineer.
    virtual void PortLost(const QString& /*message*/) {}
    // The concentrator reported its address, or the rate the local port now follows.
    virtual void UartIdReported(std::uint16_t /*address*/) {}
    virtual void RateFollowed(int /*rateIndex*/) {}
    // Bytes received since the connection opened (or the counter was reset).
    virtual void ByteCounter(std::uint32_t /*bytes*/) {}
    // Every live meter packet, after it was filed.
    virtual void MeterPacketHeard(const link::FrameBuffer& /*frame*/) {}
    // Something went wrong that the engineer must hear of (a reply that cannot be shown, a save
    // that failed for the first time on this connection, a port that failed in the middle).
    virtual void ReportError(const QString& /*message*/) {}
};

// One connection to a concentrator: the serial port at its rate, the receive path and the reply
// wait, the command sender and the reply handler, and the port's local database (its lock,
// write check and notices, the save every minute). It closes with or without saving, files what
// a port delivered into that port's database before the next opens, handles a port that vanishes
// and waits for the same adapter to come back. It has no widgets: the window and the
// command-line program are two faces on it.
class Connection final : public QObject,
                         public commands::IConnectionControl,
                         private link::IFrameConsumer,
                         private link::IRequestListener {
    Q_OBJECT
  public:
    // Rates of the rate field and of the concentrator's rate index, in that order.
    static constexpr int kBaudRates[3] = {38400, 19200, 9600};
    static constexpr int kClosePauseMs = 500;
    // A lost network connection is made again after 1 s, then after twice the last wait, up to this.
    static constexpr int kRetryLongestMs = 60000;
    // A network link with nothing received for this long is asked for the concentrator's address;
    // with still nothing by kIdleLostMs it counts as lost. Only once the concentrator has answered
    // on this connection: before that, a wrong UART-ID would look like a dead link.
    static constexpr int kIdleProbeMs = 30000;
    static constexpr int kIdleLostMs = 50000;

    struct Platform {
        link::ISerialPort& port;
        link::IPause& pause;
        ITimerFactory& timers;
        const meterdata::IClock& clock;
        QString programDirectory;  // with a trailing '/'
    };

    explicit Connection(const Platform& platform, QObject* parent = nullptr);
    ~Connection() override;

    void SetListener(IConnectionListener* listener) { listener_ = listener; }
    void SetQuestions(IConnectionQuestions* questions) { questions_ = questions; }
    // Another database in place of the port's own (tests); null: the port's own.
    void SetDatabase(IConnectionDatabase* database);
    // While this holds (firmware lines going out), and while a request sent without a pause awaits
    // its reply, every frame is handled as soon as its bytes arrive, instead of at the next
    // receive tick.
    void SetDispatchOnReceive(std::function<bool()> when) { dispatchOnReceive_ = std::move(when); }

    // --- The connection.
    // Opens the port at this rate and its database; tells the listener either way. A quiet open
    // (the adapter's return) that fails tells nothing and returns false. A network port returns
    // true while Connecting: the rest follows when the connection is made (ConnectionOpened) or
    // fails (ConnectionRefused; a quiet open, or one with retries, waits and tries again).
    bool Open(const QString& portName, int baudRate, bool quiet = false);
    // A network connection that fails at its first attempt is tried again as a lost one is
    // (a service), instead of being refused (the window, a one-shot command).
    void SetRetryFirstConnect(bool retry) { retryFirstConnect_ = retry; }
    // Asked before each retry of a network connection: false puts the attempt off to the next
    // second (a collector that limits how many connections are made at once and per second).
    void SetConnectGate(std::function<bool()> gate) { connectGate_ = std::move(gate); }
    // A network port's connection is being made, a first one or a retry.
    bool ConnectInProgress() const { return connecting_; }
    // Files what the port delivered, saves first when a reason is given (asking whether to retry
    // while a save fails with data to lose), closes the port, releases the stores and pauses.
    void Close(std::optional<CloseReason> saveFirst = std::nullopt);
    // The engineer's choice of a port or rate: the wait for a pulled adapter ends, the connection
    // closes with its data saved and opens again.
    bool Reopen(const QString& portName, int baudRate);
    // The engineer's own choice of a port ends the wait for a pulled adapter.
    void CancelAdapterWatch();
    // Saves the database; a failure is said once per connection.
    void Save();
    // TimerSave ticks every minute and saves every `minutes` of them (1: the window's minute). A
    // service whose journal keeps what arrives in between may save less often.
    void SetSaveMinutes(int minutes) { saveMinutes_ = minutes > 0 ? minutes : 1; }

    ConnectionState State() const;
    // The adapter came back and was opened again (shown until the next change).
    bool Reconnected() const;
    // Seconds of the adapter wait left.
    int AdapterSecondsLeft() const { return adapterWatch_.SecondsLeft(); }
    // Seconds until a lost network connection is tried again.
    int RetrySecondsLeft() const { return (retryLeftMs_ + 999) / 1000; }
    QString PortName() const { return QString::fromStdString(port_.Name()); }
    // Where the program keeps its files (the databases, the key file), with a trailing '/'.
    const QString& ProgramDirectory() const { return programDirectory_; }
    int BaudRate() const { return port_.Settings().baudRate; }
    // The index of a rate in kBaudRates, or -1.
    static int RateIndex(int baudRate);
    std::uint32_t ReceivedBytes() const { return receiver_.ReceivedBytes(); }
    void ResetByteCounter();

    // --- What lives on the connection.
    link::ISerialPort& Port() { return port_; }
    link::Requester& Requester() { return requester_; }
    link::Receiver& Receiver() { return receiver_; }
    commands::CommandSender& Sender() { return sender_; }
    commands::ReplyHandler& Replies() { return replies_; }
    commands::ProtectedAccess& Access() { return access_; }
    PortDatabase& Database() { return database_; }

    // The UART-ID every request goes to.
    void SetUartId(std::uint16_t uartId) { uartId_ = uartId; }

    // commands::IConnectionControl
    bool IsOpen() const override { return port_.IsOpen(); }
    std::uint16_t UartId() const override { return uartId_; }
    void ShowUartId(std::uint16_t address) override;
    void SwitchRate(int rateIndex) override;

    // The timers' handlers.
    void TimerRXTimer();
    void TimerGaugeTimer();
    void TimerPortWatchTimer();
    void TimerSaveTimer();

  private:
    // link::IFrameConsumer
    void HandleReply(link::FrameBuffer& frame) override;
    void HandleMeterPacket(const link::FrameBuffer& frame) override;
    void ShowByteCounter(std::uint32_t receivedBytes) override;
    // link::IRequestListener: TimerGauge runs while a reply is awaited.
    void WaitStarted(int ticks) override;
    void WaitEnded(link::WaitOutcome outcome, int elapsed, int ticks) override;

    void OnPortLost(const QString& reason);
    // The port is open (a network port: connected); the rest of the open.
    bool Attach(bool quiet);
    void OnConnected();
    void ScheduleRetry();
    void WatchIdleLink();
    void SaveBeforeClosing(CloseReason reason);
    void FileWhatArrived();
    void ReportError(const QString& message);
    // Runs a step; an exception escaping it is reported, never passed on to the event loop.
    void Guarded(const std::function<void()>& step);
    void Changed();

    link::ISerialPort& port_;
    link::IPause& pause_;
    QString programDirectory_;
    IConnectionListener* listener_ = nullptr;
    IConnectionQuestions* questions_ = nullptr;
    link::Requester requester_;
    link::Receiver receiver_;
    commands::ProtectedAccess access_;
    commands::CommandSender sender_;
    commands::ReplyHandler replies_;
    PortDatabase database_;
    IConnectionDatabase* active_ = &database_;
    link::AdapterWatch adapterWatch_;
    std::function<bool()> dispatchOnReceive_;
    std::function<bool()> connectGate_;
    std::uint16_t uartId_ = 0x2FFF;
    bool saveFailureReported_ = false;  // this connection's files were said to be unwritable
    int saveMinutes_ = 1;
    int saveTicks_ = 0;
    // A network port: connecting, how it was asked, and the retries after a loss.
    bool connecting_ = false;
    bool attached_ = false;  // the database is open for the port
    bool connectQuiet_ = false;
    bool retryFirstConnect_ = false;
    bool retrying_ = false;     // a lost network connection is being made again
    bool reconnected_ = false;  // ... and was
    int retryDelayMs_ = 0;      // the last wait; 0: none yet
    int retryLeftMs_ = 0;
    // The idle check of a network link, in receive ticks.
    int idleMs_ = 0;
    std::uint32_t idleBytes_ = 0;
    bool answered_ = false;      // the concentrator at uartId_ answered on this connection
    bool probeAwaited_ = false;  // the address read of the idle check, its reply not yet taken

    std::unique_ptr<ITimer> timerRX_;
    std::unique_ptr<ITimer> timerGauge_;
    std::unique_ptr<ITimer> timerSave_;
    std::unique_ptr<ITimer> timerPortWatch_;
};

// "ВНИМАНИЕ! Связь с коммуникационным портом потеряна (<reason>).\nПроверьте подключение и
// выберите порт заново."
QString LostPortText(const QString& reason);

}  // namespace lumvaris::session
