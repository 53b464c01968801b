#include "session/LiveSinks.h"

#include <QCoreApplication>
#include "meterdata/MeterDatabase.h"
#include "mqtt/MqttAddress.h"
#include "sinks/ISink.h"
#include "sinks/SinkUrl.h"

#include <algorithm>

namespace lumvaris::session {

using Clock = std::chrono::steady_clock;

LiveSinks::LiveSinks(meterdata::MeterDatabase& database, QObject* parent)
    : QObject(parent), database_(database) {
    database_.SetFiledRecords(this);
    if (database_.IsOpen()) {
        DatabaseOpened(database_.ProgramDirectory(), database_.PortName());
    }
}

LiveSinks::~LiveSinks() {
    Stop(std::chrono::milliseconds(0));
    database_.SetFiledRecords(nullptr);
}

void LiveSinks::Listen(QObject* source) {
    // The destinations speak from their worker threads; the messages reach the owner's thread queued.
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

void LiveSinks::AttachOutbox(Target& target) {
    if (!portOpen_) {
        return;
    }
    auto outbox = std::make_shared<sinks::Outbox>();
    QString error;
    QString notice;
    if (!outbox->Open(sinks::Outbox::FileName(directory_, portName_, target.url), target.url,
                      sinks::Outbox::Options(), error, notice)) {
        emit Message(error +
                     QCoreApplication::translate(
                         "session::LiveSinks", "\nПоказания в «%1» не передаются; их допишет команда export.")
                         .arg(target.url));
        return;
    }
    if (!notice.isEmpty()) {
        emit Message(notice);
    }
    target.outbox = outbox;
    target.feed = std::make_unique<sinks::OutboxFeed>(*outbox);
    target.feed->SetSite(site_);
    target.feed->SetUartId(uartId_);
    if (target.queue) {
        target.queue->Attach(outbox);
    } else if (target.broker) {
        target.broker->Attach(outbox);
    }
}

void LiveSinks::NoteUnsent(const Target& target, qint64 left) {
    if (left <= 0) {
        return;
    }
    const QString file = target.outbox ? target.outbox->FileName() : QString();
    for (Unsent& unsent : unsent_) {
        if (unsent.url == target.url && unsent.outbox == file) {
            unsent.records = left;
            return;
        }
    }
    unsent_.push_back({target.url, target.destination, left, file});
}

void LiveSinks::DetachAll(std::chrono::milliseconds wait, std::vector<Target*> targets) {
    const Clock::time_point deadline = Clock::now() + wait;
    for (Target* target : targets) {
        if (!target->outbox) {
            continue;
        }
        if (target->queue) {
            target->queue->BeginDetach(deadline);
        } else if (target->broker) {
            target->broker->BeginDetach(deadline);
        }
    }
    for (Target* target : targets) {
        if (!target->outbox) {
            continue;
        }
        target->feed.reset();
        const qint64 left =
            target->queue ? target->queue->EndDetach() : (target->broker ? target->broker->EndDetach() : 0);
        target->outbox->Close();
        NoteUnsent(*target, left);
        target->outbox.reset();
    }
}

void LiveSinks::RecordFiled(const meterdata::MeterRecord& record, meterdata::RecordSource source) {
    ++recordsFiled_;
    for (const auto& target : databases_) {
        if (target->feed) {
            target->feed->RecordFiled(record, source);
        }
    }
    if (broker_ && broker_->feed) {
        broker_->feed->RecordFiled(record, source);
    }
}

void LiveSinks::DatabaseOpened(const QString& directory, const QString& portName) {
    portOpen_ = true;
    directory_ = directory;
    portName_ = portName;
    for (const auto& target : databases_) {
        AttachOutbox(*target);
    }
    if (broker_) {
        AttachOutbox(*broker_);
    }
}

void LiveSinks::DatabaseClosing() {
    std::vector<Target*> targets;
    for (const auto& target : databases_) {
        targets.push_back(target.get());
    }
    if (broker_) {
        targets.push_back(broker_.get());
    }
    DetachAll(closeWait_, targets);
    portOpen_ = false;
}

Result LiveSinks::AddDatabase(const QString& url) {
    sinks::SinkAddress address;
    QString error;
    if (!sinks::ParseSinkUrl(url, address, error)) {
        return Result::Failed(error);
    }
    auto target = std::make_unique<Target>();
    target->url = url;
    target->destination =
        address.Kind == sinks::SinkKind::Postgres ? Destination::DatabaseServer : Destination::File;
    target->queue = std::make_unique<sinks::SinkQueue>(sinks::CreateSink(address));
    Listen(target->queue.get());
    AttachOutbox(*target);
    databases_.push_back(std::move(target));
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

QString LiveSinks::FirstRefusal(std::chrono::milliseconds wait) {
    const Clock::time_point deadline = Clock::now() + wait;
    for (const auto& target : databases_) {
        const auto left =
            std::max(std::chrono::milliseconds(0),
                     std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
        QString message;
        if (target->queue->WaitForFirstAnswer(left, message) == sinks::SinkQueue::Answer::Refused) {
            return message;
        }
    }
    return {};
}

void LiveSinks::StopTarget(Target& target, std::chrono::milliseconds wait) {
    DetachAll(wait, {&target});
    if (target.queue) {
        target.queue->Stop(std::chrono::milliseconds(0));
    }
    if (target.broker) {
        target.broker->Stop(std::chrono::milliseconds(0));
    }
}

void LiveSinks::RemoveDatabases() {
    // A destination the engineer replaces gets a moment for its outbox; the rest waits there.
    for (const auto& target : databases_) {
        StopTarget(*target, std::chrono::milliseconds(0));
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
    brokerOptions_ = options;
    if (url.isEmpty()) {
        return Result::Done();
    }
    mqtt::MqttOptions withSite = options;
    withSite.Site = site_;
    QString error;
    std::unique_ptr<mqtt::MqttSink> sink = mqtt::OpenMqttSink(url, withSite, error);
    if (!sink) {
        return Result::Failed(error);
    }
    auto target = std::make_unique<Target>();
    target->url = url;
    target->destination = Destination::Broker;
    target->broker = std::move(sink);
    Listen(target->broker.get());
    if (!target->broker->Reachable()) {
        emit Message(target->broker->ReachabilityMessage());
    }
    AttachOutbox(*target);
    broker_ = std::move(target);
    return Result::Done();
}

void LiveSinks::CloseBroker() {
    if (broker_) {
        StopTarget(*broker_, std::chrono::milliseconds(0));
    }
    broker_.reset();
}

void LiveSinks::SetSite(const QString& site) {
    if (site == site_) {
        return;
    }
    site_ = site;
    for (const auto& target : databases_) {
        if (target->feed) {
            target->feed->SetSite(site);
        }
    }
    // The broker's topics carry the site: it starts again under the new one.
    if (broker_) {
        const QString url = broker_->url;
        const Result reopened = SetBroker(url, brokerOptions_);
        if (!reopened.IsDone()) {
            emit Message(reopened.Message());
        }
    }
}

void LiveSinks::SetUartId(std::uint16_t uartId) {
    uartId_ = uartId;
    for (const auto& target : databases_) {
        if (target->feed) {
            target->feed->SetUartId(uartId);
        }
    }
    if (broker_ && broker_->feed) {
        broker_->feed->SetUartId(uartId);
    }
}

std::vector<LiveSinks::Unsent> LiveSinks::Stop(std::chrono::milliseconds timeout) {
    std::vector<Target*> targets;
    for (const auto& target : databases_) {
        targets.push_back(target.get());
    }
    if (broker_) {
        targets.push_back(broker_.get());
    }
    DetachAll(timeout, targets);
    for (Target* target : targets) {
        StopTarget(*target, std::chrono::milliseconds(0));
    }
    databases_.clear();
    broker_.reset();
    return std::exchange(unsent_, {});
}

}  // namespace lumvaris::session
