#include "commands/ReplyHandler.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>
#include <iterator>

#include "commands/HexField.h"
#include "commands/IConnectionControl.h"
#include "commands/ProtectedAccess.h"
#include "commands/Text1251.h"
#include "meterdata/IClock.h"

namespace lumvaris::commands {
namespace {

using link::RequestStatus;
using enum RequestType;

const char* const kPlcBufferFull =
    QT_TRANSLATE_NOOP("commands::ReplyHandler", "Ошибка! PLC-буфер концентратора переполнен.");

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
    return type == Code(FirmwareBegin) || type == Code(FirmwareLine) || type == Code(FirmwareBeginLegacy);
}

struct RuleEntry {
    std::uint8_t type;
    ReplyHandler::Rule rule;
};

}  // namespace

// The rule of every reply type the program awaits; Restart, MonthRecordClear,
// PacketBufferClear and MonthBufferClear have none: their reply ends the wait with "Ошибка!".
ReplyHandler::Rule ReplyHandler::RuleOf(std::uint8_t type) {
    static constexpr RuleEntry kRules[] = {
        {Code(SlaveClockSync), &ReplyHandler::Acknowledgement},
        {Code(PasswordWrite), &ReplyHandler::Acknowledgement},
        {Code(PasswordSend), &ReplyHandler::PasswordAccepted},
        {Code(PlcCommandQueue), &ReplyHandler::PlcCommandQueued},
        {Code(KeyWrite), &ReplyHandler::Acknowledgement},
        {kAccessDenied, &ReplyHandler::Refusal},
        {Code(LastStartRead), &ReplyHandler::LastStart},
        {Code(RegisterRead), &ReplyHandler::Registers},
        {Code(MemoryTest), &ReplyHandler::MemoryTestResult},
        {Code(FirmwareBegin), &ReplyHandler::FirmwareStart},
        {Code(DebugModeWrite), &ReplyHandler::Acknowledgement},
        {Code(FirmwareLine), &ReplyHandler::FirmwareLineAcknowledged},
        {Code(FirmwareBeginLegacy), &ReplyHandler::MemoryCleared},
        {Code(ConfigRead), &ReplyHandler::Configuration},
        {Code(ClockRead), &ReplyHandler::Clock},
        {Code(PacketBufferRead), &ReplyHandler::PacketBuffer},
        {Code(VersionRead), &ReplyHandler::Version},
        {Code(ClockTrimRead), &ReplyHandler::ClockTrim},
        {Code(MonthBufferRead), &ReplyHandler::MonthBuffer},
        {Code(AddressRead), &ReplyHandler::Address},
        {Code(LineStateRead), &ReplyHandler::LineStateReply},
        {Code(UartRateRead), &ReplyHandler::UartRate},
        {Code(BillingDayRead), &ReplyHandler::BillingDay},
        {Code(PlcFreeCellsRead), &ReplyHandler::PlcFreeCells},
        {Code(FingerprintRead), &ReplyHandler::Fingerprint},
    };
    const auto found = std::find_if(std::begin(kRules), std::end(kRules),
                                    [type](const RuleEntry& e) { return e.type == type; });
    return found == std::end(kRules) ? nullptr : found->rule;
}

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
                           const meterdata::IClock& clock, ProtectedAccess& access)
    : requester_(requester), connection_(connection), clock_(clock), access_(access) {}

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
    const ReplyInfo* info = FindReply(type);
    const Rule rule = RuleOf(type);
    if (info == nullptr || rule == nullptr ||
        (this->*rule)(Reply{frame, link::Payload(frame), n, MeetsLength(*info, n)})) {
        requester_.EndReplyWait(true);
    }
}

// ---------------------------------------------------------------------------------------------
// The rules

bool ReplyHandler::Acknowledgement(const Reply& r) {
    if (r.meets) {
        Status(RequestStatus::Ok);
    }
    return true;
}

bool ReplyHandler::PasswordAccepted(const Reply& r) {
    // The protected commands open when the concentrator accepted exactly our text.
    if (r.meets) {
        bool accepted = false;
        if (targets_.protectedPage != nullptr) {
            const QByteArray echoed(reinterpret_cast<const char*>(r.p + 1), r.n - 1);
            const std::optional<QByteArray> ours = ToCp1251(targets_.protectedPage->CurrentPassword());
            accepted = ours && *ours == echoed;
        }
        access_.Grant(accepted);
        Status(RequestStatus::Ok);
    }
    return true;
}

bool ReplyHandler::PlcCommandQueued(const Reply& r) {
    if (r.meets) {
        Status(RequestStatus::Ok);
    } else {
        StatusText(QCoreApplication::translate("commands::ReplyHandler", kPlcBufferFull));
    }
    return true;
}

