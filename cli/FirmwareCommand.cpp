#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonObject>
#include <QTimer>

#include <stdexcept>

#include "cli/Commands.h"
#include "cli/Session.h"
#include "commands/CommandSender.h"
#include "commands/Requests.h"
#include "firmware/FirmwareUpload.h"
#include "session/Result.h"

namespace lumvaris::cli {
namespace {

using firmware::UploadOutcome;
using firmware::UploadState;

// The firmware upload's link and view on the command line: the requests through the connection's
// sender, the progress bar in lines, the messages on standard error.
class FirmwareFace final : public firmware::IFirmwareLink,
                           public firmware::IFirmwareUploadView,
                           public commands::IFirmwareReplies,
                           private link::IRequestListener {
  public:
    explicit FirmwareFace(Session& session) : session_(session), upload_(*this, *this) {
        session_.Connection().Requester().AddListener(this);
        session_.Connection().Replies().Targets().firmware = this;
    }
    ~FirmwareFace() override {
        session_.Connection().Replies().Targets().firmware = nullptr;
        session_.Connection().Requester().RemoveListener(this);
    }
    firmware::FirmwareUpload& Upload() { return upload_; }

    // firmware::IFirmwareLink
    bool PortOpen() const override { return session_.Connection().IsOpen(); }
    void SendFirmwareBegin(std::uint16_t lineCount) override {
        session_.Connection().Sender().Send(commands::request::FirmwareBegin(lineCount));
    }
    void SendFirmwareBeginLegacy() override {
        session_.Connection().Sender().Send(
            commands::request::Plain(commands::RequestType::FirmwareBeginLegacy));
    }
    void SendFirmwareLine(std::span<const std::uint8_t> line) override {
        // The file reader refuses longer lines; a request never carries a cut one.
        if (line.size() > static_cast<std::size_t>(firmware::kMaxLineLength)) {
            throw std::length_error(
                QCoreApplication::translate("cli::FirmwareCommand", "строка длиннее одного запроса")
                    .toStdString());
        }
        session_.Connection().Sender().Send(commands::request::FirmwareLine(line.data(), line.size()));
    }
    void ScheduleStep() override {
        // Never from inside a reply: once the handler has returned.
        QTimer::singleShot(0, &session_, [this] {
            if (const session::Result stepped = session::Result::Catching([this] { upload_.Step(); });
                !stepped.IsDone()) {
                session_.Out().Message(stepped.Message());
            }
            session_.Wake();
        });
    }

    // firmware::IFirmwareUploadView
    void ShowProgressWindow(const QString&) override {}
    void HideProgressWindow() override { session_.Out().EndProgress(); }
    void ShowLinesLeft(qsizetype linesLeft) override {
        session_.Out().Progress(upload_.LineTotal() - linesLeft, upload_.LineTotal());
    }
    void ShowRequestStatus(link::RequestStatus) override {}
    void ShowMessage(const QString& text) override { session_.Out().Message(text); }

    // commands::IFirmwareReplies
    std::optional<link::RequestStatus> FirmwareReply(std::uint8_t type, int length) override {
        const auto status = upload_.OnReply(type, static_cast<std::size_t>(length));
        session_.Wake();
        return status;
    }
    bool ReportsRefusals() const override { return upload_.MainWindowHidden(); }

  private:
    void WaitEnded(link::WaitOutcome outcome, int, int) override {
        if (outcome == link::WaitOutcome::TimedOut) {
            upload_.OnReplyTimeout();
            session_.Wake();
        }
    }

    Session& session_;
    firmware::FirmwareUpload upload_;
};

}  // namespace

ExitStatus RunFirmware(Session& session) {
    const Options& o = session.Opts();
    const QFileInfo file(o.firmwareFile);
    if (!file.isFile() || !file.isReadable()) {
        session.Out().Message(
            QCoreApplication::translate("cli::FirmwareCommand", "Файл прошивки «%1» не читается.")
                .arg(o.firmwareFile));
        return ExitStatus::FileError;
    }
    FirmwareFace face(session);
    firmware::FirmwareUpload& upload = face.Upload();
    // The same checks as the window's, before the port opens: a file that cannot go out is refused.
    upload.Begin(o.legacy ? firmware::UploadMode::Legacy : firmware::UploadMode::New);
    upload.FileChosen(file.absoluteFilePath());
    if (upload.State() != UploadState::Confirming) {
        return ExitStatus::Usage;
    }
    // The window shows the HEX check's warning in its question; here nobody is asked, so a file
    // that fails the check goes out only when --force says so.
    const QString warning = firmware::HexCheckWarning(upload.HexCheck());
    if (!warning.isEmpty()) {
        session.Out().Message(warning);
        if (!o.force) {
            session.Out().Message(
                QCoreApplication::translate("cli::FirmwareCommand",
                                            "Прошивка не начата. Чтобы всё же загрузить этот файл, "
                                            "добавьте --force."));
            upload.ConfirmationCancelled();
            return ExitStatus::Usage;
        }
    }
    ExitStatus status = session.Open();
    if (status != ExitStatus::Done) {
        upload.ConfirmationCancelled();
        return status;
    }
    upload.Confirmed();
    session.Wait([&upload] { return upload.State() == UploadState::Idle; });
    if (upload.State() != UploadState::Idle) {
        // A stop signal ends the upload as "Отменить" does; a lost port as the window's does.
        if (session.StopSignal() != 0) {
            upload.Abort();
        } else {
            upload.OnPortLost();
        }
        session.Wait([&upload] { return upload.State() == UploadState::Idle; });
    }
    session.Out().EndProgress();
    switch (upload.Outcome()) {
        case UploadOutcome::Complete:
            status = ExitStatus::Done;
            break;
        case UploadOutcome::Aborted:
            status = ExitStatus::Interrupted;
            break;
        case UploadOutcome::PortLost:
            status = ExitStatus::PortNotOpened;
            break;
        case UploadOutcome::NotStarted:
        case UploadOutcome::TriesExhausted:
            status = !session.Recorder().Refusal().isEmpty() ||
                             upload.OutcomeMessage().contains(firmware::RefusedLineText())
                         ? ExitStatus::Refused
                         : ExitStatus::NoReply;
            if (!session.Recorder().Refusal().isEmpty()) {
                session.Out().Message(session.Recorder().Refusal());
            }
            break;
        default:
            status = ExitStatus::Usage;
            break;
    }
    if (session.StopSignal() != 0) {
        status = session.StopStatus();
    }
    const QString result = QCoreApplication::translate("cli::FirmwareCommand", "Строк подтверждено: %1 из %2")
                               .arg(upload.AcknowledgementCount())
                               .arg(upload.LineTotal());
    session.Out().Text(result);
    session.Out().Object({{QStringLiteral("lines"), upload.LineTotal()},
                          {QStringLiteral("acknowledged"), upload.AcknowledgementCount()},
                          {QStringLiteral("complete"), upload.Outcome() == UploadOutcome::Complete}});
    return Worse(status, session.Close());
}

}  // namespace lumvaris::cli
