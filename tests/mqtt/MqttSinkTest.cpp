#include "MqttTestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <mutex>

namespace lumvaris::mqtt::test {
namespace {

using namespace std::chrono_literals;
using meterdata::MeterRecord;
using meterdata::RecordSource;

std::unique_ptr<MqttSink> Open(const QString& url, const MqttOptions& options = Options()) {
    QString error;
    std::unique_ptr<MqttSink> sink = OpenMqttSink(url, options, error);
    EXPECT_NE(sink, nullptr) << error.toStdString();
    return sink;
}

// The messages on topics ending in `end`, as Received shows them, or whole when `whole`.
QStringList On(const QStringList& messages, const QString& end, bool whole = false) {
    QStringList out;
    for (const QString& m : messages) {
        const QString topic = m.section(' ', 1, 1);
        const bool reading = !topic.endsWith("/last") && !topic.endsWith("/status");
        if (end.isEmpty() ? reading : topic.endsWith(end)) {
            out << (whole ? m : Received(m));
        }
    }
    return out;
}

// The readings received, after waiting until there are `count` of them or the time is up.
QStringList Readings(Subscriber& subscriber, int count, std::chrono::milliseconds timeout) {
    QElapsedTimer timer;
    timer.start();
    QStringList got = subscriber.Messages(0, 0ms);
    while (On(got, {}).size() < count && timer.elapsed() < timeout.count()) {
        got = subscriber.Messages(static_cast<int>(got.size()) + 1, 20ms);
    }
    return On(got, {});
}

TEST(MqttSink, EachReadingArrivesOnItsTopicsWithItsFieldsWithinASecond) {
    LUMVARIS_NEED_BROKER(broker);
    Subscriber subscriber(broker, "lv/#");
    ASSERT_TRUE(subscriber.Subscribed());
    const auto sink = Open(broker.Url());
    ASSERT_NE(sink, nullptr);
    std::mt19937 rng(25);

    QStringList readings;
    QStringList lasts;
    const auto send = [&] {
        const MeterRecord record = sinks::test::RandomRecord(rng);
        EXPECT_TRUE(sink->Enqueue(record, RecordSource::Live, kSite, "2FFF"));
        readings << Expected(record);
        lasts << Expected(record, "/last");
    };
    QElapsedTimer timer;
    timer.start();
    send();
    Readings(subscriber, 1, 5s);
    const qint64 latency = timer.elapsed();
    std::cout << "[ latency  ] handed over to shown by mosquitto_sub: " << latency << " ms\n";
    EXPECT_LT(latency, 1000);

    for (int i = 0; i < 300; ++i) {
        send();
    }
    ASSERT_TRUE(sink->WaitUntilPublished(10s));
    const QStringList got = subscriber.Messages(1 + 2 * 301, 10s);
    EXPECT_EQ(On(got, {}), readings);
    EXPECT_EQ(On(got, "/last"), lasts);
    EXPECT_EQ(On(got, "/status", true), QStringList{"0 lv/" + kSiteLevel + "/status online"});
    EXPECT_EQ(sink->Published(), 301);
}

TEST(MqttSink, ALateSubscriberGetsEachMetersLastReadingAndTheCollectorsState) {
    LUMVARIS_NEED_BROKER(broker);
    const auto sink = Open(broker.Url());
    ASSERT_NE(sink, nullptr);
    std::mt19937 rng(7);
    std::map<int, QString> last;
    for (int i = 0; i < 60; ++i) {
        const MeterRecord record = sinks::test::RandomRecord(rng, 5);
        EXPECT_TRUE(sink->Enqueue(record, RecordSource::Live, kSite, "2FFF"));
        last[record.Meter] = Expected(record, "/last");
    }
    ASSERT_TRUE(sink->WaitUntilPublished(10s));

    Subscriber late(broker, "lv/#");
    QStringList expected;
    for (const auto& [meter, reading] : last) {
        expected << reading;
    }
    QStringList got = late.Messages(static_cast<int>(last.size()) + 2, 1s);  // one more would be a fault
    QStringList lasts = On(got, "/last");
    lasts.sort();
    EXPECT_EQ(lasts, expected);
    EXPECT_EQ(On(got, {}), QStringList());
    EXPECT_EQ(On(got, "/status", true), QStringList{"1 lv/" + kSiteLevel + "/status online"});

    EXPECT_EQ(sink->Stop(5s), 0);
    got = late.Messages(static_cast<int>(last.size()) + 2, 5s);
    EXPECT_EQ(On(got, "/status", true).value(1), "0 lv/" + kSiteLevel + "/status offline");
    Subscriber after(broker, "lv/+/status");
    EXPECT_EQ(after.Messages(1, 5s), QStringList{"1 lv/" + kSiteLevel + "/status offline"});
}

TEST(MqttSink, TheBrokerSaysOfflineForACollectorThatWasKilled) {
    LUMVARIS_NEED_BROKER(broker);
    Subscriber subscriber(broker, "lv/+/status");
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(kChildVariable, broker.Url());
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {});
    const QString status = "lv/" + kSiteLevel + "/status ";
    EXPECT_EQ(subscriber.Messages(1, 10s), QStringList{"0 " + status + "online"});
    child.kill();
    child.waitForFinished();
    EXPECT_EQ(subscriber.Messages(2, 10s),
              (QStringList{"0 " + status + "online", "0 " + status + "offline"}));
}

TEST(MqttSink, EveryReadingArrivesOnceAcrossABrokerRestart) {
    LUMVARIS_NEED_BROKER(broker);
    // A session the broker keeps over its restart, so that the subscriber misses nothing either.
    Subscriber subscriber(broker, "lv/+/+", {"-c", "-i", "lumvaris-restart-test"});
    const auto sink = Open(broker.Url());
    ASSERT_NE(sink, nullptr);
    std::mutex mutex;
    QStringList said;
    QObject::connect(
        sink.get(), &MqttSink::ReachabilityChanged, sink.get(),
        [&](bool reachable, const QString& message) {
            std::lock_guard lock(mutex);
            said << QString(reachable ? "up: " : "down: ") + message.section(": ", 0, 0);
        },
        Qt::DirectConnection);
    std::mt19937 rng(3);
    QStringList expected;
    const auto send = [&](int count) {
        for (int i = 0; i < count; ++i) {
            const MeterRecord record = sinks::test::RandomRecord(rng);
            EXPECT_TRUE(sink->Enqueue(record, RecordSource::Live, kSite, "2FFF"));
            expected << Expected(record);
            QThread::usleep(500);
        }
    };

    send(100);
    ASSERT_TRUE(sink->WaitUntilPublished(10s));
    ASSERT_EQ(Readings(subscriber, 100, 10s).size(), 100);
    QThread::msleep(200);  // the subscriber's acknowledgements reach the broker before it stops
    ASSERT_TRUE(broker.Stop());
    send(100);
    QString why;
    ASSERT_TRUE(broker.StartAgain(why)) << why.toStdString();
    send(100);
    ASSERT_TRUE(sink->WaitUntilPublished(20s));

    Readings(subscriber, 300, 20s);
    QStringList got = Readings(subscriber, 301, 300ms);  // one more would be a reading twice
    got.sort();
    expected.sort();
    EXPECT_EQ(got, expected);
    const QString url = "«" + broker.Url() + "»";
    std::lock_guard lock(mutex);
    EXPECT_EQ(said, (QStringList{"down: Связь с брокером MQTT " + url + " потеряна",
                                 "up: Связь с брокером MQTT " + url + " восстановлена"}));
}

TEST(MqttSink, TheLoginTakesThePasswordFromItsFileOrTheEnvironmentOrIsRefusedWithItsMessage) {
    LUMVARIS_NEED_BROKER(broker, true);
    const QString good = broker.FilePath("good");
    const QString bad = broker.FilePath("bad");
    for (const auto& [name, text] : {std::pair{good, "secret\n"}, std::pair{bad, "wrong"}}) {
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(text) > 0);
    }
    struct Case {
        const char* user;
        QString file;
        const char* environment;  // null: not set
        const char* message;      // empty: the broker takes the login
    };
    const Case cases[] = {
        {"meter", good, nullptr, ""},
        {"meter", {}, "secret", ""},
        {"meter", bad, "secret", "отказал во входе пользователю «meter»: неверное имя или пароль"},
        {"meter", {}, nullptr, "отказал во входе пользователю «meter»"},
        {"", {}, "secret", "не принимает подключение без пользователя и пароля"},
        {"", good, nullptr, "нет пользователя"},
        {"meter", broker.FilePath("none"), "secret", "не читается"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.user) + " " + c.file.toStdString());
        if (c.environment != nullptr) {
            qputenv(kPasswordVariable, c.environment);
        } else {
            qunsetenv(kPasswordVariable);
        }
        MqttOptions options = Options();
        options.PasswordFile = c.file;
        QString error;
        const auto sink = OpenMqttSink(broker.Url(c.user), options, error);
        EXPECT_EQ(sink != nullptr && sink->Reachable(), *c.message == 0) << error.toStdString();
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.message))) << error.toStdString();
    }
    qunsetenv(kPasswordVariable);
}

TEST(MqttSink, OverTlsTheBrokerIsTrustedThroughTheCaFileAndNotOtherwise) {
    LUMVARIS_NEED_BROKER(broker, false, true);
    MqttOptions options = Options();
    options.CaFile = broker.CaFile();
    const auto sink = Open(broker.Url(), options);
    ASSERT_NE(sink, nullptr);
    std::mt19937 rng(1);
    EXPECT_TRUE(sink->Enqueue(sinks::test::RandomRecord(rng), RecordSource::Live, kSite, "2FFF"));
    EXPECT_TRUE(sink->WaitUntilPublished(5s));

    for (const QString& ca : {QString(), broker.FilePath("none")}) {
        options.CaFile = ca;
        QString error;
        EXPECT_EQ(OpenMqttSink(broker.Url(), options, error), nullptr);
        EXPECT_TRUE(error.contains(ca.isEmpty() ? "не установлено" : "не годится")) << error.toStdString();
    }
}

}  // namespace
}  // namespace lumvaris::mqtt::test
