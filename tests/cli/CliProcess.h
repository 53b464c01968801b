// lumvaris-cli and the simulator as child processes, for the command-line tests.
#pragma once

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

namespace lumvaris::cli {

struct Outcome {
    int status = -1;
    QString out;
    QString err;
    QJsonObject Json() const { return QJsonDocument::fromJson(out.toUtf8()).object(); }
};

inline Outcome Cli(const QStringList& arguments, int timeoutMs = 30000,
                   const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(LUMVARIS_CLI_PATH), arguments);
    Outcome run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// The simulator in its own process; the first line of its output is its port.
class Simulator {
  public:
    explicit Simulator(QStringList arguments = {}) {
        process_.setProgram(QStringLiteral(LUMVARIS_SIM_PATH));
        process_.setArguments(arguments << QStringLiteral("--log") << Log());
        process_.start();
        process_.waitForReadyRead(10000);
        port_ = QString::fromUtf8(process_.readLine()).trimmed();
    }
    ~Simulator() {
        process_.terminate();
        process_.waitForFinished();
    }
    const QString& Port() const { return port_; }
    qint64 Pid() const { return process_.processId(); }
    QString Log() const { return dir_.filePath(QStringLiteral("sim.log")); }
    QString File(const QString& name) const { return dir_.filePath(name); }
    QStringList LogLines(const QString& part) const {
        QFile file(Log());
        file.open(QIODevice::ReadOnly);
        QStringList lines;
        for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
            if (line.contains(part)) {
                lines << line;
            }
        }
        return lines;
    }

  private:
    QTemporaryDir dir_;
    QProcess process_;
    QString port_;
};

}  // namespace lumvaris::cli
