#include "collect/Claims.h"

#include <QCoreApplication>
#include <QDir>
#include <QHostInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaObject>

#include <libpq-fe.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <optional>

namespace lumvaris::collect {
namespace {

using Clock = std::chrono::steady_clock;

// The schema's creation is serialised on a key of its own, apart from every site's.
constexpr std::int32_t kSchemaLockClass = kClaimLockClass + 1;

constexpr int kLongestReconnectMs = 8000;

const char kClaimsSchema[] =
    "CREATE TABLE IF NOT EXISTS claims (site text PRIMARY KEY, collector text NOT NULL, "
    "since timestamptz NOT NULL DEFAULT now())";

struct Result {
    PGresult* result = nullptr;
    explicit Result(PGresult* r = nullptr) : result(r) {}
    Result(Result&& other) noexcept : result(std::exchange(other.result, nullptr)) {}
    Result& operator=(Result&& other) noexcept {
        std::swap(result, other.result);
        return *this;
    }
    ~Result() { PQclear(result); }
    int Rows() const { return result ? PQntuples(result) : 0; }
    QString Text(int row, int column) const { return QString::fromUtf8(PQgetvalue(result, row, column)); }
    bool Null(int row, int column) const { return PQgetisnull(result, row, column) != 0; }
};

// {"a","b"}: PostgreSQL's array literal, every element quoted.
QByteArray ArrayLiteral(const QStringList& items) {
    QByteArray literal = "{";
    for (const QString& item : items) {
        if (literal.size() > 1) {
            literal += ',';
        }
        QByteArray text = item.toUtf8();
        text.replace('\\', "\\\\").replace('"', "\\\"");
        literal += '"' + text + '"';
    }
    return literal + '}';
}

QByteArray KeysLiteral(const std::vector<std::int32_t>& keys) {
    QByteArray literal = "{";
    for (const std::int32_t key : keys) {
        if (literal.size() > 1) {
            literal += ',';
        }
        literal += QByteArray::number(key);
    }
    return literal + '}';
}

QString ServerWords(PGconn* connection) {
    return QString::fromUtf8(PQerrorMessage(connection)).trimmed();
}

// A session for a one-off read (the listing, the sites table): blocking, with a connect timeout.
PGconn* ConnectOnce(const QString& url, QString& why) {
    const QByteArray dbname = url.toUtf8();
    const char* keywords[] = {"dbname", "connect_timeout", "application_name", "options", nullptr};
    const char* values[] = {dbname.constData(), "10", "lumvaris-cli", "-c client_min_messages=warning",
                            nullptr};
    PGconn* connection = PQconnectdbParams(keywords, values, 1);
    if (PQstatus(connection) != CONNECTION_OK) {
        why = QCoreApplication::translate("collect::Claims", "нет соединения с «%1»: %2")
                  .arg(url, ServerWords(connection));
        PQfinish(connection);
        return nullptr;
    }
    return connection;
}

}  // namespace

QString DefaultCollectorName() {
    return QStringLiteral("%1:%2").arg(QHostInfo::localHostName()).arg(QCoreApplication::applicationPid());
}

// The session and its rounds, on a thread of their own. Only this thread touches the connection.
class Claims::Worker {
  public:
    Worker(Claims* owner, ClaimsSettings settings) : owner_(owner), settings_(std::move(settings)) {
        SetCandidates(settings_.sites);
    }

