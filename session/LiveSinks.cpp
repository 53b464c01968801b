#include "session/LiveSinks.h"

#include "meterdata/MeterDatabase.h"
#include "mqtt/MqttAddress.h"
#include "sinks/ISink.h"
#include "sinks/SinkUrl.h"

namespace lumvaris::session {

LiveSinks::LiveSinks(meterdata::MeterDatabase& database, QObject* parent)
    : QObject(parent), database_(database) {
    database_.SetFiledRecords(&fanOut_);
}

LiveSinks::~LiveSinks() {
    database_.SetFiledRecords(nullptr);
    Stop(std::chrono::milliseconds(0));
}

void LiveSinks::Listen(QObject* source) {
    // The queues speak from their worker threads; the messages reach the owner's thread queued.
    auto say = [this](bool, const QString& message) { emit Message(message); };
    if (auto* queue = qobject_cast<sinks::SinkQueue*>(source)) {
        connect(queue, &sinks::SinkQueue::ReachabilityChanged, this, say, Qt::QueuedConnection);
        connect(
            queue, &sinks::SinkQueue::Overflowed, this, [this](const QString& m) { emit Message(m); },
            Qt::QueuedConnection);
    } else if (auto* broker = qobject_cast<mqtt::MqttSink*>(source)) {
        connect(broker, &mqtt::MqttSink::ReachabilityChanged, this, say, Qt::QueuedConnection);
        connect(
            broker, &mqtt::MqttSink::Overflowed, this, [this](const QString& m) { emit Message(m); },
            Qt::QueuedConnection);
    }
}

Result LiveSinks::AddDatabase(const QString& url) {
    sinks::SinkAddress address;
    QString error;
    if (!sinks::ParseSinkUrl(url, address, error)) {
        return Result::Failed(error);
    }
    Database database;
    database.url = url;
    database.destination =
        address.Kind == sinks::SinkKind::Postgres ? Destination::DatabaseServer : Destination::File;
    database.queue = std::make_unique<sinks::SinkQueue>(sinks::CreateSink(address));
    Listen(database.queue.get());
    database.feed = std::make_unique<sinks::FiledRecordsFeed>(*database.queue);
    database.feed->SetSite(site_);
    database.feed->SetUartId(uartId_);
    fanOut_.Add(database.feed.get());
    databases_.push_back(std::move(database));
    return Result::Done();
}

Result LiveSinks::SetDatabase(const QString& url) {
    if (!url.isEmpty()) {
        sinks::SinkAddress address;
        QString error;
        if (!sinks::ParseSinkUrl(url, address, error)) {
            return Result::Failed(error);
        }
    }
    RemoveDatabases();
    return url.isEmpty() ? Result::Done() : AddDatabase(url);
}

void LiveSinks::RemoveDatabases() {
    for (Database& database : databases_) {
        fanOut_.Remove(database.feed.get());
        database.queue->Stop(std::chrono::milliseconds(0));
    }
    databases_.clear();
}

Result LiveSinks::SetBroker(const QString& url, const mqtt::MqttOptions& options) {
    if (!url.isEmpty()) {
        mqtt::MqttAddress address;
        QString error;
        if (!mqtt::ParseMqttUrl(url, address, error)) {
            return Result::Failed(error);
        }
    }
    CloseBroker();
    brokerUrl_ = url;
    brokerOptions_ = options;
    if (url.isEmpty()) {
        return Result::Done();
    }
    mqtt::MqttOptions withSite = options;
    withSite.Site = site_;
    QString error;
    broker_ = mqtt::OpenMqttSink(url, withSite, error);
    if (!broker_) {
        brokerUrl_.clear();
        return Result::Failed(error);
    }
    Listen(broker_.get());
    if (!broker_->Reachable()) {
        emit Message(broker_->ReachabilityMessage());
    }
    brokerFeed_ = std::make_unique<mqtt::MqttFeed>(*broker_);
    brokerFeed_->SetUartId(uartId_);
    fanOut_.Add(brokerFeed_.get());
    return Result::Done();
}

void LiveSinks::CloseBroker() {
    if (brokerFeed_) {
        fanOut_.Remove(brokerFeed_.get());
    }
    if (broker_) {
        broker_->Stop(std::chrono::milliseconds(0));
    }
    brokerFeed_.reset();
    broker_.reset();
}

void LiveSinks::SetSite(const QString& site) {
    if (site == site_) {
        return;
    }
    site_ = site;
    for (Database& database : databases_) {
        database.feed->SetSite(site);
    }
    // The broker's topics carry the site: it starts again under the new one.
    if (broker_) {
        const Result reopened = SetBroker(brokerUrl_, brokerOptions_);
        if (!reopened.IsDone()) {
            emit Message(reopened.Message());
        }
    }
}

void LiveSinks::SetUartId(std::uint16_t uartId) {
    uartId_ = uartId;
    for (Database& database : databases_) {
        database.feed->SetUartId(uartId);
    }
    if (brokerFeed_) {
        brokerFeed_->SetUartId(uartId);
    }
}

std::vector<LiveSinks::Unsent> LiveSinks::Stop(std::chrono::milliseconds timeout) {
    std::vector<Unsent> unsent;
    for (Database& database : databases_) {
        fanOut_.Remove(database.feed.get());
        if (const qint64 left = database.queue->Stop(timeout); left > 0) {
            unsent.push_back({database.url, database.destination, left});
        }
    }
    databases_.clear();
    if (brokerFeed_) {
        fanOut_.Remove(brokerFeed_.get());
    }
    if (broker_) {
        if (const qint64 left = broker_->Stop(timeout); left > 0) {
            unsent.push_back({brokerUrl_, Destination::Broker, left});
        }
    }
    brokerFeed_.reset();
    broker_.reset();
    return unsent;
}

}  // namespace lumvaris::session
