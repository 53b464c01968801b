#include "firmware/FirmwareUpload.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <exception>

namespace lumvaris::firmware {

using link::RequestStatus;

QString RefusedLineText() {
    return QCoreApplication::translate("firmware::FirmwareUpload", "Ответ концентратора: ") +
           QCoreApplication::translate("commands::Catalogue", commands::kRefusalText);
}

FirmwareUpload::FirmwareUpload(IFirmwareLink& link, IFirmwareUploadView& view) : link_(link), view_(view) {}

bool FirmwareUpload::Begin(UploadMode mode) {
    if (phase_ != Phase::Idle) {
        return false;
    }
    mode_ = mode;
    path_.clear();
    caption_.clear();
    file_.Clear();
    hexCheck_ = {};
    total_ = 0;
    ackCount_ = 0;
    tries_ = 0;
    abort_ = false;
    outcome_ = UploadOutcome::None;
    message_.clear();
    phase_ = Phase::ChoosingFile;
    return true;
}

void FirmwareUpload::FileChosen(const QString& path) {
    if (phase_ != Phase::ChoosingFile) {
        return;
    }
    path_ = path;
    caption_ = QFileInfo(path).fileName();
    // Read before the question, so the question can carry the HEX check and a file that cannot
    // go out is refused before anything is sent.
    if (!file_.LoadFromFile(path)) {
        End(UploadOutcome::FileRefused, file_.LastError());
        return;
    }
    hexCheck_ = CheckIntelHex(file_);
    if (hexCheck_.contentLines == 0) {
        End(UploadOutcome::FileRefused,
            QCoreApplication::translate("firmware::FirmwareUpload",
                                        "В файле '%1' нет ни одной записи данных: прошивать нечего.\r\n"
                                        "Концентратору ничего не отправлено. Выберите файл с прошивкой.")
                .arg(QDir::toNativeSeparators(path)));
        return;
    }
    total_ = file_.LineCount();
    ackCount_ = 0;
    phase_ = Phase::Confirming;
}

void FirmwareUpload::FileDialogCancelled() {
    if (phase_ == Phase::ChoosingFile) {
        End(UploadOutcome::Cancelled);
    }
}

QString FirmwareUpload::ConfirmationText() const {
    const QString question =
        QCoreApplication::translate("firmware::FirmwareUpload", "Начать прошивку из файла\r\n'%1'?")
            .arg(path_);
    const QString warning = HexCheckWarning(hexCheck_);
    return warning.isEmpty() ? question : warning + QStringLiteral("\r\n\r\n") + question;
}

void FirmwareUpload::ConfirmationCancelled() {
    if (phase_ == Phase::Confirming) {
        End(UploadOutcome::Cancelled);
    }
}

void FirmwareUpload::Confirmed() {
    if (phase_ != Phase::Confirming) {
        return;
    }
    abort_ = false;
    phase_ = Phase::Starting;
    if (!link_.PortOpen()) {
        End(UploadOutcome::PortLost);
        return;
    }
    inSend_ = true;
    try {
        if (mode_ == UploadMode::New) {
            // A file of more than 65,535 lines is announced by its low 16 bits but sent whole.
            link_.SendFirmwareBegin(static_cast<std::uint16_t>(total_ & 0xFFFF));
        } else {
            link_.SendFirmwareBeginLegacy();
        }
    } catch (const std::exception& error) {
        inSend_ = false;
        if (phase_ == Phase::Starting || phase_ == Phase::Lines) {
            End(UploadOutcome::PortLost, QString::fromUtf8(error.what()));
        }
        return;
    }
    inSend_ = false;
    Step();  // the start may have been answered while its pause let events run
}

std::optional<RequestStatus> FirmwareUpload::OnReply(std::uint8_t type, std::size_t length) {
    if (phase_ == Phase::Starting) {
        if (type == kAccessDeniedType) {
            End(UploadOutcome::NotStarted);  // the reply handler tells the engineer why
            return std::nullopt;
        }
        if (mode_ == UploadMode::New && type == kFirmwareBeginType) {
            EnterLinePhase();
            return RequestStatus::Ok;
        }
        if (mode_ == UploadMode::Legacy && type == kFirmwareBeginLegacyType) {
            if (length == 1) {
                EnterLinePhase();
                return RequestStatus::MemoryCleared;
            }
            End(UploadOutcome::NotStarted);
            return std::nullopt;
        }
    } else if (phase_ == Phase::Lines) {
        if (type == kFirmwareLineType && length == 1) {
            // Replies carry no line number: an acknowledgement counts for the current line once it
            // has gone out; any other (a late one while the next line is not yet written) is surplus.
            if (sendsOfLine_ > 0) {
                ++ackCount_;
                sendsOfLine_ = 0;
                tries_ = 0;
                lineRefused_ = false;
                awaiting_ = false;
                triesExhausted_ = false;  // the tenth try was answered late, but answered
                sendDue_ = true;
                view_.ShowLinesLeft(LinesLeft());
                ScheduleStepOnce();
            }
            return RequestStatus::Ok;
        }
        if (type == kFirmwareLineType || type == kAccessDeniedType) {
            // The reply ends the wait without acknowledging: no timeout will come for this send.
            if (type == kAccessDeniedType && awaiting_) {
                lineRefused_ = true;  // the reply handler shows no box for it: the end message will
            }
            FailedTry();
            return std::nullopt;
        }
    }
    if (type == kFirmwareLineType && length == 1) {
        return RequestStatus::Ok;
    }
    if (type == kFirmwareBeginLegacyType && length == 1) {
        return RequestStatus::MemoryCleared;
    }
    return std::nullopt;
}

void FirmwareUpload::OnReplyTimeout() {
    if (phase_ == Phase::Starting) {
        End(UploadOutcome::NotStarted);  // the status bar shows the timeout
    } else if (phase_ == Phase::Lines) {
        FailedTry();
    }
}

void FirmwareUpload::OnPortLost() {
    if (phase_ == Phase::Starting || phase_ == Phase::Lines) {
        End(UploadOutcome::PortLost);
    }
}

void FirmwareUpload::Abort() {
    if (phase_ != Phase::Starting && phase_ != Phase::Lines) {
        return;
    }
    abort_ = true;
    if (phase_ == Phase::Lines) {
        Step();
    }
}

void FirmwareUpload::Step() {
    stepScheduled_ = false;
    if (inSend_) {
        return;  // events ran inside a send; the send's caller carries on when it returns
    }
    while (phase_ == Phase::Lines) {
        if (abort_) {
            End(UploadOutcome::Aborted);
            return;
        }
        if (triesExhausted_) {
            End(UploadOutcome::TriesExhausted);
            return;
        }
        if (!sendDue_) {
            return;  // a reply wait is running
        }
        if (ackCount_ >= total_) {
            End(UploadOutcome::Complete);
            return;
        }
        if (!link_.PortOpen()) {
            End(UploadOutcome::PortLost);
            return;
        }
        SendCurrentLine();
    }
}

UploadState FirmwareUpload::State() const {
    switch (phase_) {
        case Phase::Idle:
            return UploadState::Idle;
        case Phase::ChoosingFile:
            return UploadState::ChoosingFile;
        case Phase::Confirming:
            return UploadState::Confirming;
        case Phase::Starting:
            return UploadState::Starting;
        case Phase::Lines:
            if (abort_ || triesExhausted_) {
                return UploadState::Ending;
            }
            return sendDue_ || inSend_ ? UploadState::SendingLine : UploadState::AwaitingAcknowledgement;
        case Phase::Ending:
            return UploadState::Ending;
    }
    return UploadState::Idle;
}

void FirmwareUpload::EnterLinePhase() {
    phase_ = Phase::Lines;
    total_ = file_.LineCount();
    ackCount_ = 0;
    tries_ = 0;
    sendsOfLine_ = 0;
    lineRefused_ = false;
    awaiting_ = false;
    triesExhausted_ = false;
    sendDue_ = true;
    view_.ShowProgressWindow(caption_);
    view_.ShowLinesLeft(LinesLeft());
    ScheduleStepOnce();
}

void FirmwareUpload::SendCurrentLine() {
    sendDue_ = false;
    awaiting_ = true;  // set first: the reply may come before the send returns
    ++sendsOfLine_;
    lineBytes_ = file_.LineBytes(ackCount_);
    inSend_ = true;
    try {
        link_.SendFirmwareLine(
            std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(lineBytes_.constData()),
                                          static_cast<std::size_t>(lineBytes_.size())));
    } catch (const std::exception& error) {
        inSend_ = false;
        if (phase_ == Phase::Lines) {
            End(UploadOutcome::PortLost, QString::fromUtf8(error.what()));
        }
        return;
    }
    inSend_ = false;
}

