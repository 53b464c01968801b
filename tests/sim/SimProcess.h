#pragma once

// The simulator in its own process, for the end-to-end tests.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <string>

namespace lumvaris::sim::testing {

// Deadlines are generous: the machine may be busy. Nothing waits longer than it must.
constexpr int kStartMs = 20000;
constexpr int kReplyMs = 10000;

// The simulator process; the first line of its standard output is the port to open.
class SimProcess {
  public:
    explicit SimProcess(const QStringList& args) {
        process_.setProgram(QStringLiteral(LUMVARIS_SIM_PATH));
        process_.setArguments(args);
        process_.setStandardErrorFile(QProcess::nullDevice());
        process_.start();
        QElapsedTimer t;
        t.start();
        while (!process_.canReadLine() && t.elapsed() < kStartMs &&
               process_.state() != QProcess::NotRunning) {
            process_.waitForReadyRead(100);
        }
        if (process_.canReadLine()) {
            path_ = QString::fromUtf8(process_.readLine()).trimmed().toStdString();
        }
    }
    // Every run must end cleanly: on SIGTERM, or by itself with exit code 0.
    ~SimProcess() {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(10000)) {
                ADD_FAILURE() << "the simulator did not end on SIGTERM";
                process_.kill();
                process_.waitForFinished(5000);
                return;
            }
        }
        EXPECT_EQ(process_.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process_.exitCode(), 0);
    }
    const std::string& Path() const { return path_; }
    QProcess& Process() { return process_; }

  private:
    QProcess process_;
    std::string path_;
};

}  // namespace lumvaris::sim::testing
