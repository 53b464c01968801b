#include "commands/ReplyHandler.h"

#include <algorithm>
#include <cmath>

#include "commands/Catalogue.h"
#include "commands/HexField.h"
#include "commands/IConnectionControl.h"
#include "commands/Text1251.h"
#include "meterdata/IClock.h"

namespace lumvaris::commands {
namespace {

using link::RequestStatus;

const char* const kPlcBufferFull = "Ошибка! PLC-буфер концентратора переполнен.";
const char* const kWrongPassword = "Пароль неверный!";
const char* const kPasswordNeeded = "Команда недоступна, введите пароль!";

constexpr int kMinNetworkSize = 16;
constexpr int kMaxNetworkSize = 4096;
constexpr int kRateCount = 3;

std::int16_t Signed16(const std::uint8_t* p) {
    return static_cast<std::int16_t>(link::ReadWord(p));
}
int Signed8(std::uint8_t b) {
    return static_cast<std::int8_t>(b);
}

bool IsFirmwareReply(int type) {
    return type == 0x7A || type == 0x7E || type == 0x7F;
}

}  // namespace

QString MemoryTestText(const std::uint8_t* p) {
    QString text = QStringLiteral("Memory pages total: %1").arg(link::ReadWord(p + 1));
    if (link::ReadWord(p + 3) == 0xFFFF) {
        return text + QStringLiteral(", memory test OK");
    }
    return text + QStringLiteral("; ERR offset: %1; ERR page: %2").arg(Signed16(p + 3)).arg(Signed16(p + 5));
}

QStringList RegisterListing(std::uint32_t page, std::uint32_t offset, const std::uint8_t* words, int count) {
    QStringList lines;
    for (int i = 0; i < count; ++i) {
        lines << QString::asprintf("%04X.%04X: %04X", page, offset + static_cast<std::uint32_t>(i),
                                   link::ReadWord(words + 2 * i));
    }
    return lines;
}

ReplyHandler::ReplyHandler(link::Requester& requester, IConnectionControl& connection,
                           const meterdata::IClock& clock)
    : requester_(requester), connection_(connection), clock_(clock) {}

void ReplyHandler::Status(RequestStatus status) {
    requester_.SetRequestStatus(status);
}

void ReplyHandler::StatusText(const QString& text) {
    requester_.SetRequestStatusText(text.toStdString());
    requester_.SetRequestStatus(RequestStatus::Text);
}

void ReplyHandler::TellFirmware(std::uint8_t type, int n) {
    if (targets_.firmware == nullptr) {
        return;
    }
    if (const std::optional<RequestStatus> status = targets_.firmware->FirmwareReply(type, n)) {
        Status(*status);
    }
}

void ReplyHandler::TellObserver(RequestType type, const std::uint8_t* p, int n, bool delivered) {
    if (observer_ != nullptr) {
        observer_->BufferReply(type, n >= 3 ? link::ReadWord(p + 1) : -1, delivered);
    }
}

void ReplyHandler::HandleReply(const link::FrameBuffer& frame) {
    if (link::DestinationAddress(frame) != link::SourceAddress(requester_.SendBuffer())) {
        return;
    }
    const int n = link::PayloadLength(frame);
    if (n < 1) {
        return;
    }
    const std::uint8_t type = link::TypeCode(frame);
    if (type != kAccessDenied && type != requester_.ExpectedReplyType()) {
        return;
    }
    Status(RequestStatus::Error);
    if (ApplyRule(type, link::Payload(frame), n, frame)) {
        requester_.EndReplyWait(true);
    }
}

bool ReplyHandler::ApplyRule(std::uint8_t type, const std::uint8_t* p, int n,
                             const link::FrameBuffer& frame) {
    const ReplyInfo* info = FindReply(type);
    if (info == nullptr) {
        return true;  // no rule: "Ошибка!"
    }
    const bool meets = MeetsLength(*info, n);
    const ReplyTargets& t = targets_;
    switch (type) {
        case 0x07:  // SlaveClockSync
        case 0x0A:  // PasswordWrite
        case 0x0D:  // KeyWrite
        case 0x7C:  // DebugModeWrite
            if (meets) {
                Status(RequestStatus::Ok);
            }
            break;
        case 0x0B:  // PasswordSend: the protected commands open when the concentrator accepted our text
            if (meets) {
                if (t.protectedPage != nullptr) {
                    const QByteArray accepted(reinterpret_cast<const char*>(p + 1), n - 1);
                    const std::optional<QByteArray> ours = ToCp1251(t.protectedPage->CurrentPassword());
                    t.protectedPage->SetProtectedButtonsEnabled(ours && *ours == accepted);
                }
                Status(RequestStatus::Ok);
            }
            break;
        case 0x0C:  // PlcCommandQueue
            if (meets) {
                Status(RequestStatus::Ok);
            } else {
                StatusText(QString::fromUtf8(kPlcBufferFull));
            }
            break;
        case kAccessDenied: {
            if (!meets) {
                break;
            }
            bool covered = false;
            if (IsFirmwareReply(requester_.ExpectedReplyType())) {
                covered = t.firmware != nullptr && t.firmware->ReportsRefusals();
                TellFirmware(type, n);
            }
            // The wait ends before the box: frames go on being handled while it is open.
            Status(RequestStatus::Ok);
            requester_.EndReplyWait(true);
            if (t.messages != nullptr && !covered) {
                t.messages->ShowReplyError(QString::fromUtf8(
                    requester_.ExpectedReplyType() == static_cast<int>(RequestType::PasswordSend)
                        ? kWrongPassword
                        : kPasswordNeeded));
            }
            return false;
        }
        case 0x75: {  // LastStartRead: P1 second and P4 weekday are not shown
            if (!meets) {
                break;
            }
            const QDate date(2000 + p[7], p[6] + 1, p[5] + 1);
            if (!date.isValid()) {
                throw ReplyError(QStringLiteral("Дата последнего старта концентратора недопустима: "
                                                "день %1, месяц %2, год %3.")
                                     .arg(p[5] + 1)
                                     .arg(p[6] + 1)
                                     .arg(2000 + p[7])
                                     .toStdString());
            }
            if (t.protectedPage != nullptr) {
                t.protectedPage->ShowLastStart(date, p[3], p[2]);
            }
            Status(RequestStatus::Ok);
            break;
        }
        case 0x77:  // RegisterRead
            if (meets) {
                if (t.service != nullptr) {
                    const std::uint32_t page = HexFieldParse(t.service->RegisterPageText());
                    const std::uint32_t offset = HexFieldParse(t.service->RegisterOffsetText());
                    t.service->ShowRegisters(RegisterListing(page, offset, p + 1, (n - 1) / 2));
                }
                Status(RequestStatus::Ok);
            }
            break;
        case 0x79:  // MemoryTest
            if (meets) {
                StatusText(MemoryTestText(p));
            }
            break;
        case 0x7A:  // FirmwareBegin: no rule of its own; the upload says what its answer means
            TellFirmware(type, n);
            break;
        case 0x7E:  // FirmwareLine: acknowledged only with N = 1
            if (meets) {
                Status(RequestStatus::Ok);
            }
            TellFirmware(type, n);
            break;
        case 0x7F:  // FirmwareBeginLegacy
            if (meets) {
                Status(RequestStatus::MemoryCleared);
            }
            TellFirmware(type, n);
            break;
        case 0x80: {  // ConfigRead
            if (!meets) {
                break;
            }
            const int size = std::clamp<int>(link::ReadWord(p + 1), kMinNetworkSize, kMaxNetworkSize);
            if (t.concentrator != nullptr) {
                t.concentrator->ShowConfiguration(ConfigurationByte::Decode(p[3]), size);
            }
            if (t.intake != nullptr) {
                t.intake->ApplyNetworkSize(size);
            }
            Status(RequestStatus::Ok);
            break;
        }
        case 0x81: {  // ClockRead
            if (!meets) {
                break;
            }
            const ClockRecord record = ClockRecord::Decode(p + 1);
            const std::optional<QDateTime> dateTime = record.DateTime();
            if (!dateTime) {
                throw ReplyError(QStringLiteral("Часы концентратора показывают недопустимые дату и время: "
                                                "%1.%2.%3 %4:%5:%6.")
                                     .arg(record.dayIndex + 1)
                                     .arg(record.monthIndex + 1)
                                     .arg(2000 + record.year)
                                     .arg(record.hour)
                                     .arg(record.minute)
                                     .arg(record.second)
                                     .toStdString());
            }
            if (t.protectedPage != nullptr) {
                const double ms = static_cast<double>(clock_.Now().msecsTo(*dateTime));
                t.protectedPage->ShowClock({record, *dateTime,
                                            static_cast<std::int64_t>(std::llround(ms / 1000.0)),
                                            WeekdayName(record.weekday)});
            }
            Status(RequestStatus::Ok);
            break;
        }
        case 0x82: {  // PacketBufferRead
            if (!meets) {
                Status(RequestStatus::NoData);
                TellObserver(RequestType::PacketBufferRead, p, n, false);
                break;
            }
            if (t.intake != nullptr) {
                const meterdata::PacketFrame packet{link::SourceAddress(frame), p,
                                                    static_cast<std::size_t>(n)};
                if (t.intake->StoreBufferRecord(packet) == meterdata::IntakeResult::BadTime) {
                    throw ReplyError("Ошибка преобразования даты и времени в записи буфера счётчика.");
                }
            }
            Status(RequestStatus::Ok);
            TellObserver(RequestType::PacketBufferRead, p, n, true);
            break;
        }
        case 0x83:  // VersionRead
            if (t.version != nullptr) {
                t.version->ShowVersion(meets ? FromCp1251(p + 1, static_cast<std::size_t>(n - 1))
                                             : QString());
            }
            Status(meets ? RequestStatus::Ok : RequestStatus::NoData);
            break;
        case 0x84:  // ClockTrimRead
            if (meets) {
                if (t.service != nullptr) {
                    t.service->ShowClockTrim(Signed8(p[1]));
                }
                Status(RequestStatus::Ok);
            }
            break;
        case 0x85: {  // MonthBufferRead: up to 22 records, filed oldest first
            if (!meets) {
                Status(RequestStatus::NoData);
                TellObserver(RequestType::MonthBufferRead, p, n, false);
                break;
            }
            int stored = 0;
            if (t.intake != nullptr) {
                const meterdata::PacketFrame packet{link::SourceAddress(frame), p,
                                                    static_cast<std::size_t>(n)};
                const meterdata::MonthBufferResult result = t.intake->StoreMonthBuffer(packet);
                stored = result.Stored;
                if (result.BadTime) {
                    TellObserver(RequestType::MonthBufferRead, p, n, stored > 0);
                    throw ReplyError(result.Error.toStdString());
                }
            } else {
                stored = (n - 3) / meterdata::kBufferRecordSize;
            }
            // The status turns "OK" with each record filed.
            if (stored > 0) {
                Status(RequestStatus::Ok);
            }
            TellObserver(RequestType::MonthBufferRead, p, n, stored > 0);
            break;
        }
        case 0x86:  // AddressRead
            if (meets) {
                connection_.ShowUartId(link::ReadWord(p + 1));
                Status(RequestStatus::Ok);
            }
            break;
        case 0x87:  // LineStateRead
            if (meets) {
                if (t.lineState != nullptr) {
                    t.lineState->ShowLineState(LineState::Decode(p + 1));
                }
                Status(RequestStatus::Ok);
            }
            break;
        case 0x88:  // UartRateRead: the local port follows a rate it knows; another index changes nothing
            if (meets && p[1] < kRateCount) {
                if (t.protectedPage != nullptr) {
                    t.protectedPage->ShowUartRate(p[1]);
                }
                connection_.SwitchRate(p[1]);
                Status(RequestStatus::Ok);
            }
            break;
        case 0x89:  // BillingDayRead
            if (meets) {
                if (t.protectedPage != nullptr) {
                    t.protectedPage->ShowBillingDay(Signed8(p[1]));
                }
                Status(RequestStatus::Ok);
            }
            break;
        case 0x8A:  // PlcFreeCellsRead
            if (meets) {
                if (t.plc != nullptr) {
                    t.plc->ShowPlcFreeCells(p[1]);
                }
                Status(RequestStatus::Ok);
            }
            break;
        case 0x8B:  // FingerprintRead, shown high byte first
            if (meets) {
                if (t.key != nullptr) {
                    t.key->ShowFingerprint(QString::asprintf("%02X.%02X.%02X.%02X", p[4], p[3], p[2], p[1]));
                }
                Status(RequestStatus::Ok);
            }
            break;
        default:  // 0x76, 0x78, 0x7B, 0x7D: no rule
            break;
    }
    return true;
}

}  // namespace lumvaris::commands
