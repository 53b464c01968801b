// Collectors sharing one fleet through the advisory locks of a PostgreSQL server of the test's own:
// each Claims has its own session, as each collector would.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QPointer>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <map>
#include <memory>

#include "PostgresServer.h"
#include "collect/Claims.h"

namespace lumvaris::collect {
namespace {

using sinks::test::PostgresServer;

// What the collector promises after a collector died.
constexpr int kTakeoverTargetMs = 30000;

PostgresServer* Server() {
    static std::unique_ptr<PostgresServer> server;
    static const bool started = [] {
        if (PostgresServer::BinDirectory().isEmpty()) {
            return false;
        }
        server = std::make_unique<PostgresServer>();
        QString why;
        if (!server->Start(why)) {
            ADD_FAILURE() << "PostgreSQL did not start: " << why.toStdString();
            return false;
        }
        return true;
    }();
    return started ? server.get() : nullptr;
}

QStringList SiteNames(int count) {
    QStringList names;
    for (int i = 1; i <= count; ++i) {
        names << QStringLiteral("site-%1").arg(i, 3, 10, QLatin1Char('0'));
    }
    return names;
}

// TCP in front of the server's Unix socket; Cut() makes every connection silent without closing it,
// as a network cut off does, and Drop() closes the server's side, as its keepalive would at last.
class SilentLink : public QObject {
  public:
    explicit SilentLink(const QString& socket) {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, this, [this, socket] {
            QTcpSocket* client = server_.nextPendingConnection();
            auto* upstream = new QLocalSocket(client);
            upstream->connectToServer(socket);
            upstreams_ << upstream;
            QObject::connect(client, &QTcpSocket::readyRead, upstream, [this, client, upstream] {
                const QByteArray bytes = client->readAll();
                if (!cut_) {
                    upstream->write(bytes);
                }
            });
            QObject::connect(upstream, &QLocalSocket::readyRead, client, [this, client, upstream] {
                const QByteArray bytes = upstream->readAll();
                if (!cut_) {
                    client->write(bytes);
                }
            });
        });
    }
    quint16 Port() const { return server_.serverPort(); }
    void Cut() {
        cut_ = true;
        cutAt_ = upstreams_.size();
    }
    void Mend() { cut_ = false; }
    void DropCut() {
        for (qsizetype i = 0; i < cutAt_; ++i) {
            if (upstreams_[i]) {
                upstreams_[i]->abort();
            }
        }
    }

  private:
    QTcpServer server_;
    QList<QPointer<QLocalSocket>> upstreams_;
    qsizetype cutAt_ = 0;
    bool cut_ = false;
};

class ClaimsTest : public testing::Test {
  protected:
    void SetUp() override {
        server_ = Server();
        if (server_ == nullptr) {
            GTEST_SKIP() << "PostgreSQL is not installed";
        }
        static int count = 0;
        const QString name = QStringLiteral("claims_%1").arg(++count);
        QString output;
        ASSERT_TRUE(server_->Psql("CREATE DATABASE " + name, output)) << output.toStdString();
        database_ = name;
    }

    Claims& Add(const QString& name, const QStringList& sites, int maxSites = 1000,
                const QString& role = QStringLiteral("postgres"), const QString& url = {}) {
        ClaimsSettings settings;
        settings.url = url.isEmpty() ? server_->Url(database_, role) : url;
        settings.collector = name;
        settings.maxSites = maxSites;
        settings.sites = sites;
        settings.times.heartbeatMs = 200;
        settings.times.queryTimeoutMs = 1000;
        settings.times.reconnectMs = 100;
        auto claims = std::make_unique<Claims>(settings);
        claims->Start();
        Claims& added = *claims;
        claims_[name] = std::move(claims);
        return added;
    }

    // Runs the event loop until `done`; after every turn no site may be held by two collectors.
    template <typename Done>
    bool Until(Done done, int ms) {
        QElapsedTimer timer;
        timer.start();
        while (true) {
            QCoreApplication::processEvents();
            std::map<QString, QString> holder;
            for (const auto& [name, claims] : claims_) {
                if (dead_.contains(name)) {
                    continue;
                }
                for (const QString& site : claims->Held()) {
                    const auto [at, fresh] = holder.emplace(site, name);
                    EXPECT_TRUE(fresh) << site.toStdString() << " held by " << at->second.toStdString()
                                       << " and " << name.toStdString();
                    if (!fresh) {
                        return false;
                    }
                }
            }
            if (done()) {
                return true;
            }
            if (timer.elapsed() > ms) {
                return false;
            }
            QThread::msleep(5);
        }
    }

