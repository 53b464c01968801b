#pragma once

#include "PostgresServer.h"

#include "meterdata/DayTime.h"
#include "meterdata/MeterRecord.h"
#include "sinks/Outbox.h"
#include "sinks/Reading.h"

#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace lumvaris::sinks::test {

// An outbox for a destination, in `directory`, opened (a test that cannot open it fails).
inline std::shared_ptr<Outbox> OpenOutbox(const QString& directory, const QString& url,
                                          qint64 maxBytes = Outbox::Options().MaxBytes) {
    auto outbox = std::make_shared<Outbox>();
    Outbox::Options options;
    options.MaxBytes = maxBytes;
    QString error;
    QString notice;
    EXPECT_TRUE(outbox->Open(Outbox::FileName(directory + "/", "ttyUSB0", url), url, options, error, notice))
        << error.toStdString();
    return outbox;
}

// Packet kinds of every decoder and a few without one.
inline constexpr std::uint8_t kTypes[] = {0x00, 0x03, 0x0E, 0x0F, 0x12, 0x19, 0x1E, 0x27, 0x40,
                                          0x44, 0x45, 0x48, 0x49, 0x4F, 0x81, 0x83, 0xDA, 0xE1};

// A packet of a random kind, words (often a decodable value word, sometimes "no data"), level
// and time in 2024, to the millisecond or on a whole minute.
inline meterdata::MeterRecord RandomRecord(std::mt19937& rng, int meters = 50) {
    meterdata::MeterRecord r;
    r.Valid = 0xFF;
    r.Meter = static_cast<std::uint16_t>(1 + rng() % meters);
    r.Type = kTypes[rng() % std::size(kTypes)];
    r.WordA = static_cast<std::uint16_t>(rng());
    const std::uint8_t value = static_cast<std::uint8_t>(rng());
    r.WordB = rng() % 3 == 0 ? static_cast<std::uint16_t>(rng())
                             : static_cast<std::uint16_t>(value | (rng() % 256) << 8);
    if (rng() % 10 == 0) {
        r.WordA = r.WordB = 0xFFFF;
    }
    r.Level = static_cast<std::uint8_t>(rng());
    const QDateTime local = QDateTime(QDate(2024, 1, 1), QTime(0, 0)).addMSecs(rng() % (366LL * 86400000));
    r.Time = meterdata::DaysFromDateTime(
        rng() % 2 == 0 ? local : local.addMSecs(-local.time().msecsSinceStartOfDay() % 60000));
    return r;
}

// A store file's header: column and row count, little-endian.
inline QByteArray HeaderBytes(std::int32_t cols, std::int32_t rows) {
    QByteArray out;
    for (std::int32_t v : {cols, rows}) {
        for (int i = 0; i < 4; ++i) {
            out.append(static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xFF));
        }
    }
    return out;
}

// Every field of a reading as text, the value to 17 digits or "NULL": the form in which tests
// compare what a sink wrote with what was given.
inline QStringList Fields(const Reading& r) {
    return {r.Site,
            r.UartId,
            QString::number(r.Meter),
            QString::number(r.Type),
            QString::number(r.WordA),
            QString::number(r.WordB),
            QString::number(r.Level),
            r.Phase,
            TimeText(r.Time),
            r.Source,
            r.Family,
            r.Current,
            r.Snapshot,
            r.Value ? QString::number(*r.Value, 'g', 17) : QStringLiteral("NULL"),
            r.Unit};
}

// The same of a JSON object, or of a row selected with the columns in their order.
inline QStringList Fields(const QJsonObject& o) {
    QStringList out;
    for (const char* name : kReadingFields) {
        const QJsonValue v = o.value(QLatin1String(name));
        out << (v.isNull()     ? QStringLiteral("NULL")
                : v.isDouble() ? QString::number(v.toDouble(), 'g', 17)
                               : v.toString());
    }
    return out;
}

// The rows a query gives, each with its columns joined by "|" in the form of Fields.
inline QStringList Select(const QSqlDatabase& database, const QString& sql) {
    QSqlQuery q(database);
    EXPECT_TRUE(q.exec(sql)) << sql.toStdString() << ": " << q.lastError().text().toStdString();
    QStringList rows;
    while (q.next()) {
        QStringList row;
        for (int i = 0; i < q.record().count(); ++i) {
            const QVariant v = q.value(i);
            const int type = v.metaType().id();
            row << (v.isNull()                     ? QStringLiteral("NULL")
                    : type == QMetaType::QDateTime ? TimeText(v.toDateTime())
                    : type == QMetaType::Double    ? QString::number(v.toDouble(), 'g', 17)
                                                   : v.toString());
        }
        rows << row.join('|');
    }
    return rows;
}

// The one server of the test run, started at its first use; null (and the test skipped) only when
// the server binaries are not installed.
PostgresServer* Postgres();
// Stops it, while the application still exists.
void StopPostgres();

#define LUMVARIS_NEED_POSTGRES(server)                                                                  \
    ::lumvaris::sinks::test::PostgresServer* server = ::lumvaris::sinks::test::Postgres();              \
    if (server == nullptr) {                                                                            \
        GTEST_SKIP() << "PostgreSQL server binaries not installed (/usr/lib/postgresql/*/bin/initdb); " \
                        "scripts/install-deps installs them";                                           \
    }

// A new empty database on the server, for one test.
QString NewPostgresDatabase(PostgresServer& server);

}  // namespace lumvaris::sinks::test
