// The help viewer is a program of the desktop's: it gets the window's environment without the
// passwords the window holds for the central database, the broker and the concentrator.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include "app/Desktop.h"

namespace lumvaris::app {
namespace {

TEST(Desktop, TheViewerStartsWithoutThePasswordsOfTheWindowsEnvironment) {
    QTemporaryDir dir;
    const QString seen = dir.filePath(QStringLiteral("environment"));
    // A stand-in for xdg-open, first on the PATH, that writes down what it was given.
    const QString opener = dir.filePath(QStringLiteral("xdg-open"));
    QFile script(opener);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(
        QStringLiteral("#!/bin/sh\nenv > '%1.part' && echo \"$1\" >> '%1.part' && mv '%1.part' '%1'\n")
            .arg(seen)
            .toUtf8());
    script.close();
    ASSERT_TRUE(
        script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(dir.path()) + ':' + path);
    qputenv("PGPASSWORD", "pg-secret");
    qputenv("LUMVARIS_MQTT_PASSWORD", "mqtt-secret");
    qputenv("LUMVARIS_PASSWORD", "plc-secret");
    qputenv("LUMVARIS_TEST_MARK", "kept");

    OpenWithDefaultViewer(dir.filePath(QStringLiteral("index.html")));
    QElapsedTimer time;
    time.start();
    while (!QFile::exists(seen) && time.elapsed() < 10000) {
        QThread::msleep(20);  // another process's doing, not a timer of ours
    }
    qputenv("PATH", path);
    for (const char* name : {"PGPASSWORD", "LUMVARIS_MQTT_PASSWORD", "LUMVARIS_PASSWORD"}) {
        qunsetenv(name);
    }
    QFile file(seen);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "the viewer was not started";
    const QByteArray environment = file.readAll();
    EXPECT_TRUE(environment.contains("LUMVARIS_TEST_MARK=kept"));
    EXPECT_TRUE(environment.contains("index.html"));
    EXPECT_FALSE(environment.contains("secret")) << environment.toStdString();
}

}  // namespace
}  // namespace lumvaris::app
