#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace lumvaris::collect {

enum class MetricType { Counter, Gauge, Histogram };

// Counters, gauges and histograms with labels, rendered in Prometheus' text exposition format
// 0.0.4. Families sorted by name, series by their label values, so that two renders of the same
// values are the same bytes. Safe to use from several threads: the collector's event loop counts,
// the metrics endpoint's thread renders.
class Metrics {
  public:
    // Declares a family once, before its first series; `buckets` (upper bounds, ascending) for a
    // histogram. A second declaration of the same name is ignored.
    void Declare(const std::string& name, MetricType type, const QString& help,
                 std::vector<std::string> labelNames, std::vector<double> buckets = {});

    // On the series of the label values (in the order of the family's label names), created at
    // zero when new. Undeclared names and a wrong number of values are ignored.
    void Add(const std::string& name, const QStringList& labelValues, double amount = 1);
    void Set(const std::string& name, const QStringList& labelValues, double value);
    void Observe(const std::string& name, const QStringList& labelValues, double value);
    // Every series of every family whose label `labelName` has this value (a site taken out).
    void RemoveSeries(const std::string& labelName, const QString& value);

    // A counter's or gauge's value, a histogram's count; 0 for a series that does not exist.
    double Value(const std::string& name, const QStringList& labelValues) const;

    QByteArray Render() const;

  private:
    struct Series {
        QByteArray labels;                       // `{a="x",b="y"}`, or empty; escaped once, when created
        double value = 0;                        // a histogram's sum
        std::vector<unsigned long long> counts;  // a histogram's, per bucket and one for +Inf
    };
    struct Family {
        MetricType type = MetricType::Counter;
        QByteArray help;
        std::vector<std::string> labelNames;
        std::vector<double> buckets;
        std::vector<QByteArray> bucketBounds;  // the `le` texts
        std::map<QStringList, Series> series;
    };
    // The series, made when new; null for an unknown family, a wrong number of label values, or
    // a histogram asked for a plain value (and the other way round).
    Series* Find(const std::string& name, const QStringList& labelValues, bool histogram,
                 Family** family = nullptr);

    mutable std::mutex mutex_;
    std::map<std::string, Family> families_;
};

// A label value or a HELP text as the exposition format writes it: backslash, newline and (in a
// label value) the double quote escaped.
QByteArray EscapeLabelValue(const QString& value);
QByteArray EscapeHelp(const QString& help);
// A sample value: integers without a fraction, others in the shortest form that reads back the
// same; "+Inf", "-Inf", "NaN".
QByteArray SampleText(double value);

}  // namespace lumvaris::collect
