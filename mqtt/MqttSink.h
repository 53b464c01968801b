#pragma once

#include "meterdata/IFiledRecords.h"
#include "meterdata/MeterRecord.h"
#include "mqtt/MqttAddress.h"

#include <QLocale>
#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

struct mosquitto;

namespace lumvaris::mqtt {

struct MqttOptions {
    QString Site;           // the collector's site: its readings' and its status topic's level
    QString CaFile;         // mqtts: the CA certificates; empty: the system's certificates
    QString PasswordFile;   // empty: LUMVARIS_MQTT_PASSWORD, when set
    int Capacity = 100000;  // readings waiting or not yet acknowledged, about 100 bytes each
    // How long the open waits for the broker's first answer, to report a refused login.
    std::chrono::milliseconds ConnectWait{5000};
    int LongestRetrySeconds = 30;        // the pause between reconnection attempts doubles from 1 s to this
    int KeepaliveSeconds = 30;           // a broker silent for 1.5 times this is taken as lost
    QLocale Locale = QLocale::system();  // of the decoded texts, as the tables show them
};

// Publishes readings to an MQTT broker, never making the caller wait for the network.
//
// Topics, under the address's prefix and the site's level (TopicLevel):
//   PREFIX/SITE/METER        each reading, the JSON object of the JSON Lines files, QoS 1
//   PREFIX/SITE/METER/last   the same, retained: a new subscriber gets every meter's last reading
//   PREFIX/SITE/status       "online" (retained) while connected; "offline" on Stop, and as the
//                            will the broker publishes when the connection dies without a stop
//
// Enqueue takes the raw record with its origin and costs the caller a lock and a copy; the worker
// thread turns records into readings and hands them to libmosquitto, whose own network thread
// sends them, keeps the connection and reconnects. Each reading is handed over once; libmosquitto
// sends a message again only when the connection broke before the broker acknowledged it (marked as
// a duplicate, as QoS 1 has it).
//
// While the broker cannot be reached, readings wait in the queue and go out in order when it is
// back; ReachabilityChanged says so once each way. The queue holds at most Options::Capacity
// readings, counting those handed over and not yet acknowledged; when it is full a new reading is
// not queued (Enqueue returns false, Dropped() counts it, Overflowed is said once, again after
// the queue had emptied to half) and stays only in the port's local database files.
//
// The signals are emitted from the worker or libmosquitto's thread: connect them with a receiver
// object (queued to its thread) or handle them thread-safely.
class MqttSink : public QObject {
    Q_OBJECT

  public:
    // Stop(0) unless stopped before.
    ~MqttSink() override;

    // Any thread. False when the queue is full or stopped: the record is not queued.
    bool Enqueue(const meterdata::MeterRecord& record, meterdata::RecordSource source, const QString& site,
                 const QString& uartId);

    // Waits until the broker has acknowledged every reading queued so far, at most `timeout`.
    bool WaitUntilPublished(std::chrono::milliseconds timeout);
    // While the broker is connected, publishes what is queued for at most `timeout`, then "offline"
    // on the status topic, and disconnects. A broker that cannot be reached is not waited for.
    // Returns the number of readings left unacknowledged (lost with the process).
    qint64 Stop(std::chrono::milliseconds timeout);

    const MqttAddress& Address() const { return address_; }
    const QString& Site() const { return options_.Site; }
    QString StatusTopic() const;
    qint64 Queued() const;  // waiting or not yet acknowledged
    qint64 Published() const { return published_.load(); }
    qint64 Dropped() const { return dropped_.load(); }
    bool Reachable() const;
    // The last message of ReachabilityChanged, or the reason the open found the broker unreachable
    // (said before anyone could be connected to the signal).
    QString ReachabilityMessage() const;

  signals:
    // Once per change: false with the reason when the broker is lost or cannot be reached, true
    // when it is connected again.
    void ReachabilityChanged(bool reachable, const QString& message);
    // Once each time the queue has filled up (again after it had emptied to half).
    void Overflowed(const QString& message);

