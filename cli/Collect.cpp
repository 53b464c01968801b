#include "cli/Collect.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QScopeGuard>
#include <QTcpSocket>
#include <QTimeZone>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "cli/AcceptedCalls.h"
#include "cli/Session.h"
#include "collect/Claims.h"
#include "collect/ConnectPacer.h"
#include "collect/FleetMetrics.h"
#include "collect/FleetStore.h"
#include "collect/Health.h"
#include "collect/Metrics.h"
#include "collect/MetricsServer.h"
#include "collect/Schedule.h"
#include "collect/SitesFile.h"
#include "collect/SystemdNotify.h"
#include "commands/Requests.h"
#include "commands/Text1251.h"
#include "meterdata/MeterDatabase.h"
#include "meterdata/TMatrixInterface.h"
#include "session/CallIn.h"
#include "session/ReadAll.h"
#include "session/Result.h"

namespace lumvaris::cli {
namespace {

using Clock = std::chrono::steady_clock;
using collect::Job;
using collect::PortKind;
using collect::Site;
using commands::RequestType;

constexpr int kTickMs = 1000;
// A serial port that would not open (the adapter is not plugged in) is tried again this often.
constexpr qint64 kReopenMs = 30000;

QString Hex(std::uint16_t uartId) {
    return QStringLiteral("%1").arg(uartId, 4, 16, QLatin1Char('0')).toUpper();
}

QString JobName(Job job) {
    switch (job) {
        case Job::ClockCheck:
            return QCoreApplication::translate("cli::Collect", "проверка часов");
        case Job::ReadMonths:
            return QCoreApplication::translate("cli::Collect", "чтение буферов 'последних месяцев'");
        case Job::ReadPackets:
            return QCoreApplication::translate("cli::Collect", "чтение буферов 'последних пакетов'");
    }
    return {};
}

// The command line's options as one site's Session takes them. The password file
// is read now (the sites file only checked that it can be): empty and said when it is no more.
std::optional<Options> SiteOptions(const Options& base, const Site& site, Output& output) {
    Options o = base;
    o.command = Command::Collect;
    o.port = site.port;
    o.baudRate = site.baudRate;
    o.timeoutSeconds = site.timeoutSeconds;
    o.uartId = site.uartId.value_or(o.uartId);
    o.uartIdGiven = site.uartId.has_value();
    o.site = site.name;
    o.password.reset();
    o.passwordText.clear();
    if (!site.passwordFile.isEmpty()) {
        QFile file(site.passwordFile);
        if (!file.open(QIODevice::ReadOnly)) {
            output.Message(
                QCoreApplication::translate("cli::Collect", "Участок «%1»: файл пароля «%2» не читается.")
                    .arg(site.name, site.passwordFile));
            return std::nullopt;
        }
        QByteArray line = file.readLine();
        while (line.endsWith('\n') || line.endsWith('\r')) {
            line.chop(1);
        }
        o.passwordText = QString::fromUtf8(line);
        const commands::LinkText text =
            commands::TextForLink(o.passwordText, QCoreApplication::translate("cli::Collect", "Пароль"));
        if (text.Refused()) {
            output.Message(
                QCoreApplication::translate("cli::Collect", "Участок «%1»: %2").arg(site.name, text.refusal));
            return std::nullopt;
        }
        o.password = text.bytes;
    }
    return o;
}

}  // namespace

struct Collector::Impl {
    // The job (or the identification) under way at a site: one request at a time, each step taken
    // when the last one's end is told, so that any number of sites work side by side.
    struct JobRun {
        quint64 serial = 0;      // a step told after its run ended is not the next run's
        std::optional<Job> job;  // none: the AddressRead that identifies the concentrator
        std::unique_ptr<session::IReadAllView> view;
        std::unique_ptr<session::ReadAll> readAll;
    };
    struct Unit {
        Site site;
        Options options;
        // Hangs on the session's database, so goes after it.
        std::unique_ptr<collect::FleetStore::Feed> feed;
        std::unique_ptr<Session> session;
        std::unique_ptr<JobRun> run;  // on the session's connection: declared after it, gone first
        collect::JobRecords records;
        QString state;               // as last logged
        bool identified = false;     // its UART-ID was said
        bool asked = false;          // AddressRead went out since it was connected
        bool lost = false;           // a call that ended; closed by the next tick
        bool connecting = false;     // a connection is being made, as last told
        QElapsedTimer sinceRefused;  // a port that did not open
        qint64 packetsCounted = 0;   // of the session's, already in the metrics
        qint64 recordsCounted = 0;   // of the destinations', the same
    };
    struct Call {
        std::uint16_t uartId;
        std::unique_ptr<QTcpSocket> socket;
        QByteArray rest;
    };

    Impl(const Options& o, Output& out, const QString& directory)
        : options(o),
          output(out),
          dataDirectory(directory),
          notify(collect::SystemdNotify::FromEnvironment()) {
        sinceStart.start();
        startTimer.setSingleShot(true);
        QObject::connect(&startTimer, &QTimer::timeout, [this] { StartLater(); });
    }
    ~Impl() {
        std::lock_guard lock(tableRead->mutex);
        tableRead->owner = nullptr;
    }