    bool Shares(std::initializer_list<std::pair<const char*, int>> counts) {
        for (const auto& [name, count] : counts) {
            if (static_cast<int>(claims_.at(QString::fromLatin1(name))->Held().size()) != count) {
                return false;
            }
        }
        return true;
    }

    // The server's view: how many sites' locks are held, by each collector.
    std::map<QString, int> Locks() {
        QString output;
        EXPECT_TRUE(server_->Psql(QStringLiteral("SELECT name || '=' || count(*) FROM (SELECT "
                                                 "substr(a.application_name, %1) AS name FROM pg_locks l "
                                                 "JOIN pg_stat_activity a USING (pid) WHERE l.locktype = "
                                                 "'advisory' AND l.classid = %2) AS held GROUP BY name")
                                      .arg(sizeof(kCollectorApplicationPrefix))
                                      .arg(kClaimLockClass),
                                  output, database_));
        std::map<QString, int> locks;
        for (const QString& line : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            locks[line.section(QLatin1Char('='), 0, 0)] = line.section(QLatin1Char('='), 1).toInt();
        }
        return locks;
    }

    // The collector whose session holds the site's lock, empty when none does.
    QString Holder(const QString& site) {
        QString output;
        EXPECT_TRUE(
            server_->Psql(QStringLiteral("SELECT substr(a.application_name, %1) FROM pg_locks l JOIN "
                                         "pg_stat_activity a USING (pid) WHERE l.locktype = 'advisory' "
                                         "AND l.classid = %2 AND l.objid::bigint = "
                                         "(hashtext('%3')::bigint & 4294967295)")
                              .arg(sizeof(kCollectorApplicationPrefix))
                              .arg(kClaimLockClass)
                              .arg(site),
                          output, database_));
        return output.trimmed();
    }

    PostgresServer* server_ = nullptr;
    QString database_;
    std::map<QString, std::unique_ptr<Claims>> claims_;
    // Killed from the server's side: it learns so only when it next looks, as a collector killed
    // outright never would, so its view no longer counts.
    std::set<QString> dead_;
};

TEST_F(ClaimsTest, ThreeCollectorsShareTheFleetEvenlyAndALaterOneGetsItsShare) {
    const QStringList sites = SiteNames(300);
    Add("a", sites);
    Add("b", sites);
    Add("c", sites);
    ASSERT_TRUE(Until([&] { return Shares({{"a", 100}, {"b", 100}, {"c", 100}}); }, 20000));
    const std::map<QString, int> even{{"a", 100}, {"b", 100}, {"c", 100}};
    EXPECT_EQ(Locks(), even);

    // What the newcomer takes was let go by another for the share: a gap lies behind it, the time
    // between the giver's last poll and the newcomer's first.
    std::map<QString, QString> previous;
    // The giver's lock stays until it has stopped polling, i.e. returned from Lost (looked at for the
    // first site each gives up: a look at the server takes a while).
    QStringList unlockedEarly;
    std::set<QString> looked;
    for (const char* name : {"a", "b", "c"}) {
        QObject::connect(
            claims_.at(QLatin1String(name)).get(), &Claims::Lost, [&, name](const QString& site) {
                if (looked.insert(QLatin1String(name)).second && Holder(site) != QLatin1String(name)) {
                    unlockedEarly << site;
                }
            });
    }
    Claims& d = Add("d", sites);
    QObject::connect(&d, &Claims::Taken,
                     [&](const QString& site, const QString& before) { previous[site] = before; });
    ASSERT_TRUE(Until([&] { return Shares({{"a", 75}, {"b", 75}, {"c", 75}, {"d", 75}}); }, 20000));
    const std::map<QString, int> four{{"a", 75}, {"b", 75}, {"c", 75}, {"d", 75}};
    EXPECT_EQ(Locks(), four);
    EXPECT_TRUE(unlockedEarly.isEmpty()) << unlockedEarly.join(' ').toStdString();
    ASSERT_EQ(previous.size(), 75u);
    for (const auto& [site, before] : previous) {
        EXPECT_TRUE(before == "a" || before == "b" || before == "c")
            << site.toStdString() << " taken from «" << before.toStdString() << "»";
    }
}

TEST_F(ClaimsTest, AKilledSessionsSitesAreTakenOverWithinTheTarget) {
    const QStringList sites = SiteNames(300);
    QString output;
    ASSERT_TRUE(
        server_->Psql("DO $$BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'c') THEN "
                      "CREATE ROLE c SUPERUSER; END IF; END$$; ALTER ROLE c LOGIN",
                      output))
        << output.toStdString();
    Add("a", sites);
    Add("b", sites);
    Claims& c = Add("c", sites, 1000, "c");
    ASSERT_TRUE(Until([&] { return Shares({{"a", 100}, {"b", 100}, {"c", 100}}); }, 20000));
    const std::set<QString> orphans = c.Held();
    // As dead as a killed collector: it cannot come back.
    ASSERT_TRUE(server_->Psql("ALTER ROLE c NOLOGIN", output));
    dead_.insert("c");
    std::map<QString, QString> previous;
    for (const char* name : {"a", "b"}) {
        QObject::connect(claims_.at(QLatin1String(name)).get(), &Claims::Taken,
                         [&](const QString& site, const QString& before) { previous[site] = before; });
    }
    bool lost = false;
    QObject::connect(&c, &Claims::AllLost, [&] { lost = true; });

    ASSERT_TRUE(server_->Psql(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE "
                                             "application_name = '%1c'")
                                  .arg(QLatin1String(kCollectorApplicationPrefix)),
                              output, database_));
    QElapsedTimer timer;
    timer.start();
    ASSERT_TRUE(Until([&] { return Shares({{"a", 150}, {"b", 150}}); }, kTakeoverTargetMs));
    RecordProperty("takeover_ms", static_cast<int>(timer.elapsed()));
    // The server let its locks go at once; the killed one learns of it at its next heartbeat, which
    // may come after the others took them.
    EXPECT_TRUE(Until([&] { return lost; }, 10000));
    const std::map<QString, int> two{{"a", 150}, {"b", 150}};
    EXPECT_EQ(Locks(), two);
    for (const QString& site : orphans) {
        EXPECT_EQ(previous[site], QStringLiteral("c")) << site.toStdString();
    }
}

