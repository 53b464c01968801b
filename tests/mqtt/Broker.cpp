#include "Broker.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace lumvaris::mqtt::test {

namespace {

// Connects to 127.0.0.1:port (port 0: binds a free one); the port, or 0.
int Probe(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    auto* raw = reinterpret_cast<sockaddr*>(&address);
    socklen_t size = sizeof address;
    const bool ok = port == 0 ? bind(fd, raw, size) == 0 && getsockname(fd, raw, &size) == 0
                              : ::connect(fd, raw, size) == 0;
    close(fd);
    return ok ? ntohs(address.sin_port) : 0;
}

bool Run(const QString& program, const QStringList& arguments, QString& why) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool ok = process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
                    process.exitCode() == 0;
    why = program + ": " + QString::fromLocal8Bit(process.readAll());
    return ok;
}

}  // namespace

bool Broker::Installed() {
    return QFile::exists(QLatin1String(kProgram));
}

QString Broker::Url(const QString& user) const {
    return QString(tls_ ? "mqtts://" : "mqtt://") + (user.isEmpty() ? QString() : user + "@") +
           QStringLiteral("127.0.0.1:%1/lv").arg(port_);
}

bool Broker::Start(QString& why, bool login, bool tls) {
    port_ = Probe(0);
    tls_ = tls;
    const QString dir = dir_.path() + "/";
    QString conf =
        QStringLiteral(
            "listener %1 127.0.0.1\npersistence true\npersistence_location %2\n"
            "log_dest file %2log\nallow_anonymous %3\n"
            // As root it would become user "mosquitto", who cannot read this directory.
            "user %4\n")
            .arg(port_)
            .arg(dir, login ? "false" : "true", QString::fromLocal8Bit(getpwuid(geteuid())->pw_name));
    if (login) {
        if (!Run(QStringLiteral("mosquitto_passwd"), {"-b", "-c", dir + "passwords", "meter", "secret"},
                 why)) {
            return false;
        }
        conf += "password_file " + dir + "passwords\n";
    }
    if (tls) {
        const QString san = dir + "san.cnf";
        QFile ext(san);
        if (!ext.open(QIODevice::WriteOnly) || ext.write("subjectAltName=IP:127.0.0.1\n") < 0) {
            why = ext.errorString();
            return false;
        }
        ext.close();
        const QString openssl = QStringLiteral("openssl");
        if (!Run(openssl,
                 {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", dir + "ca.key", "-out",
                  dir + "ca.crt", "-days", "2", "-subj", "/CN=lumvaris test CA"},
                 why) ||
            !Run(openssl,
                 {"req", "-newkey", "rsa:2048", "-nodes", "-keyout", dir + "server.key", "-out",
                  dir + "server.csr", "-subj", "/CN=127.0.0.1"},
                 why) ||
            !Run(openssl,
                 {"x509", "-req", "-in", dir + "server.csr", "-CA", dir + "ca.crt", "-CAkey", dir + "ca.key",
                  "-CAcreateserial", "-out", dir + "server.crt", "-days", "2", "-extfile", san},
                 why)) {
            return false;
        }
        conf += "cafile " + dir + "ca.crt\ncertfile " + dir + "server.crt\nkeyfile " + dir + "server.key\n";
    }
    QFile file(dir + "mosquitto.conf");
    if (!file.open(QIODevice::WriteOnly) || file.write(conf.toUtf8()) < 0) {
        why = file.errorString();
        return false;
    }
    file.close();
    return StartAgain(why);
}

bool Broker::StartAgain(QString& why) {
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.start(QLatin1String(kProgram), {"-c", dir_.filePath(QStringLiteral("mosquitto.conf"))});
    if (!process_.waitForStarted()) {
        why = process_.errorString();
        return false;
    }
    // Stops the broker when this process ends without stopping it (a crash, a kill).
    QProcess::startDetached(QStringLiteral("sh"),
                            {"-c", QStringLiteral("while kill -0 %1 2>/dev/null; do sleep 1; "
                                                  "done; kill %2 2>/dev/null")
                                       .arg(QCoreApplication::applicationPid())
                                       .arg(process_.processId())});
    QElapsedTimer timer;
    timer.start();
    while (Probe(port_) == 0) {
        if (timer.elapsed() > 10000 || process_.state() != QProcess::Running) {
            QFile log(dir_.filePath(QStringLiteral("log")));
            log.open(QIODevice::ReadOnly);
            why = QStringLiteral("mosquitto does not listen: ") + process_.readAll() + log.readAll();
            return false;
        }
        QThread::msleep(10);
    }
    return true;
}

bool Broker::Stop() {
    process_.terminate();
    return process_.waitForFinished(10000);
}

Broker::~Broker() {
    if (process_.state() != QProcess::NotRunning) {
        Stop();
    }
}

Subscriber::Subscriber(const Broker& broker, const QString& filter, const QStringList& extra) {
    // Line-buffered, so that each message is read as it arrives.
    QStringList arguments{
        "-oL",      "mosquitto_sub", "-h", "127.0.0.1", "-p", QString::number(broker.Port()),
        "-t",       filter,          "-q", "1",         "-d", "-F",
        ">%r %t %p"};
    process_.start(QStringLiteral("stdbuf"), arguments + extra);
    QElapsedTimer timer;
    timer.start();
    while (!subscribed_ && timer.elapsed() < 10000 && process_.state() != QProcess::NotRunning) {
        process_.waitForReadyRead(100);
        Read();
    }
}

Subscriber::~Subscriber() {
    process_.kill();
    process_.waitForFinished();
}

void Subscriber::Read() {
    buffer_ += process_.readAllStandardOutput();
    qsizetype end = 0;
    while ((end = buffer_.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(buffer_.left(end));
        buffer_.remove(0, end + 1);
        if (line.startsWith(QLatin1Char('>'))) {
            messages_ << line.mid(1);
        } else if (line.contains(QLatin1String("received SUBACK"))) {
            subscribed_ = true;
        }
    }
}

QStringList Subscriber::Messages(int count, std::chrono::milliseconds timeout) {
    QElapsedTimer timer;
    timer.start();
    Read();
    while (messages_.size() < count && timer.elapsed() < timeout.count()) {
        process_.waitForReadyRead(static_cast<int>(std::max<qint64>(1, timeout.count() - timer.elapsed())));
        Read();
    }
    return messages_;
}

}  // namespace lumvaris::mqtt::test
