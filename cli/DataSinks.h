#pragma once

#include <QObject>
#include <QString>

#include <chrono>
#include <cstdint>

#include "cli/ExitStatus.h"
#include "cli/Options.h"
#include "cli/Output.h"
#include "session/LiveSinks.h"

namespace lumvaris::meterdata {
class MeterDatabase;
}

namespace lumvaris::cli {

// The readings' destinations of read-all and listen (--db and --mqtt) on the window's live sinks:
// every record the port's database files goes to them as well, through an outbox beside the port's
// files. A server or broker that cannot be reached is said once on standard error and the work
// goes on; what it has not taken waits in its outbox for the next run.
class DataSinks final : public QObject {
    Q_OBJECT
  public:
    // How long the end waits for the outboxes to be written and published, all destinations together
    // (one that cannot be reached is not waited for; a write that hangs is aborted at the end).
    static constexpr std::chrono::seconds kStopWait{30};

    DataSinks(const Options& options, Output& output, meterdata::MeterDatabase& database);

    // Opens the destinations and connects to the broker. Usage when an address is refused, a
    // database server refused the login or has no such database, a file is not one of readings,
    // or the broker refused the login or the TLS handshake; FileError when the password or
    // certificate file cannot be read. Without `awaitFirstAnswer` the databases are not waited
    // for (their refusal was checked before); a refusal then comes as a message.
    ExitStatus Open(const QString& site, bool awaitFirstAnswer = true);
    // How long the close of the port's database lets the destinations write their outboxes.
    void SetCloseWait(std::chrono::milliseconds wait) { live_.SetCloseWait(wait); }
    void SetUartId(std::uint16_t uartId) { live_.SetUartId(uartId); }
    qint64 RecordsFiled() const { return live_.RecordsFiled(); }
    // Writes what the outboxes hold (for a while) and closes, each destination that kept records
    // back named with their number. FileError when a file kept them; KeptBack for a server or a
    // broker when `oneShot` (a service goes on at its next start).
    ExitStatus Stop(bool oneShot);

  private:
    const Options& options_;
    Output& output_;
    session::LiveSinks live_;
};

}  // namespace lumvaris::cli
