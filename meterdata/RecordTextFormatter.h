#pragma once

#include "meterdata/DateTimeTextFormat.h"
#include "meterdata/MeterRecord.h"

#include <QLocale>
#include <QString>
#include <QStringList>

namespace lumvaris::meterdata {

class IClock;
class TMatrixInterface;

// The "Уровень" text of a level byte: the low nibble × 25 and "%", then " (A)", " (B)" or " (C)"
// for a high nibble of 2, 4 or 8 (0x23 gives "75% (A)").
QString LevelText(std::uint8_t level);

// Turns a meter record into the eight texts of a table row: "Сч.#", "Пакет", "Текущее", "Срез",
// "Уровень", "Дата", "Время", "Прошло". Generic texts first (meter, raw hex words, level, date,
// time, elapsed time), then the decoder of the packet family (high nibble of Type) replaces
// entries 1..3 with a label and decoded values.
//
// Dates use the locale's short date format, times its long time format without any time-zone
// designator, decimals its decimal separator. The window passes QLocale::system(); tests pass a
// fixed locale.
//
// The labels ("кВт·ч (S-T1)", "Серийный номер", "нет данных") are shown in the program's language;
// the readings that leave the program (files, databases, brokers) keep the Russian ones whatever the
// language, so that what a reader of the data parses never changes: LabelLanguage::Stored.
enum class LabelLanguage { Shown, Stored };

class RecordTextFormatter {
  public:
    static constexpr int kTextCount = 8;

    struct Labels {
        static constexpr int kCount = 32;
        static Labels Of(LabelLanguage language);
        QString text[kCount];
    };

    explicit RecordTextFormatter(const IClock& clock, const QLocale& locale = QLocale::system(),
                                 LabelLanguage language = LabelLanguage::Shown);

    void SetLocale(const QLocale& locale);
    const QString& DateFormat() const { return dateFormat_; }
    const QString& TimeFormat() const { return timeFormat_; }

    // Clears the list and fills exactly eight entries. "now" is the current local time as a
    // database time stamp; without it the clock is read.
    void RecordToTexts(const MeterRecord& record, QStringList& texts) const;
    void RecordToTexts(const MeterRecord& record, double now, QStringList& texts) const;

    // Entries 0..3 alone ("Сч.#", "Пакет", "Текущее", "Срез") of a record that holds a packet: what
    // the record says, without its date and age, for the readings that leave the program.
    void ValueTexts(const MeterRecord& record, QStringList& texts) const;

    // The texts of the record at (slot, row) of the store; an empty record of meter 0 when the row
    // is -1 or the position lies outside the store.
    void PositionTexts(const TMatrixInterface& store, QStringList& texts, int slot, int row) const;
    void PositionTexts(const TMatrixInterface& store, QStringList& texts, int slot, int row,
                       double now) const;

    // The current local time as a database time stamp, for a batch of rows.
    double Now() const;

    // A time format with every time-zone field ('t' outside quotes) and the spaces that set it off
    // removed.
    static QString StripTimeZone(const QString& format);

  private:
    QString Fixed(long long scaled, int decimals) const;  // scaled / 10^decimals, "%.Nf"
    QString SevenCharacters(long long hundredths) const;
    void Decode(const MeterRecord& record, QStringList& texts) const;

    const IClock& clock_;
    Labels labels_;
    QString dateFormat_;
    QString timeFormat_;
    DateTimeTextFormat date_;
    DateTimeTextFormat time_;
    QString decimalPoint_;
};

}  // namespace lumvaris::meterdata
