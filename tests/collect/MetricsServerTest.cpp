// The metrics endpoint over real sockets, as a scraper and as a bad client see it: the answers of
// each path and method, a request head too large, a client that stops halfway, a hundred idle
// connections, the health answer on a driven clock; and Debian's prometheus scraping it.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <pwd.h>
#include <unistd.h>
#include <memory>

#include "collect/FleetMetrics.h"
#include "collect/Health.h"
#include "collect/Metrics.h"
#include "collect/MetricsServer.h"

namespace lumvaris::collect {
namespace {

// Sends `request` and reads until the server closes or `waitMs` passes.
QByteArray Exchange(quint16 port, const QByteArray& request, int waitMs = 2000) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(2000)) {
        return "no connection";
    }
    socket.write(request);
    socket.waitForBytesWritten(2000);
    QByteArray reply;
    QElapsedTimer timer;
    timer.start();
    while (socket.state() == QAbstractSocket::ConnectedState && timer.elapsed() < waitMs) {
        socket.waitForReadyRead(50);
        reply += socket.readAll();
    }
    return reply + socket.readAll();
}

struct Endpoint {
    explicit Endpoint(int idleMs = 10000) {
        DeclareFleetMetrics(metrics);
        metrics.Add(metric::kSitePackets, {QStringLiteral("ТП-12")}, 7);
        MetricsServerOptions options;
        options.idleMs = idleMs;
        server = std::make_unique<MetricsServer>(metrics, health, options);
        QString error;
        EXPECT_TRUE(server->Start(error)) << error.toStdString();
    }
    qint64 now = 0;
    Metrics metrics;
    Health health{10, 60, [this] { return now; }};
    std::unique_ptr<MetricsServer> server;
};

