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
#include <optional>
#include <set>

#include "cli/AcceptedCalls.h"
#include "cli/DataSinks.h"
#include "cli/Session.h"
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
// Connections being made at once; the others wait their turn, so that a restart of a collector
// with a thousand network sites does not open a thousand sockets in the same second.
constexpr int kMaxConnecting = 8;
// A serial port that would not open (the adapter is not plugged in) is tried again this often.
constexpr qint64 kReopenMs = 30000;

QString Hex(std::uint16_t uartId) {
    return QStringLiteral("%1").arg(uartId, 4, 16, QLatin1Char('0')).toUpper();
}

QString JobName(Job job) {
    switch (job) {
        case Job::ClockCheck:
            return QStringLiteral("проверка часов");
        case Job::ReadMonths:
            return QStringLiteral("чтение буферов 'последних месяцев'");
        case Job::ReadPackets:
            return QStringLiteral("чтение буферов 'последних пакетов'");
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
            output.Message(QStringLiteral("Участок «%1»: файл пароля «%2» не читается.")
                               .arg(site.name, site.passwordFile));
            return std::nullopt;
        }
        QByteArray line = file.readLine();
        while (line.endsWith('\n') || line.endsWith('\r')) {
            line.chop(1);
        }
        o.passwordText = QString::fromUtf8(line);
        const commands::LinkText text = commands::TextForLink(o.passwordText, QStringLiteral("Пароль"));
        if (text.Refused()) {
            output.Message(QStringLiteral("Участок «%1»: %2").arg(site.name, text.refusal));
            return std::nullopt;
        }
        o.password = text.bytes;
    }
    return o;
}

}  // namespace

struct Collector::Impl {
    struct Unit {
        Site site;
        Options options;
        // Hangs on the session's database, so goes after it.
        std::unique_ptr<collect::FleetStore::Feed> feed;
        std::unique_ptr<Session> session;
        collect::JobRecords records;
        QString state;               // as last logged
        bool identified = false;     // its UART-ID was said
        bool asked = false;          // AddressRead went out since it was connected
        bool lost = false;           // a call that ended; closed by the next tick
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
          notify(collect::SystemdNotify::FromEnvironment()) {}

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
    std::map<QString, qint64> sentCounted;  // per destination, already in the metrics
    QEventLoop loop;
    QTimer tick;
    bool busy = false;  // a tick runs (a job may wait for its replies inside it)
    bool reloadAsked = false;
    int stopSignal = 0;

    void Say(const Unit& unit, const QString& text) {
        output.Message(QStringLiteral("Участок «%1»: %2").arg(unit.site.name, text));
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

    int Connecting() const {
        return static_cast<int>(std::count_if(units.begin(), units.end(), [](const auto& entry) {
            const Unit& unit = *entry.second;
            return unit.session && unit.session->Connection().State() == session::ConnectionState::Connecting;
        }));
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
            startQueue.push_back(site.name);
        } else {
            unit->state = QStringLiteral("ожидание звонка");
            Say(*unit, QStringLiteral("ожидание звонка концентратора %1.").arg(Hex(*site.uartId)));
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
                Say(*raw, QStringLiteral("концентратор опознан, UART-ID %1.").arg(Hex(reported)));
            }
        });
        session.SetStateHook([this, raw] { StateChanged(*raw); });
        // The connection's words name no site, and their advice is for one port at a desk: the
        // reason alone (in its brackets), on the site's line, beside the line of the state.
        session.SetLossHook([this, raw](const QString& message) {
            const QString first = message.section(QLatin1Char('\n'), 0, 0);
            const qsizetype open = first.indexOf(QLatin1Char('('));
            const qsizetype close = first.lastIndexOf(QLatin1Char(')'));
            Say(*raw, QStringLiteral("причина потери связи: %1.")
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
            SetState(unit, QStringLiteral("порт не открывается; повтор через %1 с.").arg(kReopenMs / 1000));
            unit.sinceRefused.start();
        }
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
                SetState(unit, QStringLiteral("на связи (%1).").arg(unit.site.port));
                break;
            case session::ConnectionState::Connecting:
                SetState(unit, QStringLiteral("подключение к %1…").arg(unit.site.port));
                break;
            case session::ConnectionState::WaitingForAdapter:
            case session::ConnectionState::WaitingForNetwork:
            case session::ConnectionState::AdapterGone:
                SetState(unit, QStringLiteral("связь потеряна."));
                unit.asked = false;
                break;
            case session::ConnectionState::Closed:
                break;
        }
        metrics.Set(collect::metric::kSiteConnected, {unit.site.name}, Present(unit) ? 1 : 0);
    }

