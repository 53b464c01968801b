#include "cli/ReplyRecorder.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QLocale>

#include "meterdata/RecordTextFormatter.h"
#include "session/Connection.h"

namespace lumvaris::cli {
namespace {

// The items of the window's radio groups, in their order.
const char* const kOperatingModes[] = {"MAIN", "MASTER-SR", "SLAVE-SRT", "SLAVE-SR"};
const char* const kPlcInterface[] = {QT_TRANSLATE_NOOP("cli::ReplyRecorder", "Разрешить"),
                                     QT_TRANSLATE_NOOP("cli::ReplyRecorder", "Запретить")};
const char* const kPortModes[] = {
    QT_TRANSLATE_NOOP("cli::ReplyRecorder", "больше ничего не делать"),
    QT_TRANSLATE_NOOP("cli::ReplyRecorder", "сразу передавать в последовательный порт")};
const char* const kPhases[] = {"A", "B", "C"};

// Shown in the program's language; the Latin items have no translation and stay as they are.
QString Text(const char* const* items, int count, int index) {
    return index >= 0 && index < count ? QCoreApplication::translate("cli::ReplyRecorder", items[index])
                                       : QString::number(index);
}

}  // namespace

void ReplyRecorder::Attach(commands::ReplyTargets& targets) {
    targets.concentrator = this;
    targets.protectedPage = this;
    targets.service = this;
    targets.lineState = this;
    targets.plc = this;
    targets.key = this;
    targets.version = this;
    targets.messages = this;
}

void ReplyRecorder::Clear() {
    shown_.clear();
    refusal_.clear();
}

void ReplyRecorder::Add(const QString& key, const QString& label, const QString& text,
                        const QJsonValue& json) {
    shown_.append({key, label, text, json});
}

void ReplyRecorder::SetRegisterAddress(const QString& page, const QString& offset) {
    registerPage_ = page;
    registerOffset_ = offset;
}

void ReplyRecorder::ShowConfiguration(const commands::ConfigurationByte& c, int networkSize) {
    Add(QStringLiteral("operating_mode"), QCoreApplication::translate("cli::ReplyRecorder", "Режим работы"),
        Text(kOperatingModes, 4, c.operatingMode), Text(kOperatingModes, 4, c.operatingMode));
    Add(QStringLiteral("plc_interface_enabled"),
        QCoreApplication::translate("cli::ReplyRecorder", "PLC-интерфейс"),
        Text(kPlcInterface, 2, c.plcStopped), c.plcStopped == 0);
    Add(QStringLiteral("forward_packets"),
        QCoreApplication::translate("cli::ReplyRecorder", "Принятые пакеты сохранять в памяти и"),
        Text(kPortModes, 2, c.portMode), c.portMode == 1);
    Add(QStringLiteral("winter_time"),
        QCoreApplication::translate("cli::ReplyRecorder", "Автоматически переходить на зимнее время"),
        c.winterTime ? QCoreApplication::translate("cli::ReplyRecorder", "да")
                     : QCoreApplication::translate("cli::ReplyRecorder", "нет"),
        c.winterTime);
    Add(QStringLiteral("network_size"), QCoreApplication::translate("cli::ReplyRecorder", "Размер сети"),
        QString::number(networkSize), networkSize);
}

void ReplyRecorder::ShowClock(const commands::ClockReading& clock) {
    // As the window's date and time fields show them, in the workstation's formats.
    const QLocale locale = QLocale::system();
    const QString shown =
        locale.toString(clock.dateTime.date(), locale.dateFormat(QLocale::ShortFormat)) + QLatin1Char(' ') +
        locale.toString(clock.dateTime.time(), meterdata::RecordTextFormatter::StripTimeZone(
                                                   locale.timeFormat(QLocale::LongFormat)));
    Add(QStringLiteral("clock"), QCoreApplication::translate("cli::ReplyRecorder", "Часы"), shown,
        clock.dateTime.toString(Qt::ISODate));
    Add(QStringLiteral("weekday"), QCoreApplication::translate("cli::ReplyRecorder", "День недели"),
        clock.weekday, commands::WeekdayDataName(clock.record.weekday));
    Add(QStringLiteral("clock_offset_seconds"),
        QCoreApplication::translate("cli::ReplyRecorder", "Отклонение от часов компьютера"),
        commands::ClockOffsetText(clock.offsetSeconds), static_cast<qint64>(clock.offsetSeconds));
}

void ReplyRecorder::ShowLastStart(const QDate& date, int hour, int minute) {
    const QString text =
        date.toString(Qt::ISODate) +
        QStringLiteral(" %1:%2").arg(hour, 2, 10, QLatin1Char('0')).arg(minute, 2, 10, QLatin1Char('0'));
    Add(QStringLiteral("last_start"),
        QCoreApplication::translate("cli::ReplyRecorder", "Дата/время последнего старта"), text,
        date.toString(Qt::ISODate) + QLatin1Char('T') + text.mid(11) + QStringLiteral(":00"));
}

void ReplyRecorder::ShowUartRate(int rateIndex) {
    const int rate = rateIndex >= 0 && rateIndex < 3 ? session::Connection::kBaudRates[rateIndex] : 0;
    Add(QStringLiteral("baud_rate"),
        QCoreApplication::translate("cli::ReplyRecorder", "Скорость порта концентратора"),
        QString::number(rate), rate);
}

void ReplyRecorder::ShowBillingDay(int billingDay) {
    Add(QStringLiteral("billing_day"), QCoreApplication::translate("cli::ReplyRecorder", "Расчётный день"),
        QString::number(billingDay), billingDay);
}

void ReplyRecorder::ShowClockTrim(int ppm) {
    Add(QStringLiteral("clock_trim_ppm"),
        QCoreApplication::translate("cli::ReplyRecorder", "Калибровка часов"),
        QStringLiteral("%1 ppm").arg(ppm), ppm);
}

void ReplyRecorder::ShowRegisters(const QStringList& lines) {
    Add(QStringLiteral("registers"), QCoreApplication::translate("cli::ReplyRecorder", "Регистры"),
        QLatin1Char('\n') + lines.join(QLatin1Char('\n')), QJsonArray::fromStringList(lines));
}

void ReplyRecorder::ShowLineState(const commands::LineState& state) {
    QJsonObject phases;
    QStringList lines;
    for (int phase = 0; phase < commands::LineState::kPhases; ++phase) {
        QJsonArray levels;
        QStringList texts;
        for (int f = 0; f < commands::LineState::kFrequencies; ++f) {
            levels.append(state.Level(phase, f));
            texts << commands::LineState::FrequencyText(f) + QLatin1Char('=') +
                         QString::number(state.Level(phase, f));
        }
        phases.insert(QString::fromLatin1(kPhases[phase]),
                      QJsonObject{{QStringLiteral("levels"), levels},
                                  {QStringLiteral("correction"), state.CorrectionText(phase)}});
        lines << QCoreApplication::translate("cli::ReplyRecorder", "%1: %2; коррекция %3")
                     .arg(QString::fromLatin1(kPhases[phase]), texts.join(QStringLiteral(", ")),
                          state.CorrectionText(phase));
    }
    Add(QStringLiteral("line_state"), QCoreApplication::translate("cli::ReplyRecorder", "Состояние линии"),
        QLatin1Char('\n') + lines.join(QLatin1Char('\n')), phases);
}

void ReplyRecorder::ShowPlcFreeCells(int cells) {
    Add(QStringLiteral("plc_free_cells"),
        QCoreApplication::translate("cli::ReplyRecorder", "Свободных ячеек PLC-буфера"),
        QString::number(cells), cells);
}

void ReplyRecorder::ShowFingerprint(const QString& fingerprint) {
    Add(QStringLiteral("key_fingerprint"),
        QCoreApplication::translate("cli::ReplyRecorder", "Отпечаток ключа"), fingerprint, fingerprint);
}

void ReplyRecorder::ShowVersion(const QString& text) {
    Add(QStringLiteral("version"), QCoreApplication::translate("cli::ReplyRecorder", "Версия"), text, text);
}

}  // namespace lumvaris::cli
