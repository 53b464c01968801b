#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>

#include "cli/ExitStatus.h"
#include "cli/Options.h"
#include "cli/Output.h"

class QTcpSocket;

namespace lumvaris::cli {

class DataSinks;
class Session;

// The calls listen --accept serves at once: one per UART-ID, each a Session of its own on the
// port named after the UART-ID and the listening port (so its files are its own whoever calls
// first), with its own destinations stamped with its site and UART-ID. All run on the one event
// loop; nothing here waits on one call while others are served, but for the save of a call that
// ends and its destinations' last writes (kLostCallWait at most).
//
// A second call of a UART-ID replaces the connection of the first (its modem gave it up); a lost
// call is saved, closed and forgotten until its concentrator calls again.
class AcceptedCalls {
  public:
    // What a lost call's close lets its destinations write; the rest waits in their outboxes for
    // the concentrator's next call. Short, since the other calls wait meanwhile.
    static constexpr std::chrono::milliseconds kLostCallWait{1000};

    // listeningPort names the files, `where` (the listening address) is said after a loss; wake
    // is called whenever Serve() has something to do.
    AcceptedCalls(const Options& options, Output& output, const QString& dataDirectory, quint16 listeningPort,
                  const QString& where, std::function<void()> wake);
    ~AcceptedCalls();

    // A call the accepting side identified; taken in by the next Serve().
    void Take(std::uint16_t uartId, std::unique_ptr<QTcpSocket> socket, QByteArray rest);
    bool HasWork() const;
    // Closes the calls lost since the last time, then serves the new ones. The worse status of the
    // closes and opens (FileError: a save failed; PortNotOpened: a concentrator's files are held
    // by another program).
    ExitStatus Serve();
    // At the end: every call takes in what its port still holds, saves and closes, the
    // destinations of all of them given `wait` together.
    ExitStatus CloseAll(std::chrono::milliseconds wait);

    int Count() const { return static_cast<int>(units_.size()); }
    // Live meter packets filed by every call, those closed included.
    qint64 PacketsHeard() const;

  private:
    struct Unit;
    struct Call {
        std::uint16_t uartId;
        std::unique_ptr<QTcpSocket> socket;
        QByteArray rest;
    };

    ExitStatus Open(Call call);
    ExitStatus CloseUnit(Unit& unit, std::chrono::milliseconds wait);
    void Surplus(const Call& call);
    QString Hex(std::uint16_t uartId) const;

    const Options& options_;
    Output& output_;
    QString dataDirectory_;
    quint16 listeningPort_;
    QString where_;
    std::function<void()> wake_;
    std::map<std::uint16_t, std::unique_ptr<Unit>> units_;
    std::deque<Call> incoming_;
    qint64 closedPackets_ = 0;
    QElapsedTimer sinceSurplusLog_;
    int surplusUnlogged_ = 0;
};

}  // namespace lumvaris::cli
