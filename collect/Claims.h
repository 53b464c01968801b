#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "collect/SitesFile.h"

namespace lumvaris::collect {

// The first key of every site's advisory lock ("LUMV"); the second is hashtext(site name).
inline constexpr std::int32_t kClaimLockClass = 0x4C554D56;
// Every collector's session is known by this prefix of its application_name.
inline constexpr char kCollectorApplicationPrefix[] = "lumvaris-collect:";

// The times of the claims. With the defaults a collector that stopped answering knows it within
// kHeartbeatMs + kQueryTimeoutMs (5 s) and stops polling, while the server releases its locks no
// sooner than its keepalive notices the silence: tcp_keepalives_idle + interval × count (5 + 2 × 3
// = 11 s after the last query; tcp_user_timeout the same for data left unacknowledged). A killed
// collector's socket is closed by its kernel, so its locks go at once.
struct ClaimTimes {
    int heartbeatMs = 2000;     // a heartbeat and a share round every so often
    int queryTimeoutMs = 3000;  // a query that has not answered by then counts as a lost session
    int reconnectMs = 1000;     // first pause before connecting again; doubles up to 8 s
    int keepaliveIdleS = 5;
    int keepaliveIntervalS = 2;
    int keepaliveCount = 3;
};

struct ClaimsSettings {
    QString url;        // postgresql://... (libpq's URI form)
    QString collector;  // empty: host name and process id, "box17:4711"
    int maxSites = 1000;
    QStringList sites;  // the candidates, in no particular order
    ClaimTimes times;
};

// The default name of a collector: host name and process id.
QString DefaultCollectorName();

// The sites one collector holds through its own database session. A thread of its own owns the
// session, so that the owner's event loop never waits for the network; what changes is told on the
// owner's thread through the signals, in the order it happened.
//
// A site is held while this session holds the advisory lock (kClaimLockClass, hashtext(name)); the
// server releases it when the session ends, however it ends. Two names of one hash share one lock:
// they go to one collector together (a chance of about n²/2³³ for n sites, 1e-4 for 1000), which is
// cheaper than a table of numbers every site would need before it can be claimed.
//
// The share: each collector takes up to min(maxSites, ceil(sites / live collectors)), the live
// collectors being the sessions of its database whose application_name starts with
// kCollectorApplicationPrefix. One holding more than its share (a collector came) lets the surplus
// go; the others pick it up within a round.
class Claims : public QObject {
    Q_OBJECT

  public:
    explicit Claims(ClaimsSettings settings, QObject* parent = nullptr);
    // Ends the session: the server releases every lock at once.
    ~Claims() override;

    void Start();
    // A new list of candidates (the sites file read again); sites no longer in it are let go.
    void SetSites(const QStringList& sites);
    // A call from a site this collector does not hold: take it if it is free (and the collector
    // may hold one more), whatever the share. `done` runs on the owner's thread.
    void TryTake(const QString& site, std::function<void(bool taken)> done);
    // The owner no longer needs a site it took by TryTake (the call ended).
    void Release(const QString& site);

    const QString& Collector() const { return collector_; }
    // As the signals told it so far.
    bool Holds(const QString& site) const { return held_.contains(site); }
    const std::set<QString>& Held() const { return held_; }
    bool Connected() const { return connected_; }

  signals:
    // previousHolder: the collector that held it before (it died, or gave it up), or this one in a
    // session that was lost; empty when nobody ever held it. Either way a gap may lie behind.
    void Taken(const QString& site, const QString& previousHolder);
    // Poll it no more: its lock is let go only after the slots connected here have returned.
    void Lost(const QString& site);
    // The session failed or did not answer in time: nothing is held any more, poll nothing.
    void AllLost(const QString& why);
    void SessionUp();

  private:
    struct Request {
        enum Kind { Take, Release, Sites } kind;
        QString site;
        QStringList sites;
        std::function<void(bool)> done;
    };
    class Worker;

    void Post(Request request);
    // From the worker's thread.
    void TellTaken(const QString& site, const QString& previous);
    // `handled` runs (on the owner's thread) once every Lost was emitted.
    void TellLost(const QStringList& sites, std::function<void()> handled);
    void TellAllLost(const QString& why);
    void TellUp();

    QString collector_;
    std::set<QString> held_;
    bool connected_ = false;
    std::unique_ptr<Worker> worker_;
};

// What `lumvaris-cli sites --claim` shows: one row per site with a claim or in the sites table.
struct ClaimRow {
    QString site;
    QString collector;  // empty: nobody holds it
    QString since;      // UTC, "2026-12-09 23:10:05"; empty when nobody holds it
};

// Reads the claims through a short session of its own (it blocks); false and why on failure.
bool ReadClaims(const QString& url, std::vector<ClaimRow>& rows, QString& why);
// The listing's text: the held sites by collector, then those nobody holds.
QStringList ClaimsText(const std::vector<ClaimRow>& rows);

// The sites table of the database (see docs/data-export.md), through a short session of its own,
// with the checks of the sites file; relative password files are taken from `directory`.
SitesFileResult ReadSitesTable(const QString& url, const QString& directory);

}  // namespace lumvaris::collect
