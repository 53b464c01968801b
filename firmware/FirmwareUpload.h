#pragma once

#include "commands/Catalogue.h"
#include "firmware/FirmwareFile.h"
#include "firmware/IntelHexCheck.h"
#include "link/Requester.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <span>

namespace lumvaris::firmware {

// Reply type codes the upload reacts to.
inline constexpr std::uint8_t kFirmwareBeginType = commands::Code(commands::RequestType::FirmwareBegin);
inline constexpr std::uint8_t kFirmwareLineType = commands::Code(commands::RequestType::FirmwareLine);
inline constexpr std::uint8_t kFirmwareBeginLegacyType =
    commands::Code(commands::RequestType::FirmwareBeginLegacy);
inline constexpr std::uint8_t kAccessDeniedType = commands::kAccessDenied;

// Sends of one line before the upload gives up; each send is bounded by the reply wait.
inline constexpr int kMaxTries = 10;

// What an end message adds when the line it stopped at was refused (40h): in the line phase the
// reply handler leaves refusals to the upload, so that ten refused lines never stack ten boxes.
QString RefusedLineText();

// The link as the upload needs it. The window implements it over its sender (header, UART-ID,
// checksum, CRC, then the reply wait of link::Requester). A send that cannot be written throws
// (link::SerialPortError); the upload then ends as with a lost port.
class IFirmwareLink {
  public:
    virtual ~IFirmwareLink() = default;
    virtual bool PortOpen() const = 0;
    // FirmwareBegin, N = 3, P1-P2 the line count low byte first; awaits 0x7A; 100 ms pause.
    virtual void SendFirmwareBegin(std::uint16_t lineCount) = 0;
    // FirmwareBeginLegacy, N = 1; awaits 0x7F; 100 ms pause.
    virtual void SendFirmwareBeginLegacy() = 0;
    // FirmwareLine, N = 1 + line.size() (at most 255), P1.. the line's bytes; awaits 0x7E; no pause.
    virtual void SendFirmwareLine(std::span<const std::uint8_t> line) = 0;
    // Have FirmwareUpload::Step called once the current event handler has returned (a zero-delay
    // timer). The upload never sends from inside a reply event: the reply handler ends the reply
    // wait as answered after its rule, and that must not end the wait of the next line.
    virtual void ScheduleStep() = 0;
};

// What the upload has the window show.
class IFirmwareUploadView {
  public:
    virtual ~IFirmwareUploadView() = default;
    // Line phase begins: hide the main window, show TFormGauge with this caption (the file name).
    virtual void ShowProgressWindow(const QString& caption) = 0;
    // Line phase over: hide TFormGauge, show the main window again.
    virtual void HideProgressWindow() = 0;
    // LabelInfo: lines not yet acknowledged.
    virtual void ShowLinesLeft(qsizetype linesLeft) = 0;
    // Set and show the request status (a complete upload leaves "OK").
    virtual void ShowRequestStatus(link::RequestStatus status) = 0;
    // A modal error box with one OK button.
    virtual void ShowMessage(const QString& text) = 0;
};

enum class UploadMode {
    New,     // "Загрузить новую": FirmwareBegin with the line count, answered by 0x7A
    Legacy,  // "Загрузить новую (устар.)": FirmwareBeginLegacy, answered by 0x7F
};

enum class UploadState {
    Idle,
    ChoosingFile,
    Confirming,
    Starting,                 // start request sent, its reply awaited
    SendingLine,              // line AcknowledgementCount() is due or being written
    AwaitingAcknowledgement,  // line AcknowledgementCount() sent, its reply wait running
    Ending,                   // only while the end is being shown
};

enum class UploadOutcome {
    None,            // nothing has ended yet
    Complete,        // every line acknowledged
    Cancelled,       // file dialog or confirmation cancelled
    FileRefused,     // unreadable, too large, or a line too long for one request
    NotStarted,      // start request timed out or was refused
    TriesExhausted,  // a line went unacknowledged kMaxTries times
    Aborted,         // "Отменить"
    PortLost,        // the port vanished or a send could not be written
};

// The firmware upload, driven by the window's events and never by waiting:
//   ButtonVersionClick  Begin(mode), then the file dialog: FileChosen(path) or FileDialogCancelled();
//                       when State() is Confirming, the question ConfirmationText() (OK/Cancel):
//                       Confirmed() or ConfirmationCancelled();
//   reply handler       for an accepted reply of type 0x7A, 0x7E, 0x7F or 0x40, after its own
//                       checks: OnReply(type, N); a returned status replaces "Ошибка!" as the rule's
//                       result; then it ends the reply wait as answered, as for every reply;
//   TimerGauge          OnReplyTimeout() when the reply wait ran out;
//   port error          OnPortLost();
//   ButtonAbortClick    Abort();
//   ScheduleStep()      Step().
// One line at a time, in file order, each acknowledged (0x7E, N = 1) before the next is sent. A
// timeout, a refusal (0x40) or a line reply of another N is a failed try and the line is sent
// again, at most kMaxTries sends; an acknowledgement counts only for a line that has been sent and
// not yet acknowledged, so surplus ones never skip a line or count past the total.
class FirmwareUpload {
  public:
    FirmwareUpload(IFirmwareLink& link, IFirmwareUploadView& view);