    const Options& options;
    Output& output;
    QString dataDirectory;
    std::map<QString, std::unique_ptr<Unit>> units;  // by site name
    std::deque<QString> startQueue;
    std::deque<Call> calls;
    std::unique_ptr<session::QtTimerFactory> timers = std::make_unique<session::QtTimerFactory>();
    std::unique_ptr<session::CallInServer> server;
    quint16 acceptPort = 0;
    collect::Metrics metrics;
    std::unique_ptr<collect::Health> health;
    std::unique_ptr<collect::LoopProbe> probe;
    std::unique_ptr<collect::MetricsServer> metricsServer;
    collect::SystemdNotify notify;
    std::unique_ptr<collect::Watchdog> watchdog;
    collect::FleetStore fleet;
    std::unique_ptr<collect::Claims> claims;  // the sites shared with other collectors
    std::map<QString, qint64> sentCounted;    // per destination, already in the metrics
    QEventLoop loop;
    QTimer tick;
    // Connections: how many at once and how fast (the sites file's [collector]), the next start
    // awaited when the pace holds the queue back.
    collect::CollectorLimits limits;
    collect::ConnectPacer pacer{limits.connectsPerSecond};
    QElapsedTimer sinceStart;
    QTimer startTimer;
    bool startPosted = false;
    quint64 runs = 0;
    bool busy = false;  // a tick runs (a close inside it may let its destinations write from a loop)
    bool reloadAsked = false;
    // The sites table read on SIGHUP, on a thread of its own: a server slow to answer must not hold
    // up the loop (nor the watchdog's pings) for the read's timeout. Its result waits here for the
    // next tick; a SIGHUP during the read reads again after it. A read still under way at the end
    // is left to itself: a server that hangs must not hang the stop. It hands its result over
    // only while `owner` is set.
    struct TableRead {
        std::mutex mutex;
        Impl* owner = nullptr;
    };
    std::shared_ptr<TableRead> tableRead = std::make_shared<TableRead>();
    bool tableReading = false;
    bool tableAgain = false;
    std::optional<collect::SitesFileResult> tableResult;
    int stopSignal = 0;

    void Say(const Unit& unit, const QString& text) {
        output.Message(
            QCoreApplication::translate("cli::Collect", "Участок «%1»: %2").arg(unit.site.name, text));
    }

    void SetState(Unit& unit, const QString& state) {
        if (unit.state != state) {
            unit.state = state;
            Say(unit, state);
        }
    }

    bool Present(const Unit& unit) const {
        return unit.session && !unit.lost && unit.session->Connection().IsOpen() &&
               unit.session->Connection().State() != session::ConnectionState::Connecting;
    }

    // A serial port lost for good: a USB adapter that did not come back within the connection's
    // minute, or a port without such a watch (a pseudo-terminal, a built-in port) that closed.
    static bool SerialGone(Session& session) {
        const session::ConnectionState state = session.Connection().State();
        return state == session::ConnectionState::AdapterGone || state == session::ConnectionState::Closed;
    }

    // First connections and retries alike.
    int Connecting() const {
        return static_cast<int>(std::count_if(units.begin(), units.end(), [](const auto& entry) {
            const Unit& unit = *entry.second;
            return unit.session && unit.session->Connection().ConnectInProgress();
        }));
    }

    std::int64_t NowUs() const { return sinceStart.nsecsElapsed() / 1000; }

    // Whether one more connection may be begun now; it takes its place in the pace when it may.
    bool MayConnect() { return Connecting() < limits.maxConnecting && pacer.TryTake(NowUs()); }

    void ApplyLimits(const collect::CollectorLimits& read) {
        limits = read;
        pacer.SetRate(limits.connectsPerSecond);
    }

    // --- starting and stopping -----------------------------------------------------------

    void Add(const Site& site) {
        const std::optional<Options> siteOptions = SiteOptions(options, site, output);
        if (!siteOptions) {
            return;
        }
        auto unit = std::make_unique<Unit>();
        unit->site = site;
        unit->options = *siteOptions;
        metrics.Set(collect::metric::kSiteConnected, {site.name}, 0);
        metrics.Add(collect::metric::kSitePackets, {site.name}, 0);
        if (site.portKind != PortKind::CallsIn) {
            if (!claims || claims->Holds(site.name)) {
                startQueue.push_back(site.name);
            } else {
                unit->state = QCoreApplication::translate("cli::Collect", "ожидание: участок не взят");
            }
        } else {
            unit->state = QCoreApplication::translate("cli::Collect", "ожидание звонка");
            Say(*unit, QCoreApplication::translate("cli::Collect", "ожидание звонка концентратора %1.")
                           .arg(Hex(*site.uartId)));
        }
        units.emplace(site.name, std::move(unit));
    }

    // Opens the destinations and the port; the connection of a network port goes on by itself.
    ExitStatus Open(Unit& unit, const QString& portName) {
        unit.session = std::make_unique<Session>(unit.options, output, dataDirectory);
        Session& session = *unit.session;
        if (!portName.isEmpty()) {
            session.SetPortName(portName);
            session.Port().SetName(portName.toStdString());
        }
        AttachFeed(unit);
        const ExitStatus status = portName.isEmpty() ? session.OpenWithoutWait() : session.Open();
        if (status != ExitStatus::Done) {
            Release(unit);
            return status;
        }
        Unit* raw = &unit;
        session.SetUartIdHook([this, raw](std::uint16_t reported) {
            raw->feed->SetUartId(reported);
            if (!std::exchange(raw->identified, true)) {
                Say(*raw, QCoreApplication::translate("cli::Collect", "концентратор опознан, UART-ID %1.")
                              .arg(Hex(reported)));
            }
        });
        session.SetStateHook([this, raw] { StateChanged(*raw); });
        // The connection's words name no site, and their advice is for one port at a desk: the
        // reason alone (in its brackets), on the site's line, beside the line of the state.
        session.SetLossHook([this, raw](const QString& message) {
            const QString first = message.section(QLatin1Char('\n'), 0, 0);
            const qsizetype open = first.indexOf(QLatin1Char('('));
            const qsizetype close = first.lastIndexOf(QLatin1Char(')'));
            Say(*raw, QCoreApplication::translate("cli::Collect", "причина потери связи: %1.")
                          .arg(open >= 0 && close > open ? first.mid(open + 1, close - open - 1) : first));
        });
        unit.packetsCounted = 0;
        unit.recordsCounted = 0;
        StateChanged(unit);
        return ExitStatus::Done;
    }

