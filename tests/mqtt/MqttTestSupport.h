#pragma once

#include "Broker.h"
#include "mqtt/MqttSink.h"
#include "sinks/SinkTestSupport.h"

#include <QJsonDocument>

#include <ostream>

// Texts in the failure messages as text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace lumvaris::mqtt::test {

inline constexpr const char* kChildVariable = "LUMVARIS_MQTT_TEST_CHILD";
inline const QString kSite = QStringLiteral("ТП-12/2+");  // "/" and "+" cannot stand in a topic level
inline const QString kSiteLevel = QStringLiteral("ТП-12_2_");

inline MqttOptions Options() {
    MqttOptions options;
    options.Site = kSite;
    options.Locale = QLocale(QLocale::Russian, QLocale::Russia);
    options.LongestRetrySeconds = 2;
    options.ConnectWait = std::chrono::seconds(5);
    return options;
}

// A reading as mosquitto_sub shows it without its retain flag, with the payload's fields as
// sinks::test::Fields gives them: "TOPIC FIELD|FIELD|…".
inline QString Expected(const meterdata::MeterRecord& record, const QString& suffix = {}) {
    const sinks::ReadingBuilder builder(Options().Locale);
    sinks::Reading reading;
    EXPECT_TRUE(builder.Build(record, meterdata::RecordSource::Live, kSite, QStringLiteral("2FFF"), reading));
    return QStringLiteral("lv/%1/%2%3 ").arg(kSiteLevel).arg(reading.Meter).arg(suffix) +
           sinks::test::Fields(reading).join('|');
}

// The same of a message "RETAIN TOPIC PAYLOAD" received.
inline QString Received(const QString& message) {
    return message.section(' ', 1, 1) + ' ' +
           sinks::test::Fields(QJsonDocument::fromJson(message.section(' ', 2).toUtf8()).object()).join('|');
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
