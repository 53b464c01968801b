#include "app/VersionPanel.h"
#include "app/Highlights.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <stdexcept>
#include <utility>

#include "app/IMessageBox.h"
#include "app/IOpenDialog.h"
#include "app/ModeButtons.h"
#include "app/TFormGauge.h"
#include "commands/CommandSender.h"
#include "commands/IConnectionControl.h"
#include "commands/ModeTable.h"
#include "link/Requester.h"
#include "session/ITimer.h"
#include "ui_FormGauge.h"
#include "ui_FormMain.h"

namespace lumvaris::app {

using commands::ModeAction;
using commands::ModeButton;
using commands::RequestType;
using firmware::UploadMode;
using firmware::UploadState;
namespace request = commands::request;

VersionPanel::VersionPanel(Ui::TFormMain& form, const PageServices& services)
    : form_(form), services_(services) {
    connect(form_.ButtonVersion, &QPushButton::clicked, this,
            services_.Guard([this] { ButtonVersionClick(); }));
    stepTimer_ = services_.timers.Create("TimerFirmwareStep", 0, services_.Guard([this] {
        stepTimer_->Stop();
        upload_.Step();
    }));
    watchTimer_ = services_.timers.Create("TimerFirmwareWatch", kWatchIntervalMs,
                                          services_.Guard([this] { WatchTick(); }));
    services_.requester.AddListener(this);
}

VersionPanel::~VersionPanel() {
    services_.requester.RemoveListener(this);
}

void VersionPanel::SetDialogs(TFormGauge* gauge, IOpenDialog* openDialog) {
    gauge_ = gauge;
    openDialog_ = openDialog;
    if (gauge_ != nullptr) {
        connect(gauge_->Form().ButtonAbort, &QPushButton::clicked, this,
                services_.Guard([this] { ButtonAbortClick(); }));
    }
}

void VersionPanel::ButtonVersionClick() {
    switch (services_.modes.ActionAtClick(ModeButton::Version)) {
        case ModeAction::Read:
            services_.sender.Send(request::Plain(RequestType::VersionRead));
            break;
        case ModeAction::LoadNew:
            Load(UploadMode::New);
            break;
        case ModeAction::LoadNewLegacy:
            Load(UploadMode::Legacy);
            break;
        default:
            break;
    }
}

void VersionPanel::Load(UploadMode mode) {
    if (!upload_.Begin(mode)) {
        return;  // an upload is already on its way
    }
    const QString path = openDialog_ != nullptr ? openDialog_->Execute(services_.window) : QString();
    if (path.isEmpty()) {
        upload_.FileDialogCancelled();
        return;
    }
    upload_.FileChosen(path);  // a file that cannot go out is refused here, with its message
    if (upload_.State() != UploadState::Confirming) {
        return;
    }
    if (!services_.messages.Confirm(services_.window, upload_.ConfirmationText())) {
        upload_.ConfirmationCancelled();
        return;
    }
    upload_.Confirmed();
    if (upload_.State() != UploadState::Idle) {
        watchTimer_->Start();
    }
}

void VersionPanel::ButtonAbortClick() {
    upload_.Abort();
}

void VersionPanel::WaitEnded(link::WaitOutcome outcome, int, int) {
    if (outcome == link::WaitOutcome::TimedOut) {
        services_.guarded([this] { upload_.OnReplyTimeout(); });
    }
}

bool VersionPanel::PortLost(const QString& portText) {
    if (!deferredText_.isEmpty()) {
        deferredPortText_ = portText;
        return true;
    }
    const UploadState state = upload_.State();
    if (state == UploadState::Idle || state == UploadState::ChoosingFile ||
        state == UploadState::Confirming) {
        return false;
    }
    portText_ = portText;
    upload_.OnPortLost();
    portText_.clear();
    return true;
}

void VersionPanel::WatchTick() {
    const UploadState state = upload_.State();
    if (state == UploadState::Idle) {
        watchTimer_->Stop();
        return;
    }
    // Another request (another page's timer, a click while the start is awaited) took over the
    // reply wait and was answered: neither a reply of the upload nor a timeout will come for the
    // request the upload is waiting on. It counts as the timeout it stands for.
    const link::Requester& requester = services_.requester;
    if ((state == UploadState::Starting || state == UploadState::AwaitingAcknowledgement) &&
        !requester.WaitInProgress() && requester.Outcome() == link::WaitOutcome::Answered) {
        upload_.OnReplyTimeout();
    }
}

void VersionPanel::ShowVersion(const QString& text) {
    form_.LabelVerinfo->setText(text);
    if (!text.isEmpty()) {
        services_.highlights.Highlight(form_.LabelVerinfo);
    }
}

std::optional<link::RequestStatus> VersionPanel::FirmwareReply(std::uint8_t type, int length) {
    return upload_.OnReply(type, static_cast<std::size_t>(length));
}

bool VersionPanel::PortOpen() const {
    return services_.connection.IsOpen();
}

void VersionPanel::SendFirmwareBegin(std::uint16_t lineCount) {
    services_.sender.Send(request::FirmwareBegin(lineCount));
}

void VersionPanel::SendFirmwareBeginLegacy() {
    services_.sender.Send(request::Plain(RequestType::FirmwareBeginLegacy));
}

void VersionPanel::SendFirmwareLine(std::span<const std::uint8_t> line) {
    // The file reader refuses longer lines; a request never carries a cut one.
    if (line.size() > static_cast<std::size_t>(firmware::kMaxLineLength)) {
        throw std::length_error(tr("строка длиннее одного запроса").toStdString());
    }
    services_.sender.Send(request::FirmwareLine(line.data(), line.size()));
}

void VersionPanel::ScheduleStep() {
    stepTimer_->Start();
}

void VersionPanel::ShowProgressWindow(const QString& caption) {
    if (gauge_ == nullptr) {
        return;  // without a progress window the main window stays in sight
    }
    gauge_->setWindowTitle(caption);
    services_.window->hide();
    gauge_->show();
}

void VersionPanel::HideProgressWindow() {
    if (gauge_ == nullptr) {
        return;
    }
    gauge_->hide();
    services_.window->show();
    services_.window->activateWindow();
}

void VersionPanel::ShowLinesLeft(qsizetype linesLeft) {
    if (gauge_ != nullptr) {
        gauge_->Form().LabelInfo->setText(QString::number(linesLeft));
    }
}

void VersionPanel::ShowRequestStatus(link::RequestStatus status) {
    services_.requester.SetRequestStatus(status);
    services_.requester.ShowRequestStatus();
}

void VersionPanel::ShowMessage(const QString& text) {
    if (upload_.Outcome() == firmware::UploadOutcome::PortLost && portText_.isEmpty()) {
        // The upload found the port closed before the port's loss was told (its report waits in the
        // event queue): the one message waits for it, so that it says both.
        deferredText_ = text;
        QTimer::singleShot(0, services_.window, [this] {
            const QString shown = std::exchange(deferredText_, QString());
            const QString port = std::exchange(deferredPortText_, QString());
            services_.messages.Error(services_.window,
                                     port.isEmpty() ? shown : shown + QStringLiteral("\r\n\r\n") + port);
        });
        return;
    }
    QString shown = text;
    if (!portText_.isEmpty()) {
        shown += QStringLiteral("\r\n\r\n") + portText_;
    }
    services_.messages.Error(services_.window, shown);
}

}  // namespace lumvaris::app