    ~Worker() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable()) {
            thread_.join();
        }
        if (connection_ != nullptr) {
            PQfinish(connection_);
        }
    }

    void Start() {
        thread_ = std::thread([this] { Run(); });
    }

    void Post(Request request) {
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(std::move(request));
        }
        wake_.notify_all();
    }

  private:
    void Run() {
        int pause = settings_.times.reconnectMs;
        bool told = false;  // the lack of a session was said once
        while (!Stopping()) {
            QString why;
            if (Connect(why) && PrepareSession(why)) {
                pause = settings_.times.reconnectMs;
                told = false;
                owner_->TellUp();
                while (Round(why) && Pause(settings_.times.heartbeatMs, why)) {
                }
            }
            if (Stopping()) {
                break;
            }
            Drop(why, told);
            told = true;
            if (!Pause(pause, why)) {
                break;
            }
            pause = std::min(pause * 2, kLongestReconnectMs);
        }
    }

    bool Stopping() {
        std::lock_guard lock(mutex_);
        return stop_;
    }

    void SetCandidates(const QStringList& sites) {
        candidates_ = sites;
        // Each collector starts from its own place in the list, so that collectors starting
        // together do not all try the same sites first.
        if (!candidates_.isEmpty()) {
            const auto start = static_cast<qsizetype>(qHash(collectorName()) % candidates_.size());
            std::rotate(candidates_.begin(), candidates_.begin() + start, candidates_.end());
        }
        keysKnown_ = false;
    }
    QString collectorName() const { return owner_->collector_; }

    // Waits `ms` while serving the owner's requests; false when the session failed or the object
    // is being destroyed.
    bool Pause(int ms, QString& why) {
        const auto until = Clock::now() + std::chrono::milliseconds(ms);
        while (true) {
            std::deque<Request> requests;
            {
                // A look at the socket every 100 ms: a session the server ended (an administrator's
                // pg_terminate_backend, a shutdown) says so at once, not at the next round.
                const auto slice = std::min(until, Clock::now() + std::chrono::milliseconds(100));
                std::unique_lock lock(mutex_);
                wake_.wait_until(lock, slice, [this] { return stop_ || !requests_.empty(); });
                if (stop_) {
                    return false;
                }
                requests.swap(requests_);
            }
            if (connection_ != nullptr && !SessionStands(why)) {
                return false;
            }
            bool roundNow = false;
            for (Request& request : requests) {
                if (!Serve(request, roundNow, why)) {
                    for (Request& rest : requests) {
                        if (rest.done) {
                            QMetaObject::invokeMethod(
                                owner_, [done = rest.done] { done(false); }, Qt::QueuedConnection);
                            rest.done = nullptr;
                        }
                    }
                    return false;
                }
            }
            if (roundNow && connection_ != nullptr) {
                return true;
            }
            if (Clock::now() >= until) {
                return true;
            }
        }
    }

    // False when the server closed the session while it was idle.
    bool SessionStands(QString& why) {
        pollfd fd{PQsocket(connection_), POLLIN, 0};
        if (poll(&fd, 1, 0) <= 0) {
            return true;
        }
        if (PQconsumeInput(connection_) == 0 || PQstatus(connection_) == CONNECTION_BAD) {
            why = ServerWords(connection_);
            return false;
        }
        return true;
    }

    bool Serve(Request& request, bool& roundNow, QString& why) {
        const auto answer = [this, &request](bool taken) {
            if (request.done) {
                QMetaObject::invokeMethod(
                    owner_, [done = request.done, taken] { done(taken); }, Qt::QueuedConnection);
                request.done = nullptr;
            }
        };
        if (request.kind == Request::Sites) {
            SetCandidates(request.sites);
            roundNow = true;
            return true;
        }
        if (connection_ == nullptr) {
            answer(false);
            return true;
        }
        std::int32_t key = 0;
        if (!KeyOf(request.site, key, why)) {
            answer(false);
            return false;
        }
        if (request.kind == Request::Take) {
            if (held_.contains(key)) {
                pinned_.insert(key);
                answer(true);
                return true;
            }
            if (static_cast<int>(held_.size()) >= settings_.maxSites) {
                answer(false);
                return true;
            }
            std::vector<std::int32_t> taken;
            if (!TryLock({key}, taken, why)) {
                answer(false);
                return false;
            }
            if (taken.empty()) {
                answer(false);
                return true;
            }
            pinned_.insert(key);
            const bool ok = Record(taken, why, request.site);
            answer(ok);
            return ok;
        }
        pinned_.erase(key);
        roundNow = true;  // the share decides whether it stays
        return true;
    }

    bool Connect(QString& why) {
        const QByteArray url = settings_.url.toUtf8();
        const QByteArray application = (kCollectorApplicationPrefix + collectorName()).toUtf8().left(63);
        const ClaimTimes& t = settings_.times;
        const QByteArray idle = QByteArray::number(t.keepaliveIdleS);
        const QByteArray interval = QByteArray::number(t.keepaliveIntervalS);
        const QByteArray count = QByteArray::number(t.keepaliveCount);
        const QByteArray userTimeout = QByteArray::number(t.queryTimeoutMs);
        // Later keywords win over those of the address: the session's name and the client's own
        // keepalive are ours to set.
        const char* keywords[] = {
            "dbname",           "application_name", "keepalives", "keepalives_idle", "keepalives_interval",
            "keepalives_count", "tcp_user_timeout", nullptr};
        const char* values[] = {
            url.constData(),   application.constData(), "1",    idle.constData(), interval.constData(),
            count.constData(), userTimeout.constData(), nullptr};
        connection_ = PQconnectStartParams(keywords, values, 1);
        if (connection_ == nullptr || PQstatus(connection_) == CONNECTION_BAD) {
            why = QCoreApplication::translate("collect::Claims", "нет соединения: %1")
                      .arg(connection_ ? ServerWords(connection_)
                                       : QCoreApplication::translate("collect::Claims", "нет памяти"));
            return false;
        }
        const auto until = Clock::now() + std::chrono::milliseconds(t.queryTimeoutMs * 2);
        PostgresPollingStatusType state = PGRES_POLLING_WRITING;
        while (state != PGRES_POLLING_OK) {
            if (state == PGRES_POLLING_FAILED) {
                why = QCoreApplication::translate("collect::Claims", "нет соединения: %1")
                          .arg(ServerWords(connection_));
                return false;
            }
            if (!WaitSocket(state == PGRES_POLLING_READING ? POLLIN : POLLOUT, until)) {
                why = QCoreApplication::translate("collect::Claims", "сервер не ответил за %1 с")
                          .arg(t.queryTimeoutMs * 2 / 1000);
                return false;
            }
            state = PQconnectPoll(connection_);
        }
        PQsetnonblocking(connection_, 1);
        return true;
    }

    // False at the deadline or when stopping.
    bool WaitSocket(short events, Clock::time_point until) {
        while (true) {
            if (Stopping()) {
                return false;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
            if (left <= 0) {
                return false;
            }
            pollfd fd{PQsocket(connection_), events, 0};
            const int ready = poll(&fd, 1, static_cast<int>(std::min<long long>(left, 100)));
            if (ready > 0) {
                return true;
            }
            if (ready < 0 && errno != EINTR) {
                return false;
            }
        }
    }

    // One statement (or several without parameters), waited for at most queryTimeoutMs: the last
    // result, or null and why.
    std::optional<Result> Exec(const QByteArray& sql, const std::vector<QByteArray>& parameters,
                               QString& why) {
        std::vector<const char*> values;
        for (const QByteArray& p : parameters) {
            values.push_back(p.constData());
        }
        const int sent = parameters.empty() ? PQsendQuery(connection_, sql.constData())
                                            : PQsendQueryParams(connection_, sql.constData(),
                                                                static_cast<int>(values.size()), nullptr,
                                                                values.data(), nullptr, nullptr, 0);
        if (sent != 1) {
            why = ServerWords(connection_);
            return std::nullopt;
        }
        const auto until = Clock::now() + std::chrono::milliseconds(settings_.times.queryTimeoutMs);
        while (true) {
            const int flushed = PQflush(connection_);
            if (flushed < 0) {
                why = ServerWords(connection_);
                return std::nullopt;
            }
            if (flushed == 0) {
                break;
            }
            if (!WaitSocket(POLLOUT, until)) {
                why = TimeoutWords();
                return std::nullopt;
            }
        }
        Result last;
        QString failure;
        while (true) {
            while (PQisBusy(connection_) != 0) {
                if (!WaitSocket(POLLIN, until)) {
                    why = TimeoutWords();
                    return std::nullopt;
                }
                if (PQconsumeInput(connection_) == 0) {
                    why = ServerWords(connection_);
                    return std::nullopt;
                }
            }
            PGresult* next = PQgetResult(connection_);
            if (next == nullptr) {
                break;
            }
            const ExecStatusType status = PQresultStatus(next);
            if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK && failure.isEmpty()) {
                failure = QString::fromUtf8(PQresultErrorMessage(next)).trimmed();
            }
            last = Result(next);
        }
        if (PQstatus(connection_) == CONNECTION_BAD) {
            why = ServerWords(connection_);
            return std::nullopt;
        }
        if (!failure.isEmpty()) {
            why = failure;
            return std::nullopt;
        }
        return last;
    }

    QString TimeoutWords() const {
        return QCoreApplication::translate("collect::Claims", "сервер не ответил за %1 с")
            .arg(settings_.times.queryTimeoutMs / 1000.0);
    }

    bool PrepareSession(QString& why) {
        const ClaimTimes& t = settings_.times;
        // The server's side of the keepalive, so that it lets a silent collector's locks go in a known
        // time (on a Unix socket the server ignores these).
        const QByteArray setup = QStringLiteral(
                                     "SET client_min_messages = warning; SET statement_timeout = %1; SET "
                                     "tcp_keepalives_idle = %2; "
                                     "SET tcp_keepalives_interval = %3; SET tcp_keepalives_count = %4; "
                                     "SET tcp_user_timeout = %5; BEGIN; "
                                     "SELECT pg_advisory_xact_lock(%6, 0); %7; COMMIT")
                                     .arg(t.queryTimeoutMs)
                                     .arg(t.keepaliveIdleS)
                                     .arg(t.keepaliveIntervalS)
                                     .arg(t.keepaliveCount)
                                     .arg((t.keepaliveIdleS + t.keepaliveIntervalS * t.keepaliveCount) * 1000)
                                     .arg(kSchemaLockClass)
                                     .arg(QLatin1String(kClaimsSchema))
                                     .toUtf8();
        if (!Exec(setup, {}, why)) {
            return false;
        }
        keysKnown_ = false;
        return true;
    }

    // The lock keys of the candidates, from the server's own hashtext.
    bool LearnKeys(QString& why) {
        groups_.clear();
        order_.clear();
        if (candidates_.isEmpty()) {
            keysKnown_ = true;
            return true;
        }
        const auto keys =
            Exec("SELECT s, hashtext(s) FROM unnest($1::text[]) WITH ORDINALITY AS u(s, n) ORDER BY n",
                 {ArrayLiteral(candidates_)}, why);
        if (!keys) {
            return false;
        }
        for (int row = 0; row < keys->Rows(); ++row) {
            const auto key = static_cast<std::int32_t>(keys->Text(row, 1).toInt());
            QStringList& names = groups_[key];
            if (names.isEmpty()) {
                order_.push_back(key);
            }
            names << keys->Text(row, 0);
            siteKeys_[keys->Text(row, 0)] = key;
        }
        keysKnown_ = true;
        return true;
    }

    bool KeyOf(const QString& site, std::int32_t& key, QString& why) {
        if (const auto known = siteKeys_.find(site); known != siteKeys_.end()) {
            key = known->second;
            return true;
        }
        const auto result = Exec("SELECT hashtext($1)", {site.toUtf8()}, why);
        if (!result) {
            return false;
        }
        key = static_cast<std::int32_t>(result->Text(0, 0).toInt());
        siteKeys_[site] = key;
        if (!groups_.contains(key)) {
            extra_[key] << site;
        }
        return true;
    }

    QStringList NamesOf(std::int32_t key) const {
        if (const auto group = groups_.find(key); group != groups_.end()) {
            return group->second;
        }
        if (const auto group = extra_.find(key); group != extra_.end()) {
            return group->second;
        }
        return {};
    }

    bool TryLock(const std::vector<std::int32_t>& keys, std::vector<std::int32_t>& taken, QString& why) {
        const auto result =
            Exec(QStringLiteral("SELECT k FROM unnest($1::int[]) AS k WHERE pg_try_advisory_lock(%1, k)")
                     .arg(kClaimLockClass)
                     .toUtf8(),
                 {KeysLiteral(keys)}, why);
        if (!result) {
            return false;
        }
        for (int row = 0; row < result->Rows(); ++row) {
            const auto key = static_cast<std::int32_t>(result->Text(row, 0).toInt());
            taken.push_back(key);
            held_.insert(key);
        }
        return true;
    }

    // Writes the claims of keys just locked and tells the owner who held them before.
    bool Record(const std::vector<std::int32_t>& keys, QString& why, const QString& only = {}) {
        QStringList names;
        for (const std::int32_t key : keys) {
            names << NamesOf(key);
        }
        if (!only.isEmpty() && !names.contains(only)) {
            names << only;
        }
        // Every part of the statement sees the table as it was before it: "old" is who held it.
        const auto result = Exec(
            "WITH names AS (SELECT DISTINCT unnest($1::text[]) AS site), "
            "old AS (SELECT c.site, c.collector FROM claims c JOIN names USING (site)), "
            "up AS (INSERT INTO claims (site, collector, since) SELECT site, $2, now() FROM names "
            "ON CONFLICT (site) DO UPDATE SET collector = EXCLUDED.collector, since = EXCLUDED.since) "
            "SELECT names.site, coalesce(old.collector, '') FROM names LEFT JOIN old USING (site)",
            {ArrayLiteral(names), collectorName().toUtf8()}, why);
        if (!result) {
            return false;
        }
        for (int row = 0; row < result->Rows(); ++row) {
            owner_->TellTaken(result->Text(row, 0), result->Text(row, 1));
        }
        return true;
    }

    bool Unlock(const std::vector<std::int32_t>& keys, QString& why) {
        QStringList names;
        for (const std::int32_t key : keys) {
            names << NamesOf(key);
        }
        // The owner stops polling before the lock goes, or another could start while it still polls:
        // the lock is let go once the owner has handled the loss (closed the sites). An owner that
        // does not get to it in time keeps the locks for now; the next round tries again.
        auto handled = std::make_shared<bool>(false);
        owner_->TellLost(names, [this, handled] {
            {
                std::lock_guard lock(mutex_);
                *handled = true;
            }
            wake_.notify_all();
        });
        {
            std::unique_lock lock(mutex_);
            wake_.wait_for(lock, std::chrono::milliseconds(settings_.times.queryTimeoutMs),
                           [&] { return stop_ || *handled; });
            if (stop_) {
                return false;
            }
            if (!*handled) {
                return true;
            }
        }
        // The claims row stays: the next collector to take the site learns from it that someone
        // polled it until a moment ago, and reads the buffers for what fell between the two.
        const auto result =
            Exec(QStringLiteral("SELECT pg_advisory_unlock(%1, k) FROM unnest($1::int[]) AS k")
                     .arg(kClaimLockClass)
                     .toUtf8(),
                 {KeysLiteral(keys)}, why);
        if (!result) {
            return false;
        }
        for (const std::int32_t key : keys) {
            held_.erase(key);
            pinned_.erase(key);
        }
        return true;
    }

    // The heartbeat and the share: false when the session failed.
    bool Round(QString& why) {
        if (!keysKnown_ && !LearnKeys(why)) {
            return false;
        }
        const auto live = Exec(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE datname = "
                                              "current_database() AND application_name LIKE '%1%%'")
                                   .arg(QLatin1String(kCollectorApplicationPrefix))
                                   .toUtf8(),
                               {}, why);
        if (!live) {
            return false;
        }
        const int collectors = std::max(1, live->Text(0, 0).toInt());
        const int units = static_cast<int>(order_.size());
        const int share = std::min(settings_.maxSites, (units + collectors - 1) / collectors);

        // What is held but is no candidate any more (and no call holds it) goes first, then the
        // surplus over the share, the last taken first.
        std::vector<std::int32_t> surplus;
        for (const std::int32_t key : held_) {
            if (!groups_.contains(key) && !pinned_.contains(key)) {
                surplus.push_back(key);
            }
        }
        int kept = static_cast<int>(held_.size() - surplus.size());
        for (auto it = order_.rbegin(); it != order_.rend() && kept > share; ++it) {
            if (held_.contains(*it) && !pinned_.contains(*it)) {
                surplus.push_back(*it);
                --kept;
            }
        }
        if (!surplus.empty() && !Unlock(surplus, why)) {
            return false;
        }

        int need = share - static_cast<int>(held_.size());
        std::size_t next = 0;
        while (need > 0 && next < order_.size()) {
            std::vector<std::int32_t> batch;
            for (; next < order_.size() && static_cast<int>(batch.size()) < need; ++next) {
                if (!held_.contains(order_[next])) {
                    batch.push_back(order_[next]);
                }
            }
            std::vector<std::int32_t> taken;
            if (!batch.empty() && !TryLock(batch, taken, why)) {
                return false;
            }
            if (!taken.empty() && !Record(taken, why)) {
                return false;
            }
            need -= static_cast<int>(taken.size());
        }
        return true;
    }

    void Drop(const QString& why, bool told) {
        if (connection_ != nullptr) {
            PQfinish(connection_);
            connection_ = nullptr;
        }
        const bool had = !held_.empty();
        held_.clear();
        pinned_.clear();
        extra_.clear();
        if (had || !told) {
            owner_->TellAllLost(why);
        }
    }

    Claims* owner_;
    ClaimsSettings settings_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::deque<Request> requests_;

    PGconn* connection_ = nullptr;
    QStringList candidates_;
    bool keysKnown_ = false;
    std::map<std::int32_t, QStringList> groups_;  // key → candidates of that key
    std::vector<std::int32_t> order_;             // the candidates' keys in this collector's order
    std::map<QString, std::int32_t> siteKeys_;
    std::map<std::int32_t, QStringList> extra_;  // taken by a call, not a candidate
    std::set<std::int32_t> held_;
    std::set<std::int32_t> pinned_;  // taken by a call: the share does not let it go
};

