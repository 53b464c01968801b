// Three lumvaris-cli collectors sharing one fleet of 300 simulated concentrators through a
// PostgreSQL server of the test's own, through a kill and a restart of the server. Watched from
// both ends: the server's lock view (a site is never held twice) and the simulator's log (a
// concentrator never has two connections at once); at the end every meter packet the simulator
// sent is in the central readings table.
#include "SinkTestSupport.h"
#include "cli/CliProcess.h"
#include "collect/Claims.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>

namespace lumvaris::cli {
namespace {

constexpr int kSites = 300;
constexpr int kMeters = 32;
constexpr std::uint16_t kFirstUartId = 0x2001;

QString SiteName(int i) {
    return QStringLiteral("s%1").arg(i, 3, 10, QLatin1Char('0'));
}

// One meter packet: site, meter, type and both words; what the concentrator's buffer gives back
// too (the time aside: a buffer record has the concentrator's minute, a live one the collector's
// clock).
using Packet = std::tuple<QString, int, int, int, int>;

// What the simulator's log tells, read as it grows: the connections each concentrator has open,
// the meter packets it sent in full, and every moment a second connection came while one was open.
class SimulatorLog {
  public:
    explicit SimulatorLog(QString path) : path_(std::move(path)) {}

    struct Logged {
        Packet packet;
        qint64 order;
    };
    const std::vector<Logged>& Sent() const { return sent_; }
    // Whether the concentrator had another packet of the meter in its buffer when it was next read
    // after this one was sent: a packet the collector did not take from the socket before it let the
    // site go, and the meter sent again before anyone could read the buffer back.
    bool Overwritten(const Logged& sent) const {
        const auto it = buffered_.find({std::get<0>(sent.packet), std::get<1>(sent.packet)});
        if (it == buffered_.end()) {
            return false;
        }
        for (const Logged& read : it->second) {
            if (read.order > sent.order) {
                return read.packet != sent.packet;
            }
        }
        return false;
    }

    void Read() {
        QFile file(path_);
        if (!file.open(QIODevice::ReadOnly) || !file.seek(offset_)) {
            return;
        }
        const QByteArray bytes = file.readAll();
        const qsizetype end = bytes.lastIndexOf('\n');
        if (end < 0) {
            return;
        }
        offset_ += end + 1;
        for (const QByteArray& line : bytes.left(end).split('\n')) {
            Take(QString::fromLatin1(line));
        }
    }

    int Open() const {
        return static_cast<int>(
            std::count_if(open_.begin(), open_.end(), [](const auto& e) { return e.second; }));
    }
    const QStringList& Overlaps() const { return overlaps_; }
    const std::map<int, qint64>& SentBy() const { return sentBy_; }

  private:
    // "  12.345 2001 -- client connected from 127.0.0.1:40000", "  12.400 2001 TX BA 07 ... | meter
    // packet, meter 3, type 12h": time, UART-ID, then the line.
    void Take(const QString& line) {
        const QStringList f = line.simplified().split(QLatin1Char(' '));
        if (f.size() < 4) {
            return;
        }
        const int uart = f[1].toInt(nullptr, 16);
        const QString site = SiteName(uart - kFirstUartId);
        const QString text = f.mid(2).join(QLatin1Char(' '));
        bool& open = open_[uart];
        if (text.startsWith(QLatin1String("-- client connected from"))) {
            if (open) {
                overlaps_ << line;
            }
            open = true;
        } else if (text.startsWith(QLatin1String("-- client replaced"))) {
            overlaps_ << line;
            open = false;
        } else if (text.startsWith(QLatin1String("-- client closed")) ||
                   text.startsWith(QLatin1String("-- connection lost")) ||
                   text.startsWith(QLatin1String("-- hung up"))) {
            open = false;
        } else if (f[2] == QLatin1String("TX") && text.contains(QLatin1String("| meter packet,"))) {
            // Source (meter | 0x1000) at bytes 3-4, the payload from byte 8: type, word A, word B.
            sent_.push_back({{site, (Byte(f, 3) | Byte(f, 4) << 8) & 0x0FFF, Byte(f, 8),
                              Byte(f, 9) | Byte(f, 10) << 8, Byte(f, 11) | Byte(f, 12) << 8},
                             ++order_});
            ++sentBy_[uart];
        } else if (f[2] == QLatin1String("TX") && text.contains(QLatin1String("| PacketBufferRead reply"))) {
            // Payload: 82, meter (2 bytes), type, word A, word B, level, minute ... year.
            const int meter = Byte(f, 9) | Byte(f, 10) << 8;
            buffered_[{site, meter}].push_back(
                {{site, meter, Byte(f, 11), Byte(f, 12) | Byte(f, 13) << 8, Byte(f, 14) | Byte(f, 15) << 8},
                 ++order_});
        }
    }

