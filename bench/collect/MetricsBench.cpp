// The metrics of a fleet of 1000 sites rendered for one scrape (every family of the collector:
// per site the connection, the last packet, packets, records, requests by outcome, the reply
// histogram and jobs by result; two destinations; the process), and one count on a site's series
// as the event loop makes it for each packet.
#include <benchmark/benchmark.h>

#include "collect/FleetMetrics.h"
#include "collect/Metrics.h"

namespace {

using namespace lumvaris::collect;

void FillFleet(Metrics& m, int sites) {
    DeclareFleetMetrics(m);
    for (int i = 0; i < sites; ++i) {
        const QString site = QStringLiteral("ТП-%1 \"Северная\"").arg(i);
        m.Set(metric::kSiteConnected, {site}, 1);
        m.Set(metric::kSiteLastPacket, {site}, 1765300000.0 + i);
        m.Add(metric::kSitePackets, {site}, 1000 + i);
        m.Add(metric::kSiteRecordsFiled, {site}, 24000 + i);
        for (const RequestOutcome outcome :
             {RequestOutcome::Answered, RequestOutcome::NoReply, RequestOutcome::Refused}) {
            m.Add(metric::kSiteRequests, {site, OutcomeLabel(outcome)}, 17);
        }
        for (int r = 0; r < 20; ++r) {
            m.Observe(metric::kSiteReplySeconds, {site}, 0.05 * r);
        }
        for (const Job job : {Job::ClockCheck, Job::ReadMonths, Job::ReadPackets}) {
            m.Add(metric::kSiteJobs, {site, JobLabel(job), QStringLiteral("ok")}, 3);
            m.Add(metric::kSiteJobs, {site, JobLabel(job), QStringLiteral("failed")}, 1);
        }
    }
    for (const char* destination : {"postgresql://collector@central/readings", "mqtt://broker.local/plc"}) {
        m.Set(metric::kDestinationQueued, {QString::fromLatin1(destination)}, 12);
        m.Add(metric::kDestinationSent, {QString::fromLatin1(destination)}, 1e6);
    }
    m.Set(metric::kEventLoopLag, {}, 0.002);
}

void BM_RenderFleet(benchmark::State& state) {
    Metrics m;
    FillFleet(m, static_cast<int>(state.range(0)));
    std::size_t bytes = 0;
    for (auto _ : state) {
        UpdateProcessMetrics(m);
        const QByteArray text = m.Render();
        bytes = static_cast<std::size_t>(text.size());
        benchmark::DoNotOptimize(text.constData());
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_RenderFleet)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_CountPacket(benchmark::State& state) {
    Metrics m;
    FillFleet(m, 1000);
    const QString site = QStringLiteral("ТП-500 \"Северная\"");
    for (auto _ : state) {
        m.Add(metric::kSitePackets, {site});
    }
}
BENCHMARK(BM_CountPacket);

}  // namespace