TEST(MetricsServerTest, EachPathAndMethodHasItsAnswer) {
    Endpoint e;
    const QByteArray metrics = e.metrics.Render();
    const struct {
        const char* what;
        QByteArray request;
        QByteArray reply;
    } cases[] = {
        {"metrics", "GET /metrics HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n",
         "HTTP/1.1 200 OK\r\nContent-Type: text/plain; version=0.0.4; charset=utf-8\r\nContent-Length: " +
             QByteArray::number(metrics.size()) + "\r\nConnection: close\r\n\r\n" + metrics},
        {"health, with a query", "GET /healthz?verbose=1 HTTP/1.0\r\n\r\n",
         "HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: 3\r\nConnection: "
         "close\r\n\r\nok\n"},
        {"head", "HEAD /healthz HTTP/1.1\r\nConnection: close\r\n\r\n",
         "HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: 3\r\nConnection: "
         "close\r\n\r\n"},
        {"elsewhere", "GET /metrics/ HTTP/1.1\r\nConnection: close\r\n\r\n",
         "HTTP/1.1 404 Not Found\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: "
         "30\r\nConnection: "
         "close\r\n\r\nnot found: /metrics, /healthz\n"},
        {"another method, with a body never read", "POST /metrics HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello",
         "HTTP/1.1 405 Method Not Allowed\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: "
         "9\r\nAllow: GET, HEAD\r\nConnection: close\r\n\r\nonly GET\n"},
        {"not HTTP", "hello\r\n\r\n",
         "HTTP/1.1 400 Bad Request\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: "
         "12\r\nConnection: close\r\n\r\nbad request\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Exchange(e.server->Port(), c.request).toStdString(), c.reply.toStdString()) << c.what;
    }
    // Kept alive: two requests on one connection, both answered, in order.
    const QByteArray both = Exchange(
        e.server->Port(), "GET /healthz HTTP/1.1\r\n\r\nGET /healthz HTTP/1.1\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(both.count("HTTP/1.1 200 OK"), 2) << both.toStdString();
}

TEST(MetricsServerTest, ATakenAddressIsToldAndTheLoopProbeKeepsTheLag) {
    Endpoint e;
    MetricsServerOptions options;
    options.port = e.server->Port();
    MetricsServer second(e.metrics, e.health, options);
    QString error;
    EXPECT_FALSE(second.Start(error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("Адрес метрик 127.0.0.1:%1 не занять: ").arg(options.port)))
        << error.toStdString();

    // Each tick of a 10 ms timer seen 110 ms after the last: 100 ms late.
    qint64 probeNow = 0;
    e.now = 50000;  // the loop's last tick long ago: stuck, until the probe ticks
    LoopProbe probe(e.health, e.metrics, 10, [&probeNow] { return probeNow += 110; });
    QElapsedTimer timer;
    timer.start();
    while (e.metrics.Value(metric::kEventLoopLag, {}) == 0 && timer.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    EXPECT_DOUBLE_EQ(e.metrics.Value(metric::kEventLoopLag, {}), 0.1);
    EXPECT_EQ(e.health.Problem(), QString());
}

TEST(MetricsServerTest, HealthTellsAStuckLoopAndASilentFleet) {
    Endpoint e;
    const auto health = [&e] {
        const QByteArray reply =
            Exchange(e.server->Port(), "GET /healthz HTTP/1.1\r\nConnection: close\r\n\r\n");
        return QString::fromUtf8(reply.left(12) + '|' + reply.mid(reply.indexOf("\r\n\r\n") + 4));
    };
    EXPECT_EQ(health(), QStringLiteral("HTTP/1.1 200|ok\n"));
    e.now = 11000;
    EXPECT_EQ(health(), QStringLiteral("HTTP/1.1 503|цикл событий не отвечает 11 с\n"));
    e.health.LoopTick();
    EXPECT_EQ(health(), QStringLiteral("HTTP/1.1 200|ok\n"));
    e.now = 61000;
    e.health.LoopTick();
    EXPECT_EQ(health(), QStringLiteral("HTTP/1.1 503|ни один концентратор не слышен 61 с\n"));
    e.health.SiteHeard();
    EXPECT_EQ(health(), QStringLiteral("HTTP/1.1 200|ok\n"));
}

TEST(MetricsServerTest, ATooLargeHeadIsRefusedAndASlowClientIsClosedWhileOthersAreServed) {
    Endpoint e(300);
    const QByteArray large = "GET /metrics HTTP/1.1\r\nX-Padding: " + QByteArray(9000, 'a') + "\r\n\r\n";
    EXPECT_TRUE(
        Exchange(e.server->Port(), large).startsWith("HTTP/1.1 431 Request Header Fields Too Large\r\n"));
    // Without an end of the head the limit holds as well.
    EXPECT_TRUE(Exchange(e.server->Port(), QByteArray(20000, 'a')).startsWith("HTTP/1.1 431 "));

    QTcpSocket slow;
    slow.connectToHost(QHostAddress::LocalHost, e.server->Port());
    ASSERT_TRUE(slow.waitForConnected(2000));
    slow.write("GET /metrics HTTP/1.1\r\nHost: x\r\n");
    slow.waitForBytesWritten(1000);
    QElapsedTimer timer;
    timer.start();
    // While it dawdles, another client is answered.
    EXPECT_TRUE(Exchange(e.server->Port(), "GET /healthz HTTP/1.0\r\n\r\n").startsWith("HTTP/1.1 200 OK"));
    // Each byte it sends does not buy it more time.
    while (slow.state() == QAbstractSocket::ConnectedState && timer.elapsed() < 3000) {
        slow.write("X");
        slow.waitForBytesWritten(50);
        slow.waitForDisconnected(50);
    }
    EXPECT_EQ(slow.state(), QAbstractSocket::UnconnectedState);
    EXPECT_GE(timer.elapsed(), 250);
    EXPECT_LT(timer.elapsed(), 2500);
    EXPECT_EQ(slow.readAll(), QByteArray());
}

TEST(MetricsServerTest, AHundredIdleConnectionsHoldAtMostSixtyFourAndAreClosedWhenIdle) {
    // Long enough for a busy machine to open all hundred before the first is closed.
    Endpoint e(3000);
    std::vector<std::unique_ptr<QTcpSocket>> idle;
    for (int i = 0; i < 100; ++i) {
        idle.push_back(std::make_unique<QTcpSocket>());
        idle.back()->connectToHost(QHostAddress::LocalHost, e.server->Port());
        ASSERT_TRUE(idle.back()->waitForConnected(2000));
    }
    int refused = 0;
    for (auto& socket : idle) {
        socket->waitForReadyRead(20);
        if (socket->readAll().startsWith("HTTP/1.1 503 ")) {
            ++refused;
        }
    }
    EXPECT_EQ(refused, 36);
    for (auto& socket : idle) {
        if (socket->state() == QAbstractSocket::ConnectedState) {
            socket->waitForDisconnected(5000);
        }
        EXPECT_EQ(socket->state(), QAbstractSocket::UnconnectedState);
    }
    EXPECT_TRUE(Exchange(e.server->Port(), "GET /metrics HTTP/1.0\r\n\r\n").startsWith("HTTP/1.1 200 OK"));
}

// Debian's prometheus in a temporary directory, as "nobody" when this process is root.
class Prometheus {
  public:
    static bool Installed() { return QFile::exists(QStringLiteral("/usr/bin/prometheus")); }
    bool Start(quint16 target, QString& why) {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port_ = probe.serverPort();
        probe.close();
        QFile config(dir_.filePath(QStringLiteral("prometheus.yml")));
        config.open(QIODevice::WriteOnly);
        config.write(
            QStringLiteral("global:\n  scrape_interval: 1s\nscrape_configs:\n  - job_name: lumvaris\n"
                           "    static_configs:\n      - targets: ['127.0.0.1:%1']\n")
                .arg(target)
                .toUtf8());
        config.close();
        QDir().mkpath(dir_.filePath(QStringLiteral("data")));
        QStringList command{QStringLiteral("/usr/bin/prometheus"), "--config.file=" + config.fileName(),
                            "--storage.tsdb.path=" + dir_.filePath(QStringLiteral("data")),
                            QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(port_)};
        if (geteuid() == 0) {
            const passwd* nobody = getpwnam("nobody");
            for (const QString& path :
                 {dir_.path(), config.fileName(), dir_.filePath(QStringLiteral("data"))}) {
                if (nobody == nullptr ||
                    chown(QFile::encodeName(path).constData(), nobody->pw_uid, nobody->pw_gid) != 0) {
                    return (why = QStringLiteral("cannot hand %1 to nobody").arg(path), false);
                }
            }
            command = QStringList{QStringLiteral("setpriv"), QStringLiteral("--reuid=nobody"),
                                  QStringLiteral("--regid=nogroup"), QStringLiteral("--clear-groups")} +
                      command;
        }
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(command.takeFirst(), command);
        if (!process_.waitForStarted()) {
            return (why = process_.errorString(), false);
        }
        // Should this test die first, prometheus follows it rather than scrape on for ever.
        QProcess::startDetached(
            QStringLiteral("sh"),
            {QStringLiteral("-c"),
             QStringLiteral("while kill -0 %1 2>/dev/null; do sleep 1; done; kill %2 2>/dev/null")
                 .arg(QCoreApplication::applicationPid())
                 .arg(process_.processId())});
        return true;
    }
    ~Prometheus() {
        process_.terminate();
        if (!process_.waitForFinished(10000)) {
            process_.kill();
            process_.waitForFinished();
        }
    }
    // The value of the query's first series, or empty when there is none yet.
    QString Query(const QString& query) {
        const QByteArray path = "/api/v1/query?query=" + QUrl::toPercentEncoding(query);
        const QByteArray reply = Exchange(port_, "GET " + path + " HTTP/1.0\r\n\r\n", 2000);
        const QJsonArray result = QJsonDocument::fromJson(reply.mid(reply.indexOf("\r\n\r\n") + 4))
                                      .object()
                                      .value(QStringLiteral("data"))
                                      .toObject()
                                      .value(QStringLiteral("result"))
                                      .toArray();
        return result.isEmpty()
                   ? QString()
                   : result.first().toObject().value(QStringLiteral("value")).toArray().at(1).toString();
    }
    QString Output() { return QString::fromLocal8Bit(process_.readAll()); }

  private:
    QTemporaryDir dir_;
    QProcess process_;
    quint16 port_ = 0;
};

TEST(MetricsServerTest, PrometheusScrapesTheEndpointAndReadsASeriesBack) {
    if (!Prometheus::Installed()) {
        GTEST_SKIP() << "prometheus not installed (/usr/bin/prometheus); scripts/install-deps installs it";
    }
    Endpoint e;
    e.metrics.Add(metric::kSiteRequests, {QStringLiteral("ТП \"Северная\"\\1"), QStringLiteral("answered")},
                  41);
    e.metrics.Observe(metric::kSiteReplySeconds, {QStringLiteral("ТП-12")}, 0.3);
    Prometheus prometheus;
    QString why;
    ASSERT_TRUE(prometheus.Start(e.server->Port(), why)) << why.toStdString();
    QString value;
    QElapsedTimer timer;
    timer.start();
    const QString query = QStringLiteral("lumvaris_site_requests_total{site=\"ТП \\\"Северная\\\"\\\\1\"}");
    while ((value = prometheus.Query(query)).isEmpty() && timer.elapsed() < 30000) {
        QThread::msleep(200);
    }
    ASSERT_EQ(value, QStringLiteral("41")) << prometheus.Output().toStdString();
    e.metrics.Add(metric::kSiteRequests, {QStringLiteral("ТП \"Северная\"\\1"), QStringLiteral("answered")});
    while ((value = prometheus.Query(query)) == QStringLiteral("41") && timer.elapsed() < 30000) {
        QThread::msleep(200);
    }
    EXPECT_EQ(value, QStringLiteral("42"));
    EXPECT_EQ(
        prometheus.Query(QStringLiteral("lumvaris_site_reply_seconds_bucket{site=\"ТП-12\",le=\"0.5\"}")),
        QStringLiteral("1"));
    EXPECT_EQ(prometheus.Query(QStringLiteral("up{job=\"lumvaris\"}")), QStringLiteral("1"));
}

}  // namespace
}  // namespace lumvaris::collect