bool ReplyHandler::Refusal(const Reply& r) {
    if (!r.meets) {
        return true;
    }
    bool covered = false;
    if (IsFirmwareReply(requester_.ExpectedReplyType())) {
        covered = targets_.firmware != nullptr && targets_.firmware->ReportsRefusals();
        TellFirmware(kAccessDenied, r.n);
    }
    // The wait ends before the box: frames go on being handled while it is open.
    Status(RequestStatus::Ok);
    requester_.EndReplyWait(true);
    if (targets_.messages != nullptr && !covered) {
        targets_.messages->ShowReplyError(QCoreApplication::translate(
            "commands::Catalogue",
            requester_.ExpectedReplyType() == Code(PasswordSend) ? kWrongPasswordText : kRefusalText));
    }
    return false;
}

bool ReplyHandler::LastStart(const Reply& r) {
    // The second (P1) and the weekday (P4) are not shown.
    if (!r.meets) {
        return true;
    }
    const std::uint8_t* p = r.p;
    const QDate date(2000 + p[7], p[6] + 1, p[5] + 1);
    if (!date.isValid()) {
        throw ReplyError(QCoreApplication::translate("commands::ReplyHandler",
                                                     "Дата последнего старта концентратора недопустима: "
                                                     "день %1, месяц %2, год %3.")
                             .arg(p[5] + 1)
                             .arg(p[6] + 1)
                             .arg(2000 + p[7])
                             .toStdString());
    }
    if (targets_.protectedPage != nullptr) {
        targets_.protectedPage->ShowLastStart(date, p[3], p[2]);
    }
    Status(RequestStatus::Ok);
    return true;
}

bool ReplyHandler::Registers(const Reply& r) {
    if (r.meets) {
        if (IServiceDisplay* service = targets_.service) {
            const std::uint32_t page = HexFieldParse(service->RegisterPageText());
            const std::uint32_t offset = HexFieldParse(service->RegisterOffsetText());
            service->ShowRegisters(RegisterListing(page, offset, r.p + 1, (r.n - 1) / 2));
        }
        Status(RequestStatus::Ok);
    }
    return true;
}

bool ReplyHandler::MemoryTestResult(const Reply& r) {
    if (r.meets) {
        StatusText(MemoryTestText(r.p));
    }
    return true;
}

bool ReplyHandler::FirmwareStart(const Reply& r) {
    // No rule of its own: the upload says what the answer to its start means.
    TellFirmware(Code(FirmwareBegin), r.n);
    return true;
}

bool ReplyHandler::FirmwareLineAcknowledged(const Reply& r) {
    // A line is acknowledged only with N = 1.
    if (r.meets) {
        Status(RequestStatus::Ok);
    }
    TellFirmware(Code(FirmwareLine), r.n);
    return true;
}

bool ReplyHandler::MemoryCleared(const Reply& r) {
    if (r.meets) {
        Status(RequestStatus::MemoryCleared);
    }
    TellFirmware(Code(FirmwareBeginLegacy), r.n);
    return true;
}

bool ReplyHandler::Configuration(const Reply& r) {
    if (!r.meets) {
        return true;
    }
    const int size = std::clamp<int>(link::ReadWord(r.p + 1), kMinNetworkSize, kMaxNetworkSize);
    if (targets_.concentrator != nullptr) {
        targets_.concentrator->ShowConfiguration(ConfigurationByte::Decode(r.p[3]), size);
    }
    if (targets_.intake != nullptr) {
        targets_.intake->ApplyNetworkSize(size);
    }
    Status(RequestStatus::Ok);
    return true;
}

bool ReplyHandler::Clock(const Reply& r) {
    if (!r.meets) {
        return true;
    }
    const ClockRecord record = ClockRecord::Decode(r.p + 1);
    const std::optional<QDateTime> dateTime = record.DateTime();
    if (!dateTime) {
        throw ReplyError(
            QCoreApplication::translate("commands::ReplyHandler",
                                        "Часы концентратора показывают недопустимые дату и время: "
                                        "%1.%2.%3 %4:%5:%6.")
                .arg(record.dayIndex + 1)
                .arg(record.monthIndex + 1)
                .arg(2000 + record.year)
                .arg(record.hour)
                .arg(record.minute)
                .arg(record.second)
                .toStdString());
    }
    if (targets_.protectedPage != nullptr) {
        const double ms = static_cast<double>(clock_.Now().msecsTo(*dateTime));
        targets_.protectedPage->ShowClock({record, *dateTime,
                                           static_cast<std::int64_t>(std::llround(ms / 1000.0)),
                                           WeekdayName(record.weekday)});
    }
    Status(RequestStatus::Ok);
    return true;
}

