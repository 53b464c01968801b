#include "cli/Session.h"

#include <utility>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <csignal>

#include "commands/CommandSender.h"
#include "commands/RequestStatusText.h"
#include "commands/Requests.h"
#include "link/Frame.h"
#include "meterdata/MeterDatabase.h"
#include "session/SiteName.h"

namespace lumvaris::cli {

QString HexBytes(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

Session::Session(const Options& options, Output& output, const QString& dataDirectory)
    : options_(options),
      output_(output),
      dataDirectory_(dataDirectory),
      portName_(options.port),
      pause_(options.command != Command::Collect),
      connection_({port_, pause_, timers_, clock_, dataDirectory}) {
    connection_.SetListener(this);
    connection_.SetQuestions(this);
    connection_.SetUartId(options.uartId);
    connection_.Requester().SetTimeoutSeconds(options.timeoutSeconds);
    // A service's journal holds what arrives between two saves: the files are rewritten every
    // ten minutes instead of every minute (the window's pace), and only when something changed.
    if (options.command == Command::Listen || options.command == Command::Collect) {
        connection_.SetSaveMinutes(kListenSaveMinutes);
    }
    connection_.Requester().AddListener(this);
    connection_.Requester().SetObserver(this);
    connection_.Receiver().SetObserver(this);
    connection_.Database().Meter().SetHooks(this);
    recorder_.Attach(connection_.Replies().Targets());
    connection_.Replies().Targets().intake = &connection_.Database();
    if (options.password) {
        recorder_.SetPassword(options.passwordText);
    }
}

Session::~Session() {
    connection_.Requester().RemoveListener(this);
    connection_.Requester().SetObserver(nullptr);
    connection_.Receiver().SetObserver(nullptr);
    connection_.Database().Meter().SetHooks(nullptr);
}

QString Session::Site() const {
    if (!options_.site.isEmpty()) {
        return options_.site;
    }
    return session::DefaultSite(portName_);
}

ExitStatus Session::Open() {
    refusal_.clear();
    // A service goes on trying a network address that does not answer yet; a one-shot command
    // says why it could not connect.
    connection_.SetRetryFirstConnect(options_.command == Command::Listen);
    if (!connection_.Open(portName_, options_.baudRate)) {
        output_.Message(refusal_);
        return ExitStatus::PortNotOpened;
    }
    if (connection_.Port().IsNetwork() && !connection_.Port().SetsRate() && options_.baudGiven) {
        output_.Message(
            QCoreApplication::translate(
                "cli::Session", "Скорость порта %1 задаёт удалённая сторона: --baud на неё не действует.")
                .arg(portName_));
    }
    if (!connection_.IsOpen()) {
        output_.Message(QCoreApplication::translate("cli::Session", "Подключение к %1…").arg(portName_));
        bool retrySaid = false;
        Wait([&] {
            const session::ConnectionState state = connection_.State();
            if (state == session::ConnectionState::WaitingForNetwork && !std::exchange(retrySaid, true)) {
                output_.Message(QCoreApplication::translate(
                                    "cli::Session",
                                    "%1 пока не отвечает: попытки продолжаются (конец: Ctrl+C или SIGTERM).")
                                    .arg(portName_));
            }
            return state != session::ConnectionState::Connecting &&
                   state != session::ConnectionState::WaitingForNetwork;
        });
        if (!connection_.IsOpen()) {
            connection_.Close();
            if (stopSignal_ == 0) {
                output_.Message(refusal_);
            }
            return ExitStatus::PortNotOpened;
        }
    }
    const QString recovered = connection_.Database().Meter().RecoveredText();
    if (!recovered.isEmpty()) {
        output_.Message(recovered);
    }
    return ExitStatus::Done;
}

ExitStatus Session::OpenWithoutWait() {
    refusal_.clear();
    connection_.SetRetryFirstConnect(true);
    if (!connection_.Open(portName_, options_.baudRate)) {
        output_.Message(refusal_);
        return ExitStatus::PortNotOpened;
    }
    return ExitStatus::Done;
}

ExitStatus Session::Close() {
    const bool failedBefore = connection_.State() == session::ConnectionState::OpenNotSaving;
    connection_.Close(session::CloseReason::Exit);
    // Close saves and asks no question: a failure leaves the records in the journal.
    if (failedBefore || connection_.Database().Meter().SavingFails()) {
        return ExitStatus::FileError;
    }
    return saveFailed_ ? ExitStatus::FileError : ExitStatus::Done;
}

bool Session::RetrySave(const QString& text, session::CloseReason) {
    saveFailed_ = true;
    // The question without its last words: the answer is always no.
    const qsizetype question = text.lastIndexOf(QCoreApplication::translate("cli::Session", "Повторить"));
    output_.Message((question > 0 ? text.left(question) : text).trimmed());
    return false;
}

void Session::StateChanged() {
    if (stateHook_) {
        stateHook_();
    }
    Wake();
}

void Session::PortLost(const QString& message) {
    portLost_ = true;
    PostAsyncEnd();
    if (lossHook_) {
        lossHook_(message);
        Wake();
        return;
    }
    // The window's advice is to choose the port again; here there is no port to choose, only the
    // cable and the adapter to look at.
    QString text = message;
    const qsizetype advice =
        text.indexOf(QCoreApplication::translate("cli::Session", "\nПроверьте подключение"));
    if (advice >= 0) {
        text = text.left(advice) +
               (connection_.Port().IsNetwork()
                    ? QCoreApplication::translate("cli::Session",
                                                  "\nПроверьте сеть до концентратора: повторное подключение.")
                    : QCoreApplication::translate("cli::Session",
                                                  "\nПроверьте кабель и адаптер концентратора."));
    }
    output_.Message(text);
    Wake();
}

void Session::UartIdReported(std::uint16_t address) {
    const QString text = QStringLiteral("%1").arg(address, 4, 16, QLatin1Char('0')).toUpper();
    recorder_.Add(QStringLiteral("uart_id"), QStringLiteral("UART-ID"), text, text);
    if (uartIdHook_) {
        uartIdHook_(address);
    }
}

void Session::ReportError(const QString& message) {
    errorReported_ = true;
    output_.Message(message);
}

void Session::Wake() {
    if (loop_ != nullptr) {
        loop_->quit();
    }
}

void Session::Stop(int signal) {
    stopSignal_ = signal;
    PostAsyncEnd();
    Wake();
}

ExitStatus Session::StopStatus() const {
    switch (stopSignal_) {
        case SIGTERM:
            return ExitStatus::Terminated;
        case SIGHUP:
            return ExitStatus::HungUp;
        default:
            return ExitStatus::Interrupted;
    }
}

void Session::RunLoop() {
    QEventLoop loop;
    QEventLoop* outer = std::exchange(loop_, &loop);
    loop.exec();
    loop_ = outer;
}

void Session::Wait(const std::function<bool()>& done) {
    while (!done() && stopSignal_ == 0 && !portLost_) {
        RunLoop();
    }
}

void Session::WaitThroughLoss(const std::function<bool()>& done) {
    while (!done() && stopSignal_ == 0) {
        RunLoop();
    }
}

void Session::Drain() {
    constexpr int kDrainMs = 100;
    QElapsedTimer time;
    time.start();
    while (connection_.IsOpen() && time.elapsed() < kDrainMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, kDrainMs);
    }
}

void Session::WaitEnded(link::WaitOutcome, int, int) {
    waitEnded_ = true;
    PostAsyncEnd();
    Wake();
}

void Session::FrameSent(const std::uint8_t* frame, std::size_t length) {
    lastSent_ = QByteArray(reinterpret_cast<const char*>(frame), static_cast<qsizetype>(length));
}

void Session::FrameReceived(const std::uint8_t* frame, std::size_t length, bool checksumOk) {
    if (!checksumOk || length < link::kHeaderSize) {
        return;
    }
    const std::uint16_t source = link::ReadWord(frame + 3);
    if (source >= link::kMeterSourceFirst && source <= link::kMeterSourceLast) {
        return;  // a meter packet, not a reply
    }
    lastReply_ = QByteArray(reinterpret_cast<const char*>(frame), static_cast<qsizetype>(length));
}

ExitStatus Session::Request(const commands::Request& request, Exchange* exchange) {
    const commands::CommandInfo& info = commands::Info(request.type);
    if (info.isProtected && options_.password) {
        const QByteArray& password = *options_.password;
        const ExitStatus accepted = SendAndWait(
            commands::request::PasswordSend(reinterpret_cast<const std::uint8_t*>(password.constData()),
                                            static_cast<std::size_t>(password.size())),
            nullptr);
        if (accepted != ExitStatus::Done) {
            return accepted;
        }
    }
    return SendAndWait(request, exchange);
}

ExitStatus Session::SendAndWait(const commands::Request& request, Exchange* exchange) {
    if (const std::optional<ExitStatus> failed = Send(request, true)) {
        return *failed;
    }
    if (commands::Info(request.type).expectedReply != link::Requester::kNoWait) {
        Wait([this] { return waitEnded_; });
    }
    return Outcome(request, exchange);
}

std::optional<ExitStatus> Session::Send(const commands::Request& request, bool pause) {
    recorder_.Clear();
    lastSent_.clear();
    lastReply_.clear();
    waitEnded_ = false;
    if (portLost_ || !connection_.IsOpen()) {
        return ExitStatus::PortNotOpened;
    }
    try {
        if (pause) {
            connection_.Sender().Send(request);
        } else {
            connection_.Sender().SendWithoutPause(request);
        }
    } catch (const std::exception& error) {
        // A port that failed under the write: its loss is said when the event loop runs.
        output_.Message(QString::fromUtf8(error.what()));
        portLost_ = true;
        return ExitStatus::PortNotOpened;
    }
    return std::nullopt;
}

ExitStatus Session::Outcome(const commands::Request& request, Exchange* exchange) {
    const commands::CommandInfo& info = commands::Info(request.type);
    link::Requester& requester = connection_.Requester();
    if (exchange != nullptr) {
        exchange->status = requester.Status();
        exchange->statusText = commands::RequestStatusText(requester.Status(), requester.StatusText());
        exchange->statusData = commands::RequestStatusDataText(requester.Status(), requester.StatusText());
        exchange->request = lastSent_;
        exchange->reply = lastReply_;
    }
    if (stopSignal_ != 0) {
        return StopStatus();
    }
    if (portLost_) {
        return ExitStatus::PortNotOpened;
    }
    if (!recorder_.Refusal().isEmpty()) {
        output_.Message(recorder_.Refusal());
        return ExitStatus::Refused;
    }
    if (info.expectedReply != link::Requester::kNoWait &&
        requester.Outcome() == link::WaitOutcome::TimedOut) {
        output_.Message(QCoreApplication::translate("cli::Session", "Нет ответа на %1 за %2 с: %3")
                            .arg(QString::fromLatin1(info.name))
                            .arg(requester.TimeoutSeconds())
                            .arg(commands::RequestStatusText(link::RequestStatus::Error)));
        return ExitStatus::NoReply;
    }
    return ExitStatus::Done;
}

void Session::RequestAsync(const commands::Request& request, std::function<void(ExitStatus)> done) {
    const bool passwordFirst = commands::Info(request.type).isProtected && options_.password.has_value();
    pending_ = Pending{request, passwordFirst, std::move(done)};
    if (passwordFirst) {
        const QByteArray& password = *options_.password;
        SendAsync(commands::request::PasswordSend(reinterpret_cast<const std::uint8_t*>(password.constData()),
                                                  static_cast<std::size_t>(password.size())));
    } else {
        SendAsync(request);
    }
}

void Session::CancelRequest() {
    pending_.reset();
    ++pendingSerial_;
}

void Session::SendAsync(const commands::Request& request) {
    ++pendingSerial_;
    // The pause after a write sleeps the thread: with many sites on it, each would hold up all the
    // others. The reply paces the next request instead (and is taken as soon as it arrives).
    if (const std::optional<ExitStatus> failed = Send(request, false)) {
        const quint64 serial = pendingSerial_;
        QTimer::singleShot(0, this, [this, serial, status = *failed] {
            if (pending_ && serial == pendingSerial_) {
                std::function<void(ExitStatus)> done = std::move(pending_->done);
                pending_.reset();
                done(status);
            }
        });
        return;
    }
    if (commands::Info(request.type).expectedReply == link::Requester::kNoWait) {
        PostAsyncEnd();
    }
}

void Session::PostAsyncEnd() {
    if (!pending_) {
        return;
    }
    const quint64 serial = pendingSerial_;
    QTimer::singleShot(0, this, [this, serial] {
        if (!pending_ || serial != pendingSerial_) {
            return;
        }
        const commands::Request sent = pending_->passwordFirst
                                           ? commands::request::Plain(commands::RequestType::PasswordSend)
                                           : pending_->request;
        const ExitStatus status = Outcome(sent, nullptr);
        if (status == ExitStatus::Done && pending_->passwordFirst) {
            pending_->passwordFirst = false;
            SendAsync(pending_->request);
            return;
        }
        std::function<void(ExitStatus)> done = std::move(pending_->done);
        pending_.reset();
        done(status);
    });
}

}  // namespace lumvaris::cli
