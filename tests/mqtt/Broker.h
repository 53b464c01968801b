#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>

namespace lumvaris::mqtt::test {

// Debian's mosquitto on a free port of 127.0.0.1, its configuration, persistence and log in a
// temporary directory. The destructor stops it, and a watchdog process stops it if this process dies
// first.
class Broker {
  public:
    static constexpr const char* kProgram = "/usr/sbin/mosquitto";
    static bool Installed();

    ~Broker();
    // login: anonymous clients are refused and user "meter" has password "secret". tls: the listener
    // speaks TLS with a certificate for 127.0.0.1 signed by CaFile().
    bool Start(QString& why, bool login = false, bool tls = false);
    bool Stop();
    bool StartAgain(QString& why);  // the same port, configuration and persistence
    int Port() const { return port_; }
    QString Url(const QString& user = {}) const;
    QString CaFile() const { return dir_.filePath(QStringLiteral("ca.crt")); }
    QString FilePath(const QString& name) const { return dir_.filePath(name); }

  private:
    QTemporaryDir dir_{QStringLiteral("/tmp/lumvaris-mqtt-XXXXXX")};
    QProcess process_;
    int port_ = 0;
    bool tls_ = false;
};

// mosquitto_sub on a topic filter, each message one line "RETAIN TOPIC PAYLOAD"; the constructor
// returns once the broker has acknowledged the subscription. Extra arguments go to mosquitto_sub.
class Subscriber {
  public:
    Subscriber(const Broker& broker, const QString& filter, const QStringList& extra = {});
    ~Subscriber();
    // The messages received so far, after waiting until there are `count` of them or the time is up.
    QStringList Messages(int count, std::chrono::milliseconds timeout);
    bool Subscribed() const { return subscribed_; }

  private:
    void Read();

    QProcess process_;
    QByteArray buffer_;
    QStringList messages_;
    bool subscribed_ = false;
};

}  // namespace lumvaris::mqtt::test
