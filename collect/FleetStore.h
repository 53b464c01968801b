#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

#include <chrono>
#include <map>
#include <memory>
#include <vector>

#include "collect/Site.h"
#include "meterdata/IFiledRecords.h"
#include "mqtt/MqttSink.h"
#include "sinks/ReadingStore.h"
#include "sinks/SinkQueue.h"

namespace lumvaris::collect {

// Where a collector's readings go: every site's into one store (sinks/ReadingStore.h) under the
// data directory, and from there to each central destination the sites name. A destination is one
// connection however many sites name it; it sends the readings of those sites only, in the order
// they arrived, and what it has not taken waits in the store for it, across a kill or a restart.
class FleetStore final : public QObject {
    Q_OBJECT
  public:
    static constexpr std::chrono::seconds kStopWait{30};

    FleetStore();
    ~FleetStore() override;

    // Opens "<directory>/readings.sqlite"; false with `error` when it cannot be.
    bool Open(const QString& directory, QString& error);
    sinks::ReadingStore& Store() { return store_; }

    // The destinations the sites name from now on: a new address starts, one no site names any
    // longer stops (what it has not taken stays in the store for a later run), and each sends the
    // readings of the sites that name it. `broker` carries the brokers' files (CA, password).
    void SetSites(const std::vector<Site>& sites, const mqtt::MqttOptions& broker);

    // A site's records on their way into the store; one per site, while it is open.
    class Feed final : public meterdata::IFiledRecords {
      public:
        Feed(sinks::ReadingStore& store, const QString& site);
        void SetUartId(std::uint16_t uartId) { feed_.SetUartId(uartId); }
        qint64 Added() const { return feed_.Added(); }
        void RecordFiled(const meterdata::MeterRecord& record, meterdata::RecordSource source) override {
            feed_.RecordFiled(record, source);
        }

      private:
        sinks::OutboxFeed feed_;
    };

    struct DestinationState {
        QString url;
        qint64 queued = 0;  // stored, not yet taken by it
        qint64 sent = 0;    // this run
    };
    std::vector<DestinationState> Destinations() const;

    // What a destination had not taken at the stop: it waits in the store.
    struct Unsent {
        QString url;
        bool broker = false;
        qint64 records = 0;
    };
    // Commits what the sites filed, lets every destination send for at most `wait` (all of them
    // within the one deadline), then closes them and the store.
    std::vector<Unsent> Stop(std::chrono::milliseconds wait);

  signals:
    // A destination lost or back, a store that cannot be written: one message per change.
    void Message(const QString& text);

  private:
    struct Target {
        QString url;
        std::unique_ptr<sinks::SinkQueue> queue;  // a database or a file
        std::unique_ptr<mqtt::MqttSink> broker;   // or a broker
        std::shared_ptr<sinks::ReadingStore::Destination> view;
    };
    bool Start(Target& target, bool broker, const mqtt::MqttOptions& options);
    void StopTargets(std::vector<Target*> targets, std::chrono::milliseconds wait,
                     std::vector<Unsent>* unsent);

    std::unique_ptr<QLockFile> lock_;
    sinks::ReadingStore store_;
    std::map<QString, std::unique_ptr<Target>> targets_;  // by address
};

}  // namespace lumvaris::collect
