#include "mqtt/MqttSink.h"

#include <QCoreApplication>
#include "sinks/Reading.h"

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <mosquitto.h>
#include <pthread.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace lumvaris::mqtt {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kBatch = 200;    // readings taken from the queue at a time
constexpr std::size_t kWindow = 1000;  // readings handed to libmosquitto and not yet acknowledged
constexpr std::chrono::milliseconds kOfflineWait{2000};  // for the broker to take "offline" at a stop

void InitLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

// The network thread is cancelled only at a stop while no connection stands (it may hang in a
// blocking connect for minutes); never inside our callbacks, which hold our lock.
class NoCancel {
  public:
    NoCancel() { pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &old_); }
    ~NoCancel() { pthread_setcancelstate(old_, nullptr); }
    NoCancel(const NoCancel&) = delete;
    NoCancel& operator=(const NoCancel&) = delete;

  private:
    int old_ = 0;
};

// Why a connection could not be made or was lost.
QString Reason(int code, int errorNumber, const MqttAddress& address) {
    switch (code) {
        case MOSQ_ERR_ERRNO:
            switch (errorNumber) {
                case ECONNREFUSED:
                    return QCoreApplication::translate(
                        "mqtt::MqttSink", "соединение отклонено (брокер на этом порту не запущен)");
                case ETIMEDOUT:
                    return QCoreApplication::translate("mqtt::MqttSink", "сервер не отвечает");
                case EHOSTUNREACH:
                case ENETUNREACH:
                    return QCoreApplication::translate("mqtt::MqttSink", "сервер недоступен по сети");
                default:
                    return QString::fromLocal8Bit(std::strerror(errorNumber));
            }
        case MOSQ_ERR_EAI:
        case MOSQ_ERR_LOOKUP:
            return QCoreApplication::translate("mqtt::MqttSink", "сервер «%1» не найден").arg(address.Host);
        case MOSQ_ERR_CONN_LOST:
            return QCoreApplication::translate("mqtt::MqttSink", "соединение разорвано");
        case MOSQ_ERR_KEEPALIVE:
            return QCoreApplication::translate("mqtt::MqttSink", "брокер перестал отвечать");
        case MOSQ_ERR_NO_CONN:
            return QCoreApplication::translate("mqtt::MqttSink", "соединение не установлено");
        default:
            return QString::fromUtf8(mosquitto_strerror(code));
    }
}

// The broker's refusal of a connection, by the code of its answer; `passwordGiven` tells a wrong
// password from none at all.
QString Refusal(int code, const MqttAddress& address, bool passwordGiven) {
    const QString broker = QCoreApplication::translate("mqtt::MqttSink", "Брокер MQTT «%1»").arg(address.Url);
    switch (code) {
        case 4:
        case 5:
            if (address.User.isEmpty()) {
                return broker + QCoreApplication::translate(
                                    "mqtt::MqttSink",
                                    " не принимает подключение без пользователя и пароля: укажите "
                                    "пользователя в адресе (mqtt://пользователь@сервер/…), а пароль — в "
                                    "переменной окружения %1 или в файле пароля.")
                                    .arg(QLatin1String(kPasswordVariable));
            }
            if (!passwordGiven) {
                return broker + QCoreApplication::translate(
                                    "mqtt::MqttSink",
                                    " отказал во входе пользователю «%1»: пароль не задан (переменная "
                                    "окружения %2 не установлена и файл пароля не указан).")
                                    .arg(address.User, QLatin1String(kPasswordVariable));
            }
            return broker + QCoreApplication::translate(
                                "mqtt::MqttSink",
                                " отказал во входе пользователю «%1»: неверное имя или пароль, либо у "
                                "пользователя нет доступа.")
                                .arg(address.User);
        case 1:
            return broker +
                   QCoreApplication::translate("mqtt::MqttSink", " не поддерживает протокол MQTT 3.1.1.");
        case 2:
            return broker + QCoreApplication::translate("mqtt::MqttSink", " отклонил идентификатор клиента.");
        case 3:
            return broker +
                   QCoreApplication::translate("mqtt::MqttSink", " сейчас не принимает подключения.");
        default:
            return broker +
                   QCoreApplication::translate("mqtt::MqttSink", " отклонил подключение (код %1).").arg(code);
    }
}

