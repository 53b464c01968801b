#pragma once

#include "meterdata/IFiledRecords.h"
#include "meterdata/MeterRecord.h"
#include "mqtt/MqttAddress.h"
#include "sinks/Outbox.h"

#include <QLocale>
#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

struct mosquitto;
struct mosquitto_message;

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
// The readings come from an outbox on the disk (sinks/Outbox.h), attached while a port's database
// is open: a worker thread takes them in order, turns them into messages and hands them to
// libmosquitto, whose own network thread sends them, keeps the connection and reconnects. A reading
// is acknowledged in the outbox once the broker acknowledged its message, so what the broker has not
// taken waits on the disk across a kill or a restart, and nothing it took is published again.
// libmosquitto sends a message again only when the connection broke before the broker acknowledged
// it (marked as a duplicate, as QoS 1 has it).
//
// "…/last" goes only forward in time: a reading older than the meter's last one (a month record
// read after a live packet) is published on the meter's topic but does not replace "…/last". The
// last readings the broker retains for the site are learnt when the connection stands.
//
// While the broker cannot be reached, readings wait in the outbox and go out in order when it is
// back; ReachabilityChanged says so once each way.
//
// The signals are emitted from the worker or libmosquitto's thread: connect them with a receiver
// object (queued to its thread) or handle them thread-safely.
class MqttSink : public QObject {
    Q_OBJECT

  public:
    // Stop(0) unless stopped before.
    ~MqttSink() override;

    // The outbox the worker takes from from now on.
    void Attach(std::shared_ptr<sinks::IOutbox> outbox);
    // Lets the outbox go: while the broker is connected, what it holds is still published for at
    // most `wait`; what the broker has not acknowledged stays in it. Returns the readings it holds.
    qint64 Detach(std::chrono::milliseconds wait);
    // The same in two halves, so that several destinations share one deadline.
    void BeginDetach(std::chrono::steady_clock::time_point deadline);
    qint64 EndDetach();

    // Adds a record to the attached outbox (tests and benchmarks; the live feed adds through an
    // OutboxFeed). False when none is attached or it is full.
    bool Enqueue(const meterdata::MeterRecord& record, meterdata::RecordSource source, const QString& site,
                 const QString& uartId);

    // Waits until the broker has acknowledged every reading of the outbox, at most `timeout`.
    bool WaitUntilPublished(std::chrono::milliseconds timeout);
    // Detaches as above within `timeout`, publishes "offline" on the status topic, and disconnects.
    // Returns the readings left in the outbox.
    qint64 Stop(std::chrono::milliseconds timeout);

    const MqttAddress& Address() const { return address_; }
    const QString& Site() const { return options_.Site; }
    QString StatusTopic() const;
    qint64 Queued() const;  // in the outbox, not yet acknowledged
    qint64 Published() const { return published_.load(); }
    qint64 Dropped() const;  // refused by a full outbox
    bool Reachable() const;
    // The last message of ReachabilityChanged, or the reason the open found the broker unreachable
    // (said before anyone could be connected to the signal).
    QString ReachabilityMessage() const;

  signals:
    // Once per change: false with the reason when the broker is lost or cannot be reached, true
    // when it is connected again.
    void ReachabilityChanged(bool reachable, const QString& message);
    // Once each time the outbox has filled up.
    void Overflowed(const QString& message);

  private:
    friend std::unique_ptr<MqttSink> OpenMqttSink(const QString& url, const MqttOptions& options,
                                                  QString& error);
    enum class Sent { Reading, Last, Status };
    // A reading handed over, in outbox order, until the broker acknowledged it.
    struct Flight {
        std::uint64_t Number = 0;
        bool Acknowledged = false;
    };
    // The newest "…/last" known for a topic, and one held back until the retained ones are known.
    struct Last {
        qint64 TimeMs = std::numeric_limits<qint64>::min();
        QByteArray HeldPayload;
        qint64 HeldTimeMs = std::numeric_limits<qint64>::min();
    };
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
    bool PublishLocked(const QByteArray& topic, const QByteArray& payload, bool retain, Sent kind,
                       std::uint64_t flight = 0);
    void PublishStatusLocked(const char* state);
    // A reading's "…/last", published now or held until the retained ones are known.
    void OfferLastLocked(const QByteArray& topic, const QByteArray& payload, qint64 timeMs);
    void ReleaseHeldLastLocked();
    bool IdleLocked() const;
    bool Leaving() const { return stopping_ || detaching_; }
    // Changes the state under mutex_; true when it changed (the caller then emits, unlocked).
    bool SetReachableLocked(bool reachable, const QString& message);
    QString DownMessage(const QString& why) const;

    static void OnConnect(mosquitto* client, void* self, int code);
    static void OnDisconnect(mosquitto* client, void* self, int code);
    static void OnPublish(mosquitto* client, void* self, int mid);
    static void OnSubscribe(mosquitto* client, void* self, int mid, int count, const int* granted);
    static void OnMessage(mosquitto* client, void* self, const ::mosquitto_message* message);
    static void OnLog(mosquitto* client, void* self, int level, const char* text);

    const MqttAddress address_;
    const MqttOptions options_;
    const QByteArray statusTopic_;
    mosquitto* client_ = nullptr;
    bool passwordGiven_ = false;

    mutable std::mutex mutex_;
    std::condition_variable work_;  // the worker waits for records, the connection, acks or the stop
    std::condition_variable idle_;  // WaitUntilPublished, Stop and the open wait here
    std::shared_ptr<sinks::IOutbox> outbox_;
    bool detaching_ = false;
    std::size_t preparing_ = 0;  // taken by the worker, not yet handed over
    // Handed over, not yet acknowledged, by message id: the kind and the reading's flight number.
    std::unordered_map<int, std::pair<Sent, std::uint64_t>> pending_;
    std::deque<Flight> flights_;
    std::uint64_t nextFlight_ = 1;
    std::size_t pendingReadings_ = 0;
    std::map<QByteArray, Last> last_;  // by "…/last" topic
    bool lastKnown_ = false;           // the retained "…/last" of the site have been heard
    int subscribeMid_ = -1;
    std::chrono::steady_clock::time_point lastKnownAt_;
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
    std::thread worker_;
};

// Parses the address, reads the password, checks the CA file, connects and waits up to
// options.ConnectWait for the broker's first answer. Null with the message for the user when the
// address, the password file or the CA file cannot be used, or when the broker refused the login or
// the TLS handshake. A broker that cannot be reached is no error: the sink is returned not
// Reachable() (with ReachabilityMessage()), keeps the readings queued and keeps trying.
std::unique_ptr<MqttSink> OpenMqttSink(const QString& url, const MqttOptions& options, QString& error);

}  // namespace lumvaris::mqtt
