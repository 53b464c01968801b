#include "MqttTestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <mutex>

namespace lumvaris::mqtt::test {
namespace {

using namespace std::chrono_literals;
using meterdata::MeterRecord;

// The messages on topics ending in `end` (empty: the readings' own topics), as Expected shows them,
// or whole as received.
QStringList On(const QStringList& messages, const QString& end, bool whole = false) {
    QStringList out;
    for (const QString& m : messages) {
        const QString topic = m.section(' ', 1, 1);
        if (end.isEmpty() ? !topic.endsWith("/last") && !topic.endsWith("/status") : topic.endsWith(end)) {
            const QJsonObject payload = QJsonDocument::fromJson(m.section(' ', 2).toUtf8()).object();
            out << (whole ? m : topic + ' ' + sinks::test::Fields(payload).join('|'));
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

// The messages expected of random records on their topic + suffix, none handed over.
QStringList ExpectedOf(std::mt19937& rng, int count, int meters = 50, const QString& suffix = {}) {
    QStringList expected;
    for (int i = 0; i < count; ++i) {
        expected << Expected(sinks::test::RandomRecord(rng, meters), suffix);
    }
    return expected;
}

// Hands random records to the sink; the messages expected of them on their topic + suffix.
QStringList Send(MqttSink& sink, std::mt19937& rng, int count, int meters = 50, const QString& suffix = {}) {
    QStringList expected;
    for (int i = 0; i < count; ++i) {
        const MeterRecord record = sinks::test::RandomRecord(rng, meters);
        EXPECT_TRUE(sink.Enqueue(record, meterdata::RecordSource::Live, kSite, "2FFF"));
        expected << Expected(record, suffix);
    }
    return expected;
}

std::unique_ptr<MqttSink> Open(const QString& url, const MqttOptions& options = Options()) {
    QString error;
    std::unique_ptr<MqttSink> sink = OpenMqttSink(url, options, error);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    if (sink) {
        static QTemporaryDir outboxes;
        static int count = 0;
        const QString directory = outboxes.filePath(QString::number(++count));
        QDir().mkpath(directory);
        sink->Attach(sinks::test::OpenOutbox(directory, url));
    }
    return sink;
}

// Of messages sent in order on "…/last", those a broker keeps: each newer than the meter's before.
QStringList NewestOnly(const QStringList& lasts) {
    std::map<QString, QString> newest;  // time by topic
    QStringList kept;
    for (const QString& last : lasts) {
        const QString topic = last.section(' ', 0, 0);
        const QString time = last.section(' ', 1).section('|', 8, 8);
        if (!newest.contains(topic) || time > newest[topic]) {
            newest[topic] = time;
            kept << last;
        }
    }
    return kept;
}

TEST(MqttSink, EachReadingArrivesOnItsTopicsWithItsFieldsWithinASecond) {
    LUMVARIS_NEED_BROKER(broker);
    Subscriber subscriber(broker, "lv/#");
    const auto sink = Open(broker.Url());
    ASSERT_NE(sink, nullptr);
    std::mt19937 rng(25);
    std::mt19937 same = rng;
    QElapsedTimer timer;
    timer.start();
    QStringList readings = Send(*sink, rng, 1);
    Readings(subscriber, 1, 5s);
    std::cout << "[ latency  ] handed over to shown by mosquitto_sub: " << timer.elapsed() << " ms\n";
    EXPECT_LT(timer.elapsed(), 1000);

    readings += Send(*sink, rng, 300);
    ASSERT_TRUE(sink->WaitUntilPublished(10s));
    const QStringList sentLast = ExpectedOf(same, 301, 50, "/last");
    std::map<QString, QString> newest;  // by topic
    for (const QString& last : NewestOnly(sentLast)) {
        newest[last.section(' ', 0, 0)] = last;
    }
    subscriber.Messages(1 + 301 + static_cast<int>(newest.size()), 10s);
    const QStringList got = subscriber.Messages(100000, 1s);  // all, and any that should not come
    const QStringList gotReadings = On(got, {});
    EXPECT_EQ(gotReadings.size(), readings.size());
    for (qsizetype i = 0; i < std::min(gotReadings.size(), readings.size()); ++i) {
        EXPECT_EQ(gotReadings[i], readings[i]) << i;
    }
    // "…/last" goes only forward in time, and ends on each meter's newest reading.
    std::map<QString, QString> final;
    for (const QString& last : On(got, "/last")) {
        const QString topic = last.section(' ', 0, 0);
        if (final.contains(topic)) {
            EXPECT_GT(last.section(' ', 1).section('|', 8, 8),
                      final[topic].section(' ', 1).section('|', 8, 8));
        }
        final[topic] = last;
    }
    EXPECT_EQ(final, newest);
    EXPECT_EQ(On(got, "/status", true), QStringList{"0 lv/" + kSiteLevel + "/status online"});
}

TEST(MqttSink, ALateSubscriberGetsEachMetersLastReadingAndTheStateUntilTheStop) {
    LUMVARIS_NEED_BROKER(broker);
    const auto sink = Open(broker.Url());
    ASSERT_NE(sink, nullptr);
    std::mt19937 rng(7);
    std::map<QString, QString> last;  // by topic: the newest reading by its time
    for (const QString& reading : NewestOnly(Send(*sink, rng, 60, 5, "/last"))) {
        last[reading.section(' ', 0, 0)] = reading;
    }
    ASSERT_TRUE(sink->WaitUntilPublished(10s));

    Subscriber late(broker, "lv/#");
    QStringList got = late.Messages(static_cast<int>(last.size()) + 2, 1s);  // one more would be a fault
    QStringList lasts = On(got, "/last");
    lasts.sort();
    QStringList expected;
    for (const auto& [topic, reading] : last) {
        expected << reading;
    }
    EXPECT_EQ(lasts, expected);
    EXPECT_EQ(On(got, {}), QStringList());
    EXPECT_EQ(On(got, "/status", true), QStringList{"1 lv/" + kSiteLevel + "/status online"});

    EXPECT_EQ(sink->Stop(5s), 0);
    EXPECT_EQ(On(late.Messages(static_cast<int>(last.size()) + 2, 5s), "/status", true).value(1),
              "0 lv/" + kSiteLevel + "/status offline");
}

TEST(MqttSink, TheBrokerSaysOfflineForACollectorThatWasKilled) {
    LUMVARIS_NEED_BROKER(broker);
    Subscriber subscriber(broker, "lv/+/status");
    QProcess child;  // this program as a collector: see main()
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(kChildVariable, broker.Url());
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath());
    const QString status = "0 lv/" + kSiteLevel + "/status ";
    EXPECT_EQ(subscriber.Messages(1, 10s), QStringList{status + "online"});
    child.kill();
    child.waitForFinished();
    EXPECT_EQ(subscriber.Messages(2, 10s), (QStringList{status + "online", status + "offline"}));
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
    QStringList expected = Send(*sink, rng, 100);
    ASSERT_TRUE(sink->WaitUntilPublished(10s));
    ASSERT_EQ(Readings(subscriber, 100, 10s).size(), 100);
    QThread::msleep(200);  // the subscriber's acknowledgements reach the broker before it stops
    ASSERT_TRUE(broker.Stop());
    expected += Send(*sink, rng, 100);
    QString why;
    ASSERT_TRUE(broker.StartAgain(why)) << why.toStdString();
    expected += Send(*sink, rng, 100);
    ASSERT_TRUE(sink->WaitUntilPublished(20s));

    Readings(subscriber, 300, 20s);
    QStringList got = Readings(subscriber, 301, 300ms);  // one more would be a reading twice
    got.sort();
    expected.sort();
    EXPECT_EQ(got, expected);
    const QString broker_ = "Связь с брокером MQTT «" + broker.Url() + "» ";
    std::lock_guard lock(mutex);
    EXPECT_EQ(said, (QStringList{"down: " + broker_ + "потеряна", "up: " + broker_ + "восстановлена"}));
}

// A stop while the broker is away waits for nothing and counts what its outbox keeps for later.
TEST(MqttSink, AStopWhileTheBrokerIsAwayCountsWhatWaits) {
    LUMVARIS_NEED_BROKER(broker);
    const auto sink = Open(broker.Url());
    ASSERT_NE(sink, nullptr);
    ASSERT_TRUE(broker.Stop());
    std::mt19937 rng(9);
    Send(*sink, rng, 10);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(sink->Stop(10s), 10);
    EXPECT_LT(timer.elapsed(), 5000);
}

TEST(MqttSink, TheLoginTakesThePasswordFromItsFileOrTheEnvironmentOrIsRefusedWithItsMessage) {
    LUMVARIS_NEED_BROKER(broker, true);
    for (const auto& [name, text] :
         {std::pair{"good", "secret\n"}, std::pair{"bad", "wrong"}, std::pair{"crlf", "secret\r\n"}}) {
        QFile file(broker.Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(text) > 0);
    }
    const struct {
        const char* user;
        const char* file;         // empty: none
        const char* environment;  // null: not set
        const char* message;      // empty: the broker takes the login
    } cases[] = {
        {"meter", "good", nullptr, ""},
        {"meter", "crlf", nullptr, ""},
        {"meter", "", "secret", ""},
        {"meter", "bad", "secret", "отказал во входе пользователю «meter»: неверное имя или пароль"},
        {"meter", "", nullptr, "отказал во входе пользователю «meter»: пароль не задан"},
        {"", "", "secret", "не принимает подключение без пользователя и пароля"},
        {"", "good", nullptr, "нет пользователя"},
        {"meter", "none", "secret", "не читается"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.user) + " " + c.file);
        c.environment != nullptr ? qputenv(kPasswordVariable, c.environment) : qunsetenv(kPasswordVariable);
        MqttOptions options = Options();
        options.PasswordFile = *c.file != 0 ? broker.Path(c.file) : QString();
        QString error;
        const auto sink = OpenMqttSink(broker.Url(c.user), options, error);
        EXPECT_EQ(sink != nullptr && sink->Reachable(), *c.message == 0) << error.toStdString();
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.message))) << error.toStdString();
    }
    qunsetenv(kPasswordVariable);
}

}  // namespace
}  // namespace lumvaris::mqtt::test