// OpenSSL's words for the failures an engineer meets, said in the program's.
QString TlsFailure(const QString& text) {
    const QString lower = text.toLower();
    if (lower.contains(QLatin1String("unexpected eof")) ||
        lower.contains(QLatin1String("wrong version number")) ||
        lower.contains(QLatin1String("packet length too long"))) {
        return QCoreApplication::translate(
            "mqtt::MqttSink",
            "брокер не отвечает по TLS (этот порт, вероятно, без TLS: mqtt:// вместо mqtts://, "
            "или порт 8883)");
    }
    if (lower.contains(QLatin1String("certificate verify failed"))) {
        return QCoreApplication::translate(
            "mqtt::MqttSink",
            "сертификат брокера не прошёл проверку (укажите файл центров сертификации: "
            "--mqtt-ca)");
    }
    if (lower.contains(QLatin1String("connection refused"))) {
        return QCoreApplication::translate("mqtt::MqttSink",
                                           "соединение отклонено (брокер на этом порту не запущен)");
    }
    return text;
}

}  // namespace

MqttSink::MqttSink(MqttAddress address, MqttOptions options)
    : address_(std::move(address)),
      options_(std::move(options)),
      statusTopic_(
          (address_.Prefix + QLatin1Char('/') + TopicLevel(options_.Site) + QStringLiteral("/status"))
              .toUtf8()) {}

MqttSink::~MqttSink() {
    Stop(std::chrono::milliseconds(0));
}

QString MqttSink::StatusTopic() const {
    return QString::fromUtf8(statusTopic_);
}

QString MqttSink::DownMessage(const QString& why) const {
    return QCoreApplication::translate(
               "mqtt::MqttSink",
               "Брокер MQTT «%1» недоступен: %2. Показания ждут в очереди (не больше %3) и будут "
               "отправлены, когда связь восстановится.")
        .arg(address_.Url, why)
        .arg(options_.Capacity);
}

bool MqttSink::SetReachableLocked(bool reachable, const QString& message) {
    if (reachable_ == reachable) {
        return false;
    }
    reachable_ = reachable;
    reachabilityMessage_ = message;
    return true;
}

bool MqttSink::Reachable() const {
    std::lock_guard lock(mutex_);
    return reachable_;
}

QString MqttSink::ReachabilityMessage() const {
    std::lock_guard lock(mutex_);
    return reachabilityMessage_;
}

qint64 MqttSink::Queued() const {
    std::lock_guard lock(mutex_);
    return outbox_ ? outbox_->Pending() : 0;
}

qint64 MqttSink::Dropped() const {
    std::lock_guard lock(mutex_);
    return outbox_ ? outbox_->Dropped() : 0;
}

bool MqttSink::IdleLocked() const {
    return preparing_ == 0 && pendingReadings_ == 0 &&
           (!outbox_ || (!outbox_->HasReady() && !outbox_->HasUnwritten()));
}

void MqttSink::Attach(std::shared_ptr<sinks::IOutbox> outbox) {
    if (outbox) {
        outbox->SetReadyCallback([this] {
            std::lock_guard lock(mutex_);
            work_.notify_all();
        });
    }
    {
        std::lock_guard lock(mutex_);
        outbox_ = std::move(outbox);
        detaching_ = false;
        overflowSaid_ = false;
    }
    work_.notify_all();
}

qint64 MqttSink::Detach(std::chrono::milliseconds wait) {
    BeginDetach(Clock::now() + wait);
    return EndDetach();
}

void MqttSink::BeginDetach(Clock::time_point deadline) {
    {
        std::lock_guard lock(mutex_);
        if (!outbox_ || stopped_ || !worker_.joinable()) {
            return;
        }
        detaching_ = true;
        if (!stopping_) {
            deadline_ = deadline;
        }
    }
    work_.notify_all();
}