    // The site's records go into the fleet's store; its own files only when the site keeps them.
    void AttachFeed(Unit& unit) {
        meterdata::MeterDatabase& database = unit.session->Connection().Database().Meter();
        database.SetKeepsFiles(unit.site.localFiles);
        unit.feed = std::make_unique<collect::FleetStore::Feed>(fleet.Store(), unit.site.name);
        unit.feed->SetUartId(unit.options.uartId);
        database.SetFiledRecords(unit.feed.get());
    }

    void Release(Unit& unit) {
        unit.session.reset();
        unit.feed.reset();
    }

    void Start(Unit& unit) {
        unit.sinceRefused.invalidate();
        if (Open(unit, {}) != ExitStatus::Done) {
            SetState(unit,
                     QCoreApplication::translate("cli::Collect", "порт не открывается; повтор через %1 с.")
                         .arg(kReopenMs / 1000));
            unit.sinceRefused.start();
            return;
        }
        // The connection's own retries after a loss keep to the same limits as the first attempts.
        unit.session->Connection().SetConnectGate([this] { return MayConnect(); });
    }

    // Starts what waits in the queue as far as the limits allow: a serial port at once, a network
    // site while fewer than the limit are being made and the pace has room; the rest when an
    // attempt ends or the pace has room again.
    void StartWaiting() {
        int connecting = Connecting();
        std::size_t i = 0;
        while (i < startQueue.size()) {
            const auto it = units.find(startQueue[i]);
            if (it == units.end()) {
                startQueue.erase(startQueue.begin() + static_cast<std::ptrdiff_t>(i));
                continue;
            }
            Unit& unit = *it->second;
            if (unit.site.portKind == PortKind::Network) {
                if (connecting >= limits.maxConnecting) {
                    ++i;
                    continue;
                }
                if (!pacer.TryTake(NowUs())) {
                    if (!startTimer.isActive()) {
                        startTimer.start(static_cast<int>((pacer.WaitUs(NowUs()) + 999) / 1000));
                    }
                    ++i;
                    continue;
                }
                ++connecting;
            }
            startQueue.erase(startQueue.begin() + static_cast<std::ptrdiff_t>(i));
            Start(unit);
        }
    }

    // StartWaiting from the event loop, outside any socket's signal; a tick under way starts the
    // queue itself.
    void StartLater() {
        if (busy || stopSignal != 0) {
            return;
        }
        busy = true;
        const auto done = qScopeGuard([this] { busy = false; });
        StartWaiting();
    }

    void PostStart() {
        if (!std::exchange(startPosted, true)) {
            QTimer::singleShot(0, &tick, [this] {
                startPosted = false;
                StartLater();
            });
        }
    }

    void PostWork(const QString& name) {
        QTimer::singleShot(0, &tick, [this, name] {
            if (const auto it = units.find(name); it != units.end()) {
                Work(*it->second);
            }
        });
    }

    void StateChanged(Unit& unit) {
        if (!unit.session) {
            return;
        }
        session::Connection& connection = unit.session->Connection();
        const session::ConnectionState state = connection.State();
        if (unit.site.portKind == PortKind::CallsIn && state == session::ConnectionState::WaitingForNetwork) {
            // The modem calls again by itself; the connection would dial the call's name instead.
            connection.CancelAdapterWatch();
            unit.lost = true;
        }
        switch (state) {
            case session::ConnectionState::Open:
            case session::ConnectionState::OpenNotSaving:
                unit.session->ClearPortLost();
                SetState(unit,
                         QCoreApplication::translate("cli::Collect", "на связи (%1).").arg(unit.site.port));
                PostWork(unit.site.name);
                break;
            case session::ConnectionState::Connecting:
                SetState(
                    unit,
                    QCoreApplication::translate("cli::Collect", "подключение к %1…").arg(unit.site.port));
                break;
            case session::ConnectionState::WaitingForAdapter:
            case session::ConnectionState::WaitingForNetwork:
            case session::ConnectionState::AdapterGone:
                SetState(unit, QCoreApplication::translate("cli::Collect", "связь потеряна."));
                unit.asked = false;
                break;
            case session::ConnectionState::Closed:
                break;
        }
        metrics.Set(collect::metric::kSiteConnected, {unit.site.name}, Present(unit) ? 1 : 0);
        const bool connecting = connection.ConnectInProgress();
        if (std::exchange(unit.connecting, connecting) && !connecting) {
            PostStart();  // the attempt ended: the next site waiting may begin its own
        }
    }

    // Saves and closes the unit's port; what it filed is in the fleet's store.
    ExitStatus Close(Unit& unit) {
        unit.run.reset();
        if (!unit.session) {
            return ExitStatus::Done;
        }
        CountPackets(unit);
        Session& session = *unit.session;
        session.SetStateHook({});
        session.SetLossHook({});
        session.SetUartIdHook({});
        if (session.Connection().State() == session::ConnectionState::WaitingForNetwork) {
            session.Connection().CancelAdapterWatch();
        }
        const ExitStatus status = session.Close();
        Release(unit);
        unit.asked = false;
        metrics.Set(collect::metric::kSiteConnected, {unit.site.name}, 0);
        return status;
    }

