#include "mqtt/MqttSink.h"

#include "sinks/Reading.h"

#include <QFile>
#include <QJsonDocument>

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
                    return QStringLiteral("соединение отклонено (брокер на этом порту не запущен)");
                case ETIMEDOUT:
                    return QStringLiteral("сервер не отвечает");
                case EHOSTUNREACH:
                case ENETUNREACH:
                    return QStringLiteral("сервер недоступен по сети");
                default:
                    return QString::fromLocal8Bit(std::strerror(errorNumber));
            }
        case MOSQ_ERR_EAI:
        case MOSQ_ERR_LOOKUP:
            return QStringLiteral("сервер «%1» не найден").arg(address.Host);
        case MOSQ_ERR_CONN_LOST:
            return QStringLiteral("соединение разорвано");
        case MOSQ_ERR_KEEPALIVE:
            return QStringLiteral("брокер перестал отвечать");
        case MOSQ_ERR_NO_CONN:
            return QStringLiteral("соединение не установлено");
        default:
            return QString::fromUtf8(mosquitto_strerror(code));
    }
}

// The broker's refusal of a connection, by the code of its answer.
QString Refusal(int code, const MqttAddress& address) {
    const QString broker = QStringLiteral("Брокер MQTT «%1»").arg(address.Url);
    switch (code) {
        case 4:
        case 5:
            if (address.User.isEmpty()) {
                return broker + QStringLiteral(
                                    " не принимает подключение без пользователя и пароля: укажите "
                                    "пользователя в адресе (mqtt://пользователь@сервер/…), а пароль — в "
                                    "переменной окружения %1 или в файле пароля.")
                                    .arg(QLatin1String(kPasswordVariable));
            }
            return broker + QStringLiteral(
                                " отказал во входе пользователю «%1»: неверное имя или пароль, либо у "
                                "пользователя нет доступа.")
                                .arg(address.User);
        case 1:
            return broker + QStringLiteral(" не поддерживает протокол MQTT 3.1.1.");
        case 2:
            return broker + QStringLiteral(" отклонил идентификатор клиента.");
        case 3:
            return broker + QStringLiteral(" сейчас не принимает подключения.");
        default:
            return broker + QStringLiteral(" отклонил подключение (код %1).").arg(code);
    }
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
    return QStringLiteral(
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
    return static_cast<qint64>(queue_.size() + preparing_ + pendingReadings_);
}

bool MqttSink::Enqueue(const meterdata::MeterRecord& record, meterdata::RecordSource source,
                       const QString& site, const QString& uartId) {
    bool queued = false;
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        if (stopping_ ||
            queue_.size() + preparing_ + pendingReadings_ >= static_cast<std::size_t>(options_.Capacity)) {
            dropped_.fetch_add(1, std::memory_order_relaxed);
            if (!overflowSaid_ && !stopping_) {
                overflowSaid_ = true;
                overflowToSay_ = true;
                wake = true;
            }
        } else {
            wake = queue_.empty();
            queue_.push_back(Entry{record, source, site, uartId});
            queued = true;
        }
    }
    // Only an empty queue, or news to tell, can have left the worker waiting.
    if (wake) {
        work_.notify_one();
    }
    return queued;
}

bool MqttSink::WaitUntilPublished(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return idle_.wait_for(lock, timeout, [this] { return IdleLocked(); });
}

