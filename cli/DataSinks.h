#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

#include "cli/ExitStatus.h"
#include "cli/Options.h"
#include "cli/Output.h"
#include "sinks/SinkQueue.h"

namespace lumvaris::meterdata {
class MeterDatabase;
}
namespace lumvaris::mqtt {
class MqttSink;
class MqttFeed;
}  // namespace lumvaris::mqtt

namespace lumvaris::cli {

// The readings' destinations of read-all and listen: one queue per --db address and the broker of
// --mqtt, all fed from the port's database as it files each record. A server or broker that cannot
// be reached is said once on standard error and the work goes on; the records stay in the port's
// files.
class DataSinks final : public QObject {
    Q_OBJECT
  public:
    DataSinks(const Options& options, Output& output);
    ~DataSinks() override;

    // Starts the queues and connects to the broker. Usage when the broker refused the login or
    // the TLS handshake, FileError when the password or certificate file cannot be read.
    ExitStatus Open(const QString& site);
    // Hangs the feeds on the database (and takes them off again).
    void Attach(meterdata::MeterDatabase& database);
    void Detach(meterdata::MeterDatabase& database);
    void SetUartId(std::uint16_t uartId);
    // Writes what is queued (for a while) and closes. FileError when a file sink kept records it
    // could not write (they are in the port's files: an export writes them later).
    ExitStatus Stop();

  private:
    struct Queue {
        QString url;
        bool file = false;
        std::unique_ptr<sinks::SinkQueue> queue;
        std::unique_ptr<sinks::FiledRecordsFeed> feed;
    };

    const Options& options_;
    Output& output_;
    std::vector<Queue> queues_;
    std::unique_ptr<mqtt::MqttSink> mqtt_;
    std::unique_ptr<mqtt::MqttFeed> mqttFeed_;
    sinks::FiledRecordsFanOut fanOut_;
};

}  // namespace lumvaris::cli
