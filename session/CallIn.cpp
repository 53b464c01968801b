#include "session/CallIn.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>

#include "commands/AddressRules.h"
#include "commands/Catalogue.h"
#include "link/Frame.h"
#include "link/PeerText.h"

namespace lumvaris::session {
namespace {

constexpr std::uint16_t kFirstProbed = 0x2001;
constexpr std::uint16_t kLastProbed = 0x2FFF;
// The slowest line a modem is expected to sit on, 9600 bit/s, in bytes per second.
constexpr long long kSlowLineBytesPerSecond = 960;

QString Hex4(std::uint16_t value) {
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
}

QString SecondsText(int ms) {
    return ms % 1000 == 0 ? QCoreApplication::translate("session::CallIn", "%1 с").arg(ms / 1000)
                          : QCoreApplication::translate("session::CallIn", "%1 мс").arg(ms);
}

QString ListenFailure(QAbstractSocket::SocketError error) {
    switch (error) {
        case QAbstractSocket::AddressInUseError:
            return QCoreApplication::translate("session::CallIn", "адрес уже занят");
        case QAbstractSocket::SocketAccessError:
            return QCoreApplication::translate("session::CallIn",
                                               "нет прав (порты ниже 1024 открывает только root)");
        case QAbstractSocket::SocketAddressNotAvailableError:
            return QCoreApplication::translate("session::CallIn", "у этой машины нет такого адреса");
        case QAbstractSocket::UnsupportedSocketOperationError:
            return QCoreApplication::translate("session::CallIn", "такие адреса эта машина не поддерживает");
        default:
            return QCoreApplication::translate("session::CallIn", "ошибка сети");
    }
}

QString AddressText(const ListenAddress& where) {
    const QString host = where.address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QStringLiteral("[%1]").arg(where.address.toString())
                             : where.address.toString();
    return QStringLiteral("%1:%2").arg(host).arg(where.port);
}

bool AllDigits(const QString& text) {
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
}

bool IsHexDigit(QChar c) {
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
           (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
}

// The concentrator's reply to AddressRead: to the workstation, N = 3, P1-P2 its UART-ID.
bool IsAddressReply(const std::uint8_t* frame) {
    using commands::RequestType;
    const std::uint8_t code = commands::Code(RequestType::AddressRead);
    const std::uint8_t n = frame[link::kOffsetLength];
    const commands::ReplyInfo* rule = commands::FindReply(code);
    return link::ReadWord(frame + link::kOffsetDestination) == link::kWorkstationAddress &&
           !link::IsMeterSource(link::ReadWord(frame + link::kOffsetSource)) &&
           frame[link::kOffsetPayload] == code && rule != nullptr && commands::MeetsLength(*rule, n) &&
           link::PayloadChecksum(frame + link::kOffsetPayload, n) == frame[link::kOffsetPayload + n];
}

}  // namespace

std::optional<ListenAddress> ParseListenAddress(const QString& text, QString* error) {
    const auto fail = [&](const QString& message) -> std::optional<ListenAddress> {
        if (error != nullptr) {
            *error = message;
        }
        return std::nullopt;
    };
    const QString usage = QCoreApplication::translate(
                              "session::CallIn",
                              "«%1» — не адрес для входящих подключений: нужен [АДРЕС:]ПОРТ, например 4001, "
                              "192.168.0.10:4001 или [::1]:4001.")
                              .arg(text);
    QString host;
    QString portText;
    bool bracketed = false;
    if (text.startsWith(QLatin1Char('['))) {
        const qsizetype close = text.indexOf(QLatin1Char(']'));
        if (close < 0 || text.mid(close + 1, 1) != QLatin1String(":")) {
            return fail(usage);
        }
        bracketed = true;
        host = text.mid(1, close - 1);
        portText = text.mid(close + 2);
    } else {
        const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
        if (colon >= 0) {
            host = text.left(colon);
            portText = text.mid(colon + 1);
        } else {
            portText = text;
        }
        if (host.contains(QLatin1Char(':'))) {
            return fail(
                QCoreApplication::translate(
                    "session::CallIn", "«%1»: адрес IPv6 пишется в квадратных скобках, например [::1]:4001.")
                    .arg(text));
        }
    }
    ListenAddress where;
    const uint port = portText.toUInt();
    if (!AllDigits(portText) || portText.size() > 5 || port > 65535) {
        return fail(
            QCoreApplication::translate("session::CallIn", "«%1»: порт должен быть числом от 0 до 65535.")
                .arg(text));
    }
    where.port = static_cast<quint16>(port);
    if (bracketed || !host.isEmpty()) {
        QHostAddress address;
        const QAbstractSocket::NetworkLayerProtocol wanted =
            bracketed ? QAbstractSocket::IPv6Protocol : QAbstractSocket::IPv4Protocol;
        if (!address.setAddress(host) || address.protocol() != wanted) {
            return fail(usage);
        }
        where.address = address;
    }
    return where;
}

CallInServer::CallInServer(ITimerFactory& timers, QObject* parent)
    : QObject(parent), tick_(timers.Create("TimerCallIn", kTickMs, [this] { Tick(); })) {}

CallInServer::~CallInServer() {
    for (Pending& p : pending_) {
        p.socket->disconnect(this);
        delete p.socket;
    }
}

void CallInServer::SetAllowed(std::set<std::uint16_t> uartIds) {
    allowAll_ = false;
    allowed_ = std::move(uartIds);
    probeIds_.clear();
    for (const std::uint16_t id : allowed_) {
        if (commands::UnreachableAddressReason(id).isEmpty()) {
            probeIds_.push_back(id);
        }
    }
}

void CallInServer::AllowAll() {
    allowAll_ = true;
    allowed_.clear();
    probeIds_.clear();
    for (std::uint32_t id = kFirstProbed; id <= kLastProbed; ++id) {
        probeIds_.push_back(static_cast<std::uint16_t>(id));
    }
}

QString CallInServer::SetIdentPattern(const QString& pattern) {
    if (pattern.isEmpty()) {
        identPattern_.reset();
        return {};
    }
    if (QString error = IdentPatternError(pattern); !error.isEmpty()) {
        return error;
    }
    QRegularExpression expression(pattern);
    expression.optimize();
    identPattern_ = std::move(expression);
    return {};
}

QString CallInServer::IdentPatternError(const QString& pattern) {
    if (pattern.isEmpty()) {
        return {};
    }
    const QRegularExpression expression(pattern);
    if (!expression.isValid()) {
        return QCoreApplication::translate("session::CallIn",
                                           "Выражение «%1» составлено неправильно (ошибка в знаке %2).")
            .arg(pattern)
            .arg(expression.patternErrorOffset() + 1);
    }
    if (expression.captureCount() != 1) {
        return QCoreApplication::translate(
                   "session::CallIn",
                   "В выражении «%1» должна быть ровно одна группа в скобках: UART-ID из четырёх "
                   "шестнадцатеричных цифр, например ID:([0-9A-F]{4}).")
            .arg(pattern);
    }
    return {};
}

Result CallInServer::Listen(const ListenAddress& where) {
    Close();
    auto server = std::make_unique<QTcpServer>();
    // Modems that all call back at once after a network outage should not meet a full queue.
    server->setListenBacklogSize(256);
    if (!server->listen(where.address, where.port)) {
        return Result::Failed(
            QCoreApplication::translate("session::CallIn", "Не удалось ждать входящих подключений на %1: %2.")
                .arg(AddressText(where), ListenFailure(server->serverError())));
    }
    connect(server.get(), &QTcpServer::newConnection, this, &CallInServer::Accept);
    server_ = std::move(server);
    return Result::Done();
}

void CallInServer::Close() {
    if (server_) {
        server_->disconnect(this);
        server_->close();
        server_.release()->deleteLater();  // Close may run inside one of its signals
    }
    for (Pending& p : pending_) {
        p.socket->disconnect(this);
        p.socket->abort();
        p.socket->deleteLater();
    }
    pending_.clear();
    handing_.clear();
    tick_->Stop();
}

quint16 CallInServer::ListeningPort() const {
    return server_ ? server_->serverPort() : 0;
}

void CallInServer::Accept() {
    while (server_ && server_->hasPendingConnections()) {
        QTcpSocket* socket = server_->nextPendingConnection();
        socket->setParent(nullptr);
        const QString peer = link::PeerText(*socket);
        if (PendingCount() >= limits_.maxPending) {
            socket->abort();
            socket->deleteLater();
            if (now_ >= surplusLogUntil_) {
                QString line = QCoreApplication::translate(
                                   "session::CallIn",
                                   "Входящее подключение %1 закрыто: ожидающих опознания подключений уже "
                                   "%2 (предел)")
                                   .arg(peer)
                                   .arg(limits_.maxPending);
                line +=
                    surplusUnlogged_ > 0
                        ? QCoreApplication::translate("session::CallIn",
                                                      "; с прошлой такой записи так же закрыто ещё %1.")
                              .arg(surplusUnlogged_)
                        : QCoreApplication::translate(
                              "session::CallIn", ". Следующие такие закрытия записываются не чаще раза в %1.")
                              .arg(SecondsText(kSurplusLogPauseMs));
                Say(line);
                surplusLogUntil_ = now_ + kSurplusLogPauseMs;
                surplusUnlogged_ = 0;
                if (!tick_->IsActive()) {
                    tick_->Start();
                }
            } else {
                ++surplusUnlogged_;
            }
            continue;
        }
        // The system's timing (hours) is enough for the identification's seconds; a receiver
        // that keeps the connection tunes it (link::TuneKeepAlive).
        socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
        // Qt stops taking bytes from the system there, so a flooder is held by TCP's own window.
        socket->setReadBufferSize(limits_.maxBytes);
        pending_.push_back(Pending{socket, peer, {}, now_ + limits_.identifyMs});
        const PendingList::iterator it = std::prev(pending_.end());
        // The iterator stays valid while the connections exist: every way out of pending_
        // disconnects the socket from this server first.
        connect(socket, &QTcpSocket::readyRead, this, [this, it] { Read(it); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, it] { WriteProbes(*it); });
        connect(socket, &QTcpSocket::disconnected, this, [this, it] {
            if (it->socket->bytesAvailable() > 0 && !Read(it)) {
                return;
            }
            Refuse(it, QCoreApplication::translate("session::CallIn", "собеседник отключился до опознания"));
        });
        if (!tick_->IsActive()) {
            tick_->Start();
        }
        WriteProbes(*it);
        if (socket->bytesAvailable() > 0) {
            Read(it);
        }
    }
}

bool CallInServer::Read(PendingList::iterator it) {
    Pending& p = *it;
    const qsizetype before = p.received.size();
    const qsizetype room = limits_.maxBytes - before;
    if (room > 0) {
        p.received.append(p.socket->read(room));
    }
    std::optional<Identified> found;
    if (identPattern_ && before < kIdentWindow) {
        found = FindIdentText(p);
    }
    if (probing_) {
        const std::optional<Identified> reply = FindAddressReply(p);
        if (reply && (!found || reply->end < found->end)) {
            found = reply;
        }
    }
    if (found) {
        Finish(it, *found);
        return false;
    }
    if (p.socket->bytesAvailable() > 0) {
        Refuse(it, QCoreApplication::translate("session::CallIn", "прислано больше %1 байт без опознания")
                       .arg(limits_.maxBytes));
        return false;
    }
    if (!probing_ && identPattern_ && p.received.size() >= kIdentWindow) {
        Refuse(it, QCoreApplication::translate("session::CallIn",
                                               "в первых %1 байтах нет опознавательного текста")
                       .arg(kIdentWindow));
        return false;
    }
    return true;
}

void CallInServer::WriteProbes(Pending& p) {
    if (!probing_ || probeIds_.empty() || p.nextRound >= 0) {
        return;
    }
    const commands::CommandInfo& info = commands::Info(commands::RequestType::AddressRead);
    link::FrameBuffer frame{};
    const auto length = static_cast<long long>(link::kHeaderSize) + info.payloadLength + 1;
    while (p.nextProbe < probeIds_.size() && p.socket->bytesToWrite() < kProbeWindow) {
        link::FillHeader(frame, link::kWorkstationAddress, probeIds_[p.nextProbe],
                         static_cast<std::uint8_t>(info.payloadLength), commands::Code(info.type));
        link::CompleteFrame(frame);
        if (p.socket->write(reinterpret_cast<const char*>(frame.data()), length) < 0) {
            return;  // the peer is gone; its hang-up comes as a signal of its own
        }
        ++p.nextProbe;
    }
    if (p.nextProbe >= probeIds_.size()) {
        const long long roundBytes = static_cast<long long>(probeIds_.size()) * length;
        p.nextRound = now_ + std::max<long long>(kProbeRepeatMs, roundBytes * 1000 / kSlowLineBytesPerSecond);
    }
}

std::optional<CallInServer::Identified> CallInServer::FindIdentText(const Pending& p) const {
    const qsizetype size = std::min(p.received.size(), kIdentWindow);
    const QString text = QString::fromLatin1(p.received.constData(), size);
    const QRegularExpressionMatch match = identPattern_->match(text);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    Identified found{0, match.capturedStart(0), match.capturedEnd(0), false, {}};
    const QString id = match.captured(1);
    if (id.size() != 4 || !std::all_of(id.begin(), id.end(), IsHexDigit)) {
        found.refusal = QCoreApplication::translate(
            "session::CallIn", "в опознавательном тексте нет UART-ID из четырёх шестнадцатеричных цифр");
        return found;
    }
    found.uartId = static_cast<std::uint16_t>(id.toUInt(nullptr, 16));
    return found;
}

std::optional<CallInServer::Identified> CallInServer::FindAddressReply(Pending& p) const {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(p.received.constData());
    const qsizetype size = p.received.size();
    qsizetype firstOpen = -1;  // the first header whose frame has not arrived whole
    qsizetype at = p.scanFrom;
    for (; at + static_cast<qsizetype>(link::kHeaderSize) <= size; ++at) {
        if (!link::CheckHeaderCrc(bytes + at)) {
            continue;
        }
        const qsizetype end =
            at + bytes[at + link::kOffsetLength] + static_cast<qsizetype>(link::kHeaderSize) + 1;
        if (end > size) {
            if (firstOpen < 0) {
                firstOpen = at;
            }
            continue;
        }
        // A header found in junk may be false: the bytes after it are still looked at one by one.
        if (IsAddressReply(bytes + at)) {
            return Identified{link::ReadWord(bytes + at + link::kOffsetPayload + 1), at, end, true, {}};
        }
    }
    // No frame is longer than 264 bytes, so a rescan covers at most the last 264.
    p.scanFrom = firstOpen >= 0 ? firstOpen : at;
    return std::nullopt;
}

void CallInServer::Finish(PendingList::iterator it, const Identified& found) {
    if (!found.refusal.isEmpty()) {
        Refuse(it, found.refusal);
        return;
    }
    if (const QString reason = commands::UnreachableAddressReason(found.uartId); !reason.isEmpty()) {
        Refuse(it, QCoreApplication::translate("session::CallIn",
                                               "UART-ID %1 не может быть адресом концентратора")
                       .arg(Hex4(found.uartId)));
        return;
    }
    if (!allowAll_ && allowed_.count(found.uartId) == 0) {
        Refuse(
            it,
            QCoreApplication::translate("session::CallIn", "UART-ID %1 не разрешён").arg(Hex4(found.uartId)));
        return;
    }
    Pending& p = *it;
    // Frames before the concentrator's answer are its own (a meter packet it forwarded); what
    // precedes a modem's identification text is the modem's.
    QByteArray rest = found.keepBefore ? p.received.left(found.begin) : QByteArray();
    rest.append(p.received.mid(found.end));
    p.socket->disconnect(this);
    p.socket->setReadBufferSize(0);
    const quint64 key = nextHandOver_++;
    handing_.emplace(key, std::unique_ptr<QTcpSocket>(p.socket));
    pending_.erase(it);
    const std::uint16_t uartId = found.uartId;
    QMetaObject::invokeMethod(
        this,
        [this, key, uartId, rest = std::move(rest)]() mutable {
            const auto entry = handing_.find(key);
            if (entry == handing_.end()) {
                return;  // closed meanwhile
            }
            std::unique_ptr<QTcpSocket> socket = std::move(entry->second);
            handing_.erase(entry);
            if (handOver_) {
                handOver_(uartId, std::move(socket), std::move(rest));
            }
        },
        Qt::QueuedConnection);
}

void CallInServer::Refuse(PendingList::iterator it, const QString& why) {
    QTcpSocket* socket = it->socket;
    const QString peer = it->peer;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();  // it may be the sender of the signal that brought us here
    pending_.erase(it);
    Say(QCoreApplication::translate("session::CallIn", "Входящее подключение %1 закрыто: %2.")
            .arg(peer, why));
}

void CallInServer::Tick() {
    now_ += kTickMs;
    for (auto it = pending_.begin(); it != pending_.end();) {
        const auto next = std::next(it);
        if (now_ >= it->deadline) {
            Refuse(it, QCoreApplication::translate("session::CallIn", "не опознано за %1")
                           .arg(SecondsText(limits_.identifyMs)));
        } else if (it->nextRound >= 0 && now_ >= it->nextRound) {
            it->nextProbe = 0;
            it->nextRound = -1;
            WriteProbes(*it);
        }
        it = next;
    }
    if (pending_.empty() && now_ >= surplusLogUntil_) {
        tick_->Stop();
    }
}

void CallInServer::Say(const QString& line) const {
    if (log_) {
        log_(line);
    }
}

}  // namespace lumvaris::session
