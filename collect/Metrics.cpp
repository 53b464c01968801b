#include "collect/Metrics.h"

#include <charconv>
#include <cmath>

namespace lumvaris::collect {

QByteArray EscapeLabelValue(const QString& value) {
    const QByteArray utf8 = value.toUtf8();
    QByteArray out;
    out.reserve(utf8.size() + 2);
    for (const char c : utf8) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '"') {
            out += "\\\"";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

QByteArray EscapeHelp(const QString& help) {
    QByteArray out = help.toUtf8();
    out.replace("\\", "\\\\").replace("\n", "\\n");
    return out;
}

QByteArray SampleText(double value) {
    if (std::isnan(value)) {
        return "NaN";
    }
    if (std::isinf(value)) {
        return value > 0 ? "+Inf" : "-Inf";
    }
    // Counts and time stamps as integers: the shortest form would write 1000000 as "1e+06".
    if (std::abs(value) < 9007199254740992.0 && value == std::trunc(value)) {
        return QByteArray::number(static_cast<long long>(value));
    }
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return QByteArray(buffer, static_cast<qsizetype>(end - buffer));
}

void Metrics::Declare(const std::string& name, MetricType type, const QString& help,
                      std::vector<std::string> labelNames, std::vector<double> buckets) {
    const std::lock_guard lock(mutex_);
    if (families_.count(name) != 0) {
        return;
    }
    Family& family = families_[name];
    family.type = type;
    family.help = EscapeHelp(help);
    family.labelNames = std::move(labelNames);
    if (type == MetricType::Histogram) {
        family.buckets = std::move(buckets);
        for (const double bound : family.buckets) {
            family.bucketBounds.push_back(SampleText(bound));
        }
        family.bucketBounds.push_back("+Inf");
    }
}

Metrics::Series* Metrics::Find(const std::string& name, const QStringList& labelValues, bool histogram,
                               Family** found) {
    const auto family = families_.find(name);
    if (family == families_.end() ||
        static_cast<std::size_t>(labelValues.size()) != family->second.labelNames.size() ||
        (family->second.type == MetricType::Histogram) != histogram) {
        return nullptr;
    }
    Family& f = family->second;
    if (found != nullptr) {
        *found = &f;
    }
    auto [it, inserted] = f.series.try_emplace(labelValues);
    if (inserted) {
        Series& s = it->second;
        for (std::size_t i = 0; i < f.labelNames.size(); ++i) {
            s.labels += (i == 0 ? "{" : ",") + QByteArray::fromStdString(f.labelNames[i]) + "=\"" +
                        EscapeLabelValue(labelValues[static_cast<qsizetype>(i)]) + '"';
        }
        if (!f.labelNames.empty()) {
            s.labels += '}';
        }
        s.counts.assign(f.type == MetricType::Histogram ? f.bucketBounds.size() : 0, 0);
    }
    return &it->second;
}

void Metrics::Add(const std::string& name, const QStringList& labelValues, double amount) {
    const std::lock_guard lock(mutex_);
    if (Series* s = Find(name, labelValues, false)) {
        s->value += amount;
    }
}

void Metrics::Set(const std::string& name, const QStringList& labelValues, double value) {
    const std::lock_guard lock(mutex_);
    if (Series* s = Find(name, labelValues, false)) {
        s->value = value;
    }
}

void Metrics::Observe(const std::string& name, const QStringList& labelValues, double value) {
    const std::lock_guard lock(mutex_);
    Family* family = nullptr;
    Series* s = Find(name, labelValues, true, &family);
    if (s == nullptr) {
        return;
    }
    std::size_t bucket = 0;
    while (bucket < family->buckets.size() && value > family->buckets[bucket]) {
        ++bucket;
    }
    ++s->counts[bucket];
    s->value += value;
}

void Metrics::RemoveSeries(const std::string& labelName, const QString& value) {
    const std::lock_guard lock(mutex_);
    for (auto& [name, family] : families_) {
        for (std::size_t i = 0; i < family.labelNames.size(); ++i) {
            if (family.labelNames[i] != labelName) {
                continue;
            }
            std::erase_if(family.series,
                          [&](const auto& entry) { return entry.first[static_cast<qsizetype>(i)] == value; });
        }
    }
}

double Metrics::Value(const std::string& name, const QStringList& labelValues) const {
    const std::lock_guard lock(mutex_);
    const auto family = families_.find(name);
    if (family == families_.end()) {
        return 0;
    }
    const auto s = family->second.series.find(labelValues);
    if (s == family->second.series.end()) {
        return 0;
    }
    if (family->second.type != MetricType::Histogram) {
        return s->second.value;
    }
    unsigned long long count = 0;
    for (const unsigned long long c : s->second.counts) {
        count += c;
    }
    return static_cast<double>(count);
}

QByteArray Metrics::Render() const {
    const std::lock_guard lock(mutex_);
    QByteArray out;
    std::size_t estimate = 0;
    for (const auto& [name, family] : families_) {
        estimate += family.series.size() * (name.size() + 64) * (family.bucketBounds.size() + 2);
    }
    out.reserve(static_cast<qsizetype>(estimate));
    for (const auto& [name, family] : families_) {
        const QByteArray metric = QByteArray::fromStdString(name);
        out += "# HELP " + metric + ' ' + family.help + '\n';
        out += "# TYPE " + metric +
               (family.type == MetricType::Counter ? " counter\n"
                : family.type == MetricType::Gauge ? " gauge\n"
                                                   : " histogram\n");
        for (const auto& [values, s] : family.series) {
            if (family.type != MetricType::Histogram) {
                out += metric;
                out += s.labels;
                out += ' ';
                out += SampleText(s.value);
                out += '\n';
                continue;
            }
            // Bucket lines carry the series' labels and `le`; counts are cumulative.
            const QByteArray open = s.labels.isEmpty() ? QByteArray("{") : s.labels.chopped(1) + ',';
            unsigned long long cumulative = 0;
            for (std::size_t b = 0; b < family.bucketBounds.size(); ++b) {
                cumulative += s.counts[b];
                out += metric;
                out += "_bucket";
                out += open;
                out += "le=\"";
                out += family.bucketBounds[b];
                out += "\"} ";
                out += QByteArray::number(cumulative);
                out += '\n';
            }
            out += metric + "_sum" + s.labels + ' ' + SampleText(s.value) + '\n';
            out += metric + "_count" + s.labels + ' ' + QByteArray::number(cumulative) + '\n';
        }
    }
    return out;
}

}  // namespace lumvaris::collect
