#pragma once

#include "mqtt/MqttSink.h"
#include "sinks/SinkTestSupport.h"

#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace lumvaris::mqtt::test {

// Debian's mosquitto on a free port of 127.0.0.1, its configuration and persistence in a temporary
// directory; stopped by the destructor, or by a watchdog when this process dies first.
class Broker {
  public:
    static bool Installed() { return QFile::exists(QStringLiteral("/usr/sbin/mosquitto")); }
    ~Broker() { Stop(); }
    // login: only user "meter" with password "secret".
    bool Start(QString& why, bool login = false);
    bool StartAgain(QString& why);
    bool Stop() {
        return process_.state() == QProcess::NotRunning || (process_.terminate(), process_.waitForFinished());
    }
    int Port() const { return port_; }
    QString Url(const QString& user = {}) const;
    QString Path(const QString& name) const { return dir_.filePath(name); }

  private:
    QTemporaryDir dir_;
    QProcess process_;
    int port_ = 0;
};

// mosquitto_sub on a topic filter, each message a line "RETAIN TOPIC PAYLOAD"; constructed once
// the subscription is acknowledged.
class Subscriber {
  public:
    Subscriber(const Broker& broker, const QString& filter, const QStringList& extra = {});
    ~Subscriber() { process_.kill(), process_.waitForFinished(); }
    // The messages so far, after waiting until there are `count` of them or the time is up.
    QStringList Messages(int count, std::chrono::milliseconds timeout);

  private:
    QProcess process_;
    QStringList lines_;
    bool subscribed_ = false;
};

inline constexpr const char* kChildVariable = "LUMVARIS_MQTT_TEST_CHILD";
inline const QString kSite = QStringLiteral("ТП-12/2+");  // "/" and "+" cannot stand in a topic level
inline const QString kSiteLevel = QStringLiteral("ТП-12_2_");

inline MqttOptions Options() {
    MqttOptions options;
    options.Site = kSite;
    options.Locale = QLocale(QLocale::Russian, QLocale::Russia);
    options.LongestRetrySeconds = 2;
    return options;
}

// A reading as a message without its retain flag, the payload as sinks::test::Fields shows it.
inline QString Expected(const meterdata::MeterRecord& record, const QString& suffix = {}) {
    sinks::Reading r;
    EXPECT_TRUE(sinks::ReadingBuilder(Options().Locale)
                    .Build(record, meterdata::RecordSource::Live, kSite, "2FFF", r));
    return QStringLiteral("lv/%1/%2%3 ").arg(kSiteLevel).arg(r.Meter).arg(suffix) +
           sinks::test::Fields(r).join('|');
}

#define LUMVARIS_NEED_BROKER(broker, ...)                                                                  \
    if (!::lumvaris::mqtt::test::Broker::Installed()) {                                                    \
        GTEST_SKIP() << "mosquitto not installed (/usr/sbin/mosquitto); scripts/install-deps installs it"; \
    }                                                                                                      \
    ::lumvaris::mqtt::test::Broker broker;                                                                 \
    {                                                                                                      \
        QString why;                                                                                       \
        ASSERT_TRUE(broker.Start(why __VA_OPT__(, ) __VA_ARGS__)) << why.toStdString();                    \
    }

}  // namespace lumvaris::mqtt::test