  private:
    friend std::unique_ptr<MqttSink> OpenMqttSink(const QString& url, const MqttOptions& options,
                                                  QString& error);
    struct Entry {
        meterdata::MeterRecord Record;
        meterdata::RecordSource Source;
        QString Site;
        QString UartId;
    };
    enum class Sent { Reading, Last, Status };
    enum class Answer { None, Connected, Refused, Failed, Unreachable };

    MqttSink(MqttAddress address, MqttOptions options);
    bool Start(const std::optional<QByteArray>& password, QString& error);
    void Run();
    // Gives the network thread a new start (after a connection attempt that failed at once, or an
    // error that ended it).
    void Restart();
    // Asks the worker for a restart after the pause, which doubles up to the longest.
    void ScheduleRestartLocked();
    void Teardown(bool connected);
    // Publishes under mutex_; records the message as unacknowledged.
    bool PublishLocked(const QByteArray& topic, const QByteArray& payload, bool retain, Sent kind);
    void PublishStatusLocked(const char* state);
    bool IdleLocked() const { return queue_.empty() && preparing_ == 0 && pendingReadings_ == 0; }
    // Changes the state under mutex_; true when it changed (the caller then emits, unlocked).
    bool SetReachableLocked(bool reachable, const QString& message);
    QString DownMessage(const QString& why) const;

    static void OnConnect(mosquitto* client, void* self, int code);
    static void OnDisconnect(mosquitto* client, void* self, int code);
    static void OnPublish(mosquitto* client, void* self, int mid);
    static void OnLog(mosquitto* client, void* self, int level, const char* text);

    const MqttAddress address_;
    const MqttOptions options_;
    const QByteArray statusTopic_;
    mosquitto* client_ = nullptr;

    mutable std::mutex mutex_;
    std::condition_variable work_;  // the worker waits for records, the connection, acks or the stop
    std::condition_variable idle_;  // WaitUntilPublished, Stop and the open wait here
    std::deque<Entry> queue_;
    std::size_t preparing_ = 0;              // taken by the worker, not yet handed over
    std::unordered_map<int, Sent> pending_;  // handed over, not yet acknowledged, by message id
    std::size_t pendingReadings_ = 0;
    bool connected_ = false;
    bool reachable_ = true;
    QString reachabilityMessage_;
    Answer answer_ = Answer::None;  // the first answer to the open
    QString answerText_;
    bool restart_ = false;  // the network thread needs a new start
    std::chrono::steady_clock::time_point restartAt_;
    std::chrono::seconds restartPause_{1};
    bool overflowSaid_ = false;
    bool overflowToSay_ = false;
    bool stopping_ = false;
    bool stopped_ = false;
    std::chrono::steady_clock::time_point deadline_;
    qint64 left_ = 0;

    std::atomic<qint64> published_{0};
    std::atomic<qint64> dropped_{0};
    std::thread worker_;
};

// Parses the address, reads the password, checks the CA file, connects and waits up to
// options.ConnectWait for the broker's first answer. Null with the message for the user when the
// address, the password file or the CA file cannot be used, or when the broker refused the login or
// the TLS handshake. A broker that cannot be reached is no error: the sink is returned not
// Reachable() (with ReachabilityMessage()), keeps the readings queued and keeps trying.
std::unique_ptr<MqttSink> OpenMqttSink(const QString& url, const MqttOptions& options, QString& error);

// Hears the records the local database files and hands each to the sink with the sink's site and
// the current UART-ID. Runs on the thread that files the records (the window's); set the UART-ID
// there too.
class MqttFeed final : public meterdata::IFiledRecords {
  public:
    explicit MqttFeed(MqttSink& sink) : sink_(sink) {}

    void SetUartId(std::uint16_t uartId);
    void RecordFiled(const meterdata::MeterRecord& record, meterdata::RecordSource source) override {
        sink_.Enqueue(record, source, sink_.Site(), uartId_);
    }

  private:
    MqttSink& sink_;
    QString uartId_;
};

}  // namespace lumvaris::mqtt