    void Remove(const QString& name) {
        const auto it = units.find(name);
        if (it == units.end()) {
            return;
        }
        Close(*it->second);
        Say(*it->second, QCoreApplication::translate("cli::Collect", "снят с работы (сохранено)."));
        std::erase(startQueue, name);
        metrics.RemoveSeries("site", name);
        units.erase(it);
    }

    // --- calls --------------------------------------------------------------------------

    Unit* CallingUnit(std::uint16_t uartId) {
        for (auto& [name, unit] : units) {
            if (unit->site.portKind == PortKind::CallsIn && unit->site.uartId == uartId) {
                return unit.get();
            }
        }
        return nullptr;
    }

    void ServeCall(Call call) {
        Unit* unit = CallingUnit(call.uartId);
        if (unit == nullptr) {
            call.socket->abort();  // its site was taken out since the call was let in
            return;
        }
        if (claims && !claims->Holds(unit->site.name)) {
            // Another collector may hold the site: the call is served only once it is taken here.
            const QString name = unit->site.name;
            auto waiting = std::make_shared<Call>(std::move(call));
            claims->TryTake(name, [this, name, waiting](bool taken) {
                const auto it = units.find(name);
                if (!taken || it == units.end() || stopSignal != 0) {
                    waiting->socket->abort();
                    output.Message(
                        QCoreApplication::translate(
                            "cli::Collect", "Участок «%1»: звонок закрыт: участок держит другой сборщик.")
                            .arg(name));
                    return;
                }
                calls.push_back(std::move(*waiting));
                QTimer::singleShot(0, &tick, [this] { Tick(); });
            });
            return;
        }
        if (unit->session && !unit->lost) {
            // What the receive path has not taken yet of the old call is filed first.
            unit->session->Connection().Receiver().Step();
            unit->session->Port().Network().Adopt(std::move(call.socket), call.rest);
            Say(*unit,
                QCoreApplication::translate("cli::Collect", "концентратор позвонил снова: связь заменена."));
            return;
        }
        Close(*unit);
        unit->lost = false;
        const QString name =
            QStringLiteral("tcp://uart-%1:%2").arg(Hex(call.uartId).toLower()).arg(acceptPort);
        unit->options.port = name;
        unit->session = std::make_unique<Session>(unit->options, output, dataDirectory);
        Session& session = *unit->session;
        session.SetPortName(name);
        session.Connection().SetUartId(call.uartId);
        session.Port().SetName(name.toStdString());
        session.Port().Network().Adopt(std::move(call.socket), call.rest);
        AttachFeed(*unit);
        if (session.Open() != ExitStatus::Done) {
            Release(*unit);
            Say(*unit, QCoreApplication::translate("cli::Collect", "звонок закрыт."));
            return;
        }
        unit->feed->SetUartId(call.uartId);
        unit->identified = true;
        unit->asked = true;
        Unit* raw = unit;
        session.SetUartIdHook([raw](std::uint16_t reported) { raw->feed->SetUartId(reported); });
        session.SetLossHook([raw](const QString&) { raw->lost = true; });
        session.SetStateHook([this, raw] { StateChanged(*raw); });
        unit->packetsCounted = 0;
        unit->recordsCounted = 0;
        unit->state.clear();
        SetState(*unit, QCoreApplication::translate("cli::Collect", "на связи (звонок концентратора %1).")
                            .arg(Hex(call.uartId)));
        metrics.Set(collect::metric::kSiteConnected, {unit->site.name}, 1);
    }

    std::set<std::uint16_t> CallingIds() const {
        std::set<std::uint16_t> ids;
        for (const auto& [name, unit] : units) {
            if (unit->site.portKind == PortKind::CallsIn) {
                ids.insert(*unit->site.uartId);
            }
        }
        return ids;
    }

    // --- the schedule -------------------------------------------------------------------

    void CountPackets(Unit& unit) {
        if (!unit.session) {
            return;
        }
        const qint64 heard = unit.session->PacketsHeard();
        if (heard > unit.packetsCounted) {
            metrics.Add(collect::metric::kSitePackets, {unit.site.name},
                        static_cast<double>(heard - unit.packetsCounted));
            metrics.Set(collect::metric::kSiteLastPacket, {unit.site.name},
                        static_cast<double>(QDateTime::currentSecsSinceEpoch()));
            if (health) {
                health->SiteHeard();
            }
            unit.packetsCounted = heard;
        }
        const qint64 filed = unit.feed ? unit.feed->Added() : 0;
        if (filed > unit.recordsCounted) {
            metrics.Add(collect::metric::kSiteRecordsFiled, {unit.site.name},
                        static_cast<double>(filed - unit.recordsCounted));
            unit.recordsCounted = filed;
        }
    }

    void CountDestinations() {
        for (const collect::FleetStore::DestinationState& d : fleet.Destinations()) {
            metrics.Set(collect::metric::kDestinationQueued, {d.url}, static_cast<double>(d.queued));
            qint64& counted = sentCounted[d.url];
            metrics.Add(collect::metric::kDestinationSent, {d.url}, static_cast<double>(d.sent - counted));
            counted = d.sent;
        }
    }

    mqtt::MqttOptions BrokerOptions() const {
        mqtt::MqttOptions broker;
        broker.CaFile = options.mqttCa;
        broker.PasswordFile = options.mqttPasswordFile;
        return broker;
    }

    void CountRequest(Unit& unit, ExitStatus status) {
        collect::RequestOutcome outcome = collect::RequestOutcome::Answered;
        if (status == ExitStatus::NoReply) {
            outcome = collect::RequestOutcome::NoReply;
        } else if (status == ExitStatus::Refused) {
            outcome = collect::RequestOutcome::Refused;
        } else if (status != ExitStatus::Done) {
            return;
        }
        metrics.Add(collect::metric::kSiteRequests, {unit.site.name, collect::OutcomeLabel(outcome)});
    }