    static int Byte(const QStringList& fields, int i) { return fields.value(3 + i).toInt(nullptr, 16); }

    QString path_;
    qint64 offset_ = 0;
    std::map<int, bool> open_;
    QStringList overlaps_;
    qint64 order_ = 0;
    std::vector<Logged> sent_;
    std::map<std::pair<QString, int>, std::vector<Logged>> buffered_;
    std::map<int, qint64> sentBy_;
};

// The fleet's sites held per collector, from the server's lock view; a lock granted to two
// sessions at one moment goes to `twice`.
struct LockView {
    std::map<QString, std::set<QString>> held;  // collector → sites
    QStringList twice;
    int Count(const QString& collector) const {
        const auto it = held.find(collector);
        return it == held.end() ? 0 : static_cast<int>(it->second.size());
    }
    int Total() const {
        int total = 0;
        for (const auto& [collector, sites] : held) {
            total += static_cast<int>(sites.size());
        }
        return total;
    }
};

class Fleet {
  public:
    Fleet(sinks::test::PostgresServer& server, QString database)
        : server_(server), database_(std::move(database)) {}

    bool Sql(const QString& sql, QStringList& rows) const {
        QString out;
        if (!server_.Psql(sql, out, database_)) {
            ADD_FAILURE() << out.toStdString();
            return false;
        }
        rows = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        return true;
    }

    // Names of one hash share one lock: the units the share counts.
    int Units() const {
        QStringList rows;
        Sql(QStringLiteral("SELECT count(DISTINCT hashtext(s)) FROM unnest($$%1$$::text[]) s")
                .arg(QLatin1Char('{') + Names().join(QLatin1Char(',')) + QLatin1Char('}')),
            rows);
        return rows.value(0).toInt();
    }

    static QStringList Names() {
        QStringList names;
        for (int i = 0; i < kSites; ++i) {
            names << SiteName(i);
        }
        return names;
    }

    LockView Locks() const {
        LockView view;
        const QString sql =
            QStringLiteral(
                "SELECT n.s, string_agg(substr(a.application_name, %1), ',') FROM unnest($$%2$$::text[]) "
                "n(s) "
                "JOIN pg_locks l ON l.locktype = 'advisory' AND l.granted AND l.classid = %3 AND "
                "l.objsubid = 2 AND l.objid::bigint = (hashtext(n.s)::bigint & 4294967295) "
                "JOIN pg_stat_activity a ON a.pid = l.pid GROUP BY n.s")
                .arg(static_cast<int>(sizeof(collect::kCollectorApplicationPrefix)))
                .arg(QLatin1Char('{') + Names().join(QLatin1Char(',')) + QLatin1Char('}'))
                .arg(collect::kClaimLockClass);
        QString out;
        if (!server_.Psql(sql, out, database_)) {
            return view;  // the server is away
        }
        for (const QString& row : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QString site = row.section(QLatin1Char('|'), 0, 0);
            const QStringList holders = row.section(QLatin1Char('|'), 1).split(QLatin1Char(','));
            if (holders.size() > 1) {
                view.twice << row;
            }
            view.held[holders.first()].insert(site);
        }
        return view;
    }

