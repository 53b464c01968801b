#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QRegularExpression>
#include <QString>

#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "session/ITimer.h"
#include "session/Result.h"

class QTcpServer;
class QTcpSocket;

namespace lumvaris::session {

// Where the accepting side listens, from "PORT", "ADDRESS:PORT" or "[IPv6]:PORT". No address is
// 127.0.0.1: strangers reach the collector only when the engineer names an outward address.
struct ListenAddress {
    QHostAddress address{QHostAddress::LocalHost};
    quint16 port = 0;
};
// The address, or the message for the engineer (in Russian) when the text is not one.
std::optional<ListenAddress> ParseListenAddress(const QString& text, QString* error = nullptr);

// The accepting side, for concentrators whose modems call the collector and stay connected.
// Each connection is held pending until it names its concentrator, then handed to the receiver
// with what arrived besides the identification. The only part of the program strangers can
// reach: it identifies before it trusts, bounds what a peer can make it hold (connections, bytes,
// time) and never waits on one peer, so a flood, a trickle or junk cannot delay another call.
//
// A connection is identified
// - by the text its modem sends first, when a pattern is set: a regular expression whose one
//   capture group is the UART-ID in four hex digits, sought in the first kIdentWindow bytes taken
//   as Latin-1 (one character per byte);
// - by the concentrator's own answer, unless probing is off: AddressRead (86h) goes to every
//   allowed UART-ID in turn (to 2001..2FFF when all are allowed), written as the socket drains,
//   and the reply 86h from the concentrator, P1-P2 its UART-ID, names it. A concentrator answers
//   only requests to its own UART-ID, so the others go unanswered. The round is sent again when a
//   9600 bit/s line had the time to carry it, at least every kProbeRepeatMs.
// Whichever comes first counts. A UART-ID that is not allowed, or that no concentrator can have
// (1000..1FFF, FFFF), closes the connection, as do silence past the time limit, more than the
// byte limit without an identification, and the peer's hang-up; each such close is one line of
// the log, naming the peer and why. Connections over the pending limit are closed at once and
// logged at most once per kSurplusLogPauseMs.
//
// Time comes from one timer of the factory, ticking every kTickMs while anything is pending.
class CallInServer : public QObject {
    Q_OBJECT

  public:
    struct Limits {
        int maxPending = 32;
        qsizetype maxBytes = 4096;  // read from one pending connection
        int identifyMs = 30000;
    };

    // The receiver of an identified connection takes the socket (detached from this server, keep-alive
    // on at the system's timing, no read limit) and `rest`: every byte received but the identification, in
    // order; for an identification by the concentrator's answer that includes frames the concentrator sent
    // before it (a forwarded meter packet). More may already wait in the socket: read bytesAvailable() at
    // once, readyRead is not emitted again for bytes that are already there. The peer may have hung
    // up in between (the socket then is unconnected). It is called from the event loop, never from
    // inside a socket's signal, so the receiver may delete what it holds.
    //
    // The server keeps no list of the sockets it handed over. A second call for a UART-ID already
    // handed over is handed over as well: the receiver replaces the old connection with the new one
    // (the modem calls again because its old call is dead, though this side may not know it yet).
    using HandOver =
        std::function<void(std::uint16_t uartId, std::unique_ptr<QTcpSocket> socket, QByteArray rest)>;
    // One line per closed connection. It must not close or destroy the server.
    using Log = std::function<void(const QString&)>;

    static constexpr qsizetype kIdentWindow = 256;
    static constexpr int kTickMs = 100;
    static constexpr int kSurplusLogPauseMs = 10000;
    static constexpr int kProbeRepeatMs = 3000;
    // Probe bytes kept in the socket's write buffer at most.
    static constexpr qint64 kProbeWindow = 640;

    explicit CallInServer(ITimerFactory& timers, QObject* parent = nullptr);
    ~CallInServer() override;

    void SetAllowed(std::set<std::uint16_t> uartIds);
    void AllowAll();
    // Empty: no identification text. A message (in Russian) when the pattern is not valid or has
    // not exactly one capture group; the previous pattern then stays.
    QString SetIdentPattern(const QString& pattern);
    // The same check without setting anything.
    static QString IdentPatternError(const QString& pattern);
    void SetProbing(bool on) { probing_ = on; }
    void SetLimits(const Limits& limits) { limits_ = limits; }
    void SetHandOver(HandOver handOver) { handOver_ = std::move(handOver); }
    void SetLog(Log log) { log_ = std::move(log); }

    Result Listen(const ListenAddress& where);
    void Close();
    quint16 ListeningPort() const;
    int PendingCount() const { return static_cast<int>(pending_.size()); }

  private:
    struct Pending {
        QTcpSocket* socket = nullptr;
        QString peer;
        QByteArray received;
        long long deadline = 0;  // in the server's ticked time
        std::size_t nextProbe = 0;
        long long nextRound = -1;  // when the next probe round starts; -1: while a round is written
        qsizetype scanFrom = 0;    // frames before this offset have been looked at
    };
    using PendingList = std::list<Pending>;

    struct Identified {
        std::uint16_t uartId;
        qsizetype begin;  // the identification's bytes in `received`
        qsizetype end;
        bool keepBefore;  // the bytes before it go to the receiver too
        QString refusal;  // not empty: why the identification is refused
    };

    void Accept();
    // False when the connection left the pending ones (identified or closed).
    bool Read(PendingList::iterator it);
    void WriteProbes(Pending& p);
    std::optional<Identified> FindIdentText(const Pending& p) const;
    std::optional<Identified> FindAddressReply(Pending& p) const;
    void Finish(PendingList::iterator it, const Identified& found);
    void Refuse(PendingList::iterator it, const QString& why);
    void Tick();
    void Say(const QString& line) const;

    std::unique_ptr<QTcpServer> server_;
    std::unique_ptr<ITimer> tick_;
    long long now_ = 0;
    long long surplusLogUntil_ = 0;  // no surplus line is written before this time
    int surplusUnlogged_ = 0;

    Limits limits_;
    bool allowAll_ = false;
    std::set<std::uint16_t> allowed_;
    std::vector<std::uint16_t> probeIds_;
    std::optional<QRegularExpression> identPattern_;
    bool probing_ = true;
    HandOver handOver_;
    Log log_;

    PendingList pending_;
    // Identified sockets on their way to the receiver, owned here until the queued hand-over runs.
    std::map<quint64, std::unique_ptr<QTcpSocket>> handing_;
    quint64 nextHandOver_ = 0;
};

}  // namespace lumvaris::session