    // Saves and closes the unit's port; what it filed is in the fleet's store.
    ExitStatus Close(Unit& unit) {
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
        Say(*it->second, QStringLiteral("снят с работы (сохранено)."));
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
        if (unit->session && !unit->lost) {
            // What the receive path has not taken yet of the old call is filed first.
            unit->session->Connection().Receiver().Step();
            unit->session->Port().Network().Adopt(std::move(call.socket), call.rest);
            Say(*unit, QStringLiteral("концентратор позвонил снова: связь заменена."));
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
            Say(*unit, QStringLiteral("звонок закрыт."));
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
        SetState(*unit, QStringLiteral("на связи (звонок концентратора %1).").arg(Hex(call.uartId)));
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

    ExitStatus Request(Unit& unit, const commands::Request& request) {
        const ExitStatus status = unit.session->Request(request);
        CountRequest(unit, status);
        return status;
    }

    // One job, its replies awaited here (the other sites are served meanwhile by the same loop).
    // A text of what was done, or nothing when it failed (its message said).
    std::optional<QString> RunJob(Unit& unit, Job job) {
        Session& session = *unit.session;
        session::Connection& c = session.Connection();
        if (job == Job::ClockCheck) {
            if (Request(unit, commands::request::Plain(RequestType::ClockRead)) != ExitStatus::Done) {
                return std::nullopt;
            }
            qint64 offset = 0;
            for (const ShownValue& value : session.Recorder().Shown()) {
                if (value.key == QLatin1String("clock_offset_seconds")) {
                    offset = value.json.toInteger();
                }
            }
            const int limit = unit.site.schedule.clockSetWhenOffBySeconds;
            if (limit <= 0 || std::abs(offset) <= limit) {
                return QStringLiteral("отклонение часов %1 с").arg(offset);
            }
            const meterdata::SystemClock clock;
            if (Request(unit, commands::request::ClockWrite(
                                  commands::ClockRecord::FromDateTime(clock.Now()))) != ExitStatus::Done) {
                return std::nullopt;
            }
            return QStringLiteral("отклонение часов %1 с: часы установлены по часам компьютера").arg(offset);
        }
        // The network size first: the read goes by it.
        if (Request(unit, commands::request::Plain(RequestType::ConfigRead)) != ExitStatus::Done) {
            return std::nullopt;
        }
        const meterdata::TMatrixInterface* net = c.Database().Meter().NetStore();
        const int meters = net != nullptr ? net->ColCount() - 1 : 0;
        session::ReadAll readAll(c.Sender(), c.Requester(), c.Replies(), c, session.Timers(),
                                 [](const std::function<void()>& step) { session::Result::Catching(step); });
        struct Finished final : session::IReadAllView {
            Session& session;
            explicit Finished(Session& s) : session(s) {}
            void ReadAllFinished(const commands::ReadAllLoop&) override { session.Wake(); }
        } finished(session);
        readAll.SetView(&finished);
        const RequestType buffer =
            job == Job::ReadMonths ? RequestType::MonthBufferRead : RequestType::PacketBufferRead;
        if (meters <= 0 || !readAll.Start(buffer, 1, meters, session::ReadAllPace::Reply)) {
            Say(unit, QStringLiteral("%1: в сети концентратора нет счётчиков.").arg(JobName(job)));
            return std::nullopt;
        }
        session.Wait([&readAll] { return !readAll.Running(); });
        readAll.Stop();
        const commands::ReadAllLoop& done = readAll.Loop();
        metrics.Add(collect::metric::kSiteRequests,
                    {unit.site.name, collect::OutcomeLabel(collect::RequestOutcome::Answered)},
                    done.Sent() - done.WithoutReply());
        metrics.Add(collect::metric::kSiteRequests,
                    {unit.site.name, collect::OutcomeLabel(collect::RequestOutcome::NoReply)},
                    done.WithoutReply());
        if (!c.IsOpen() || session.PortLost() || done.WithoutReply() > 0 || session.StopSignal() != 0) {
            Say(unit, done.SummaryText());
            return std::nullopt;
        }
        return done.SummaryText();
    }

    // The first job due of one site, if any; true when one ran.
    bool RunDue(Unit& unit) {
        const QDateTime now = QDateTime::currentDateTime();
        const collect::JobsDue due = collect::DueJobs(unit.site, Present(unit), now, unit.records);
        if (due.due.empty()) {
            return false;
        }
        const Job job = due.due.front();
        const std::optional<QString> done = RunJob(unit, job);
        if (stopSignal != 0 || !unit.session) {
            return true;  // the end came meanwhile: the job counts as not tried
        }
        const QDateTime end = QDateTime::currentDateTime();
        if (done) {
            collect::RecordDone(unit.records[job], end);
            Say(unit, QStringLiteral("задание «%1» выполнено: %2").arg(JobName(job), *done));
        } else {
            collect::RecordFailed(unit.records[job], end);
            Say(unit, QStringLiteral("задание «%1» не выполнено; повтор через %2 с.")
                          .arg(JobName(job))
                          .arg(collect::RetryDelaySeconds(unit.records[job].failures)));
        }
        metrics.Add(collect::metric::kSiteJobs, {unit.site.name, collect::JobLabel(job),
                                                 done ? QStringLiteral("ok") : QStringLiteral("failed")});
        return true;
    }

    // Asks a concentrator that has not said its address yet: its reply stamps the readings with
    // its own UART-ID. No reply is no reason to stop; it is asked again after its next loss.
    void Identify(Unit& unit) {
        unit.asked = true;
        Request(unit, commands::request::Plain(RequestType::AddressRead));
    }

    void Tick() {
        // A job waits for its replies in a loop inside this one, and a close lets its destinations
        // write from one: neither may see the sites change under it.
        if (busy || stopSignal != 0) {
            return;
        }
        busy = true;
        const auto done = qScopeGuard([this] { busy = false; });
        if (reloadAsked) {
            reloadAsked = false;
            Reload();
        }
        while (!calls.empty()) {
            Call call = std::move(calls.front());
            calls.pop_front();
            ServeCall(std::move(call));
        }
        while (!startQueue.empty() && Connecting() < kMaxConnecting) {
            const auto it = units.find(startQueue.front());
            startQueue.pop_front();
            if (it != units.end()) {
                Start(*it->second);
            }
        }
        for (auto& [name, unit] : units) {
            if (unit->lost) {
                Close(*unit);
                unit->lost = false;
                SetState(*unit, QStringLiteral("связь потеряна; ожидание следующего звонка."));
            }
            if (unit->session && unit->site.portKind == PortKind::Serial && SerialGone(*unit->session)) {
                // Saved, and the port tried again from time to time, as one that never opened.
                Close(*unit);
                SetState(*unit, QStringLiteral("связь потеряна; повтор через %1 с.").arg(kReopenMs / 1000));
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
        // One request at a time per concentrator; here, for now, one job at a time in all.
        for (auto& [name, unit] : units) {
            if (stopSignal != 0 || reloadAsked) {
                break;
            }
            if (!Present(*unit)) {
                continue;
            }
            if (!unit->asked) {
                Identify(*unit);
                break;
            }
            if (RunDue(*unit)) {
                break;
            }
        }
    }

    // --- the file -----------------------------------------------------------------------

    std::optional<std::vector<Site>> Read() {
        const collect::SitesFileResult read = collect::ReadSitesFile(options.sitesFile);
        if (!read.Ok()) {
            for (const QString& line : read.Messages(options.sitesFile)) {
                output.Message(line);
            }
            return std::nullopt;
        }
        const bool callsIn = std::any_of(read.sites.begin(), read.sites.end(),
                                         [](const Site& site) { return site.portKind == PortKind::CallsIn; });
        if (callsIn && !options.accept) {
            output.Message(
                QStringLiteral("%1: участки calls-in звонят сборщику: нужен --accept [АДРЕС:]ПОРТ.")
                    .arg(options.sitesFile));
            return std::nullopt;
        }
        return read.sites;
    }

    void Reload() {
        output.Message(QStringLiteral("SIGHUP: файл участков %1 перечитывается.").arg(options.sitesFile));
        const std::optional<std::vector<Site>> sites = Read();
        if (!sites) {
            output.Message(QStringLiteral("Файл участков не принят: участки работают, как прежде."));
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
        output.Message(QStringLiteral("Файл участков принят: добавлено %1, снято %2, изменено %3.")
                           .arg(added)
                           .arg(gone.size())
                           .arg(changed));
    }

    ExitStatus Run() {
        const std::optional<std::vector<Site>> sites = Read();
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
            health = std::make_unique<collect::Health>(10, 0);
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
            output.Message(QStringLiteral("Метрики: http://%1:%2/metrics")
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
            output.Message(QStringLiteral("Ожидание звонков концентраторов на %1:%2.")
                               .arg(options.accept->address.toString())
                               .arg(acceptPort));
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
        output.Message(QStringLiteral("Сборщик запущен: участков %1, данные в %2 (конец: SIGTERM; SIGHUP - "
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
        for (const collect::FleetStore::Unsent& unsent : fleet.Stop(DataSinks::kStopWait)) {
            output.Message(
                QStringLiteral("%1 «%2» не принял показаний: %3. Они ждут в хранилище «%4» и будут "
                               "отправлены при следующем запуске сборщика.")
                    .arg(unsent.broker ? QStringLiteral("Брокер MQTT") : QStringLiteral("Адрес"), unsent.url)
                    .arg(unsent.records)
                    .arg(QDir::toNativeSeparators(fleet.Store().FileName())));
        }
        // The destinations' last messages, sent from their worker threads.
        QCoreApplication::sendPostedEvents();
        output.Message(QStringLiteral("Сборщик остановлен: всё сохранено."));
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