bool ReplyHandler::PacketBuffer(const Reply& r) {
    if (!r.meets) {
        Status(RequestStatus::NoData);
        TellObserver(PacketBufferRead, r.p, r.n, false);
        return true;
    }
    if (targets_.intake != nullptr) {
        const meterdata::PacketFrame packet{link::SourceAddress(r.frame), r.p, static_cast<std::size_t>(r.n)};
        if (targets_.intake->StoreBufferRecord(packet) == meterdata::IntakeResult::BadTime) {
            throw ReplyError(
                QCoreApplication::translate("commands::ReplyHandler",
                                            "Ошибка преобразования даты и времени в записи буфера счётчика.")
                    .toStdString());
        }
    }
    Status(RequestStatus::Ok);
    TellObserver(PacketBufferRead, r.p, r.n, true);
    return true;
}

bool ReplyHandler::Version(const Reply& r) {
    if (targets_.version != nullptr) {
        targets_.version->ShowVersion(r.meets ? FromCp1251(r.p + 1, static_cast<std::size_t>(r.n - 1))
                                              : QString());
    }
    Status(r.meets ? RequestStatus::Ok : RequestStatus::NoData);
    return true;
}

bool ReplyHandler::ClockTrim(const Reply& r) {
    if (r.meets) {
        if (targets_.service != nullptr) {
            targets_.service->ShowClockTrim(Signed8(r.p[1]));
        }
        Status(RequestStatus::Ok);
    }
    return true;
}

bool ReplyHandler::MonthBuffer(const Reply& r) {
    // Up to 22 records, filed oldest first.
    if (!r.meets) {
        Status(RequestStatus::NoData);
        TellObserver(MonthBufferRead, r.p, r.n, false);
        return true;
    }
    int stored = 0;
    if (targets_.intake != nullptr) {
        const meterdata::PacketFrame packet{link::SourceAddress(r.frame), r.p, static_cast<std::size_t>(r.n)};
        const meterdata::MonthBufferResult result = targets_.intake->StoreMonthBuffer(packet);
        stored = result.Stored;
        if (result.BadTime) {
            TellObserver(MonthBufferRead, r.p, r.n, stored > 0);
            throw ReplyError(result.Error.toStdString());
        }
    } else {
        stored = (r.n - 3) / meterdata::kBufferRecordSize;
    }
    // The status turns "OK" with each record filed.
    if (stored > 0) {
        Status(RequestStatus::Ok);
    }
    TellObserver(MonthBufferRead, r.p, r.n, stored > 0);
    return true;
}

bool ReplyHandler::Address(const Reply& r) {
    if (r.meets) {
        connection_.ShowUartId(link::ReadWord(r.p + 1));
        Status(RequestStatus::Ok);
    }
    return true;
}

bool ReplyHandler::LineStateReply(const Reply& r) {
    if (r.meets) {
        if (targets_.lineState != nullptr) {
            targets_.lineState->ShowLineState(LineState::Decode(r.p + 1));
        }
        Status(RequestStatus::Ok);
    }
    return true;
}

bool ReplyHandler::UartRate(const Reply& r) {
    // The local port follows a rate it knows; another index changes nothing.
    if (r.meets && r.p[1] < kRateCount) {
        if (targets_.protectedPage != nullptr) {
            targets_.protectedPage->ShowUartRate(r.p[1]);
        }
        connection_.SwitchRate(r.p[1]);
        Status(RequestStatus::Ok);
    }
    return true;
}

bool ReplyHandler::BillingDay(const Reply& r) {
    if (r.meets) {
        if (targets_.protectedPage != nullptr) {
            targets_.protectedPage->ShowBillingDay(Signed8(r.p[1]));
        }
        Status(RequestStatus::Ok);
    }
    return true;
}

bool ReplyHandler::PlcFreeCells(const Reply& r) {
    if (r.meets) {
        if (targets_.plc != nullptr) {
            targets_.plc->ShowPlcFreeCells(r.p[1]);
        }
        Status(RequestStatus::Ok);
    }
    return true;
}

bool ReplyHandler::Fingerprint(const Reply& r) {
    // Shown high byte first.
    if (r.meets) {
        if (targets_.key != nullptr) {
            targets_.key->ShowFingerprint(
                QString::asprintf("%02X.%02X.%02X.%02X", r.p[4], r.p[3], r.p[2], r.p[1]));
        }
        Status(RequestStatus::Ok);
    }
    return true;
}

}  // namespace lumvaris::commands
