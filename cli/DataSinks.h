#pragma once

#include <QObject>
#include <QString>

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
// every record the port's database files goes to them as well. A server or broker that cannot be
// reached is said once on standard error and the work goes on; the records stay in the port's
// files.
class DataSinks final : public QObject {
    Q_OBJECT
  public:
    DataSinks(const Options& options, Output& output, meterdata::MeterDatabase& database);

    // Opens the destinations and connects to the broker. Usage when an address is refused or the
    // broker refused the login or the TLS handshake, FileError when the password or certificate
    // file cannot be read.
    ExitStatus Open(const QString& site);
    void SetUartId(std::uint16_t uartId) { live_.SetUartId(uartId); }
    // Writes what is queued (for a while) and closes. FileError when a file sink kept records it
    // could not write (they are in the port's files: an export writes them later).
    ExitStatus Stop();

  private:
    const Options& options_;
    Output& output_;
    session::LiveSinks live_;
};

}  // namespace lumvaris::cli
