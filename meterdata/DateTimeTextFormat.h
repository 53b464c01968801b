#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>

#include <vector>

namespace lumvaris::meterdata {

// A locale's date or time format parsed once, so that the thousands of rows of a table redraw do
// not parse it again for every text. Writes the same text as QLocale::toString with that format;
// formats it does not know field by field (milliseconds, time zones, other digit sets) are left
// to QLocale.
class DateTimeTextFormat {
  public:
    enum class Kind { Date, Time };

    DateTimeTextFormat() = default;
    DateTimeTextFormat(const QLocale& locale, const QString& format, Kind kind);

    QString Format(QDate date) const;
    QString Format(QTime time) const;
    // True when the format is written field by field rather than by QLocale.
    bool IsCompiled() const { return compiled_; }

  private:
    enum class Field {
        Literal,
        Day,
        DayName,
        Month,
        MonthName,
        Year2,
        Year4,
        Hour12,
        Hour24,
        Minute,
        Second,
        AmPm
    };
    struct Part {
        Field field;
        int width;        // digits (1 = unpadded, 2 or 4 = zero-padded), or name length (3 short, 4 long)
        QString literal;  // Literal: the text; AmPm: the morning text
        QString evening;  // AmPm: the afternoon text
    };

    bool Compile();
    bool MatchesLocale() const;
    QString Write(QDate date) const;
    QString Write(QTime time) const;

    QLocale locale_;
    QString format_;
    Kind kind_ = Kind::Date;
    std::vector<Part> parts_;
    bool compiled_ = false;
};

}  // namespace lumvaris::meterdata
