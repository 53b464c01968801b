// The claims of a shared fleet at the collector's own times (a round every 2 s), against a
// PostgreSQL server of the benchmark's own (its defaults, with fsync):
// - takeover: three collectors share 300 sites; one, a process of its own, is killed with SIGKILL;
//   the time from the kill until the other two hold every site (10 times: median and largest);
// - start: three collectors started together, the time until 1000 sites are held, none by one
//   beyond its share of 334.
//
//   cmake --build build/default --target claims_bench
//   build/default/bench/collect/claims_bench [kills]     (default 10)
#include "PostgresServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>
#include <vector>

#include "collect/Claims.h"

using namespace lumvaris;

namespace {

QStringList SiteNames(int count) {
    QStringList names;
    for (int i = 1; i <= count; ++i) {
        names << QStringLiteral("site-%1").arg(i, 4, 10, QLatin1Char('0'));
    }
    return names;
}

std::unique_ptr<collect::Claims> Start(const QString& url, const QString& name, const QStringList& sites) {
    collect::ClaimsSettings settings;
    settings.url = url;
    settings.collector = name;
    settings.sites = sites;
    auto claims = std::make_unique<collect::Claims>(settings);
    claims->Start();
    return claims;
}

template <typename Done>
qint64 Until(Done done, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms) {
            return -1;
        }
        QCoreApplication::processEvents();
        QThread::msleep(2);
    }
    return timer.elapsed();
}

std::size_t Held(const std::vector<std::unique_ptr<collect::Claims>>& all) {
    std::size_t held = 0;
    for (const auto& claims : all) {
        held += claims->Held().size();
    }
    return held;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    // The collector to be killed: a process of its own, holding its share until the signal.
    if (arguments.size() == 4 && arguments[1] == QLatin1String("--hold")) {
        const auto claims = Start(arguments[2], arguments[3], SiteNames(300));
        return app.exec();
    }
    const int kills = arguments.size() > 1 ? std::max(1, arguments[1].toInt()) : 10;

    sinks::test::PostgresServer server;
    QString why;
    if (!server.Start(why, false)) {
        std::printf("PostgreSQL not measured: %s\n", qPrintable(why));
        return 1;
    }
    QString output;
    server.Psql(QStringLiteral("CREATE DATABASE fleet"), output);
    const QString url = server.Url(QStringLiteral("fleet"));

    std::vector<qint64> takeovers;
    {
        std::vector<std::unique_ptr<collect::Claims>> survivors;
        survivors.push_back(Start(url, QStringLiteral("a"), SiteNames(300)));
        survivors.push_back(Start(url, QStringLiteral("b"), SiteNames(300)));
        for (int i = 0; i < kills; ++i) {
            QProcess victim;
            victim.start(QCoreApplication::applicationFilePath(),
                         {"--hold", url, QStringLiteral("c%1").arg(i)});
            victim.waitForStarted();
            if (Until([&] { return Held(survivors) == 200; }, 60000) < 0) {
                std::printf("the three did not share the sites\n");
                return 1;
            }
            kill(static_cast<pid_t>(victim.processId()), SIGKILL);
            QElapsedTimer timer;
            timer.start();
            Until([&] { return Held(survivors) == 300; }, 60000);
            takeovers.push_back(timer.elapsed());
            victim.waitForFinished();
        }
    }
    std::sort(takeovers.begin(), takeovers.end());
    std::printf("takeover after SIGKILL, 300 sites, %d kills: median %lld ms, largest %lld ms\n", kills,
                static_cast<long long>(takeovers[takeovers.size() / 2]),
                static_cast<long long>(takeovers.back()));

    server.Psql(QStringLiteral("CREATE DATABASE start"), output);
    const QString startUrl = server.Url(QStringLiteral("start"));
    const QStringList sites = SiteNames(1000);
    QElapsedTimer timer;
    timer.start();
    std::vector<std::unique_ptr<collect::Claims>> three;
    for (const char* name : {"a", "b", "c"}) {
        three.push_back(Start(startUrl, QString::fromLatin1(name), sites));
    }
    const qint64 shared = Until(
        [&] {
            // Every site held, none by a collector beyond its share of ceil(1000 / 3).
            std::size_t most = 0;
            for (const auto& claims : three) {
                most = std::max(most, claims->Held().size());
            }
            return Held(three) == 1000 && most <= 334;
        },
        120000);
    std::printf("1000 sites shared among three collectors started together: %lld ms\n",
                static_cast<long long>(shared));
    return 0;
}