  private:
    sinks::test::PostgresServer& server_;
    QString database_;
};

TEST(Fleet, ThreeCollectorsShareAFleetThroughAKillAndARestartedServer) {
    LUMVARIS_NEED_POSTGRES(server);
    const QString database = sinks::test::NewPostgresDatabase(*server);
    QTemporaryDir data;

    // 300 listening ports in a row: a base that some other program uses in part is tried again.
    std::unique_ptr<Simulator> sim;
    quint16 base = 0;
    for (int attempt = 0; attempt < 8 && !sim; ++attempt) {
        base = static_cast<quint16>(20000 + QRandomGenerator::global()->bounded(30000));
        sim = std::make_unique<Simulator>(
            QStringList{"--fleet", QString::number(kSites), "--tcp", QString::number(base), "--uart-id",
                        "2001", "--interval", "4", "--meters", QString::number(kMeters), "--network-size",
                        QString::number(kMeters), "--sent-file", data.filePath("sent.txt")});
        if (!sim->Port().startsWith(QLatin1String("fleet "))) {
            sim.reset();
        }
    }
    ASSERT_TRUE(sim) << "no 300 free ports in a row";

    QString text = QStringLiteral("[collector]\nmax_connecting = 50\nconnects_per_second = 200\n\n");
    for (int i = 0; i < kSites; ++i) {
        text +=
            QStringLiteral(
                "[[site]]\nname = \"%1\"\nport = \"tcp://127.0.0.1:%2\"\nuart_id = \"%3\"\ndb = [\"%4\"]\n\n")
                .arg(SiteName(i))
                .arg(base + i)
                .arg(kFirstUartId + i, 4, 16, QLatin1Char('0'))
                .arg(server->Url(database));
    }
    QFile file(data.filePath("sites.toml"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.toUtf8());
    file.close();

    Fleet fleet(*server, database);
    const int units = fleet.Units();
    ASSERT_GT(units, kSites - 3);
    SimulatorLog log(sim->Log());
    QStringList twice;
    QElapsedTimer sampled;
    // The two views sampled through the whole run, at most twice a second.
    const auto sample = [&] {
        log.Read();
        if (!sampled.isValid() || sampled.elapsed() >= 500) {
            sampled.start();
            twice << fleet.Locks().twice;
        }
    };
    const auto until = [&](const std::function<bool()>& done, int ms) {
        return RunUntil(
            [&] {
                sample();
                return done();
            },
            ms);
    };
    std::map<QString, std::unique_ptr<Running>> collectors;
    const auto start = [&](const QString& name) {
        QDir(data.path()).mkpath(name);
        collectors[name] = std::make_unique<Running>(
            QStringList{"collect", "--sites", data.filePath("sites.toml"), "--data-dir", data.filePath(name),
                        "--claim", server->Url(database), "--collector", name});
    };
    const auto stderrOf = [&] {
        std::string all;
        for (auto& [name, c] : collectors) {
            c->Count(QString());
            all += "--- " + name.toStdString() + ":\n" + c->err.right(3000).toStdString();
        }
        return all;
    };
    // Every unit held, each of the collectors at most its share.
    const auto sharedAmong = [&](const QStringList& names) {
        const int share = (units + static_cast<int>(names.size()) - 1) / static_cast<int>(names.size());
        const LockView view = fleet.Locks();
        return view.Total() == units && std::all_of(names.begin(), names.end(), [&](const QString& name) {
                   return view.Count(name) <= share && view.Count(name) >= units - share * (names.size() - 1);
               });
    };

    start("A");
    start("B");
    ASSERT_TRUE(until([&] { return sharedAmong({"A", "B"}); }, 30000)) << stderrOf();
    start("C");
    ASSERT_TRUE(until([&] { return sharedAmong({"A", "B", "C"}); }, 30000)) << stderrOf();
    // Polled, not only held: every concentrator has its one connection.
    ASSERT_TRUE(until([&] { return log.Open() == kSites; }, 30000)) << log.Open() << stderrOf();

    const std::set<QString> ofA = fleet.Locks().held["A"];
    ASSERT_FALSE(ofA.empty());
    collectors["A"]->Signal(SIGKILL);
    ASSERT_TRUE(collectors["A"]->cli.waitForFinished(10000));
    QElapsedTimer since;
    since.start();
    // Held and polled again: every concentrator has its connection back.
    const auto heldAgain = [&] {
        LockView view = fleet.Locks();
        return log.Open() == kSites && std::all_of(ofA.begin(), ofA.end(), [&](const QString& site) {
                   return view.held["B"].contains(site) || view.held["C"].contains(site);
               });
    };
    ASSERT_TRUE(until(heldAgain, 30000)) << stderrOf();
    EXPECT_LT(since.elapsed(), 30000);
    ASSERT_TRUE(until([&] { return sharedAmong({"B", "C"}); }, 30000)) << stderrOf();

    // The server away: every collector stops polling, before anything can be shared again.
    ASSERT_TRUE(server->Stop());
    ASSERT_TRUE(until([&] { return log.Open() == 0; }, 20000)) << log.Open() << stderrOf();
    ASSERT_TRUE(server->Restart());
    ASSERT_TRUE(until([&] { return sharedAmong({"B", "C"}) && log.Open() == kSites; }, 40000)) << stderrOf();

    // The killed collector's store still holds what it had not delivered: its next run sends it.
    start("A");
    // Settled: shared, polled, and every site's buffers read by the collector that took it last
    // (after the restart every site was taken from someone).
    QStringList unread;
    const auto buffersRead = [&] {
        LockView view = fleet.Locks();
        unread.clear();
        for (auto& [name, c] : collectors) {
            c->Count(QString());
            for (const QString& site : view.held[name]) {
                const QString about = QStringLiteral("Участок «%1»: ").arg(site);
                const qsizetype taken = c->err.lastIndexOf(about + QStringLiteral("взят"));
                const QString job = about + QStringLiteral("задание «чтение буферов 'последних пакетов'» ");
                if (taken < 0 || std::max(c->err.lastIndexOf(job + QStringLiteral("выполнено")),
                                          c->err.lastIndexOf(job + QStringLiteral("не выполнено"))) < taken) {
                    unread << name + QLatin1Char(':') + site;
                }
            }
        }
        return unread.isEmpty();
    };
    ASSERT_TRUE(until(
        [&] {
            return sharedAmong({"A", "B", "C"}) && log.Open() == kSites && buffersRead();
        },
        40000))
        << "buffers not read: " << unread.join(' ').toStdString() << stderrOf();

    // The simulator ends first, so that nothing it sends can be cut off by a collector's stop.
    ::kill(static_cast<pid_t>(sim->Pid()), SIGTERM);
    QFile sent(data.filePath("sent.txt"));
    ASSERT_TRUE(RunUntil([&] { return sent.size() >= kSites * 7; }, 20000));
    log.Read();
    std::map<int, qint64> counted;
    ASSERT_TRUE(sent.open(QIODevice::ReadOnly));
    for (const QByteArray& line : sent.readAll().split('\n')) {
        if (!line.isEmpty() && line.mid(5).toLongLong() > 0) {
            counted[line.left(4).toInt(nullptr, 16)] = line.mid(5).toLongLong();
        }
    }
    EXPECT_EQ(log.SentBy(), counted) << "the log's meter packets are those the simulator counts";
    ASSERT_GT(log.Sent().size(), static_cast<std::size_t>(kSites));

    // Every packet sent is a row: heard live, or read back from the buffer by the collector that
    // took the site over (the one that heard it was killed, or let the site go as it came).
    std::map<Packet, std::pair<int, int>> rows;  // live, buffer
    const auto read = [&] {
        rows.clear();
        QStringList lines;
        fleet.Sql("SELECT site, meter, type, word_a, word_b, source FROM readings", lines);
        for (const QString& line : lines) {
            const QStringList f = line.split(QLatin1Char('|'));
            auto& [live, buffer] = rows[{f.value(0), f.value(1).toInt(), f.value(2).toInt(),
                                         f.value(3).toInt(), f.value(4).toInt()}];
            (f.value(5) == QLatin1String("buffer") ? buffer : live) += 1;
        }
    };
    const auto describe = [](const Packet& p) {
        return QStringLiteral("%1 meter %2 type %3 words %4 %5")
            .arg(std::get<0>(p))
            .arg(std::get<1>(p))
            .arg(std::get<2>(p))
            .arg(std::get<3>(p))
            .arg(std::get<4>(p));
    };
    QStringList lost;
    QStringList overwritten;
    const auto missing = [&] {
        lost.clear();
        overwritten.clear();
        for (const SimulatorLog::Logged& p : log.Sent()) {
            if (!rows.contains(p.packet)) {
                (log.Overwritten(p) ? overwritten : lost) << describe(p.packet);
            }
        }
        return !lost.isEmpty();
    };
    until(
        [&] {
            read();
            return !missing();
        },
        30000);
    for (auto& [name, c] : collectors) {
        ASSERT_TRUE(c->Stop(40000)) << name.toStdString();
        EXPECT_EQ(c->cli.exitCode(), 0) << name.toStdString() << c->err.right(2000).toStdString();
    }
    read();
    missing();
    EXPECT_TRUE(lost.isEmpty()) << lost.size() << " of " << log.Sent().size()
                                << " packets sent not in the readings table: "
                                << lost.mid(0, 20).join(QLatin1String("; ")).toStdString();
    std::map<Packet, int> times;
    for (const SimulatorLog::Logged& p : log.Sent()) {
        ++times[p.packet];
    }
    QStringList twiceLive;
    for (const auto& [packet, count] : times) {
        if (rows[packet].first > count) {
            twiceLive << describe(packet);
        }
    }
    EXPECT_TRUE(twiceLive.isEmpty()) << "filed live more often than sent: "
                                     << twiceLive.join(QLatin1String("; ")).toStdString();
    EXPECT_TRUE(twice.isEmpty()) << twice.mid(0, 10).join(QLatin1String("; ")).toStdString();
    EXPECT_TRUE(log.Overlaps().isEmpty())
        << log.Overlaps().size()
        << " second connections: " << log.Overlaps().mid(0, 10).join('\n').toStdString();
    RecordProperty("packets_sent", static_cast<int>(log.Sent().size()));
    RecordProperty("rows", static_cast<int>(rows.size()));
    // Packets that came as a site was let go, before the collector read its socket, and that the
    // meter's next packet replaced in the buffer before the next collector could read it back.
    RecordProperty("overwritten", static_cast<int>(overwritten.size()));
    if (!overwritten.isEmpty()) {
        std::printf("not read before the site was let go, then replaced in the buffer: %s\n",
                    qPrintable(overwritten.join(QLatin1String("; "))));
    }
}

// The packets the collector counted for a site, from its /metrics (served by a thread of its
// own; the count is brought up to date by the collector's loop); -1 when it did not answer.
double PacketsCounted(quint16 port, const QString& site) {
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(3000)) {
        return -1;
    }
    socket.write("GET /metrics HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    QByteArray answer;
    while (socket.waitForReadyRead(3000)) {
        answer += socket.readAll();
    }
    const QRegularExpression count(
        QStringLiteral("lumvaris_site_packets_total\\{site=\"%1\"\\} (\\d+)").arg(site));
    const QRegularExpressionMatch match = count.match(QString::fromUtf8(answer));
    return match.hasMatch() ? match.captured(1).toDouble() : -1;
}

// SIGHUP with the sites in the database: the table is read off the collector's loop, which goes
// on taking the sites' packets while a slow server answers; a table that does not
// validate is refused with its row and column, and the running site goes on.
TEST(Fleet, TheSitesTableIsReadAgainOnSighupWithoutHoldingUpTheCollector) {
    LUMVARIS_NEED_POSTGRES(server);
    const QString database = sinks::test::NewPostgresDatabase(*server);
    Simulator north({"--tcp", "0", "--interval", "0.2", "--meters", "4"});
    Simulator south({"--tcp", "0"});
    Fleet fleet(*server, database);
    QStringList none;
    // A view that takes as long as the test says, over the rows the test writes.
    ASSERT_TRUE(fleet.Sql(
        QStringLiteral("CREATE TABLE rows (name text PRIMARY KEY, port text NOT NULL, baud integer); "
                       "CREATE TABLE slow (seconds float NOT NULL); INSERT INTO slow VALUES (0); "
                       "CREATE VIEW sites AS SELECT r.* FROM rows r CROSS JOIN "
                       "(SELECT pg_sleep((SELECT seconds FROM slow))) AS z; "
                       "INSERT INTO rows VALUES ('north', '%1', NULL)")
            .arg(north.Port()),
        none));
    QTemporaryDir data;
    Running collect(
        {"collect", "--claim", server->Url(database), "--data-dir", data.path(), "--metrics", "0"});
    ASSERT_TRUE(collect.Heard(QStringLiteral("Участок «north»: на связи"), 30000))
        << collect.err.toStdString();
    const quint16 metrics = collect.Port(QStringLiteral("http://127\\.0\\.0\\.1:(\\d+)/metrics"));
    ASSERT_NE(metrics, 0);

    ASSERT_TRUE(
        fleet.Sql(QStringLiteral("UPDATE slow SET seconds = 4; INSERT INTO rows VALUES ('south', '%1', NULL)")
                      .arg(south.Port()),
                  none));
    collect.Signal(SIGHUP);
    ASSERT_TRUE(collect.Heard(QStringLiteral("SIGHUP: таблица участков перечитывается.")));
    const double before = PacketsCounted(metrics, QStringLiteral("north"));
    ASSERT_GE(before, 0);
    EXPECT_TRUE(RunUntil([&] { return PacketsCounted(metrics, QStringLiteral("north")) > before; }, 2500))
        << "the loop waited for the table";
    EXPECT_EQ(collect.Count(QStringLiteral("Файл участков принят")), 0) << "the read was under way";
    ASSERT_TRUE(
        collect.Heard(QStringLiteral("Файл участков принят: добавлено 1, снято 0, изменено 0."), 20000))
        << collect.err.toStdString();
    ASSERT_TRUE(collect.Heard(QStringLiteral("Участок «south»: на связи"), 20000))
        << collect.err.toStdString();

    ASSERT_TRUE(fleet.Sql(
        QStringLiteral("UPDATE slow SET seconds = 0; UPDATE rows SET baud = 1200 WHERE name = 'south'"),
        none));
    const qsizetype connected = collect.Count(QStringLiteral("Участок «north»: на связи"));
    collect.Signal(SIGHUP);
    ASSERT_TRUE(collect.Heard(QStringLiteral("Файл участков не принят: участки работают, как прежде.")))
        << collect.err.toStdString();
    EXPECT_TRUE(collect.err.contains(QStringLiteral("sites:2: «south», baud: Скорости «1200» нет")))
        << collect.err.toStdString();
    EXPECT_FALSE(collect.err.contains(QStringLiteral("снят с работы")));
    EXPECT_EQ(collect.Count(QStringLiteral("Участок «north»: на связи")), connected)
        << "north was not reopened";

    // A read that does not end does not hold up the stop either.
    ASSERT_TRUE(fleet.Sql(QStringLiteral("UPDATE slow SET seconds = 60"), none));
    const QString reading = QStringLiteral("SIGHUP: таблица участков перечитывается.");
    const qsizetype reads = collect.Count(reading);
    collect.Signal(SIGHUP);
    ASSERT_TRUE(RunUntil([&] { return collect.Count(reading) > reads; }));
    QElapsedTimer stop;
    stop.start();
    ASSERT_TRUE(collect.Stop(30000)) << collect.err.right(1500).toStdString();
    EXPECT_LT(stop.elapsed(), 10000);
    EXPECT_EQ(collect.cli.exitCode(), 0) << collect.err.toStdString();
}

}  // namespace
}  // namespace lumvaris::cli

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    lumvaris::sinks::test::StopPostgres();
    return status;
}