    // --- the jobs -----------------------------------------------------------------------

    JobRun& NewRun(Unit& unit, std::optional<Job> job) {
        unit.run = std::make_unique<JobRun>();
        unit.run->serial = ++runs;
        unit.run->job = job;
        return *unit.run;
    }

    // Sends one request of the unit's run; `next` goes on from its status unless the run ended
    // meanwhile (the site was closed, a stop came).
    void Send(Unit& unit, const commands::Request& request, std::function<void(Unit&, ExitStatus)> next) {
        Unit* raw = &unit;  // the callback lives in the unit's session and dies with it
        const quint64 serial = unit.run->serial;
        QElapsedTimer sent;
        sent.start();
        unit.session->RequestAsync(
            request, [this, raw, serial, sent, next = std::move(next)](ExitStatus status) {
                CountRequest(*raw, status);
                if (status == ExitStatus::Done) {
                    metrics.Observe(collect::metric::kSiteReplySeconds, {raw->site.name},
                                    static_cast<double>(sent.elapsed()) / 1000.0);
                }
                if (stopSignal == 0 && raw->run && raw->run->serial == serial) {
                    next(*raw, status);
                }
            });
    }

    // Starts what the site has to do next, if it is free and something is due: the AddressRead
    // after each connection (its reply stamps the readings with the concentrator's own UART-ID),
    // then the first job due.
    void Work(Unit& unit) {
        if (stopSignal != 0 || unit.run || !Present(unit) ||
            unit.session->Connection().Requester().WaitInProgress()) {
            return;
        }
        if (!unit.asked) {
            // No reply is no reason to stop; it is asked again after its next loss.
            unit.asked = true;
            NewRun(unit, std::nullopt);
            Send(unit, commands::request::Plain(RequestType::AddressRead), [this](Unit& u, ExitStatus) {
                u.run.reset();
                Work(u);
            });
            return;
        }
        const collect::JobsDue due =
            collect::DueJobs(unit.site, true, QDateTime::currentDateTime(), unit.records);
        if (due.due.empty()) {
            return;
        }
        // Taken over from another collector: what the concentrator heard meanwhile is in its buffers,
        // read before anything else.
        const bool owed = unit.records[Job::ReadPackets].owed &&
                          std::find(due.due.begin(), due.due.end(), Job::ReadPackets) != due.due.end();
        StartJob(unit, owed ? Job::ReadPackets : due.due.front());
    }

    void StartJob(Unit& unit, Job job) {
        NewRun(unit, job);
        Say(unit, QCoreApplication::translate("cli::Collect", "задание «%1» начато.").arg(JobName(job)));
        if (job == Job::ClockCheck) {
            Send(unit, commands::request::Plain(RequestType::ClockRead),
                 [this](Unit& u, ExitStatus status) { ClockRead(u, status); });
            return;
        }
        // The network size first: the read goes by it.
        Send(unit, commands::request::Plain(RequestType::ConfigRead), [this](Unit& u, ExitStatus status) {
            if (status != ExitStatus::Done) {
                Finish(u, std::nullopt);
            } else {
                ReadBuffers(u);
            }
        });
    }

    void ClockRead(Unit& unit, ExitStatus status) {
        if (status != ExitStatus::Done) {
            Finish(unit, std::nullopt);
            return;
        }
        qint64 offset = 0;
        for (const ShownValue& value : unit.session->Recorder().Shown()) {
            if (value.key == QLatin1String("clock_offset_seconds")) {
                offset = value.json.toInteger();
            }
        }
        const int limit = unit.site.schedule.clockSetWhenOffBySeconds;
        if (limit <= 0 || std::abs(offset) <= limit) {
            Finish(unit, QCoreApplication::translate("cli::Collect", "отклонение часов %1 с").arg(offset));
            return;
        }
        const meterdata::SystemClock clock;
        Send(unit, commands::request::ClockWrite(commands::ClockRecord::FromDateTime(clock.Now())),
             [this, offset](Unit& u, ExitStatus written) {
                 Finish(u, written != ExitStatus::Done
                               ? std::nullopt
                               : std::optional<QString>(
                                     QCoreApplication::translate(
                                         "cli::Collect",
                                         "отклонение часов %1 с: часы установлены по часам компьютера")
                                         .arg(offset)));
             });
    }

    void ReadBuffers(Unit& unit) {
        Session& session = *unit.session;
        session::Connection& c = session.Connection();
        const meterdata::TMatrixInterface* net = c.Database().Meter().NetStore();
        const int meters = net != nullptr ? net->ColCount() - 1 : 0;
        JobRun& run = *unit.run;
        // Told from inside the read: its end is taken from the event loop, where the read may go.
        struct Finished final : session::IReadAllView {
            std::function<void()> told;
            void ReadAllFinished(const commands::ReadAllLoop&) override { told(); }
        };
        auto view = std::make_unique<Finished>();
        view->told = [this, name = unit.site.name, serial = run.serial] {
            QTimer::singleShot(0, &tick, [this, name, serial] {
                const auto it = units.find(name);
                if (stopSignal == 0 && it != units.end() && it->second->run &&
                    it->second->run->serial == serial) {
                    BuffersRead(*it->second);
                }
            });
        };
        run.readAll = std::make_unique<session::ReadAll>(
            c.Sender(), c.Requester(), c.Replies(), c, session.Timers(),
            [](const std::function<void()>& step) { session::Result::Catching(step); });
        run.readAll->SetView(view.get());
        run.view = std::move(view);
        const RequestType buffer =
            run.job == Job::ReadMonths ? RequestType::MonthBufferRead : RequestType::PacketBufferRead;
        if (meters <= 0 || !run.readAll->Start(buffer, 1, meters, session::ReadAllPace::Reply)) {
            Say(unit, QCoreApplication::translate("cli::Collect", "%1: в сети концентратора нет счётчиков.")
                          .arg(JobName(*run.job)));
            Finish(unit, std::nullopt);
        }
    }

