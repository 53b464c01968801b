#pragma once

#include <QObject>
#include <QString>

#include <memory>

#include "app/PageServices.h"
#include "commands/ReplyDisplays.h"
#include "firmware/FirmwareUpload.h"

namespace Ui {
class TFormMain;
}

namespace lumvaris::session {
class ITimer;
}  // namespace lumvaris::session

namespace lumvaris::app {

class IOpenDialog;
class TFormGauge;

// The group "Номер версии " of the "Концентратор" page: ButtonVersion reads the concentrator's
// version into LabelVerinfo, or (Ctrl, Alt) loads new firmware from a HEX file through the
// upload of firmware/, for which it is the window side: the file dialog, the question, the
// progress window TFormGauge with the main window hidden, the sends and the timers.
//
// The upload is driven by events, never by a loop that waits: the reply handler hands it its
// replies, it hears the reply waits that time out, the window tells it of a lost port
// (PortLost), "Отменить" aborts it, and its steps run from a zero-delay timer, so no request is
// ever sent from inside a reply.
class VersionPanel final : public QObject,
                           public commands::IVersionDisplay,
                           public link::IRequestListener,
                           public commands::IFirmwareReplies,
                           private firmware::IFirmwareLink,
                           private firmware::IFirmwareUploadView {
    Q_OBJECT
  public:
    // How often the upload checks that its reply wait is still its own (see WatchTick).
    static constexpr int kWatchIntervalMs = 100;

    VersionPanel(Ui::TFormMain& form, const PageServices& services);
    ~VersionPanel() override;

    // The progress window and the file dialog, made after the main window; without a file dialog
    // no upload starts.
    void SetDialogs(TFormGauge* gauge, IOpenDialog* openDialog);

    void ButtonVersionClick();
    // TFormGauge's "Отменить".
    void ButtonAbortClick();

    // link::IRequestListener: a reply wait that timed out is a failed try of the upload.
    void WaitEnded(link::WaitOutcome outcome, int elapsed, int ticks) override;
    // The port's error notification. A running upload ends at once and its end message carries
    // portText; true when it did, so the window shows no second box.
    bool PortLost(const QString& portText);
    // True while the lines go out: the window then runs the frame dispatch right after each
    // receive notification, so an acknowledgement is handled when it arrives.
    bool LinePhase() const { return upload_.MainWindowHidden(); }
    const firmware::FirmwareUpload& Upload() const { return upload_; }

    // commands::IVersionDisplay
    void ShowVersion(const QString& text) override;
    // commands::IFirmwareReplies
    std::optional<link::RequestStatus> FirmwareReply(std::uint8_t type, int length) override;
    bool ReportsRefusals() const override { return upload_.MainWindowHidden(); }

  private:
    void Load(firmware::UploadMode mode);
    void WatchTick();

    // firmware::IFirmwareLink
    bool PortOpen() const override;
    void SendFirmwareBegin(std::uint16_t lineCount) override;
    void SendFirmwareBeginLegacy() override;
    void SendFirmwareLine(std::span<const std::uint8_t> line) override;
    void ScheduleStep() override;

    // firmware::IFirmwareUploadView
    void ShowProgressWindow(const QString& caption) override;
    void HideProgressWindow() override;
    void ShowLinesLeft(qsizetype linesLeft) override;
    void ShowRequestStatus(link::RequestStatus status) override;
    void ShowMessage(const QString& text) override;

    Ui::TFormMain& form_;
    PageServices services_;
    TFormGauge* gauge_ = nullptr;
    IOpenDialog* openDialog_ = nullptr;
    firmware::FirmwareUpload upload_{*this, *this};
    std::unique_ptr<session::ITimer> stepTimer_;
    std::unique_ptr<session::ITimer> watchTimer_;
    QString portText_;  // the window's text of a lost port, for the end message
    // An end message held back for the port's loss that is still on its way, and that loss's text.
    QString deferredText_;
    QString deferredPortText_;
};

}  // namespace lumvaris::app
