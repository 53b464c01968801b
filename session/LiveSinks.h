#pragma once

#include <QObject>
#include <QString>

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "meterdata/IFiledRecords.h"
#include "mqtt/MqttSink.h"
#include "session/Result.h"
#include "sinks/FiledRecordsFanOut.h"
#include "sinks/Outbox.h"
#include "sinks/SinkQueue.h"

namespace lumvaris::meterdata {
class MeterDatabase;
}

namespace lumvaris::session {

// Where every record filed into a port's database goes besides its files, as it arrives: database
// servers and files (each through its own worker thread) and an MQTT broker. Filing never waits for
// any of them.
//
// While the port's database is open, each destination has an outbox beside the port's files
// (sinks/Outbox.h) that holds what it has not yet acknowledged: a kill, a restart or a server away
// for long loses nothing on the way out, and the next run with the same port and destination sends
// what is left, once. What each destination says about itself (a server unreachable and back, a
// full outbox) comes as one Message per change, on the thread that owns this object.
class LiveSinks final : public QObject, private meterdata::IFiledRecords {
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
    // Records the port's database filed since this was made, whether or not any destination took them.
    qint64 RecordsFiled() const { return recordsFiled_; }

    // Waits, at most `wait` in all, for the first answer of every database: the message of the
    // first one that refused (a login refused, a database that does not exist, a file of another
    // kind), or an empty text.
    QString FirstRefusal(std::chrono::milliseconds wait);

    // The origin every record carries from now on: the site's name and the concentrator's UART-ID.
    void SetSite(const QString& site);
    void SetUartId(std::uint16_t uartId);
    // How long the close of a port's database lets the destinations write what their outboxes
    // hold (those that cannot be reached are not waited for).
    void SetCloseWait(std::chrono::milliseconds wait) { closeWait_ = wait; }

    // What a destination had not written or published when it was closed: it waits in its outbox.
    enum class Destination { File, DatabaseServer, Broker };
    struct Unsent {
        QString url;
        Destination destination = Destination::File;
        qint64 records = 0;
        QString outbox;  // the file that keeps them
    };
    // Writes and publishes what the outboxes hold, for at most `timeout` while each destination can
    // be reached, then closes them all. Returns the destinations that kept records back (at this
    // call, or when the port's database closed before it).
    std::vector<Unsent> Stop(std::chrono::milliseconds timeout);

  signals:
    void Message(const QString& text);

  private:
    struct Target {
        QString url;
        Destination destination = Destination::File;
        std::unique_ptr<sinks::SinkQueue> queue;  // a database or file
        std::unique_ptr<mqtt::MqttSink> broker;   // or the broker
        std::shared_ptr<sinks::Outbox> outbox;    // while the port's database is open
        std::unique_ptr<sinks::OutboxFeed> feed;
    };

    // meterdata::IFiledRecords
    void RecordFiled(const meterdata::MeterRecord& record, meterdata::RecordSource source) override;
    void DatabaseOpened(const QString& directory, const QString& portName) override;
    void DatabaseClosing() override;

    void Listen(QObject* source);
    void AttachOutbox(Target& target);
    // Lets every attached outbox go within one deadline, noting what each still holds.
    void DetachAll(std::chrono::milliseconds wait, std::vector<Target*> targets);
    void StopTarget(Target& target, std::chrono::milliseconds wait);
    void RemoveDatabases();
    void CloseBroker();
    void NoteUnsent(const Target& target, qint64 left);

    meterdata::MeterDatabase& database_;
    qint64 recordsFiled_ = 0;
    std::vector<std::unique_ptr<Target>> databases_;
    std::unique_ptr<Target> broker_;
    mqtt::MqttOptions brokerOptions_;
    QString site_;
    std::uint16_t uartId_ = 0x2FFF;
    std::chrono::milliseconds closeWait_{5000};
    // The open port's database, where the outboxes lie.
    bool portOpen_ = false;
    QString directory_;
    QString portName_;
    std::vector<Unsent> unsent_;
};

}  // namespace lumvaris::session
