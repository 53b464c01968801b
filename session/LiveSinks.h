#pragma once

#include <QObject>
#include <QString>

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "mqtt/MqttSink.h"
#include "session/Result.h"
#include "sinks/SinkQueue.h"

namespace lumvaris::meterdata {
class MeterDatabase;
}

namespace lumvaris::session {

// Where every record filed into a port's database goes besides its files, as it arrives: database
// servers and files (each through its own queue and worker thread) and an MQTT broker. Filing
// never waits for any of them. What each says about itself (a server unreachable and back, a full
// queue) comes as one Message per change, on the thread that owns this object.
class LiveSinks final : public QObject {
    Q_OBJECT
  public:
    // Hangs itself on the database; every record filed from then on is handed on.
    explicit LiveSinks(meterdata::MeterDatabase& database, QObject* parent = nullptr);
    // Stop(0) unless stopped before; the database no longer hands anything on.
    ~LiveSinks() override;

    // A database or file by address (sqlite:, postgresql://, csv:, jsonl:); an address that
    // does not parse is refused. A server that cannot be reached is no error: its records wait.
    Result AddDatabase(const QString& url);
    // One database in place of those before (the window's central database); an empty address
    // removes them. An address that does not parse is refused, and those before stay.
    Result SetDatabase(const QString& url);
    // The broker (mqtt://, mqtts://) in place of the one before; an empty address removes it. An
    // address that does not parse is refused, and the broker before stays. Its site is the one set
    // here (a change of site opens it again under the new one).
    Result SetBroker(const QString& url, const mqtt::MqttOptions& options);
    bool HasDatabases() const { return !databases_.empty(); }
    bool HasBroker() const { return broker_ != nullptr; }

    // The origin every record carries from now on: the site's name and the concentrator's UART-ID.
    void SetSite(const QString& site);
    void SetUartId(std::uint16_t uartId);

    // What a destination had not written or published when it was closed.
    enum class Destination { File, DatabaseServer, Broker };
    struct Unsent {
        QString url;
        Destination destination = Destination::File;
        qint64 records = 0;
    };
    // Writes and publishes what is queued, for at most `timeout` while each destination can be
    // reached, then closes them all. Returns the destinations that kept records back.
    std::vector<Unsent> Stop(std::chrono::milliseconds timeout);

  signals:
    void Message(const QString& text);

  private:
    struct Database {
        QString url;
        Destination destination = Destination::File;
        std::unique_ptr<sinks::SinkQueue> queue;
        std::unique_ptr<sinks::FiledRecordsFeed> feed;
    };
    void Listen(QObject* source);
    void RemoveDatabases();

    meterdata::MeterDatabase& database_;
    sinks::FiledRecordsFanOut fanOut_;
    std::vector<Database> databases_;
    void CloseBroker();

    std::unique_ptr<mqtt::MqttSink> broker_;
    std::unique_ptr<mqtt::MqttFeed> brokerFeed_;
    QString brokerUrl_;
    mqtt::MqttOptions brokerOptions_;
    QString site_;
    std::uint16_t uartId_ = 0x2FFF;
};

}  // namespace lumvaris::session
