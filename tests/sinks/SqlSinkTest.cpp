#include "SinkTestSupport.h"

#include "meterdata/IClock.h"
#include "meterdata/RecordTextFormatter.h"
#include "sinks/SinkUrl.h"
#include "sinks/SqlSink.h"

#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

namespace lumvaris::sinks {
namespace {

using test::Fields;

const QLocale kRussian(QLocale::Russian, QLocale::Russia);

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

    std::unique_ptr<ISink> Open() {
        QString error;
        std::unique_ptr<ISink> sink = OpenSink(url_, error);
        EXPECT_TRUE(sink) << error.toStdString();
        return sink;
    }

    QList<QStringList> Rows(ISink& sink) {
        QSqlQuery q(static_cast<SqlSink&>(sink).Database());
        EXPECT_TRUE(
            q.exec("SELECT site, uart_id, meter, type, word_a, word_b, level, phase, time, source, family, "
                   "current_text, snapshot_text, value, unit FROM readings "
                   "ORDER BY meter, type, time, word_a, word_b"));
        QList<QStringList> rows;
        while (q.next()) {
            rows << Fields(q);
        }
        return rows;
    }

    QTemporaryDir dir_;
    QString url_;
};

TEST_P(SqlSinks, SchemaIsCreatedAndReadingsComeBackWithTheTablesTexts) {
    std::mt19937 rng(7);
    const ReadingBuilder builder(kRussian);
    NoClock clock;
    const meterdata::RecordTextFormatter formatter(clock, kRussian);
    std::map<std::tuple<int, int, QString, int, int>, QStringList> expected;
    std::vector<Reading> readings;
    for (int i = 0; i < 700; ++i) {
        const meterdata::MeterRecord record = test::RandomRecord(rng);
        Reading r;
        ASSERT_TRUE(builder.Build(record,
                                  i % 2 ? meterdata::RecordSource::Live : meterdata::RecordSource::Buffer,
                                  "ТП-17 \"Север\", ввод 2", "2FFF", r));
        QStringList texts;
        formatter.RecordToTexts(record, record.Time, texts);
        EXPECT_EQ(texts.mid(1, 3), (QStringList{r.Family, r.Current, r.Snapshot}));
        readings.push_back(r);
        expected.emplace(std::tuple(r.Meter, r.Type, TimeText(r.Time), r.WordA, r.WordB), Fields(r));
    }
    std::unique_ptr<ISink> sink = Open();
    ASSERT_TRUE(sink);
    QSqlQuery version(static_cast<SqlSink&>(*sink).Database());
    ASSERT_TRUE(version.exec("SELECT version FROM readings_schema") && version.next());
    EXPECT_EQ(version.value(0).toInt(), 1);
    EXPECT_FALSE(version.next());

    ASSERT_TRUE(sink->Write(readings)) << sink->LastError().toStdString();
    QList<QStringList> want;
    for (const auto& [key, fields] : expected) {
        want << fields;
    }
    EXPECT_EQ(Rows(*sink), want);

    // Again, by a second connection that finds the tables, with the first half written twice more.
    std::unique_ptr<ISink> again = Open();
    ASSERT_TRUE(again);
    ASSERT_TRUE(again->Write(readings));
    ASSERT_TRUE(again->Write(std::span(readings).first(350)));
    EXPECT_EQ(Rows(*again), want);
    version.exec("SELECT count(*) FROM readings_schema");
    version.next();
    EXPECT_EQ(version.value(0).toInt(), 1);
}

INSTANTIATE_TEST_SUITE_P(Engines, SqlSinks, testing::Values("sqlite", "postgresql"));

TEST(SqlSinkErrors, EachFailureSaysWhatIsWrong) {
    QTemporaryDir dir;
    QFile notADatabase(dir.filePath("text.db"));
    ASSERT_TRUE(notADatabase.open(QIODevice::WriteOnly));
    notADatabase.write(QByteArray(4096, 'x'));
    notADatabase.close();
    struct Case {
        QString url;
        QByteArray password;  // PGPASSWORD; "-": unset
        QString message;      // the start of the message, "" when it opens
        QString reason;       // a part of the engine's reason
    };
    std::vector<Case> cases = {
        {"sqlite:" + dir.filePath("no/such/dir/r.db"), "-",
         "Не удалось открыть базу данных SQLite «sqlite:" + dir.filePath("no/such/dir/r.db") + "»: ", ""},
        {"sqlite:" + dir.filePath("text.db"), "-",
         "Не удалось подготовить таблицы показаний в «sqlite:", "not a database"},
    };
    if (test::PostgresServer* server = test::Postgres()) {
        const QString database = test::NewPostgresDatabase(*server);
        const QString meter = server->Url(database, "meter");
        const QString refused = "Нет соединения с базой данных PostgreSQL «" + meter + "»: ";
        cases.push_back({meter, "-", refused, "no password supplied"});
        cases.push_back({meter, "wrong", refused, "password authentication failed for user \"meter\""});
        cases.push_back({meter, "secret", "", ""});
        cases.push_back({server->Url("nosuch"), "-",
                         "Нет соединения с базой данных PostgreSQL «" + server->Url("nosuch"),
                         "database \"nosuch\" does not exist"});
        const QString nobody = "postgresql://postgres@/x?host=" + dir.path();
        cases.push_back(
            {nobody, "-", "Нет соединения с базой данных PostgreSQL «" + nobody + "»: ", dir.path()});
    }
    const QByteArray saved = qgetenv("PGPASSWORD");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url.toStdString() + " " + c.password.toStdString());
        if (c.password == "-") {
            qunsetenv("PGPASSWORD");
        } else {
            qputenv("PGPASSWORD", c.password);
        }
        QString error;
        const std::unique_ptr<ISink> sink = OpenSink(c.url, error);
        EXPECT_EQ(sink != nullptr, c.message.isEmpty());
        EXPECT_TRUE(c.message.isEmpty() ? error.isEmpty() : error.startsWith(c.message))
            << error.toStdString();
        EXPECT_TRUE(error.contains(c.reason)) << error.toStdString();
    }
    qputenv("PGPASSWORD", saved);
}

TEST(SqlSinkErrors, PasswordFileOfLibpqIsUsed) {
    LUMVARIS_NEED_POSTGRES(server);
    QTemporaryDir dir;
    QFile pgpass(dir.filePath("pgpass"));
    ASSERT_TRUE(pgpass.open(QIODevice::WriteOnly));
    pgpass.write("*:*:*:meter:secret\n");
    pgpass.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    pgpass.close();
    qunsetenv("PGPASSWORD");
    qputenv("PGPASSFILE", QFile::encodeName(pgpass.fileName()));
    QString error;
    EXPECT_TRUE(OpenSink(server->Url(test::NewPostgresDatabase(*server), "meter"), error))
        << error.toStdString();
    qunsetenv("PGPASSFILE");
}

}  // namespace
}  // namespace lumvaris::sinks