bool MqttSink::PublishLocked(const QByteArray& topic, const QByteArray& payload, bool retain, Sent kind) {
    int mid = 0;
    const int code = mosquitto_publish(client_, &mid, topic.constData(), static_cast<int>(payload.size()),
                                       payload.constData(), 1, retain);
    // Without a connection libmosquitto keeps the message and sends it once connected.
    if (code != MOSQ_ERR_SUCCESS && code != MOSQ_ERR_NO_CONN) {
        if (kind == Sent::Reading) {
            dropped_.fetch_add(1, std::memory_order_relaxed);
        }
        return false;
    }
    pending_[mid] = kind;
    if (kind == Sent::Reading) {
        ++pendingReadings_;
    }
    return true;
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
            if (self->answer_ == Answer::None) {
                self->answer_ = Answer::Connected;
            }
            changed = self->SetReachableLocked(
                true, QStringLiteral("Связь с брокером MQTT «%1» восстановлена: показания из очереди "
                                     "отправляются.")
                          .arg(self->address_.Url));
        } else {
            const QString refusal = Refusal(code, self->address_);
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
                false, wasConnected
                           ? QStringLiteral("Связь с брокером MQTT «%1» потеряна: %2. Показания ждут "
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
        if (found->second == Sent::Reading) {
            --self->pendingReadings_;
            self->published_.fetch_add(1, std::memory_order_relaxed);
        }
        self->pending_.erase(found);
        if (self->queue_.size() + self->pendingReadings_ <=
            static_cast<std::size_t>(self->options_.Capacity) / 2) {
            self->overflowSaid_ = false;
        }
    }
    self->idle_.notify_all();
    self->work_.notify_all();
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
        const QString why = QString::fromUtf8(text);
        const QString failure =
            QStringLiteral("Соединение с брокером MQTT «%1» не установлено: %2").arg(self->address_.Url, why);
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
        error = QStringLiteral("Клиент MQTT не создан: недостаточно памяти.");
        return false;
    }
    mosquitto_connect_callback_set(client_, &OnConnect);
    mosquitto_disconnect_callback_set(client_, &OnDisconnect);
    mosquitto_publish_callback_set(client_, &OnPublish);
    mosquitto_log_callback_set(client_, &OnLog);
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
                error = QStringLiteral("Файл сертификатов «%1» для брокера MQTT не годится: %2.")
                            .arg(options_.CaFile,
                                 readable ? QStringLiteral("сертификаты не прочитаны") : ca.errorString());
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
                false, DownMessage(QStringLiteral("нет ответа за %1 мс").arg(options_.ConnectWait.count())));
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
    std::vector<Entry> batch;
    std::vector<std::pair<QByteArray, QByteArray>> messages;
    sinks::Reading reading;

    std::unique_lock lock(mutex_);
    while (true) {
        if (overflowToSay_) {
            overflowToSay_ = false;
            lock.unlock();
            emit Overflowed(QStringLiteral("Очередь отправки на брокер MQTT «%1» заполнена (%2 показаний): "
                                           "новые показания в неё не попадают и остаются только в "
                                           "локальной базе данных порта.")
                                .arg(address_.Url)
                                .arg(options_.Capacity));
            lock.lock();
            continue;
        }
        if (stopping_ && (!connected_ || IdleLocked() || Clock::now() >= deadline_)) {
            break;
        }
        if (restart_ && !connected_ && !stopping_ && Clock::now() >= restartAt_) {
            restart_ = false;
            lock.unlock();
            Restart();
            lock.lock();
            continue;
        }
        if (!connected_ || queue_.empty() || pendingReadings_ >= kWindow) {
            if (stopping_) {
                work_.wait_until(lock, deadline_);
            } else if (restart_ && !connected_) {
                work_.wait_until(lock, restartAt_);
            } else {
                work_.wait(lock);
            }
            continue;
        }

        const std::size_t take = std::min({kBatch, queue_.size(), kWindow - pendingReadings_});
        batch.assign(std::make_move_iterator(queue_.begin()), std::make_move_iterator(queue_.begin() + take));
        queue_.erase(queue_.begin(), queue_.begin() + take);
        preparing_ = take;
        lock.unlock();

        messages.clear();
        for (const Entry& entry : batch) {
            if (!builder.Build(entry.Record, entry.Source, entry.Site, entry.UartId, reading)) {
                continue;  // no packet, or a time stamp that forms no date: nothing to tell
            }
            if (entry.Site != site) {
                site = entry.Site;
                siteLevel = TopicLevel(site).toUtf8() + '/';
            }
            messages.emplace_back(
                prefix + siteLevel + QByteArray::number(reading.Meter),
                QJsonDocument(sinks::ReadingToJson(reading)).toJson(QJsonDocument::Compact));
        }

        lock.lock();
        for (const auto& [topic, payload] : messages) {
            if (PublishLocked(topic, payload, false, Sent::Reading)) {
                PublishLocked(topic + "/last", payload, true, Sent::Last);
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
    {
        std::unique_lock lock(mutex_);
        connected = connected_;
        if (connected) {
            // "offline" waits behind the readings in flight; the broker takes them in order.
            PublishStatusLocked("offline");
            idle_.wait_for(lock, kOfflineWait, [this] { return pending_.empty() || !connected_; });
            connected = connected_;
        }
        left_ = static_cast<qint64>(queue_.size() + pendingReadings_);
        stopped_ = true;
    }
    Teardown(connected);
    {
        std::lock_guard lock(mutex_);
        queue_.clear();
        pending_.clear();
        pendingReadings_ = 0;
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

void MqttFeed::SetUartId(std::uint16_t uartId) {
    uartId_ = sinks::UartIdText(uartId);
}

}  // namespace lumvaris::mqtt
