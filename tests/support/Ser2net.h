// Debian's ser2net as a real terminal server for the tests, on 127.0.0.1 only.
#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

namespace lumvaris::testing {

inline quint16 FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

inline bool Listening(quint16 port) {
    QTcpServer probe;
    return !probe.listen(QHostAddress::LocalHost, port);
}

// ser2net serving one device on 127.0.0.1, raw or Telnet with Com Port Control; a new client
// takes the device from the one before, as on a terminal server in the field.
class Ser2net {
  public:
    Ser2net(const QString& device, bool telnet) : port_(FreePort()), telnet_(telnet) {
        const QString program =
            QStandardPaths::findExecutable(QStringLiteral("ser2net"), {"/usr/sbin", "/usr/bin"});
        if (program.isEmpty()) {
            return;
        }
        const QString config = dir_.filePath(QStringLiteral("ser2net.yaml"));
        QFile file(config);
        file.open(QIODevice::WriteOnly);
        file.write(QStringLiteral("connection: &device\n"
                                  "  accepter: %1tcp,127.0.0.1,%2\n"
                                  "  connector: serialdev,%3,38400n81,local\n"
                                  "  options:\n"
                                  "    kickolduser: true\n")
                       .arg(telnet ? QStringLiteral("telnet(rfc2217),") : QString())
                       .arg(port_)
                       .arg(device)
                       .toUtf8());
        file.close();
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(program, {QStringLiteral("-n"), QStringLiteral("-d"), QStringLiteral("-c"), config});
        QElapsedTimer time;
        time.start();
        while (!Listening(port_) && time.elapsed() < 10000) {
            QThread::msleep(20);
        }
        ready_ = Listening(port_);
    }
    ~Ser2net() {
        process_.terminate();
        process_.waitForFinished();
    }
    bool Ready() const { return ready_; }
    QString Address() const {
        return QStringLiteral("%1://127.0.0.1:%2").arg(telnet_ ? "rfc2217" : "tcp").arg(port_);
    }
    quint16 Port() const { return port_; }

  private:
    QTemporaryDir dir_;
    QProcess process_;
    quint16 port_;
    bool telnet_;
    bool ready_ = false;
};

}  // namespace lumvaris::testing