    void BuffersRead(Unit& unit) {
        Session& session = *unit.session;
        session::ReadAll& readAll = *unit.run->readAll;
        readAll.Stop();
        const commands::ReadAllLoop& done = readAll.Loop();
        metrics.Add(collect::metric::kSiteRequests,
                    {unit.site.name, collect::OutcomeLabel(collect::RequestOutcome::Answered)},
                    done.Sent() - done.WithoutReply());
        metrics.Add(collect::metric::kSiteRequests,
                    {unit.site.name, collect::OutcomeLabel(collect::RequestOutcome::NoReply)},
                    done.WithoutReply());
        const QString summary = done.SummaryText();
        if (!session.Connection().IsOpen() || session.PortLost() || done.WithoutReply() > 0) {
            Say(unit, summary);
            Finish(unit, std::nullopt);
            return;
        }
        Finish(unit, summary);
    }

    // The end of the unit's job: done (with a text of what was done) or failed (its message said).
    void Finish(Unit& unit, std::optional<QString> done) {
        const Job job = *unit.run->job;
        unit.run.reset();
        const QDateTime end = QDateTime::currentDateTime();
        if (done) {
            collect::RecordDone(unit.records[job], end);
            Say(unit, QCoreApplication::translate("cli::Collect", "задание «%1» выполнено: %2")
                          .arg(JobName(job), *done));
        } else {
            collect::RecordFailed(unit.records[job], end);
            Say(unit,
                QCoreApplication::translate("cli::Collect", "задание «%1» не выполнено; повтор через %2 с.")
                    .arg(JobName(job))
                    .arg(collect::RetryDelaySeconds(unit.records[job].failures)));
        }
        metrics.Add(collect::metric::kSiteJobs, {unit.site.name, collect::JobLabel(job),
                                                 done ? QStringLiteral("ok") : QStringLiteral("failed")});
        Work(unit);
    }

    void Tick() {
        // A reload or a start from inside a site's signal would change the sites under the caller:
        // the tick and the starts run one at a time, from the event loop.
        if (busy || stopSignal != 0) {
            return;
        }
        busy = true;
        const auto done = qScopeGuard([this] { busy = false; });
        if (reloadAsked) {
            reloadAsked = false;
            Reload();
        }
        if (tableResult) {
            const collect::SitesFileResult read = std::move(*tableResult);
            tableResult.reset();
            Apply(read);
            if (std::exchange(tableAgain, false)) {
                ReadTableLater();
            }
        }
        while (!calls.empty()) {
            Call call = std::move(calls.front());
            calls.pop_front();
            ServeCall(std::move(call));
        }
        for (auto& [name, unit] : units) {
            if (unit->lost) {
                Close(*unit);
                unit->lost = false;
                SetState(*unit, QCoreApplication::translate("cli::Collect",
                                                            "связь потеряна; ожидание следующего звонка."));
                if (claims) {
                    claims->Release(name);  // the next call may reach another collector
                }
            }
            if (unit->session && unit->site.portKind == PortKind::Serial && SerialGone(*unit->session)) {
                // Saved, and the port tried again from time to time, as one that never opened.
                Close(*unit);
                SetState(*unit,
                         QCoreApplication::translate("cli::Collect", "связь потеряна; повтор через %1 с.")
                             .arg(kReopenMs / 1000));
                unit->sinceRefused.start();
            }
            if (!unit->session && unit->sinceRefused.isValid() && unit->sinceRefused.elapsed() >= kReopenMs &&
                std::find(startQueue.begin(), startQueue.end(), name) == startQueue.end()) {
                unit->sinceRefused.invalidate();
                startQueue.push_back(name);
            }
            CountPackets(*unit);
        }
        CountDestinations();
        StartWaiting();
        // Each site's jobs on their own; a site at work is passed over.
        for (auto& [name, unit] : units) {
            Work(*unit);
        }
    }

    // --- sites shared with other collectors ------------------------------------------------

    void StartClaims(const std::vector<Site>& sites) {
        collect::ClaimsSettings settings;
        settings.url = options.claimUrl;
        settings.collector = options.collectorName;
        settings.maxSites = options.maxSites;
        settings.sites = SiteNames(sites);
        claims = std::make_unique<collect::Claims>(settings);
        QObject::connect(
            claims.get(), &collect::Claims::Taken, [this](const QString& name, const QString& previous) {
                const auto it = units.find(name);
                if (it == units.end()) {
                    return;
                }
                Unit& unit = *it->second;
                output.Message(
                    previous.isEmpty() || previous == claims->Collector()
                        ? QCoreApplication::translate("cli::Collect", "Участок «%1»: взят.").arg(name)
                        : QCoreApplication::translate("cli::Collect", "Участок «%1»: взят у сборщика «%2».")
                              .arg(name, previous));
                // A gap may lie behind, unless the site was never held by anyone.
                unit.records[Job::ReadPackets].owed = !previous.isEmpty();
                if (unit.site.portKind != PortKind::CallsIn && !unit.session &&
                    std::find(startQueue.begin(), startQueue.end(), name) == startQueue.end()) {
                    startQueue.push_back(name);
                    PostStart();
                }
            });
        QObject::connect(claims.get(), &collect::Claims::Lost, [this](const QString& name) {
            if (const auto it = units.find(name); it != units.end()) {
                LetGo(*it->second, QCoreApplication::translate("cli::Collect", "отдан другому сборщику."));
            }
        });
        QObject::connect(claims.get(), &collect::Claims::AllLost, [this](const QString& why) {
            output.Message(QCoreApplication::translate(
                               "cli::Collect",
                               "Связи с базой сборщиков нет (%1): опрос всех участков остановлен до "
                               "её восстановления.")
                               .arg(why));
            for (auto& [name, unit] : units) {
                LetGo(*unit, QCoreApplication::translate("cli::Collect",
                                                         "не опрашивается: связи с базой сборщиков нет."));
            }
        });
        QObject::connect(claims.get(), &collect::Claims::SessionUp, [this] {
            output.Message(
                QCoreApplication::translate("cli::Collect", "База сборщиков на связи: участки делятся."));
        });
        claims->Start();
    }

