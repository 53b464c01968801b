#include "MqttTestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <arpa/inet.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace lumvaris::mqtt::test {

namespace {

// Port 0: a free port; otherwise the port when something listens there; 0 when not.
int Probe(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{AF_INET, htons(static_cast<uint16_t>(port)), {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t size = sizeof a;
    auto* raw = reinterpret_cast<sockaddr*>(&a);
    const bool ok = port == 0 ? bind(fd, raw, size) == 0 && getsockname(fd, raw, &size) == 0
                              : connect(fd, raw, size) == 0;
    close(fd);
    return ok ? ntohs(a.sin_port) : 0;
}

bool Run(const QString& program, const QStringList& arguments, QString& why) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool ok =
        process.waitForFinished() && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    why = program + ": " + QString::fromLocal8Bit(process.readAll());
    return ok;
}

}  // namespace

QString Broker::Url(const QString& user) const {
    return QString("mqtt://") + (user.isEmpty() ? "" : user + "@") +
           QStringLiteral("127.0.0.1:%1/lv").arg(port_);
}

bool Broker::Start(QString& why, bool login) {
    port_ = Probe(0);
    const QString dir = dir_.path() + "/";
    // As root it would become user "mosquitto", who cannot read this directory.
    QString conf =
        QStringLiteral("listener %1 127.0.0.1\npersistence true\npersistence_location %2\nuser %3\n")
            .arg(port_)
            .arg(dir, QString::fromLocal8Bit(getpwuid(geteuid())->pw_name));
    conf += login ? "allow_anonymous false\npassword_file " + dir + "passwords\n" : "allow_anonymous true\n";
    if (login && !Run("mosquitto_passwd", {"-b", "-c", dir + "passwords", "meter", "secret"}, why)) {
        return false;
    }
    QFile file(dir + "mosquitto.conf");
    if (!file.open(QIODevice::WriteOnly) || file.write(conf.toUtf8()) < 0) {
        return (why = file.errorString(), false);
    }
    file.close();
    return StartAgain(why);
}

bool Broker::StartAgain(QString& why) {
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.start("/usr/sbin/mosquitto", {"-c", dir_.filePath("mosquitto.conf")});
    process_.waitForStarted();
    QProcess::startDetached("sh", {"-c", QStringLiteral("while kill -0 %1; do sleep 1; done; kill %2")
                                             .arg(QCoreApplication::applicationPid())
                                             .arg(process_.processId())});
    QElapsedTimer timer;
    timer.start();
    while (Probe(port_) == 0 && process_.state() == QProcess::Running && timer.elapsed() < 10000) {
        QThread::msleep(10);
    }
    why = "mosquitto does not listen: " + process_.readAll();
    return Probe(port_) != 0;
}

Subscriber::Subscriber(const Broker& broker, const QString& filter, const QStringList& extra) {
    // Line-buffered, so that each message is read as it arrives; -d tells of the subscription.
    process_.start("stdbuf", QStringList{"-oL", "mosquitto_sub", "-p", QString::number(broker.Port()), "-h",
                                         "127.0.0.1", "-t", filter, "-q", "1", "-d", "-F", ">%r %t %p"} +
                                 extra);
    Messages(-1, std::chrono::seconds(10));
}

QStringList Subscriber::Messages(int count, std::chrono::milliseconds timeout) {
    QElapsedTimer timer;
    timer.start();
    while (true) {
        while (process_.canReadLine()) {
            const QString line = QString::fromUtf8(process_.readLine()).chopped(1);
            if (line.startsWith('>')) {
                lines_ << line.mid(1);
            }
            subscribed_ = subscribed_ || line.contains("received SUBACK");
        }
        // count -1: until subscribed.
        if ((count < 0 ? subscribed_ : lines_.size() >= count) || timer.elapsed() >= timeout.count()) {
            return lines_;
        }
        process_.waitForReadyRead(10);
    }
}

}  // namespace lumvaris::mqtt::test