Claims::Claims(ClaimsSettings settings, QObject* parent)
    : QObject(parent),
      collector_(settings.collector.isEmpty() ? DefaultCollectorName() : settings.collector) {
    worker_ = std::make_unique<Worker>(this, std::move(settings));
}

Claims::~Claims() {
    worker_.reset();
}

void Claims::Start() {
    worker_->Start();
}

void Claims::Post(Request request) {
    worker_->Post(std::move(request));
}

void Claims::SetSites(const QStringList& sites) {
    Post({Request::Sites, {}, sites, {}});
}

void Claims::TryTake(const QString& site, std::function<void(bool)> done) {
    Post({Request::Take, site, {}, std::move(done)});
}

void Claims::Release(const QString& site) {
    Post({Request::Release, site, {}, {}});
}

void Claims::TellTaken(const QString& site, const QString& previous) {
    QMetaObject::invokeMethod(
        this,
        [this, site, previous] {
            held_.insert(site);
            emit Taken(site, previous);
        },
        Qt::QueuedConnection);
}

void Claims::TellLost(const QStringList& sites, std::function<void()> handled) {
    QMetaObject::invokeMethod(
        this,
        [this, sites, handled = std::move(handled)] {
            for (const QString& site : sites) {
                if (held_.erase(site) > 0) {
                    emit Lost(site);
                }
            }
            handled();
        },
        Qt::QueuedConnection);
}