TEST_F(ClaimsTest, AServerRestartLosesEverySiteThenTheyAreSharedAgain) {
    const QStringList sites = SiteNames(300);
    int lost = 0;
    for (const char* name : {"a", "b", "c"}) {
        QObject::connect(&Add(QLatin1String(name), sites), &Claims::AllLost, [&] { ++lost; });
    }
    ASSERT_TRUE(Until([&] { return Shares({{"a", 100}, {"b", 100}, {"c", 100}}); }, 20000));
    ASSERT_TRUE(server_->Stop());
    ASSERT_TRUE(Until([&] { return lost == 3; }, 20000));
    for (const auto& [name, claims] : claims_) {
        EXPECT_TRUE(claims->Held().empty()) << name.toStdString();
    }
    ASSERT_TRUE(server_->Restart());
    ASSERT_TRUE(Until([&] { return Shares({{"a", 100}, {"b", 100}, {"c", 100}}); }, 30000));
}

TEST_F(ClaimsTest, ACollectorCutOffStopsWithinItsProofTimeThenClaimsAgain) {
    SilentLink link(server_->SocketDirectory() + QStringLiteral("/.s.PGSQL.5432"));
    Claims& claims =
        Add("far", SiteNames(10), 1000, {},
            QStringLiteral("postgresql://postgres@127.0.0.1:%1/%2").arg(link.Port()).arg(database_));
    ASSERT_TRUE(Until([&] { return claims.Held().size() == 10; }, 10000));
    bool lost = false;
    QObject::connect(&claims, &Claims::AllLost, [&] { lost = true; });
    link.Cut();
    QElapsedTimer timer;
    timer.start();
    ASSERT_TRUE(Until([&] { return lost; }, 10000));
    // A heartbeat's pause and a query's timeout (200 + 1000 ms here), with room for a loaded machine.
    EXPECT_LT(timer.elapsed(), 2500);
    EXPECT_TRUE(claims.Held().empty());
    EXPECT_EQ(Locks()[QStringLiteral("far")], 10) << "the server still holds them for the silent session";
    link.Mend();
    link.DropCut();
    ASSERT_TRUE(Until([&] { return claims.Held().size() == 10; }, 10000));
}

