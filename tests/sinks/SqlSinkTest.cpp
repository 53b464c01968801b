#include "SinkTestSupport.h"

#include "meterdata/IClock.h"
#include "meterdata/RecordTextFormatter.h"
#include "sinks/SinkUrl.h"
#include "sinks/SqlSink.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>

#include <map>

namespace lumvaris::sinks {
namespace {

class NoClock final : public meterdata::IClock {
  public:
    QDateTime Now() const override { return {}; }
};

// Both databases through the same sink and the same checks.
class SqlSinks : public testing::TestWithParam<const char*> {
  protected:
    void SetUp() override {
        if (QLatin1String(GetParam()) == QLatin1String("postgresql")) {
            LUMVARIS_NEED_POSTGRES(server);
            url_ = server->Url(test::NewPostgresDatabase(*server));
        } else {
            url_ = "sqlite:" + dir_.filePath("readings.db");
        }
    }
    QTemporaryDir dir_;
    QString url_;
};

QStringList Select(ISink& sink, const QString& sql) {
    return test::Select(static_cast<SqlSink&>(sink).Database(), sql);
}

TEST_P(SqlSinks, SchemaIsCreatedAndReadingsComeBackOnceWithTheTablesTexts) {
    std::mt19937 rng(7);
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    const ReadingBuilder builder(russian);
    NoClock clock;
    const meterdata::RecordTextFormatter formatter(clock, russian);
    std::map<std::tuple<int, int, QString, int, int>, QString> expected;  // in the order of the key
    std::vector<Reading> readings;
    for (int i = 0; i < 700; ++i) {
        const meterdata::MeterRecord record = test::RandomRecord(rng);
        Reading r;
        ASSERT_TRUE(
            builder.Build(record, meterdata::RecordSource(i % 2), "ТП-17 \"Север\", ввод 2", "2FFF", r));
        QStringList texts;
        formatter.RecordToTexts(record, record.Time, texts);
        EXPECT_EQ(texts.mid(1, 3), (QStringList{r.Family, r.Current, r.Snapshot}));
        readings.push_back(r);
        expected.emplace(std::tuple(r.Meter, r.Type, TimeText(r.Time), r.WordA, r.WordB),
                         test::Fields(r).join('|'));
    }
    QStringList want;
    for (const auto& [key, fields] : expected) {
        want << fields;
    }
    const QString select = QStringLiteral(
        "SELECT site, uart_id, meter, type, word_a, word_b, level, phase, time, source, family, "
        "current_text, "
        "snapshot_text, value, unit FROM readings ORDER BY meter, type, time, word_a, word_b");
    QString error;
    std::unique_ptr<ISink> sink = OpenSink(url_, error);
    ASSERT_TRUE(sink) << error.toStdString();
    ASSERT_TRUE(sink->Write(readings)) << sink->LastError().toStdString();  // a large batch
    EXPECT_EQ(Select(*sink, select), want);
    // Again through a second connection that finds the tables: the large batch, a part of it, and
    // row by row.
    std::unique_ptr<ISink> again = OpenSink(url_, error);
    ASSERT_TRUE(again) << error.toStdString();
    ASSERT_TRUE(again->Write(readings));
    ASSERT_TRUE(again->Write(std::span(readings).first(350)));
    ASSERT_TRUE(again->Write(std::span(readings).first(150)));
    EXPECT_EQ(Select(*again, select), want);
    EXPECT_EQ(Select(*again, "SELECT version, count(*) FROM readings_schema GROUP BY version"),
              QStringList{"1|1"});

    // A small batch takes the statements' path: into an emptied table, every column again, and
    // the rows each write added (none of those already there).
    QSqlQuery empty(static_cast<SqlSink&>(*again).Database());
    ASSERT_TRUE(empty.exec("DELETE FROM readings"));
    std::map<std::tuple<int, int, QString, int, int>, QString> few;
    for (const Reading& r : std::span(readings).first(7)) {
        few.emplace(std::tuple(r.Meter, r.Type, TimeText(r.Time), r.WordA, r.WordB),
                    test::Fields(r).join('|'));
    }
    QStringList wantFew;
    for (const auto& [key, fields] : few) {
        wantFew << fields;
    }
    qint64 added = -1;
    ASSERT_TRUE(again->Write(std::span(readings).first(7), &added));
    EXPECT_EQ(added, qint64(few.size()));
    EXPECT_EQ(Select(*again, select), wantFew);
    const auto distinct = [&](std::size_t n) {
        std::set<std::tuple<int, int, QString, int, int>> keys;
        for (const Reading& r : std::span(readings).first(n)) {
            keys.emplace(r.Meter, r.Type, TimeText(r.Time), r.WordA, r.WordB);
        }
        return qint64(keys.size());
    };
    ASSERT_TRUE(again->Write(std::span(readings).first(150), &added));
    EXPECT_EQ(added, distinct(150) - distinct(7));
    ASSERT_TRUE(again->Write(readings, &added));  // the engine's own path
    EXPECT_EQ(added, qint64(want.size()) - distinct(150));
    EXPECT_EQ(Select(*again, select), want);
}

INSTANTIATE_TEST_SUITE_P(Engines, SqlSinks, testing::Values("sqlite", "postgresql"));

TEST(OpenSink, EachFailureSaysWhatIsWrong) {
    QTemporaryDir dir;
    QFile text(dir.filePath("text.db"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly) && text.write(QByteArray(4096, 'x')) == 4096);
    text.close();
    QFile pgpass(dir.filePath("pgpass"));
    ASSERT_TRUE(pgpass.open(QIODevice::WriteOnly) && pgpass.write("*:*:*:meter:secret\n") > 0);
    pgpass.close();
    pgpass.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    struct Case {
        QString url;
        const char* variable;  // PGPASSWORD or PGPASSFILE, set for this case only
        QString value;
        QString message;  // the start of the message, "" when it opens
        QString reason;   // a part of the engine's reason
    };
    const QString missing = dir.filePath("no/such/dir/r");
    std::vector<Case> cases = {
        {"sqlite:" + missing, "", "", "Не удалось открыть базу данных SQLite «sqlite:" + missing + "»: ", ""},
        {"sqlite:" + text.fileName(), "", "",
         "Не удалось подготовить таблицы показаний в «sqlite:", "not a database"},
        {"csv:" + missing, "", "", "Не удалось создать файл «" + missing + "»: ", ""},
        {"jsonl:" + missing, "", "", "Не удалось создать файл «" + missing + "»: ", ""},
    };
    if (test::PostgresServer* server = test::Postgres()) {
        const QString meter = server->Url(test::NewPostgresDatabase(*server), "meter");
        const QString refused = "Сервер PostgreSQL «" + meter + "» отказал во входе: ";
        cases.push_back({meter, "", "", refused, "no password supplied"});
        cases.push_back(
            {meter, "PGPASSWORD", "wrong", refused, "password authentication failed for user \"meter\""});
        cases.push_back({meter, "PGPASSWORD", "secret", "", ""});
        cases.push_back({meter, "PGPASSFILE", pgpass.fileName(), "", ""});
        const QString nosuch = server->Url("nosuch");
        cases.push_back({nosuch, "", "", "Базы данных в «" + nosuch + "» нет на сервере PostgreSQL: ",
                         "database \"nosuch\" does not exist"});
        const QString away = "postgresql://postgres@/x?host=" + dir.path();
        cases.push_back(
            {away, "", "", "Нет соединения с базой данных PostgreSQL «" + away + "»: ", dir.path()});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url.toStdString() + " " + c.variable);
        qunsetenv("PGPASSWORD");
        qunsetenv("PGPASSFILE");
        if (*c.variable != '\0') {
            qputenv(c.variable, c.value.toUtf8());
        }
        QString error;
        const std::unique_ptr<ISink> sink = OpenSink(c.url, error);
        EXPECT_EQ(sink != nullptr, c.message.isEmpty());
        EXPECT_TRUE(c.message.isEmpty() ? error.isEmpty() : error.startsWith(c.message))
            << error.toStdString();
        EXPECT_TRUE(error.contains(c.reason)) << error.toStdString();
    }
    qunsetenv("PGPASSWORD");
    qunsetenv("PGPASSFILE");
}

}  // namespace
}  // namespace lumvaris::sinks