    static QStringList SiteNames(const std::vector<Site>& sites) {
        QStringList names;
        for (const Site& site : sites) {
            names << site.name;
        }
        return names;
    }

    // A site no longer held here: closed at once (saved), and not started again until taken.
    void LetGo(Unit& unit, const QString& why) {
        std::erase(startQueue, unit.site.name);
        unit.sinceRefused.invalidate();
        unit.records[Job::ReadPackets].owed = false;
        if (!unit.session) {
            return;
        }
        const bool call = unit.site.portKind == PortKind::CallsIn;
        Close(unit);
        unit.lost = false;
        SetState(unit, why);
        if (call && claims) {
            claims->Release(unit.site.name);
        }
    }

    // --- the file -----------------------------------------------------------------------

    QString Source() const {
        return options.sitesFile.isEmpty() ? QStringLiteral("sites") : options.sitesFile;
    }

    // The sites file, or the sites table of the collectors' database when no file is given (read
    // through a short session of its own, which blocks: at most its connection's timeout).
    collect::SitesFileResult ReadNow() const {
        return options.sitesFile.isEmpty() ? collect::ReadSitesTable(options.claimUrl, QDir::currentPath())
                                           : collect::ReadSitesFile(options.sitesFile);
    }

    // The sites of what was read, or nothing when it does not validate (every error said).
    std::optional<std::vector<Site>> Accept(const collect::SitesFileResult& read) {
        const QString source = Source();
        if (!read.Ok()) {
            for (const QString& line : read.Messages(source)) {
                output.Message(line);
            }
            return std::nullopt;
        }
        const bool callsIn = std::any_of(read.sites.begin(), read.sites.end(),
                                         [](const Site& site) { return site.portKind == PortKind::CallsIn; });
        if (callsIn && !options.accept) {
            output.Message(
                QCoreApplication::translate(
                    "cli::Collect", "%1: участки calls-in звонят сборщику: нужен --accept [АДРЕС:]ПОРТ.")
                    .arg(source));
            return std::nullopt;
        }
        ApplyLimits(read.limits);
        return read.sites;
    }

    void ReadTableLater() {
        if (std::exchange(tableReading, true)) {
            tableAgain = true;
            return;
        }
        {
            std::lock_guard lock(tableRead->mutex);
            tableRead->owner = this;
        }
        std::thread([state = tableRead, url = options.claimUrl, directory = QDir::currentPath()] {
            collect::SitesFileResult read = collect::ReadSitesTable(url, directory);
            std::lock_guard lock(state->mutex);
            if (Impl* owner = state->owner) {
                QMetaObject::invokeMethod(
                    &owner->tick,
                    [owner, read = std::move(read)]() mutable {
                        owner->tableReading = false;
                        owner->tableResult = std::move(read);
                        owner->Tick();
                    },
                    Qt::QueuedConnection);
            }
        }).detach();
    }

    void Reload() {
        output.Message(
            options.sitesFile.isEmpty()
                ? QCoreApplication::translate("cli::Collect", "SIGHUP: таблица участков перечитывается.")
                : QCoreApplication::translate("cli::Collect", "SIGHUP: файл участков %1 перечитывается.")
                      .arg(options.sitesFile));
        if (options.sitesFile.isEmpty()) {
            ReadTableLater();
            return;
        }
        Apply(ReadNow());
    }

    void Apply(const collect::SitesFileResult& read) {
        const std::optional<std::vector<Site>> sites = Accept(read);
        if (!sites) {
            output.Message(QCoreApplication::translate(
                "cli::Collect", "Файл участков не принят: участки работают, как прежде."));
            return;
        }
        std::set<QString> names;
        for (const Site& site : *sites) {
            names.insert(site.name);
        }
        std::vector<QString> gone;
        for (const auto& [name, unit] : units) {
            if (!names.contains(name)) {
                gone.push_back(name);
            }
        }
        for (const QString& name : gone) {
            Remove(name);
        }
        int added = 0;
        int changed = 0;
        for (const Site& site : *sites) {
            const auto it = units.find(site.name);
            if (it != units.end()) {
                Site was = it->second->site;
                was.line = site.line;  // a site moved in the file is the same site
                if (was == site) {
                    it->second->site.line = site.line;
                    continue;
                }
                const collect::JobRecords records = it->second->records;
                Remove(site.name);
                Add(site);
                if (const auto again = units.find(site.name); again != units.end()) {
                    again->second->records = records;
                }
                ++changed;
            } else {
                Add(site);
                ++added;
            }
        }
        if (server) {
            server->SetAllowed(CallingIds());
        }
        fleet.SetSites(*sites, BrokerOptions());
        if (claims) {
            claims->SetSites(SiteNames(*sites));
        }
        output.Message(QCoreApplication::translate(
                           "cli::Collect", "Файл участков принят: добавлено %1, снято %2, изменено %3.")
                           .arg(added)
                           .arg(gone.size())
                           .arg(changed));
    }

