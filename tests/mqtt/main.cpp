// The sink needs one fixed time zone, so that the local time stamps of the records have one UTC time,
// and QProcess an application. Started with LUMVARIS_MQTT_TEST_CHILD=URL, the program is instead a
// collector that connects, says it is online and waits to be killed.
#include "MqttTestSupport.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <ctime>

int main(int argc, char** argv) {
    qputenv("TZ", "Europe/Moscow");  // UTC+3 all year
    tzset();
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(lumvaris::mqtt::test::kChildVariable)) {
        QString error;
        const auto sink =
            lumvaris::mqtt::OpenMqttSink(qEnvironmentVariable(lumvaris::mqtt::test::kChildVariable),
                                         lumvaris::mqtt::test::Options(), error);
        QThread::sleep(sink != nullptr ? 60 : 0);
        return 1;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
