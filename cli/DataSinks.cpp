#include "cli/DataSinks.h"

#include <QCoreApplication>
#include <QFileInfo>

#include "meterdata/MeterDatabase.h"
#include "mqtt/MqttSink.h"
#include "sinks/ISink.h"
#include "sinks/SinkUrl.h"

namespace lumvaris::cli {
namespace {

// How long the end waits for the queues to be written (a server that is not reachable is not
// waited for).
constexpr std::chrono::seconds kDatabaseStopWait{30};
constexpr std::chrono::seconds kBrokerStopWait{10};

}  // namespace

DataSinks::DataSinks(const Options& options, Output& output) : options_(options), output_(output) {}

DataSinks::~DataSinks() = default;

ExitStatus DataSinks::Open(const QString& site) {
    for (const QString& url : options_.databases) {
        sinks::SinkAddress address;
        QString error;
        sinks::ParseSinkUrl(url, address, error);  // parsed once already with the command line
        Queue q;
        q.url = url;
        q.file = address.Kind != sinks::SinkKind::Postgres;
        q.queue = std::make_unique<sinks::SinkQueue>(sinks::CreateSink(address));
        connect(q.queue.get(), &sinks::SinkQueue::ReachabilityChanged, this,
                [this](bool, const QString& message) { output_.Message(message); });
        connect(q.queue.get(), &sinks::SinkQueue::Overflowed, this,
                [this](const QString& message) { output_.Message(message); });
        q.feed = std::make_unique<sinks::FiledRecordsFeed>(*q.queue);
        q.feed->SetSite(site);
        fanOut_.Add(q.feed.get());
        queues_.push_back(std::move(q));
    }
    if (!options_.mqtt.isEmpty()) {
        for (const QString& file : {options_.mqttPasswordFile, options_.mqttCa}) {
            if (!file.isEmpty() && !QFileInfo(file).isReadable()) {
                output_.Message(QStringLiteral("Файл «%1» не читается.").arg(file));
                return ExitStatus::FileError;
            }
        }
        mqtt::MqttOptions mqttOptions;
        mqttOptions.Site = site;
        mqttOptions.CaFile = options_.mqttCa;
        mqttOptions.PasswordFile = options_.mqttPasswordFile;
        QString error;
        mqtt_ = mqtt::OpenMqttSink(options_.mqtt, mqttOptions, error);
        if (!mqtt_) {
            output_.Message(error);
            return ExitStatus::Usage;
        }
        if (!mqtt_->Reachable()) {
            output_.Message(mqtt_->ReachabilityMessage());
        }
        connect(mqtt_.get(), &mqtt::MqttSink::ReachabilityChanged, this,
                [this](bool, const QString& message) { output_.Message(message); });
        connect(mqtt_.get(), &mqtt::MqttSink::Overflowed, this,
                [this](const QString& message) { output_.Message(message); });
        mqttFeed_ = std::make_unique<mqtt::MqttFeed>(*mqtt_);
        fanOut_.Add(mqttFeed_.get());
    }
    SetUartId(options_.uartId);
    return ExitStatus::Done;
}

void DataSinks::Attach(meterdata::MeterDatabase& database) {
    if (!fanOut_.IsEmpty()) {
        database.SetFiledRecords(&fanOut_);
    }
}

void DataSinks::Detach(meterdata::MeterDatabase& database) {
    database.SetFiledRecords(nullptr);
}

void DataSinks::SetUartId(std::uint16_t uartId) {
    for (Queue& q : queues_) {
        q.feed->SetUartId(uartId);
    }
    if (mqttFeed_) {
        mqttFeed_->SetUartId(uartId);
    }
}

ExitStatus DataSinks::Stop() {
    ExitStatus status = ExitStatus::Done;
    for (Queue& q : queues_) {
        const qint64 left = q.queue->Stop(kDatabaseStopWait);
        if (left > 0) {
            output_.Message(
                QStringLiteral("В «%1» не записано показаний: %2. Они есть в локальной базе данных "
                               "порта; команда export допишет их позже.")
                    .arg(q.url)
                    .arg(left));
            if (q.file) {
                status = ExitStatus::FileError;
            }
        }
    }
    if (mqtt_) {
        const qint64 left = mqtt_->Stop(kBrokerStopWait);
        if (left > 0) {
            output_.Message(
                QStringLiteral("Брокер MQTT «%1» не подтвердил показаний: %2. Они есть в локальной "
                               "базе данных порта.")
                    .arg(options_.mqtt)
                    .arg(left));
        }
    }
    // The workers' last messages.
    QCoreApplication::sendPostedEvents(this);
    return status;
}

}  // namespace lumvaris::cli
