// The sinks need a QCoreApplication (the SQL drivers are plugins) and one fixed time zone, so that
// the local time stamps of the records have one UTC time.
#include "SinkTestSupport.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <ctime>

int main(int argc, char** argv) {
    qputenv("TZ", "Europe/Moscow");  // UTC+3 all year
    tzset();
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    lumvaris::sinks::test::StopPostgres();  // stopped while the application still exists
    return status;
}