qint64 MqttSink::EndDetach() {
    std::shared_ptr<sinks::IOutbox> outbox;
    std::size_t done = 0;
    {
        std::unique_lock lock(mutex_);
        if (!outbox_) {
            return 0;
        }
        idle_.wait(lock, [this] { return !detaching_ || stopped_; });
        while (!flights_.empty() && flights_.front().Acknowledged) {
            flights_.pop_front();
            ++done;
        }
        outbox = std::move(outbox_);
        outbox_.reset();
        detaching_ = false;
        // What is in flight stays unacknowledged in the outbox; late acknowledgements find nothing.
        flights_.clear();
        for (auto& [mid, sent] : pending_) {
            sent.second = 0;
        }
        pendingReadings_ = 0;
    }
    work_.notify_all();
    outbox->SetReadyCallback({});
    outbox->Acknowledge(done);
    outbox->GiveBack();
    return outbox->Pending();
}

bool MqttSink::Enqueue(const meterdata::MeterRecord& record, meterdata::RecordSource source,
                       const QString& site, const QString& uartId) {
    std::shared_ptr<sinks::IOutbox> outbox;
    {
        std::lock_guard lock(mutex_);
        outbox = outbox_;
    }
    return outbox && sinks::AddRecord(*outbox, record, source, site, uartId);
}

bool MqttSink::WaitUntilPublished(std::chrono::milliseconds timeout) {
    const auto until = Clock::now() + timeout;
    std::unique_lock lock(mutex_);
    while (!IdleLocked() || (outbox_ && outbox_->Pending() > 0)) {
        if (Clock::now() >= until) {
            return false;
        }
        idle_.wait_for(lock, std::chrono::milliseconds(20));
    }
    return true;
}

bool MqttSink::PublishLocked(const QByteArray& topic, const QByteArray& payload, bool retain, Sent kind,
                             std::uint64_t flight) {
    int mid = 0;
    const int code = mosquitto_publish(client_, &mid, topic.constData(), static_cast<int>(payload.size()),
                                       payload.constData(), 1, retain);
    // Without a connection libmosquitto keeps the message and sends it once connected.
    if (code != MOSQ_ERR_SUCCESS && code != MOSQ_ERR_NO_CONN) {
        return false;
    }
    pending_[mid] = {kind, flight};
    if (kind == Sent::Reading) {
        ++pendingReadings_;
    }
    return true;
}

void MqttSink::OfferLastLocked(const QByteArray& topic, const QByteArray& payload, qint64 timeMs) {
    Last& last = last_[topic];
    if (!lastKnown_) {
        if (timeMs >= last.HeldTimeMs) {
            last.HeldTimeMs = timeMs;
            last.HeldPayload = payload;
        }
        return;
    }
    if (timeMs > last.TimeMs) {
        last.TimeMs = timeMs;
        PublishLocked(topic, payload, true, Sent::Last);
    }
}

void MqttSink::ReleaseHeldLastLocked() {
    for (auto& [topic, last] : last_) {
        if (!last.HeldPayload.isEmpty() && last.HeldTimeMs > last.TimeMs) {
            last.TimeMs = last.HeldTimeMs;
            PublishLocked(topic, last.HeldPayload, true, Sent::Last);
        }
        last.HeldPayload.clear();
        last.HeldTimeMs = std::numeric_limits<qint64>::min();
    }
}

void MqttSink::PublishStatusLocked(const char* state) {
    PublishLocked(statusTopic_, QByteArray(state), true, Sent::Status);
}