    // False (and nothing changes) unless Idle.
    bool Begin(UploadMode mode);
    // Reads and checks the file; a refused file is reported through ShowMessage and ends the upload.
    void FileChosen(const QString& path);
    void FileDialogCancelled();
    // The HEX check's warning (if any), then "Начать прошивку из файла\r\n'<path>'?".
    QString ConfirmationText() const;
    const HexCheckResult& HexCheck() const { return hexCheck_; }
    void Confirmed();
    void ConfirmationCancelled();

    std::optional<link::RequestStatus> OnReply(std::uint8_t type, std::size_t length);
    void OnReplyTimeout();
    void OnPortLost();
    void Abort();
    void Step();

    UploadState State() const;
    UploadMode Mode() const { return mode_; }
    const QString& FilePath() const { return path_; }
    const QString& ProgressCaption() const { return caption_; }
    qsizetype LineTotal() const { return total_; }
    // Lines acknowledged so far; also the index of the line being sent.
    qsizetype AcknowledgementCount() const { return ackCount_; }
    qsizetype LinesLeft() const { return total_ - ackCount_; }
    // Failed tries of the line being sent.
    int TryCount() const { return tries_; }
    bool AbortRequested() const { return abort_; }
    // True during the line phase, while TFormGauge is the only window.
    bool MainWindowHidden() const { return phase_ == Phase::Lines; }
    UploadOutcome Outcome() const { return outcome_; }
    // The text of the last end's message box; empty for a silent end.
    const QString& OutcomeMessage() const { return message_; }

  private:
    enum class Phase { Idle, ChoosingFile, Confirming, Starting, Lines, Ending };

    void EnterLinePhase();
    void SendCurrentLine();
    void FailedTry();
    void ScheduleStepOnce();
    void End(UploadOutcome outcome, const QString& detail = {});

    IFirmwareLink& link_;
    IFirmwareUploadView& view_;

    Phase phase_ = Phase::Idle;
    UploadMode mode_ = UploadMode::New;
    QString path_;
    QString caption_;
    FirmwareFile file_;
    HexCheckResult hexCheck_;
    QByteArray lineBytes_;  // the line being written, alive for the whole send

    qsizetype total_ = 0;
    qsizetype ackCount_ = 0;
    int tries_ = 0;
    int sendsOfLine_ = 0;    // sends of the current line; 0 means it has not gone out yet
    bool awaiting_ = false;  // a reply wait of a line send is running
    bool sendDue_ = false;
    bool triesExhausted_ = false;
    bool lineRefused_ = false;  // a try of the current line was refused
    bool abort_ = false;
    bool inSend_ = false;
    bool stepScheduled_ = false;

    UploadOutcome outcome_ = UploadOutcome::None;
    QString message_;
};

}  // namespace lumvaris::firmware
