// The metrics as Prometheus reads them: the exact text of a small registry (order, escaping,
// histogram lines, number forms), and the same bytes whatever order the series came in.
#include <gtest/gtest.h>

#include <cmath>

#include "collect/FleetMetrics.h"
#include "collect/Metrics.h"

namespace lumvaris::collect {
namespace {

void Fill(Metrics& m, bool reversed) {
    m.Declare("z_total", MetricType::Counter, "Последний по имени.\nВторая строка, с \\.", {"site"});
    m.Declare("a_seconds", MetricType::Histogram, "Время.", {"site"}, {0.5, 1, 2.5});
    m.Declare("m_bytes", MetricType::Gauge, "Без меток.", {});
    const QStringList sites = {QStringLiteral("ТП \"Северная\""), QStringLiteral("a\\b"),
                               QStringLiteral("две\nстроки")};
    for (int i = 0; i < sites.size(); ++i) {
        const QString& site = sites[reversed ? sites.size() - 1 - i : i];
        m.Add("z_total", {site}, site.startsWith('a') ? 1000000 : 2);
    }
    for (const double v :
         reversed ? std::vector<double>{3, 1, 0.25, 0.5} : std::vector<double>{0.5, 0.25, 1, 3}) {
        m.Observe("a_seconds", {QStringLiteral("x")}, v);
    }
    m.Set("m_bytes", {}, 1.5e300);
}

TEST(MetricsTest, TheTextIsSortedEscapedAndInTheExpositionFormat) {
    Metrics m;
    Fill(m, false);
    const QByteArray expected =
        "# HELP a_seconds Время.\n"
        "# TYPE a_seconds histogram\n"
        "a_seconds_bucket{site=\"x\",le=\"0.5\"} 2\n"
        "a_seconds_bucket{site=\"x\",le=\"1\"} 3\n"
        "a_seconds_bucket{site=\"x\",le=\"2.5\"} 3\n"
        "a_seconds_bucket{site=\"x\",le=\"+Inf\"} 4\n"
        "a_seconds_sum{site=\"x\"} 4.75\n"
        "a_seconds_count{site=\"x\"} 4\n"
        "# HELP m_bytes Без меток.\n"
        "# TYPE m_bytes gauge\n"
        "m_bytes 1.5e+300\n"
        "# HELP z_total Последний по имени.\\nВторая строка, с \\\\.\n"
        "# TYPE z_total counter\n"
        "z_total{site=\"a\\\\b\"} 1000000\n"
        "z_total{site=\"ТП \\\"Северная\\\"\"} 2\n"
        "z_total{site=\"две\\nстроки\"} 2\n";
    EXPECT_EQ(m.Render().toStdString(), expected.toStdString());

    Metrics other;
    Fill(other, true);
    EXPECT_EQ(other.Render(), m.Render());
}

TEST(MetricsTest, SamplesKeepTheirValueAndUndeclaredOnesAreIgnored) {
    const struct {
        double value;
        const char* text;
    } samples[] = {{0, "0"},
                   {42, "42"},
                   {-3, "-3"},
                   {0.1, "0.1"},
                   {1765300000.25, "1765300000.25"},
                   {1e21, "1e+21"},
                   {INFINITY, "+Inf"},
                   {-INFINITY, "-Inf"},
                   {NAN, "NaN"}};
    for (const auto& s : samples) {
        EXPECT_EQ(SampleText(s.value), QByteArray(s.text)) << s.text;
    }

    Metrics m;
    DeclareFleetMetrics(m);
    m.Add("lumvaris_site_packet_total", {QStringLiteral("ТП-1")});  // a misspelt name
    m.Add(metric::kSiteRequests, {QStringLiteral("ТП-1")});         // a label short
    m.Add(metric::kSiteReplySeconds, {QStringLiteral("ТП-3")}, 5);  // a histogram counted
    m.Observe(metric::kSitePackets, {QStringLiteral("ТП-3")}, 5);   // a counter observed
    m.Add(metric::kSiteRequests, {QStringLiteral("ТП-1"), OutcomeLabel(RequestOutcome::NoReply)}, 2);
    m.Add(metric::kSiteJobs, {QStringLiteral("ТП-2"), JobLabel(Job::ReadMonths), QStringLiteral("ok")});
    EXPECT_FALSE(m.Render().contains("lumvaris_site_packet_total"));
    EXPECT_TRUE(m.Render().contains("lumvaris_site_requests_total{site=\"ТП-1\",outcome=\"no_reply\"} 2\n"));
    EXPECT_EQ(m.Render().count("lumvaris_site_requests_total{"), 1);
    EXPECT_FALSE(m.Render().contains("ТП-3"));

    UpdateProcessMetrics(m);
    EXPECT_GT(m.Value(metric::kResidentMemory, {}), 1e6);
    EXPECT_GT(m.Value(metric::kStartTime, {}), 1.7e9);

    m.RemoveSeries("site", QStringLiteral("ТП-1"));
    EXPECT_FALSE(m.Render().contains("ТП-1"));
    EXPECT_TRUE(m.Render().contains("job=\"read_months\""));
}

}  // namespace
}  // namespace lumvaris::collect
