#include "cli/AcceptedCalls.h"

#include <QCoreApplication>
#include <QTcpSocket>

#include <algorithm>

#include "cli/DataSinks.h"
#include "cli/Session.h"
#include "link/PeerText.h"
#include "session/CallIn.h"

namespace lumvaris::cli {
namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

struct AcceptedCalls::Unit {
    std::uint16_t uartId = 0;
    QString peer;
    // Declared before the destinations, which hang on its database and go first.
    std::unique_ptr<Session> session;
    std::unique_ptr<DataSinks> sinks;
    bool lost = false;
};

AcceptedCalls::AcceptedCalls(const Options& options, Output& output, const QString& dataDirectory,
                             quint16 listeningPort, const QString& where, std::function<void()> wake)
    : options_(options),
      output_(output),
      dataDirectory_(dataDirectory),
      listeningPort_(listeningPort),
      where_(where),
      wake_(std::move(wake)) {}

AcceptedCalls::~AcceptedCalls() = default;

QString AcceptedCalls::Hex(std::uint16_t uartId) const {
    return QStringLiteral("%1").arg(uartId, 4, 16, QLatin1Char('0')).toUpper();
}

void AcceptedCalls::Take(std::uint16_t uartId, std::unique_ptr<QTcpSocket> socket, QByteArray rest) {
    incoming_.push_back(Call{uartId, std::move(socket), std::move(rest)});
    wake_();
}

bool AcceptedCalls::HasWork() const {
    return !incoming_.empty() ||
           std::any_of(units_.begin(), units_.end(), [](const auto& entry) { return entry.second->lost; });
}

qint64 AcceptedCalls::PacketsHeard() const {
    qint64 heard = closedPackets_;
    for (const auto& [uartId, unit] : units_) {
        heard += unit->session->PacketsHeard();
    }
    return heard;
}

ExitStatus AcceptedCalls::Serve() {
    ExitStatus status = ExitStatus::Done;
    for (auto it = units_.begin(); it != units_.end();) {
        Unit& unit = *it->second;
        if (!unit.lost) {
            ++it;
            continue;
        }
        status = Worse(status, CloseUnit(unit, kLostCallWait));
        output_.Message(QCoreApplication::translate(
                            "cli::AcceptedCalls",
                            "Концентратор %1 (%2): связь потеряна. Ожидание следующего звонка на %3.")
                            .arg(Hex(unit.uartId), unit.peer, where_));
        it = units_.erase(it);
    }
    // A destination's last messages, told while a call opens, may bring the next call in.
    while (!incoming_.empty()) {
        Call call = std::move(incoming_.front());
        incoming_.pop_front();
        status = Worse(status, Open(std::move(call)));
    }
    return status;
}

ExitStatus AcceptedCalls::Open(Call call) {
    const QString hex = Hex(call.uartId);
    const QString peer = link::PeerText(*call.socket);
    if (const auto it = units_.find(call.uartId); it != units_.end()) {
        Unit& unit = *it->second;
        if (!unit.lost) {
            // The port drops what the receive path has not taken yet (the old call's last
            // packets, up to a tick of them): filed first.
            unit.session->Connection().Receiver().Step();
            unit.session->Port().Network().Adopt(std::move(call.socket), call.rest);
            unit.peer = peer;
            output_.Message(
                QCoreApplication::translate("cli::AcceptedCalls",
                                            "Концентратор %1 позвонил снова: связь заменена. Звонок с %2.")
                    .arg(hex, peer));
            return ExitStatus::Done;
        }
        const ExitStatus closed = CloseUnit(unit, kLostCallWait);
        units_.erase(it);
        if (closed != ExitStatus::Done) {
            return closed;
        }
    }
    if (Count() >= options_.maxCalls) {
        Surplus(call);
        return ExitStatus::Done;
    }

    auto unit = std::make_unique<Unit>();
    unit->uartId = call.uartId;
    unit->peer = peer;
    unit->session = std::make_unique<Session>(options_, output_, dataDirectory_);
    Session& session = *unit->session;
    const QString name = QStringLiteral("tcp://uart-%1:%2").arg(hex.toLower()).arg(listeningPort_);
    session.SetPortName(name);
    session.Connection().SetUartId(call.uartId);
    session.Port().SetName(name.toStdString());
    session.Port().Network().Adopt(std::move(call.socket), call.rest);
    unit->sinks = std::make_unique<DataSinks>(options_, output_, session.Connection().Database().Meter());
    // A site given names the collector's concentrators: one site for all would have each lost call
    // tell the broker that all of them are offline.
    const QString site = options_.site.isEmpty() ? session.Site() : options_.site + QLatin1Char('-') + hex;
    // The databases' refusal was looked for before the first call: no call waits for a server.
    ExitStatus status = unit->sinks->Open(site, false);
    if (status == ExitStatus::Done) {
        status = session.Open();
    }
    if (status != ExitStatus::Done) {
        unit->sinks->Stop(false);
        output_.Message(
            QCoreApplication::translate("cli::AcceptedCalls", "Звонок концентратора %1 (%2) закрыт.")
                .arg(hex, peer));
        return status;
    }
    unit->sinks->SetUartId(call.uartId);
    Unit* raw = unit.get();
    session.SetUartIdHook([raw](std::uint16_t reported) { raw->sinks->SetUartId(reported); });
    session.SetLossHook([this, raw](const QString&) {
        raw->lost = true;
        wake_();
    });
    session.SetStateHook([this, raw] {
        session::Connection& connection = raw->session->Connection();
        // The modem calls again by itself; the connection would dial the call's name instead.
        if (connection.State() == session::ConnectionState::WaitingForNetwork) {
            connection.CancelAdapterWatch();
            raw->lost = true;
            wake_();
        }
    });
    output_.Message(QCoreApplication::translate(
                        "cli::AcceptedCalls", "Концентратор %1 на связи (%2): запись пакетов счётчиков в %3.")
                        .arg(hex, peer, dataDirectory_));
    units_.emplace(call.uartId, std::move(unit));
    return ExitStatus::Done;
}

ExitStatus AcceptedCalls::CloseUnit(Unit& unit, std::chrono::milliseconds wait) {
    Session& session = *unit.session;
    session.SetStateHook({});
    session.SetLossHook({});
    session.SetUartIdHook({});
    if (session.Connection().State() == session::ConnectionState::WaitingForNetwork) {
        session.Connection().CancelAdapterWatch();
    }
    unit.sinks->SetCloseWait(wait);
    ExitStatus status = session.Close();
    status = Worse(status, unit.sinks->Stop(false));
    closedPackets_ += session.PacketsHeard();
    return status;
}

ExitStatus AcceptedCalls::CloseAll(std::chrono::milliseconds wait) {
    incoming_.clear();
    // What the ports hold by now is taken in before the end, not left in the system's buffers.
    constexpr int kDrainMs = 100;
    const auto anyOpen = [this] {
        return std::any_of(units_.begin(), units_.end(),
                           [](const auto& entry) { return entry.second->session->Connection().IsOpen(); });
    };
    QElapsedTimer drain;
    drain.start();
    while (anyOpen() && drain.elapsed() < kDrainMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, kDrainMs);
    }
    // One wait for the destinations of every call together: a stop must not take N times as long.
    const Clock::time_point deadline = Clock::now() + wait;
    ExitStatus status = ExitStatus::Done;
    for (auto& [uartId, unit] : units_) {
        const auto left =
            std::max(std::chrono::milliseconds(0),
                     std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
        status = Worse(status, CloseUnit(*unit, left));
    }
    units_.clear();
    incoming_.clear();
    return status;
}

void AcceptedCalls::Surplus(const Call& call) {
    const QString peer = link::PeerText(*call.socket);
    call.socket->abort();
    if (sinceSurplusLog_.isValid() &&
        sinceSurplusLog_.elapsed() < session::CallInServer::kSurplusLogPauseMs) {
        ++surplusUnlogged_;
        return;
    }
    QString line = QCoreApplication::translate(
                       "cli::AcceptedCalls",
                       "Звонок концентратора %1 (%2) закрыт: на связи уже %3 концентраторов (предел)")
                       .arg(Hex(call.uartId), peer)
                       .arg(options_.maxCalls);
    line += surplusUnlogged_ > 0
                ? QCoreApplication::translate("cli::AcceptedCalls",
                                              "; с прошлой такой записи так же закрыто ещё %1.")
                      .arg(surplusUnlogged_)
                : QCoreApplication::translate("cli::AcceptedCalls",
                                              ". Следующие такие закрытия записываются не чаще раза в %1 с.")
                      .arg(session::CallInServer::kSurplusLogPauseMs / 1000);
    output_.Message(line);
    sinceSurplusLog_.start();
    surplusUnlogged_ = 0;
}

}  // namespace lumvaris::cli