void FirmwareUpload::FailedTry() {
    if (!awaiting_) {
        return;  // this send has already failed once, or its line is acknowledged
    }
    awaiting_ = false;
    if (++tries_ >= kMaxTries) {
        triesExhausted_ = true;
    } else {
        sendDue_ = true;
    }
    ScheduleStepOnce();
}

void FirmwareUpload::ScheduleStepOnce() {
    if (!stepScheduled_) {
        stepScheduled_ = true;
        link_.ScheduleStep();
    }
}

void FirmwareUpload::End(UploadOutcome outcome, const QString& detail) {
    const bool linePhase = phase_ == Phase::Lines;
    phase_ = Phase::Ending;
    outcome_ = outcome;
    awaiting_ = false;
    sendDue_ = false;
    triesExhausted_ = false;

    // A refusal of the line opened no box while the main window was hidden; this names it.
    const QString refused =
        linePhase && lineRefused_ ? QStringLiteral("\r\n") + RefusedLineText() : QString();
    const QString acknowledged =
        refused + QCoreApplication::translate("firmware::FirmwareUpload", "\r\nПодтверждено строк: %1 из %2.")
                      .arg(ackCount_)
                      .arg(total_);
    const QString cause = detail.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(detail);
    switch (outcome) {
        case UploadOutcome::FileRefused:
            message_ = detail;
            break;
        case UploadOutcome::TriesExhausted:
            message_ = QCoreApplication::translate(
                           "firmware::FirmwareUpload",
                           "Прошивка прервана: концентратор не подтвердил строку %1 после %2 попыток.")
                           .arg(ackCount_ + 1)
                           .arg(kMaxTries) +
                       acknowledged;
            break;
        case UploadOutcome::Aborted:
            message_ =
                QCoreApplication::translate("firmware::FirmwareUpload", "Прошивка отменена.") + acknowledged;
            break;
        case UploadOutcome::PortLost:
            message_ =
                linePhase
                    ? QCoreApplication::translate("firmware::FirmwareUpload",
                                                  "Прошивка прервана: связь с концентратором потеряна%1.")
                              .arg(cause) +
                          acknowledged
                    : QCoreApplication::translate("firmware::FirmwareUpload",
                                                  "Прошивка не начата: связь с концентратором потеряна%1.")
                          .arg(cause);
            break;
        case UploadOutcome::None:
        case UploadOutcome::Complete:
        case UploadOutcome::Cancelled:
        case UploadOutcome::NotStarted:
            message_.clear();
            break;
    }
    file_.Clear();  // lineBytes_ stays: a send may still be using it

    if (linePhase) {
        view_.HideProgressWindow();
    }
    if (outcome == UploadOutcome::Complete) {
        view_.ShowRequestStatus(RequestStatus::Ok);
    }
    if (!message_.isEmpty()) {
        view_.ShowMessage(message_);
    }
    phase_ = Phase::Idle;
}

}  // namespace lumvaris::firmware
