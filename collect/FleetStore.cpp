#include "collect/FleetStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QLockFile>

#include <set>

#include "sinks/SinkUrl.h"

namespace lumvaris::collect {

using Clock = std::chrono::steady_clock;

FleetStore::FleetStore() = default;

FleetStore::~FleetStore() {
    Stop(std::chrono::milliseconds(0));
}

bool FleetStore::Open(const QString& directory, QString& error) {
    const QString fileName = QDir(directory).filePath(QString::fromLatin1(sinks::ReadingStore::kFileName));
    // Two collectors on one data directory would each send the other's readings too.
    lock_ = std::make_unique<QLockFile>(fileName + QStringLiteral(".lock"));
    lock_->setStaleLockTime(0);
    if (!lock_->tryLock(0)) {
        qint64 pid = 0;
        QString host;
        QString application;
        lock_->getLockInfo(&pid, &host, &application);
        error =
            lock_->error() == QLockFile::LockFailedError
                ? QCoreApplication::translate(
                      "collect::FleetStore", "Хранилище показаний «%1» занято другим сборщиком (процесс %2).")
                      .arg(fileName)
                      .arg(pid)
                : QCoreApplication::translate(
                      "collect::FleetStore",
                      "Хранилище показаний «%1» не открывается: файл блокировки не создаётся.")
                      .arg(fileName);
        lock_.reset();
        return false;
    }
    if (!store_.Open(fileName, sinks::ReadingStore::Options(), error)) {
        lock_.reset();
        return false;
    }
    return true;
}

FleetStore::Feed::Feed(sinks::ReadingStore& store, const QString& site)
    : feed_([&store](const sinks::OutboxEntry& entry) { return store.Add(entry); }) {
    feed_.SetSite(site);
}

bool FleetStore::Start(Target& target, bool broker, const mqtt::MqttOptions& options) {
    target.view = store_.DestinationFor(target.url);
    if (!target.view) {
        emit Message(QCoreApplication::translate("collect::FleetStore",
                                                 "Хранилище показаний закрыто: «%1» не получит показаний.")
                         .arg(target.url));
        return false;
    }
    // The destinations speak from their worker threads; the messages reach this thread queued.
    auto say = [this](bool, const QString& message) { emit Message(message); };
    auto overflow = [this](const QString& message) { emit Message(message); };
    if (broker) {
        QString error;
        target.broker = mqtt::OpenMqttSink(target.url, options, error);
        if (!target.broker) {
            emit Message(error);
            return false;
        }
        connect(target.broker.get(), &mqtt::MqttSink::ReachabilityChanged, this, say, Qt::QueuedConnection);
        connect(target.broker.get(), &mqtt::MqttSink::Overflowed, this, overflow, Qt::QueuedConnection);
        if (!target.broker->Reachable()) {
            emit Message(target.broker->ReachabilityMessage());
        }
        target.broker->Attach(target.view);
        return true;
    }
    sinks::SinkAddress address;
    QString error;
    if (!sinks::ParseSinkUrl(target.url, address, error)) {
        emit Message(error);
        return false;
    }
    target.queue = std::make_unique<sinks::SinkQueue>(sinks::CreateSink(address));
    connect(target.queue.get(), &sinks::SinkQueue::ReachabilityChanged, this, say, Qt::QueuedConnection);
    connect(target.queue.get(), &sinks::SinkQueue::Overflowed, this, overflow, Qt::QueuedConnection);
    target.queue->Attach(target.view);
    return true;
}

void FleetStore::SetSites(const std::vector<Site>& sites, const mqtt::MqttOptions& broker) {
    std::map<QString, std::pair<bool, std::set<QString>>> named;  // address: a broker?, its sites
    for (const Site& site : sites) {
        for (const QString& url : site.databases) {
            named[url].first = false;
            named[url].second.insert(site.name);
        }
        for (const QString& url : site.mqtt) {
            named[url].first = true;
            named[url].second.insert(site.name);
        }
    }
    std::vector<Target*> gone;
    for (const auto& [url, target] : targets_) {
        if (!named.contains(url)) {
            gone.push_back(target.get());
        }
    }
    StopTargets(gone, std::chrono::milliseconds(0), nullptr);
    for (Target* target : gone) {
        targets_.erase(target->url);
    }
    for (const auto& [url, kind] : named) {
        auto it = targets_.find(url);
        if (it == targets_.end()) {
            auto target = std::make_unique<Target>();
            target->url = url;
            mqtt::MqttOptions options = broker;
            // The broker's status topic names the collector, whose connection it is.
            options.Site = QStringLiteral("collector");
            if (!Start(*target, kind.first, options)) {
                continue;
            }
            it = targets_.emplace(url, std::move(target)).first;
        }
        it->second->view->SetSites(kind.second);
    }
}

std::vector<FleetStore::DestinationState> FleetStore::Destinations() const {
    std::vector<DestinationState> states;
    for (const auto& [url, target] : targets_) {
        states.push_back({url, target->view->Pending(), target->view->Sent()});
    }
    return states;
}

void FleetStore::StopTargets(std::vector<Target*> targets, std::chrono::milliseconds wait,
                             std::vector<Unsent>* unsent) {
    const Clock::time_point deadline = Clock::now() + wait;
    for (Target* target : targets) {
        if (target->queue) {
            target->queue->RequestStop(deadline);
        } else if (target->broker) {
            target->broker->BeginDetach(deadline);
        }
    }
    for (Target* target : targets) {
        qint64 left = 0;
        if (target->queue) {
            left = target->queue->FinishStop();
        } else if (target->broker) {
            left = target->broker->EndDetach();
            target->broker->Stop(std::chrono::milliseconds(0));
        }
        if (unsent != nullptr && left > 0) {
            unsent->push_back({target->url, target->broker != nullptr, left});
        }
        target->queue.reset();
        target->broker.reset();
    }
}

std::vector<FleetStore::Unsent> FleetStore::Stop(std::chrono::milliseconds wait) {
    std::vector<Unsent> unsent;
    if (!store_.IsOpen()) {
        return unsent;
    }
    const Clock::time_point deadline = Clock::now() + wait;
    store_.Flush(static_cast<int>(std::max<qint64>(1000, wait.count())));
    std::vector<Target*> targets;
    for (const auto& [url, target] : targets_) {
        targets.push_back(target.get());
    }
    const auto left =
        std::max(std::chrono::milliseconds(0),
                 std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
    StopTargets(targets, left, &unsent);
    targets_.clear();
    store_.Close();
    lock_.reset();
    return unsent;
}

}  // namespace lumvaris::collect