void Claims::TellAllLost(const QString& why) {
    QMetaObject::invokeMethod(
        this,
        [this, why] {
            held_.clear();
            connected_ = false;
            emit AllLost(why);
        },
        Qt::QueuedConnection);
}

void Claims::TellUp() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            connected_ = true;
            emit SessionUp();
        },
        Qt::QueuedConnection);
}

bool ReadClaims(const QString& url, std::vector<ClaimRow>& rows, QString& why) {
    PGconn* connection = ConnectOnce(url, why);
    if (connection == nullptr) {
        return false;
    }
    Result tables(
        PQexec(connection, "SELECT to_regclass('sites') IS NOT NULL, to_regclass('claims') IS NOT NULL"));
    const bool hasSites = tables.Rows() == 1 && tables.Text(0, 0) == QLatin1String("t");
    const bool hasClaims = tables.Rows() == 1 && tables.Text(0, 1) == QLatin1String("t");
    const QString claims = hasClaims ? QStringLiteral("claims")
                                     : QStringLiteral(
                                           "(SELECT NULL::text AS site, NULL::text AS collector, "
                                           "NULL::timestamptz AS since WHERE false)");
    // A site is held when some session holds its lock; the claims row only says since when (and is
    // stale once its collector died). The names come from the claims and the sites table.
    const QByteArray query =
        QStringLiteral(
            "WITH held AS (SELECT l.objid::bigint AS key, substr(a.application_name, %1) AS name, "
            "a.backend_start FROM pg_locks l JOIN pg_stat_activity a ON a.pid = l.pid "
            "WHERE l.locktype = 'advisory' AND l.granted AND l.objsubid = 2 AND l.classid = %2 "
            "AND l.database = (SELECT oid FROM pg_database WHERE datname = current_database())), "
            "names AS (SELECT site FROM %3 AS c %4) "
            "SELECT n.site, coalesce(h.name, ''), coalesce(to_char(CASE WHEN c.collector = h.name "
            "THEN c.since ELSE h.backend_start END AT TIME ZONE 'UTC', 'YYYY-MM-DD HH24:MI:SS'), '') "
            "FROM names n LEFT JOIN held h ON h.key = (hashtext(n.site)::bigint & 4294967295) "
            "LEFT JOIN %3 AS c ON c.site = n.site ORDER BY 2, 1")
            .arg(static_cast<int>(sizeof(kCollectorApplicationPrefix)))
            .arg(kClaimLockClass)
            .arg(claims, hasSites ? QStringLiteral("UNION SELECT name FROM sites") : QString())
            .toUtf8();
    Result result(PQexec(connection, query.constData()));
    if (PQresultStatus(result.result) != PGRES_TUPLES_OK) {
        why = QString::fromUtf8(PQresultErrorMessage(result.result)).trimmed();
        PQfinish(connection);
        return false;
    }
    rows.clear();
    for (int row = 0; row < result.Rows(); ++row) {
        ClaimRow claim{result.Text(row, 0), result.Text(row, 1), result.Text(row, 2)};
        if (claim.collector.isEmpty()) {
            claim.since.clear();
        }
        rows.push_back(std::move(claim));
    }
    PQfinish(connection);
    return true;
}

