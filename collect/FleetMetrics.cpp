#include "collect/FleetMetrics.h"

#include <QDateTime>
#include <QFile>

#ifdef __linux__
#include <unistd.h>
#endif

namespace lumvaris::collect {

QString OutcomeLabel(RequestOutcome outcome) {
    switch (outcome) {
        case RequestOutcome::Answered:
            return QStringLiteral("answered");
        case RequestOutcome::NoReply:
            return QStringLiteral("no_reply");
        case RequestOutcome::Refused:
            return QStringLiteral("refused");
    }
    return {};
}

QString JobLabel(Job job) {
    switch (job) {
        case Job::ClockCheck:
            return QStringLiteral("clock_check");
        case Job::ReadMonths:
            return QStringLiteral("read_months");
        case Job::ReadPackets:
            return QStringLiteral("read_packets");
    }
    return {};
}

void DeclareFleetMetrics(Metrics& m) {
    // The HELP texts stay as they are in every language: /metrics is read by programs.
    using namespace metric;
    const std::vector<std::string> site{"site"};
    m.Declare(kSiteConnected, MetricType::Gauge,
              QStringLiteral("1, когда порт концентратора открыт и связь есть."), site);
    m.Declare(kSiteLastPacket, MetricType::Gauge,
              QStringLiteral("Время последнего пакета от концентратора, секунды от 1970-01-01 UTC."), site);
    m.Declare(kSitePackets, MetricType::Counter,
              QStringLiteral("Пакеты счётчиков, принятые от концентратора."), site);
    m.Declare(kSiteRecordsFiled, MetricType::Counter,
              QStringLiteral("Записи показаний концентратора, переданные в базы и брокеры."), site);
    m.Declare(kSiteRequests, MetricType::Counter,
              QStringLiteral("Запросы к концентратору по исходу: answered, no_reply, refused."),
              {"site", "outcome"});
    // From a cable's tenth of a second to a mobile gateway's seconds.
    m.Declare(kSiteReplySeconds, MetricType::Histogram,
              QStringLiteral("Время от запроса до ответа, секунды."), site,
              {0.1, 0.25, 0.5, 1, 2, 5, 10, 30});
    m.Declare(kSiteJobs, MetricType::Counter, QStringLiteral("Задания расписания по исходу: ok, failed."),
              {"site", "job", "result"});
    m.Declare(kDestinationQueued, MetricType::Gauge,
              QStringLiteral("Записи в очереди и в запасе на диске, ещё не доставленные по адресу."),
              {"destination"});
    m.Declare(kDestinationSent, MetricType::Counter, QStringLiteral("Записи, доставленные по адресу."),
              {"destination"});
    m.Declare(kEventLoopLag, MetricType::Gauge,
              QStringLiteral("Насколько позже срока сработал последний такт цикла событий, секунды."), {});
    m.Declare(kStartTime, MetricType::Gauge,
              QStringLiteral("Время запуска процесса, секунды от 1970-01-01 UTC."), {});
    m.Declare(kResidentMemory, MetricType::Gauge, QStringLiteral("Занятая процессом память (RSS), байты."),
              {});
    m.Set(kStartTime, {}, static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000.0);
}

void UpdateProcessMetrics(Metrics& m) {
#ifdef __linux__
    // "size resident shared ...", in pages.
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (statm.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> fields = statm.readAll().split(' ');
        bool ok = false;
        const double pages = fields.size() > 1 ? fields[1].toDouble(&ok) : 0;
        if (ok) {
            m.Set(metric::kResidentMemory, {}, pages * static_cast<double>(sysconf(_SC_PAGESIZE)));
        }
    }
#else
    (void)m;
#endif
}

}  // namespace lumvaris::collect
