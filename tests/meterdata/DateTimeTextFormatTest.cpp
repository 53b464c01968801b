#include "meterdata/DateTimeTextFormat.h"

#include "meterdata/RecordTextFormatter.h"

#include <gtest/gtest.h>

#include <random>

namespace lumvaris::meterdata {
namespace {

using Kind = DateTimeTextFormat::Kind;

// Every locale Qt knows: the parsed short date and (zone-free) long time formats write what
// QLocale writes, for dates and times away from the ones checked when the format is parsed.
TEST(DateTimeTextFormat, WritesWhatQLocaleWritesForEveryLocale) {
    std::mt19937 rng(99);
    const QList<QLocale> locales =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    ASSERT_GT(locales.size(), 100);
    int compiled = 0;
    for (const QLocale& locale : locales) {
        const QString dateFormat = locale.dateFormat(QLocale::ShortFormat);
        const QString timeFormat = RecordTextFormatter::StripTimeZone(locale.timeFormat(QLocale::LongFormat));
        const DateTimeTextFormat date(locale, dateFormat, Kind::Date);
        const DateTimeTextFormat time(locale, timeFormat, Kind::Time);
        compiled += date.IsCompiled() && time.IsCompiled();
        for (int i = 0; i < 20; ++i) {
            const QDate d = QDate(1990, 1, 1).addDays(rng() % 20000);
            const QTime t = QTime::fromMSecsSinceStartOfDay(int(rng() % 86400000));
            ASSERT_EQ(date.Format(d), locale.toString(d, dateFormat))
                << locale.name().toStdString() << " " << dateFormat.toStdString();
            ASSERT_EQ(time.Format(t), locale.toString(t, timeFormat))
                << locale.name().toStdString() << " " << timeFormat.toStdString();
        }
    }
    EXPECT_GT(compiled, locales.size() / 2);
}

TEST(DateTimeTextFormat, CommonLocalesAreParsedAndOddFormatsLeftToQLocale) {
    for (const QLocale& locale : {QLocale::c(), QLocale(QLocale::Russian, QLocale::Russia),
                                  QLocale(QLocale::English, QLocale::UnitedStates)}) {
        EXPECT_TRUE(
            DateTimeTextFormat(locale, locale.dateFormat(QLocale::ShortFormat), Kind::Date).IsCompiled());
        EXPECT_TRUE(DateTimeTextFormat(
                        locale, RecordTextFormatter::StripTimeZone(locale.timeFormat(QLocale::LongFormat)),
                        Kind::Time)
                        .IsCompiled());
    }
    const QLocale c = QLocale::c();
    const DateTimeTextFormat withMs(c, "HH:mm:ss.zzz", Kind::Time);
    EXPECT_FALSE(withMs.IsCompiled());
    EXPECT_EQ(withMs.Format(QTime(1, 2, 3, 45)).toStdString(), "01:02:03.045");
    const std::pair<const char*, const char*> formats[] = {
        {"h:mm ap", "1:05 pm"},
        {"hh 'o''clock' A", "01 o'clock PM"},
        {"H'h'mm", "13h05"},
        {"yyyy-MM-dd HH", "yyyy-MM-dd 13"},
    };
    for (auto [format, text] : formats) {
        EXPECT_EQ(DateTimeTextFormat(c, format, Kind::Time).Format(QTime(13, 5)).toStdString(), text)
            << format;
    }
    EXPECT_EQ(
        DateTimeTextFormat(c, "dddd d MMMM yy 'y' y", Kind::Date).Format(QDate(2009, 12, 31)).toStdString(),
        "Thursday 31 December 09 y y");
}

}  // namespace
}  // namespace lumvaris::meterdata
