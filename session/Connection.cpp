#include "session/Connection.h"

#include <QCoreApplication>
#include <algorithm>
#include <exception>
#include <optional>
#include <utility>

#include "link/Frame.h"
#include "session/ITimer.h"

namespace lumvaris::session {
namespace {

constexpr int kTimerRXInterval = 100;
constexpr int kTimerGaugeInterval = 100;
constexpr int kTimerSaveInterval = 60000;
constexpr int kTimerPortWatchInterval = 1000;

const char* const kOpenErrorText =
    QT_TRANSLATE_NOOP("session::Connection", "ВНИМАНИЕ! При открытии порта произошла ошибка!");
constexpr std::uint8_t kAddressReadType = 0x86;

}  // namespace

QString LostPortText(const QString& reason) {
    QString text = QCoreApplication::translate("session::Connection",
                                               "ВНИМАНИЕ! Связь с коммуникационным портом потеряна");
    if (!reason.isEmpty()) {
        text += QStringLiteral(" (") + reason + QStringLiteral(")");
    }
    return text + QCoreApplication::translate("session::Connection",
                                              ".\nПроверьте подключение и выберите порт заново.");
}

Connection::Connection(const Platform& platform, QObject* parent)
    : QObject(parent),
      port_(platform.port),
      pause_(platform.pause),
      programDirectory_(platform.programDirectory),
      requester_(platform.port, platform.pause),
      receiver_(platform.port),
      sender_(requester_, *this, access_),
      replies_(requester_, *this, platform.clock, access_),
      database_(platform.programDirectory, platform.clock) {
    receiver_.SetConsumer(this);
    requester_.AddListener(this);
    auto guarded = [this](void (Connection::*handler)()) {
        return [this, handler] { Guarded([this, handler] { (this->*handler)(); }); };
    };
    timerRX_ = platform.timers.Create("TimerRX", kTimerRXInterval, guarded(&Connection::TimerRXTimer));
    timerGauge_ =
        platform.timers.Create("TimerGauge", kTimerGaugeInterval, guarded(&Connection::TimerGaugeTimer));
    timerSave_ =
        platform.timers.Create("TimerSave", kTimerSaveInterval, guarded(&Connection::TimerSaveTimer));
    timerPortWatch_ = platform.timers.Create("TimerPortWatch", kTimerPortWatchInterval,
                                             guarded(&Connection::TimerPortWatchTimer));
    port_.SetErrorNotification([this](const std::string& reason) {
        // The port reports from inside its own signal; what follows (a message box) waits until
        // that is over.
        const QString text = QString::fromStdString(reason);
        QMetaObject::invokeMethod(
            this, [this, text] { OnPortLost(text); }, Qt::QueuedConnection);
    });
    timerRX_->Start();
    timerSave_->Start();
}

Connection::~Connection() {
    port_.SetReceiveNotification(nullptr);
    port_.SetErrorNotification(nullptr);
    requester_.RemoveListener(this);
}

void Connection::SetDatabase(IConnectionDatabase* database) {
    active_ = database != nullptr ? database : &database_;
}

int Connection::RateIndex(int baudRate) {
    for (int i = 0; i < 3; ++i) {
        if (kBaudRates[i] == baudRate) {
            return i;
        }
    }
    return -1;
}

// ---------------------------------------------------------------------------------------------
// Open and close

bool Connection::Open(const QString& portName, int baudRate, bool quiet) {
    port_.SetName(portName.toStdString());
    link::LineSettings settings = port_.Settings();
    settings.baudRate = baudRate;
    port_.SetLineSettings(settings);
    port_.SetReceiveNotification([this] {
        Guarded([this] {
            receiver_.ReceiveNotification();
            if ((dispatchOnReceive_ && dispatchOnReceive_()) || requester_.ReplyWantedAtOnce()) {
                receiver_.Step();
            }
        });
    });
    port_.SetConnectedNotification([this] { Guarded([this] { OnConnected(); }); });
    try {
        port_.Open();
    } catch (const std::exception& e) {
        port_.Close();
        port_.SetReceiveNotification(nullptr);
        if (quiet) {
            return false;
        }
        port_.SetName(std::string());
        // The port's own reason on a second line: in use, no access, no such device.
        if (listener_ != nullptr) {
            listener_->ConnectionRefused(QCoreApplication::translate("session::Connection", kOpenErrorText) +
                                         QLatin1Char('\n') + QString::fromUtf8(e.what()));
        }
        return false;
    }
    if (port_.Connecting()) {
        connecting_ = true;
        connectQuiet_ = quiet;
        Changed();
        return true;
    }
    return Attach(quiet);
}

void Connection::OnConnected() {
    if (!connecting_) {
        return;
    }
    connecting_ = false;
    if (Attach(connectQuiet_) && retrying_) {
        retrying_ = false;
        reconnected_ = true;
        retryDelayMs_ = 0;
        timerPortWatch_->Stop();
    }
    Changed();
}

bool Connection::Attach(bool quiet) {
    auto refuse = [this](const QString& message) {
        // Nothing half open: a port that opened but could not be set up is closed again.
        port_.Close();
        port_.SetReceiveNotification(nullptr);
        port_.SetName(std::string());
        if (listener_ != nullptr) {
            listener_->ConnectionRefused(message);
        }
    };
    try {
        // Pseudo-terminals and raw TCP have no modem-control lines; that does not stop the link.
        try {
            port_.RaiseRts();
        } catch (const link::SerialPortNotSupported&) {
        }
        try {
            port_.RaiseDtr();
        } catch (const link::SerialPortNotSupported&) {
        }
    } catch (const std::exception& e) {
        if (quiet) {
            port_.Close();
            port_.SetReceiveNotification(nullptr);
            return false;
        }
        refuse(QCoreApplication::translate("session::Connection", kOpenErrorText) + QLatin1Char('\n') +
               QString::fromUtf8(e.what()));
        return false;
    }
    // Which adapter this is, while it is there: after it vanished, the list no longer says.
    if (!port_.IsNetwork()) {
        adapterWatch_.Opened(port_.Name(), port_.ListPortInfos());
    }
    idleMs_ = 0;
    idleBytes_ = 0;
    answered_ = false;
    probeAwaited_ = false;

    // Files that another instance of the program holds are never shared: no connection.
    if (listener_ != nullptr) {
        listener_->ConnectionOpening();
    }
    const DatabaseOpen database = active_->Open(PortName());
    if (database.inUse) {
        retrying_ = false;
        timerPortWatch_->Stop();
        refuse(database.result.Message());
        return false;
    }
    attached_ = true;
    // What the open found is told once, as the files could not be written.
    saveFailureReported_ = active_->SavingFails();
    receiver_.Reset();
    receiver_.ResetReceivedBytes();
    requester_.SetRequestStatus(link::RequestStatus::None);
    requester_.ShowRequestStatus();
    if (listener_ != nullptr) {
        listener_->ConnectionOpened();
        listener_->ByteCounter(receiver_.ReceivedBytes());
    }
    // Only now, with the stores attached and the counters reset, may a message box hold the
    // face: frames go on arriving and being stored under it.
    active_->DeliverNotices();
    if (!database.result.IsDone()) {
        ReportError(database.result.Message());
    }
    return true;
}

void Connection::FileWhatArrived() {
    // What this port delivered goes into its own database before that is saved and released;
    // nothing of it may reach the next port's.
    Guarded([this] {
        receiver_.Flush();
        active_->ReceiveTickEnded();
    });
}

void Connection::Close(std::optional<CloseReason> saveFirst) {
    // A connection still being made is given up; at the end nothing is tried again.
    connecting_ = false;
    if (saveFirst == CloseReason::Exit) {
        CancelAdapterWatch();
    }
    const bool attached = std::exchange(attached_, false);
    if (attached) {
        FileWhatArrived();
    }
    // Saved while the port is still open, so nothing that arrives during a question is lost;
    // also after the port vanished, as the stores still hold what came before.
    if (saveFirst && attached) {
        attached_ = true;
        SaveBeforeClosing(*saveFirst);
        attached_ = false;
    }
    if (port_.IsOpen() || port_.Connecting()) {
        port_.Close();
    }
    port_.SetReceiveNotification(nullptr);
    receiver_.Reset();
    if (attached) {
        active_->Release();
    }
    if (listener_ != nullptr) {
        listener_->ConnectionClosed();
    }
    // The settling time is a serial driver's; a socket needs none, and a collector that closes a
    // thousand network sites at its stop would otherwise spend minutes asleep.
    if (!port_.IsNetwork()) {
        pause_.Pause(kClosePauseMs);
    }
}

bool Connection::Reopen(const QString& portName, int baudRate) {
    CancelAdapterWatch();
    Close(CloseReason::Change);
    return Open(portName, baudRate);
}

void Connection::SaveBeforeClosing(CloseReason reason) {
    for (;;) {
        const Result saved = active_->Save();
        // Nothing that arrived since the last good save would be lost: no need to ask.
        if (saved.IsDone() || !active_->HasUnsavedChanges()) {
            return;
        }
        // With the journal the records are not lost, only not yet in the files.
        const QString fate = active_->JournalKeepsUnsaved()
                                 ? QCoreApplication::translate(
                                       "session::Connection",
                                       "Данные, принятые после последнего сохранения, останутся в журнале "
                                       "и вернутся в базу при следующем открытии этого порта. ")
                                 : QCoreApplication::translate(
                                       "session::Connection",
                                       "Данные, принятые после последнего сохранения, будут потеряны. ");
        const QString text = QCoreApplication::translate(
                                 "session::Connection",
                                 "Не удалось сохранить локальную базу данных:\n%1\n\n%2Повторить попытку?")
                                 .arg(saved.Message(), fate);
        if (questions_ == nullptr || !questions_->RetrySave(text, reason)) {
            return;
        }
    }
}

void Connection::TimerSaveTimer() {
    // What the journal does not hold is saved every minute whatever was asked.
    if (++saveTicks_ >= saveMinutes_ || !active_->JournalKeepsUnsaved()) {
        saveTicks_ = 0;
        Save();
    }
}

void Connection::Save() {
    // Nothing is attached while a connection is being made or awaited.
    if (!attached_) {
        return;
    }
    // Files that cannot be written are reported once per connection; the state keeps saying so,
    // and every minute the save is tried again in case the cause is gone.
    const Result saved = active_->Save();
    Changed();
    if (!saved.IsDone() && !std::exchange(saveFailureReported_, true)) {
        ReportError(saved.Message());
    }
}

void Connection::ResetByteCounter() {
    receiver_.ResetReceivedBytes();
    if (listener_ != nullptr) {
        listener_->ByteCounter(receiver_.ReceivedBytes());
    }
}

// ---------------------------------------------------------------------------------------------
// A lost port and the wait for its adapter

void Connection::OnPortLost(const QString& reason) {
    if (port_.IsNetwork() || connecting_) {
        if (connecting_) {
            // The connection was never made: nothing was opened behind it.
            connecting_ = false;
            port_.Close();
            port_.SetReceiveNotification(nullptr);
            if (retrying_ || connectQuiet_ || retryFirstConnect_) {
                retrying_ = true;
                ScheduleRetry();
                Changed();
                return;
            }
            port_.SetName(std::string());
            Changed();
            if (listener_ != nullptr) {
                listener_->ConnectionRefused(
                    QCoreApplication::translate("session::Connection", kOpenErrorText) + QLatin1Char('\n') +
                    reason);
            }
            return;
        }
        if (!attached_) {
            return;  // closed meanwhile by the engineer's choice
        }
        // Saved and released as for a pulled adapter; the same address is connected again.
        const QString name = PortName();
        Close(CloseReason::Change);
        port_.SetName(name.toStdString());
        retrying_ = true;
        reconnected_ = false;
        retryDelayMs_ = 0;
        ScheduleRetry();
        Changed();
        if (listener_ != nullptr) {
            listener_->PortLost(LostPortText(reason));
        }
        return;
    }
    if (adapterWatch_.Start()) {
        // Saved before the port and the stores are released; both open again with the adapter.
        Close(CloseReason::Change);
        timerPortWatch_->Start();
    } else {
        // Nothing more arrives on this port: what it brought is filed and saved now, not only at
        // the next minute or the next choice of port.
        FileWhatArrived();
        Save();
    }
    Changed();
    if (listener_ != nullptr) {
        listener_->PortLost(LostPortText(reason));
    }
}

void Connection::CancelAdapterWatch() {
    adapterWatch_.Cancel();
    retrying_ = false;
    reconnected_ = false;
    retryLeftMs_ = 0;
    timerPortWatch_->Stop();
}

void Connection::ScheduleRetry() {
    retryDelayMs_ = retryDelayMs_ == 0 ? 1000 : std::min(retryDelayMs_ * 2, kRetryLongestMs);
    retryLeftMs_ = retryDelayMs_;
    timerPortWatch_->Start();
}

void Connection::TimerPortWatchTimer() {
    if (retrying_) {
        if (connecting_) {
            return;
        }
        retryLeftMs_ = std::max(0, retryLeftMs_ - timerPortWatch_->Interval());
        if (retryLeftMs_ == 0 && (!connectGate_ || connectGate_())) {
            timerPortWatch_->Stop();
            // Quiet: a refusal is another wait, not a message.
            if (!Open(PortName(), port_.Settings().baudRate, true) && retrying_) {
                ScheduleRetry();
            } else if (connecting_) {
                timerPortWatch_->Start();
            }
        }
        Changed();
        return;
    }
    const std::optional<std::string> name =
        adapterWatch_.Look(port_.ListPortInfos(), timerPortWatch_->Interval());
    if (name) {
        // The open may show a message box, whose event loop must not run the watch meanwhile.
        timerPortWatch_->Stop();
        // Listed but not ready yet (its permissions not set, a modem manager probing it): next tick.
        if (!Open(QString::fromStdString(*name), port_.Settings().baudRate, true) &&
            adapterWatch_.CurrentState() == link::AdapterWatch::State::Waiting) {
            timerPortWatch_->Start();
        }
    }
    if (adapterWatch_.CurrentState() != link::AdapterWatch::State::Waiting) {
        timerPortWatch_->Stop();
    }
    Changed();
}

ConnectionState Connection::State() const {
    using Watch = link::AdapterWatch::State;
    if (connecting_) {
        return retrying_ ? ConnectionState::WaitingForNetwork : ConnectionState::Connecting;
    }
    if (port_.IsOpen()) {
        return active_->SavingFails() ? ConnectionState::OpenNotSaving : ConnectionState::Open;
    }
    if (retrying_) {
        return ConnectionState::WaitingForNetwork;
    }
    switch (adapterWatch_.CurrentState()) {
        case Watch::Waiting:
            return ConnectionState::WaitingForAdapter;
        case Watch::NotFound:
            return ConnectionState::AdapterGone;
        default:
            break;
    }
    return ConnectionState::Closed;
}

bool Connection::Reconnected() const {
    return port_.IsOpen() &&
           (reconnected_ || adapterWatch_.CurrentState() == link::AdapterWatch::State::Reconnected);
}

// ---------------------------------------------------------------------------------------------
// The link

void Connection::TimerRXTimer() {
    receiver_.Step();
    active_->ReceiveTickEnded();
    WatchIdleLink();
}

void Connection::WatchIdleLink() {
    if (!port_.IsNetwork() || !port_.IsOpen()) {
        return;
    }
    if (receiver_.ReceivedBytes() != idleBytes_) {
        idleBytes_ = receiver_.ReceivedBytes();
        idleMs_ = 0;
        return;
    }
    idleMs_ += timerRX_->Interval();
    if (!answered_) {
        return;
    }
    if (idleMs_ >= kIdleLostMs && probeAwaited_) {
        // Keep-alive is answered by the far machine's system even while the device behind it (or
        // the program serving it) is dead; only the concentrator's own silence tells.
        port_.Close();
        OnPortLost(QCoreApplication::translate("session::Connection", "нет ответа по сети %1 с")
                       .arg(kIdleLostMs / 1000));
        return;
    }
    if (idleMs_ >= kIdleProbeMs && !probeAwaited_ && !requester_.WaitInProgress()) {
        link::FrameBuffer frame{};
        link::FillHeader(frame, 0xFFFF, uartId_, 1, kAddressReadType);
        const std::size_t length = link::CompleteFrame(frame);
        port_.Write(frame.data(), length);
        probeAwaited_ = true;
    }
}

void Connection::TimerGaugeTimer() {
    if (!requester_.WaitInProgress()) {
        timerGauge_->Stop();
        return;
    }
    requester_.GaugeTick();
}

void Connection::WaitStarted(int) {
    timerGauge_->Start();
}

void Connection::WaitEnded(link::WaitOutcome, int, int) {
    timerGauge_->Stop();
}

void Connection::HandleReply(link::FrameBuffer& frame) {
    if (link::SourceAddress(frame) == uartId_) {
        answered_ = true;
    }
    // The idle check's own question: its answer is nobody's reply.
    if (probeAwaited_ && link::TypeCode(frame) == kAddressReadType) {
        probeAwaited_ = false;
        return;
    }
    // A reply that cannot be shown is reported, and the frames after it go on being handled.
    Guarded([this, &frame] { replies_.HandleReply(frame); });
}

void Connection::HandleMeterPacket(const link::FrameBuffer& frame) {
    if (listener_ != nullptr) {
        listener_->MeterPacketHeard(frame);
    }
    active_->StoreLivePacket(frame);
}

void Connection::ShowByteCounter(std::uint32_t receivedBytes) {
    if (listener_ != nullptr) {
        listener_->ByteCounter(receivedBytes);
    }
}

void Connection::ShowUartId(std::uint16_t address) {
    uartId_ = address;
    if (listener_ != nullptr) {
        listener_->UartIdReported(address);
    }
}

void Connection::SwitchRate(int rateIndex) {
    if (rateIndex < 0 || rateIndex >= 3) {
        return;
    }
    if (port_.IsNetwork()) {
        // Over the network only a rate other than the one in use changes anything: the far line
        // is set again over the same connection, or, on raw TCP, the engineer is told to set it.
        link::LineSettings settings = port_.Settings();
        if (settings.baudRate == kBaudRates[rateIndex]) {
            return;
        }
        settings.baudRate = kBaudRates[rateIndex];
        port_.SetLineSettings(settings);
        if (!port_.SetsRate()) {
            ReportError(QCoreApplication::translate(
                            "session::Connection",
                            "Концентратор работает на скорости %1 бит/с. Скорость порта %2 задаёт "
                            "удалённая сторона: если там другая, установите эту.")
                            .arg(kBaudRates[rateIndex])
                            .arg(PortName()));
            return;
        }
        if (listener_ != nullptr) {
            listener_->RateFollowed(rateIndex);
        }
        return;
    }
    if (listener_ != nullptr) {
        listener_->RateFollowed(rateIndex);
    }
    // The port is closed and opened again once the reply has been handled, not inside it.
    QMetaObject::invokeMethod(
        this,
        [this, rateIndex] { Guarded([this, rateIndex] { Reopen(PortName(), kBaudRates[rateIndex]); }); },
        Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------------------------

void Connection::Changed() {
    if (listener_ != nullptr) {
        listener_->StateChanged();
    }
}

void Connection::ReportError(const QString& message) {
    if (listener_ != nullptr) {
        listener_->ReportError(message);
    }
}

void Connection::Guarded(const std::function<void()>& step) {
    if (const Result done = Result::Catching(step); !done.IsDone()) {
        ReportError(done.Message());
    }
}

}  // namespace lumvaris::session