void MqttSink::OnConnect(mosquitto*, void* data, int code) {
    NoCancel noCancel;
    auto* self = static_cast<MqttSink*>(data);
    bool changed = false;
    bool reachable = false;
    QString message;
    {
        std::lock_guard lock(self->mutex_);
        if (code == 0) {
            self->connected_ = true;
            self->restart_ = false;
            self->restartPause_ = std::chrono::seconds(1);
            self->PublishStatusLocked("online");
            // The broker's retained "…/last" of this site come first, so none is replaced by an
            // older reading; until they are in (or a moment after the subscription stands, for a
            // site that has none), "…/last" waits.
            const QByteArray filter = self->statusTopic_.left(self->statusTopic_.size() - 6) + "+/last";
            self->lastKnown_ = false;
            self->subscribeMid_ = -1;
            int mid = 0;
            if (mosquitto_subscribe(self->client_, &mid, filter.constData(), 1) == MOSQ_ERR_SUCCESS) {
                self->subscribeMid_ = mid;
            } else {
                self->lastKnown_ = true;
            }
            if (self->answer_ == Answer::None) {
                self->answer_ = Answer::Connected;
            }
            changed = self->SetReachableLocked(
                true,
                QCoreApplication::translate("mqtt::MqttSink",
                                            "Связь с брокером MQTT «%1» восстановлена: показания из очереди "
                                            "отправляются.")
                    .arg(self->address_.Url));
        } else {
            const QString refusal = Refusal(code, self->address_, self->passwordGiven_);
            if (self->answer_ == Answer::None) {
                self->answer_ = Answer::Refused;
                self->answerText_ = refusal;
            }
            changed = self->SetReachableLocked(false, refusal);
        }
        reachable = self->reachable_;
        message = self->reachabilityMessage_;
    }
    self->idle_.notify_all();
    self->work_.notify_all();
    if (changed) {
        emit self->ReachabilityChanged(reachable, message);
    }
}

void MqttSink::OnDisconnect(mosquitto*, void* data, int code) {
    const int errorNumber = errno;
    NoCancel noCancel;
    auto* self = static_cast<MqttSink*>(data);
    bool changed = false;
    QString message;
    {
        std::lock_guard lock(self->mutex_);
        const bool wasConnected = self->connected_;
        self->connected_ = false;
        if (code != 0 && !self->stopping_) {
            const QString why = Reason(code, errorNumber, self->address_);
            if (self->answer_ == Answer::None) {
                self->answer_ = Answer::Unreachable;
                self->answerText_ = why;
            }
            changed = self->SetReachableLocked(
                false, wasConnected ? QCoreApplication::translate(
                                          "mqtt::MqttSink",
                                          "Связь с брокером MQTT «%1» потеряна: %2. Показания ждут "
                                          "в очереди (не больше %3) и будут отправлены, когда "
                                          "связь восстановится.")
                                          .arg(self->address_.Url, why)
                                          .arg(self->options_.Capacity)
                                    : self->DownMessage(why));
        }
        message = self->reachabilityMessage_;
    }
    self->idle_.notify_all();
    self->work_.notify_all();
    if (changed) {
        emit self->ReachabilityChanged(false, message);
    }
}

void MqttSink::OnPublish(mosquitto*, void* data, int mid) {
    NoCancel noCancel;
    auto* self = static_cast<MqttSink*>(data);
    {
        std::lock_guard lock(self->mutex_);
        const auto found = self->pending_.find(mid);
        if (found == self->pending_.end()) {
            return;
        }
        const auto [kind, flight] = found->second;
        self->pending_.erase(found);
        if (kind == Sent::Reading && flight != 0 && !self->flights_.empty()) {
            const std::uint64_t first = self->flights_.front().Number;
            if (flight >= first && flight - first < self->flights_.size()) {
                self->flights_[static_cast<std::size_t>(flight - first)].Acknowledged = true;
                --self->pendingReadings_;
                self->published_.fetch_add(1, std::memory_order_relaxed);
            }
        }
    }
    self->idle_.notify_all();
    self->work_.notify_all();
}

void MqttSink::OnSubscribe(mosquitto*, void* data, int mid, int, const int*) {
    NoCancel noCancel;
    auto* self = static_cast<MqttSink*>(data);
    {
        std::lock_guard lock(self->mutex_);
        if (mid != self->subscribeMid_) {
            return;
        }
        // The broker sends the retained messages with the subscription; a moment more for them.
        self->lastKnownAt_ = Clock::now() + std::chrono::milliseconds(300);
        self->subscribeMid_ = -2;
    }
    self->work_.notify_all();
}

void MqttSink::OnMessage(mosquitto*, void* data, const ::mosquitto_message* message) {
    NoCancel noCancel;
    auto* self = static_cast<MqttSink*>(data);
    if (message == nullptr || message->topic == nullptr || message->payloadlen <= 0) {
        return;
    }
    const QJsonObject object =
        QJsonDocument::fromJson(QByteArray(static_cast<const char*>(message->payload), message->payloadlen))
            .object();
    const QDateTime time =
        QDateTime::fromString(object.value(QLatin1String("time")).toString(), Qt::ISODateWithMs);
    if (!time.isValid()) {
        return;
    }
    std::lock_guard lock(self->mutex_);
    Last& last = self->last_[QByteArray(message->topic)];
    last.TimeMs = std::max(last.TimeMs, time.toMSecsSinceEpoch());
}