    ExitStatus Run() {
        const std::optional<std::vector<Site>> sites = Accept(ReadNow());
        if (!sites) {
            return ExitStatus::Usage;
        }
        QString storeError;
        if (!fleet.Open(dataDirectory, storeError)) {
            output.Message(storeError);
            return ExitStatus::FileError;
        }
        QObject::connect(&fleet, &collect::FleetStore::Message,
                         [this](const QString& text) { output.Message(text); });
        fleet.SetSites(*sites, BrokerOptions());
        if (options.metrics) {
            collect::DeclareFleetMetrics(metrics);
            health = std::make_unique<collect::Health>(10, limits.unhealthyWhenSilentSeconds);
            probe = std::make_unique<collect::LoopProbe>(*health, metrics);
            collect::MetricsServerOptions serverOptions;
            serverOptions.address = options.metrics->address;
            serverOptions.port = options.metrics->port;
            metricsServer = std::make_unique<collect::MetricsServer>(
                metrics, *health, serverOptions, [this] { collect::UpdateProcessMetrics(metrics); });
            QString error;
            if (!metricsServer->Start(error)) {
                output.Message(error);
                return ExitStatus::PortNotOpened;
            }
            output.Message(QCoreApplication::translate("cli::Collect", "Метрики: http://%1:%2/metrics")
                               .arg(options.metrics->address.toString())
                               .arg(metricsServer->Port()));
        }
        if (options.accept) {
            server = std::make_unique<session::CallInServer>(*timers);
            server->SetAllowed({});
            server->SetLog([this](const QString& line) { output.Message(line); });
            server->SetHandOver(
                [this](std::uint16_t uartId, std::unique_ptr<QTcpSocket> socket, QByteArray rest) {
                    calls.push_back(Call{uartId, std::move(socket), std::move(rest)});
                    QTimer::singleShot(0, &tick, [this] { Tick(); });
                });
            if (const session::Result listening = server->Listen(*options.accept); !listening.IsDone()) {
                output.Message(listening.Message());
                return ExitStatus::PortNotOpened;
            }
            acceptPort = server->ListeningPort();
            output.Message(
                QCoreApplication::translate("cli::Collect", "Ожидание звонков концентраторов на %1:%2.")
                    .arg(options.accept->address.toString())
                    .arg(acceptPort));
        }
        if (!options.claimUrl.isEmpty()) {
            StartClaims(*sites);
        }
        for (const Site& site : *sites) {
            Add(site);
        }
        if (server) {
            server->SetAllowed(CallingIds());
        }
        QObject::connect(&tick, &QTimer::timeout, [this] { Tick(); });
        tick.start(kTickMs);
        Tick();
        output.Message(
            QCoreApplication::translate("cli::Collect",
                                        "Сборщик запущен: участков %1, данные в %2 (конец: SIGTERM; SIGHUP - "
                                        "перечитать файл участков).")
                .arg(units.size())
                .arg(dataDirectory));
        notify.Ready();
        if (const std::chrono::milliseconds interval = collect::WatchdogIntervalFromEnvironment();
            interval.count() > 0) {
            watchdog = std::make_unique<collect::Watchdog>(notify, *timers, interval);
        }
        if (stopSignal == 0) {
            loop.exec();
        }
        notify.Stopping();
        tick.stop();
        if (server) {
            server->Close();
        }
        calls.clear();
        ExitStatus status = ExitStatus::Done;
        for (auto& [name, unit] : units) {
            status = Worse(status, Close(*unit));
        }
        units.clear();
        // Only now may another collector take the sites: none is polled here any more.
        claims.reset();
        for (const collect::FleetStore::Unsent& unsent : fleet.Stop(collect::FleetStore::kStopWait)) {
            output.Message(QCoreApplication::translate(
                               "cli::Collect",
                               "%1 «%2» не принял показаний: %3. Они ждут в хранилище «%4» и будут "
                               "отправлены при следующем запуске сборщика.")
                               .arg(unsent.broker ? QCoreApplication::translate("cli::Collect", "Брокер MQTT")
                                                  : QCoreApplication::translate("cli::Collect", "Адрес"),
                                    unsent.url)
                               .arg(unsent.records)
                               .arg(QDir::toNativeSeparators(fleet.Store().FileName())));
        }
        // The destinations' last messages, sent from their worker threads.
        QCoreApplication::sendPostedEvents();
        output.Message(QCoreApplication::translate("cli::Collect", "Сборщик остановлен: всё сохранено."));
        return stopSignal == SIGINT ? Worse(status, ExitStatus::Interrupted) : status;
    }

    void Signal(int signal) {
        if (signal == SIGHUP) {
            reloadAsked = true;
            QTimer::singleShot(0, &tick, [this] { Tick(); });
            return;
        }
        stopSignal = signal;
        for (auto& [name, unit] : units) {
            if (unit->session) {
                unit->session->Stop(signal);
            }
        }
        loop.quit();
    }
};

Collector::Collector(const Options& options, Output& output, const QString& dataDirectory)
    : impl_(std::make_unique<Impl>(options, output, dataDirectory)) {}

Collector::~Collector() = default;

ExitStatus Collector::Run() {
    return impl_->Run();
}

void Collector::Signal(int signal) {
    impl_->Signal(signal);
}

}  // namespace lumvaris::cli