QStringList ClaimsText(const std::vector<ClaimRow>& rows) {
    QStringList lines;
    QStringList free;
    for (const ClaimRow& row : rows) {
        if (row.collector.isEmpty()) {
            free << row.site;
        } else {
            lines << QStringLiteral("%1\t%2\t%3").arg(row.collector, row.since, row.site);
        }
    }
    std::sort(free.begin(), free.end());
    lines << QCoreApplication::translate("collect::Claims", "Не заняты (%1):").arg(free.size());
    for (const QString& site : free) {
        lines << QStringLiteral("\t\t") + site;
    }
    return lines;
}

SitesFileResult ReadSitesTable(const QString& url, const QString& directory) {
    SitesFileResult failed;
    QString why;
    PGconn* connection = ConnectOnce(url, why);
    if (connection == nullptr) {
        failed.errors.push_back({0, 0, why});
        return failed;
    }
    // One JSON object per row keeps each column's type (a number, a list) as the file would.
    Result result(PQexec(connection, "SELECT to_jsonb(s)::text FROM sites AS s ORDER BY s.name"));
    if (PQresultStatus(result.result) != PGRES_TUPLES_OK) {
        failed.errors.push_back(
            {0, 0,
             QCoreApplication::translate("collect::Claims", "таблица sites не читается: %1")
                 .arg(QString::fromUtf8(PQresultErrorMessage(result.result)).trimmed())});
        PQfinish(connection);
        return failed;
    }
    QJsonArray rows;
    for (int row = 0; row < result.Rows(); ++row) {
        rows.append(QJsonDocument::fromJson(QByteArray(PQgetvalue(result.result, row, 0))).object());
    }
    PQfinish(connection);
    return ParseSiteRows(rows, directory);
}

}  // namespace lumvaris::collect