void MqttSink::OnLog(mosquitto*, void* data, int level, const char* text) {
    if (level != MOSQ_LOG_ERR) {
        return;
    }
    NoCancel noCancel;
    auto* self = static_cast<MqttSink*>(data);
    bool changed = false;
    QString message;
    {
        std::lock_guard lock(self->mutex_);
        if (self->connected_ || self->stopping_) {
            return;
        }
        // An error before the connection stands (the TLS handshake, an answer that is not MQTT) ends
        // libmosquitto's network thread without a callback: the worker starts it again.
        const QString why = TlsFailure(QString::fromUtf8(text));
        const QString failure = QCoreApplication::translate(
                                    "mqtt::MqttSink", "Соединение с брокером MQTT «%1» не установлено: %2")
                                    .arg(self->address_.Url, why);
        if (self->answer_ == Answer::None) {
            self->answer_ = Answer::Failed;
            self->answerText_ = failure;
        }
        self->ScheduleRestartLocked();
        changed = self->SetReachableLocked(false, self->DownMessage(why));
        message = self->reachabilityMessage_;
    }
    self->idle_.notify_all();
    self->work_.notify_all();
    if (changed) {
        emit self->ReachabilityChanged(false, message);
    }
}

bool MqttSink::Start(const std::optional<QByteArray>& password, QString& error) {
    InitLibrary();
    client_ = mosquitto_new(nullptr, true, this);
    if (client_ == nullptr) {
        error = QCoreApplication::translate("mqtt::MqttSink", "Клиент MQTT не создан: недостаточно памяти.");
        return false;
    }
    mosquitto_connect_callback_set(client_, &OnConnect);
    mosquitto_disconnect_callback_set(client_, &OnDisconnect);
    mosquitto_publish_callback_set(client_, &OnPublish);
    mosquitto_subscribe_callback_set(client_, &OnSubscribe);
    mosquitto_message_callback_set(client_, &OnMessage);
    mosquitto_log_callback_set(client_, &OnLog);
    passwordGiven_ = password.has_value();
    if (!address_.User.isEmpty()) {
        mosquitto_username_pw_set(client_, address_.User.toUtf8().constData(),
                                  password ? password->constData() : nullptr);
    }
    mosquitto_will_set(client_, statusTopic_.constData(), 7, "offline", 1, true);
    mosquitto_reconnect_delay_set(client_, 1,
                                  static_cast<unsigned>(std::max(1, options_.LongestRetrySeconds)), true);
    if (address_.Tls) {
        if (options_.CaFile.isEmpty()) {
            mosquitto_int_option(client_, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        } else {
            QFile ca(options_.CaFile);
            const bool readable = ca.open(QIODevice::ReadOnly);
            if (!readable || mosquitto_tls_set(client_, QFile::encodeName(options_.CaFile).constData(),
                                               nullptr, nullptr, nullptr, nullptr) != MOSQ_ERR_SUCCESS) {
                error = QCoreApplication::translate("mqtt::MqttSink",
                                                    "Файл сертификатов «%1» для брокера MQTT не годится: %2.")
                            .arg(options_.CaFile, readable ? QCoreApplication::translate(
                                                                 "mqtt::MqttSink", "сертификаты не прочитаны")
                                                           : ca.errorString());
                Teardown(false);
                return false;
            }
        }
    }

    // The network thread first: a connection attempt that fails later is then retried by it.
    mosquitto_loop_start(client_);
    const int code = mosquitto_connect_async(client_, address_.Host.toUtf8().constData(), address_.Port,
                                             std::max(5, options_.KeepaliveSeconds));
    const int errorNumber = errno;
    {
        std::unique_lock lock(mutex_);
        if (code != MOSQ_ERR_SUCCESS) {
            // Failed at once (a name not resolved, no route): libmosquitto does not try again itself.
            ScheduleRestartLocked();
            SetReachableLocked(false, DownMessage(Reason(code, errorNumber, address_)));
        } else {
            idle_.wait_for(lock, options_.ConnectWait, [this] { return answer_ != Answer::None; });
        }
        if (answer_ == Answer::Refused || answer_ == Answer::Failed) {
            error = answerText_;
            lock.unlock();
            Teardown(false);
            return false;
        }
        if (answer_ == Answer::None && code == MOSQ_ERR_SUCCESS) {
            SetReachableLocked(
                false, DownMessage(QCoreApplication::translate("mqtt::MqttSink", "нет ответа за %1 мс")
                                       .arg(options_.ConnectWait.count())));
        }
    }
    worker_ = std::thread([this] { Run(); });
    return true;
}

void MqttSink::ScheduleRestartLocked() {
    restart_ = true;
    restartAt_ = Clock::now() + restartPause_;
    restartPause_ =
        std::min(restartPause_ * 2, std::chrono::seconds(std::max(1, options_.LongestRetrySeconds)));
}

void MqttSink::Restart() {
    mosquitto_disconnect(client_);
    mosquitto_loop_stop(client_, false);
    mosquitto_loop_start(client_);
    const int code = mosquitto_connect_async(client_, address_.Host.toUtf8().constData(), address_.Port,
                                             std::max(5, options_.KeepaliveSeconds));
    std::lock_guard lock(mutex_);
    if (code != MOSQ_ERR_SUCCESS) {
        ScheduleRestartLocked();
    }
}

void MqttSink::Run() {
    const sinks::ReadingBuilder builder(options_.Locale);
    const QByteArray prefix = address_.Prefix.toUtf8() + '/';
    QString site;
    QByteArray siteLevel = TopicLevel(site).toUtf8() + '/';
    std::vector<sinks::OutboxEntry> batch;
    struct Message {
        QByteArray Topic;
        QByteArray Payload;
        qint64 TimeMs = 0;
        bool Built = false;
    };
    std::vector<Message> messages;
    sinks::Reading reading;

    std::unique_lock lock(mutex_);
    while (true) {
        if (outbox_ && !overflowSaid_ && outbox_->Dropped() > 0) {
            overflowSaid_ = true;
            lock.unlock();
            emit Overflowed(
                QCoreApplication::translate("mqtt::MqttSink",
                                            "Очередь отправки на брокер MQTT «%1» на диске заполнена (%2): "
                                            "новые показания в неё не попадают и остаются только в "
                                            "локальной базе данных порта.")
                    .arg(address_.Url)
                    .arg(sinks::SizeText(outbox_->MaxBytes())));
            lock.lock();
            continue;
        }
        // The readings the broker acknowledged, oldest first, leave the outbox.
        std::size_t done = 0;
        while (!flights_.empty() && flights_.front().Acknowledged) {
            flights_.pop_front();
            ++done;
        }
        if (done > 0 && outbox_) {
            const std::shared_ptr<sinks::IOutbox> outbox = outbox_;
            lock.unlock();
            outbox->Acknowledge(done);
            lock.lock();
            idle_.notify_all();
            continue;
        }
        if (!lastKnown_ && subscribeMid_ == -2 && Clock::now() >= lastKnownAt_) {
            lastKnown_ = true;
            ReleaseHeldLastLocked();
        }
        const bool pastDeadline = Leaving() && Clock::now() >= deadline_;
        if (detaching_ && (IdleLocked() || !connected_ || pastDeadline)) {
            detaching_ = false;
            idle_.notify_all();
            continue;
        }
        if (stopping_ && (!connected_ || IdleLocked() || pastDeadline)) {
            break;
        }
        if (restart_ && !connected_ && !stopping_ && Clock::now() >= restartAt_) {
            restart_ = false;
            lock.unlock();
            Restart();
            lock.lock();
            continue;
        }
        const bool canTake =
            connected_ && outbox_ && !pastDeadline && pendingReadings_ < kWindow && outbox_->HasReady();
        if (!canTake) {
            auto until = Clock::now() + std::chrono::seconds(1);
            if (Leaving()) {
                until = std::min(until, deadline_);
            }
            if (restart_ && !connected_) {
                until = std::min(until, restartAt_);
            }
            if (!lastKnown_ && subscribeMid_ == -2) {
                until = std::min(until, lastKnownAt_);
            }
            work_.wait_until(lock, until);
            continue;
        }

        const std::shared_ptr<sinks::IOutbox> outbox = outbox_;
        const std::size_t want = std::min(kBatch, kWindow - pendingReadings_);
        preparing_ = want;
        lock.unlock();
        batch.clear();
        outbox->Take(batch, want);
        messages.assign(batch.size(), Message());
        for (std::size_t i = 0; i < batch.size(); ++i) {
            const sinks::OutboxEntry& entry = batch[i];
            if (!builder.BuildAt(entry.Record, entry.Source, entry.Site, entry.UartId, entry.UtcMs,
                                 reading)) {
                continue;  // no packet, or a time stamp that forms no date: nothing to tell
            }
            if (entry.Site != site) {
                site = entry.Site;
                siteLevel = TopicLevel(site).toUtf8() + '/';
            }
            messages[i] = {prefix + siteLevel + QByteArray::number(reading.Meter),
                           QJsonDocument(sinks::ReadingToJson(reading)).toJson(QJsonDocument::Compact),
                           entry.UtcMs, true};
        }

        lock.lock();
        if (outbox_ != outbox) {
            // Detached meanwhile: the batch stays in the outbox it came from.
            preparing_ = 0;
            continue;
        }
        for (const Message& message : messages) {
            const std::uint64_t number = nextFlight_++;
            flights_.push_back({number, true});
            if (message.Built &&
                PublishLocked(message.Topic, message.Payload, false, Sent::Reading, number)) {
                flights_.back().Acknowledged = false;
                OfferLastLocked(message.Topic + "/last", message.Payload, message.TimeMs);
            }
        }
        preparing_ = 0;
        if (IdleLocked()) {
            idle_.notify_all();
        }
    }
}

void MqttSink::Teardown(bool connected) {
    mosquitto_disconnect(client_);
    // Without a connection the network thread may be inside a blocking connect for minutes.
    mosquitto_loop_stop(client_, !connected);
    mosquitto_destroy(client_);
    client_ = nullptr;
}

qint64 MqttSink::Stop(std::chrono::milliseconds timeout) {
    {
        std::lock_guard lock(mutex_);
        if (stopped_ || client_ == nullptr) {
            return left_;
        }
        stopping_ = true;
        deadline_ = Clock::now() + timeout;
    }
    work_.notify_all();
    if (worker_.joinable()) {
        worker_.join();
    }
    bool connected = false;
    std::shared_ptr<sinks::IOutbox> outbox;
    std::size_t done = 0;
    {
        std::unique_lock lock(mutex_);
        connected = connected_;
        if (connected) {
            // "offline" waits behind the readings in flight; the broker takes them in order.
            PublishStatusLocked("offline");
            idle_.wait_for(lock, kOfflineWait, [this] { return pending_.empty() || !connected_; });
            connected = connected_;
        }
        while (!flights_.empty() && flights_.front().Acknowledged) {
            flights_.pop_front();
            ++done;
        }
        stopped_ = true;
        outbox = std::move(outbox_);
        outbox_.reset();
    }
    Teardown(connected);
    {
        std::lock_guard lock(mutex_);
        flights_.clear();
        pending_.clear();
        pendingReadings_ = 0;
    }
    left_ = 0;
    if (outbox) {
        outbox->SetReadyCallback({});
        outbox->Acknowledge(done);
        outbox->GiveBack();
        left_ = outbox->Pending();
    }
    idle_.notify_all();
    return left_;
}

std::unique_ptr<MqttSink> OpenMqttSink(const QString& url, const MqttOptions& options, QString& error) {
    MqttAddress address;
    if (!ParseMqttUrl(url, address, error)) {
        return nullptr;
    }
    std::optional<QByteArray> password;
    if (!ReadMqttPassword(address, options.PasswordFile, password, error)) {
        return nullptr;
    }
    std::unique_ptr<MqttSink> sink(new MqttSink(std::move(address), options));
    if (!sink->Start(password, error)) {
        return nullptr;
    }
    return sink;
}

}  // namespace lumvaris::mqtt
