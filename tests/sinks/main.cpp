// The sinks need a QCoreApplication (the SQL drivers are plugins) and one fixed time zone, so that
// the local time stamps of the records have one UTC time.
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <ctime>

int main(int argc, char** argv) {
    qputenv("TZ", "Europe/Moscow");  // UTC+3 all year
    tzset();
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
