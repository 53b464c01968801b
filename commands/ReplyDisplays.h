#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

#include "commands/Catalogue.h"
#include "commands/Records.h"
#include "link/Requester.h"
#include "meterdata/MeterPacketIntake.h"

namespace lumvaris::commands {

// What the reply handler hands each page: typed values, decoded and checked. Each page of the
// window implements its own part; a part left null shows nothing. The page paints and highlights
// its controls; the handler has already decided the request status.

// "Концентратор": the configuration.
class IConcentratorDisplay {
  public:
    virtual ~IConcentratorDisplay() = default;
    // networkSize is already held within 16..4096, as the window's field holds it.
    virtual void ShowConfiguration(const ConfigurationByte& configuration, int networkSize) = 0;
};

struct ClockReading {
    ClockRecord record;
    QDateTime dateTime;          // the concentrator's local date and time
    std::int64_t offsetSeconds;  // positive: the concentrator is ahead of the workstation
    QString weekday;             // "Понедельник" ..., "???" for a byte above 6
};

// "'Защищённые' команды" and the clock group of the tests page: clock, rate, billing day, the
// access to the protected commands and the time of the last start.
class IProtectedDisplay {
  public:
    virtual ~IProtectedDisplay() = default;
    virtual void ShowClock(const ClockReading& clock) = 0;
    // Year, month and day of the last start (a date the calendar can show), hour and minute.
    virtual void ShowLastStart(const QDate& date, int hour, int minute) = 0;
    virtual void ShowUartRate(int rateIndex) = 0;
    virtual void ShowBillingDay(int billingDay) = 0;
    // The text of the current-password field, to compare with what the concentrator accepted.
    virtual QString CurrentPassword() const = 0;
};

// The service pages: clock trim and registers.
class IServiceDisplay {
  public:
    virtual ~IServiceDisplay() = default;
    virtual void ShowClockTrim(int ppm) = 0;
    // The page and offset fields, read when the register reply is handled.
    virtual QString RegisterPageText() const = 0;
    virtual QString RegisterOffsetText() const = 0;
    virtual void ShowRegisters(const QStringList& lines) = 0;
};

class ILineStateDisplay {
  public:
    virtual ~ILineStateDisplay() = default;
    virtual void ShowLineState(const LineState& state) = 0;
};

class IPlcDisplay {
  public:
    virtual ~IPlcDisplay() = default;
    virtual void ShowPlcFreeCells(int cells) = 0;
};

class IKeyDisplay {
  public:
    virtual ~IKeyDisplay() = default;
    // "12.34.56.78"
    virtual void ShowFingerprint(const QString& fingerprint) = 0;
};

class IVersionDisplay {
  public:
    virtual ~IVersionDisplay() = default;
    // The version text; empty when the concentrator sent none.
    virtual void ShowVersion(const QString& text) = 0;
};

// The firmware upload hears its replies: 0x7A, 0x7E and 0x7F with their payload length, and a
// refusal (0x40) that came while one of them was awaited. The upload knows what its replies mean
// (the start it made, the line it sent), so a status it returns is the one the reply leaves.
class IFirmwareReplies {
  public:
    virtual ~IFirmwareReplies() = default;
    virtual std::optional<link::RequestStatus> FirmwareReply(std::uint8_t type, int length) = 0;
    // True while the upload's own end message speaks for a refusal (the line phase, main window
    // hidden): the refusal then opens no box of its own, so refused lines never stack boxes.
    virtual bool ReportsRefusals() const = 0;
};

// Where buffer records go, and the database settings that follow the concentrator's network.
class IMeterIntake {
  public:
    virtual ~IMeterIntake() = default;
    virtual meterdata::IntakeResult StoreBufferRecord(const meterdata::PacketFrame& frame) = 0;
    virtual meterdata::MonthBufferResult StoreMonthBuffer(const meterdata::PacketFrame& frame) = 0;
    // The database's meter count becomes this, applied as the settings dialog's "Применить".
    virtual void ApplyNetworkSize(int meters) = 0;
};

// Told of every accepted buffer reply: which meter (-1 when the reply names none) and whether it
// brought records. The read-all loop counts with it.
class IBufferReplyObserver {
  public:
    virtual ~IBufferReplyObserver() = default;
    virtual void BufferReply(RequestType type, int meter, bool delivered) = 0;
};

// Modal messages of the replies (the refusal); the window's timers keep running under them.
class IReplyMessages {
  public:
    virtual ~IReplyMessages() = default;
    virtual void ShowReplyError(const QString& text) = 0;
};

struct ReplyTargets {
    IConcentratorDisplay* concentrator = nullptr;
    IProtectedDisplay* protectedPage = nullptr;
    IServiceDisplay* service = nullptr;
    ILineStateDisplay* lineState = nullptr;
    IPlcDisplay* plc = nullptr;
    IKeyDisplay* key = nullptr;
    IVersionDisplay* version = nullptr;
    IFirmwareReplies* firmware = nullptr;
    IMeterIntake* intake = nullptr;
    IReplyMessages* messages = nullptr;
};

}  // namespace lumvaris::commands