TEST_F(ClaimsTest, ACallTakesOnlyAFreeSiteAndTheListingShowsWhoHoldsWhat) {
    Claims& north = Add("north", {"ТП-1"});
    ASSERT_TRUE(Until([&] { return north.Holds("ТП-1"); }, 10000));
    Claims& south = Add("south", {}, 1);
    ASSERT_TRUE(Until([&] { return south.Connected(); }, 10000));
    std::map<QString, bool> answers;
    for (const char* site : {"ТП-1", "РП-9", "КТП-4"}) {
        south.TryTake(QString::fromUtf8(site),
                      [&answers, site](bool taken) { answers[QString::fromUtf8(site)] = taken; });
    }
    ASSERT_TRUE(Until([&] { return answers.size() == 3; }, 10000));
    // Held by north; free; free but beyond the one site south may hold.
    const std::map<QString, bool> expected{{"ТП-1", false}, {"РП-9", true}, {"КТП-4", false}};
    EXPECT_EQ(answers, expected);
    ASSERT_TRUE(Until([&] { return south.Holds("РП-9"); }, 10000));

    QString output;
    ASSERT_TRUE(
        server_->Psql("CREATE TABLE sites (name text PRIMARY KEY, port text); INSERT INTO sites "
                      "VALUES ('ТП-1', 'ttyUSB0'), ('ТП-3', 'ttyUSB1')",
                      output, database_));
    std::vector<ClaimRow> rows;
    QString why;
    ASSERT_TRUE(ReadClaims(server_->Url(database_), rows, why)) << why.toStdString();
    const QString text = ClaimsText(rows).join(QLatin1Char('\n'));
    const QString timesHidden = QString(text).replace(
        QRegularExpression(QStringLiteral("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d")), QStringLiteral("T"));
    EXPECT_EQ(timesHidden.toStdString(), "north\tT\tТП-1\nsouth\tT\tРП-9\nНе заняты (1):\n\t\tТП-3");

    // A collector gone leaves its rows behind; without the lock they are shown free.
    claims_.erase("north");
    ASSERT_TRUE(ReadClaims(server_->Url(database_), rows, why)) << why.toStdString();
    EXPECT_EQ(ClaimsText(rows).mid(1).join(QLatin1Char('\n')).toStdString(),
              "Не заняты (2):\n\t\tТП-1\n\t\tТП-3");
}

TEST_F(ClaimsTest, TheSitesTableHasTheFilesFieldsAndChecks) {
    QString output;
    ASSERT_TRUE(
        server_->Psql("CREATE TABLE sites (name text PRIMARY KEY, port text NOT NULL, uart_id text, "
                      "baud integer, timeout integer, db text[], local_files boolean, "
                      "read_packets_every integer); "
                      "INSERT INTO sites (name, port, uart_id, baud, db, read_packets_every) VALUES "
                      "('A', 'ttyUSB0', NULL, 9600, '{sqlite:/tmp/r.db}', 6), "
                      "('B', 'tcp://10.0.0.7:4001', '2A3F', NULL, NULL, NULL)",
                      output, database_))
        << output.toStdString();
    SitesFileResult good = ReadSitesTable(server_->Url(database_), QStringLiteral("/tmp"));
    ASSERT_TRUE(good.Ok()) << good.Messages("sites").join('\n').toStdString();
    ASSERT_EQ(good.sites.size(), 2u);
    EXPECT_EQ(good.sites[0].baudRate, 9600);
    EXPECT_EQ(good.sites[0].databases, QStringList{"sqlite:/tmp/r.db"});
    EXPECT_EQ(good.sites[0].schedule.readPacketsEveryHours, 6);
    EXPECT_EQ(good.sites[1].portKind, PortKind::Network);
    EXPECT_EQ(good.sites[1].uartId, std::optional<std::uint16_t>(0x2A3F));
    EXPECT_EQ(good.sites[1].timeoutSeconds, 5);

    ASSERT_TRUE(server_->Psql(
        "INSERT INTO sites (name, port, baud, timeout) VALUES ('C', 'tcp://10.0.0.7:4001', 1200, 0)", output,
        database_));
    const SitesFileResult bad = ReadSitesTable(server_->Url(database_), QStringLiteral("/tmp"));
    EXPECT_EQ(bad.Messages("sites").join('\n').toStdString(),
              "sites:3: «C», baud: Скорости «1200» нет: допустимы 38400, 19200 и 9600.\n"
              "sites:3: «C», port: порт «tcp://10.0.0.7:4001» уже у концентратора «B» (строка 2): один "
              "порт — один "
              "концентратор.\n"
              "sites:3: «C», timeout: «timeout» = 0: ожидается целое число секунд от 1 до 600.");
}

}  // namespace
}  // namespace lumvaris::collect
