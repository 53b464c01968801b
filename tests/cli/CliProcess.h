// lumvaris-cli and the simulator as child processes, for the command-line tests.
#pragma once

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <signal.h>

#include <functional>

#include "support/EventPump.h"

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

// A process takes its time: the event loop runs longer by default than for a socket alone.
inline bool RunUntil(const std::function<bool()>& done, int ms = 15000, int pollMs = 20) {
    return testing::RunUntil(done, ms, pollMs);
}

// lumvaris-cli running beside the test (listen, collect), its standard error gathered as it comes.
struct Running {
    QProcess cli;
    QString err;

    explicit Running(const QStringList& arguments,
                     const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
        cli.setProcessEnvironment(environment);
        cli.start(QStringLiteral(LUMVARIS_CLI_PATH), arguments);
    }
    ~Running() {
        cli.kill();
        cli.waitForFinished();
    }
    bool Heard(const QString& part, int ms = 15000) {
        return RunUntil(
            [&] {
                err += QString::fromUtf8(cli.readAllStandardError());
                return err.contains(part);
            },
            ms);
    }
    qsizetype Count(const QString& part) {
        err += QString::fromUtf8(cli.readAllStandardError());
        return err.count(part);
    }
    // The number the pattern's group finds in what was said, 0 when none.
    quint16 Port(const QString& pattern) const {
        return static_cast<quint16>(QRegularExpression(pattern).match(err).captured(1).toUInt());
    }
    void Signal(int signal) { ::kill(static_cast<pid_t>(cli.processId()), signal); }
    // SIGTERM, and whether it ended within the time; what it said last is in `err`.
    bool Stop(int ms = 30000) {
        Signal(SIGTERM);
        const bool ended = cli.waitForFinished(ms);
        err += QString::fromUtf8(cli.readAllStandardError());
        return ended;
    }
};

// listen --accept on a free port of 127.0.0.1; `port` stays 0 when it never said it was waiting.
struct Accepting : Running {
    quint16 port = 0;

    explicit Accepting(const QStringList& arguments)
        : Running(QStringList{"listen", "--accept", "127.0.0.1:0"} + arguments) {
        if (Heard(QStringLiteral("(конец: Ctrl+C или SIGTERM)."))) {
            port = Port(QStringLiteral("Ожидание звонков концентраторов на 127\\.0\\.0\\.1:(\\d+) "));
        }
    }
    QString Modem() const { return QStringLiteral("127.0.0.1:%1").arg(port); }
};

}  // namespace lumvaris::cli
