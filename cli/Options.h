#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <set>

#include "cli/ExitStatus.h"
#include "commands/Catalogue.h"
#include "session/CallIn.h"
#include "session/ReadAll.h"

namespace lumvaris::cli {

enum class Command { Ports, Info, Clock, ReadAll, Listen, Firmware, Key, Send, Export, Collect, Sites };

// The command line, checked: everything a command needs, with the defaults filled in. Nothing in
// here has touched a port; of the files, only the password files were read (and the CA file
// opened) to find that they can be.
// The reply timeout of a network address unless --timeout is given: a GPRS round trip takes up to 3 s.
inline constexpr int kNetworkTimeoutSeconds = 4;
// Calls served at once by listen --accept: each holds a database, its destinations' workers and a socket.
inline constexpr int kDefaultMaxCalls = 256;
inline constexpr int kMaxCallsLimit = 4096;

struct Options {
    Command command = Command::Ports;
    QString port;  // as the window takes it: "ttyUSB0", a full path, a stable name
    int baudRate = 38400;
    std::uint16_t uartId = 0x2FFF;
    bool uartIdGiven = false;
    int timeoutSeconds = 2;
    bool baudGiven = false;              // --baud given for a network address
    std::optional<QByteArray> password;  // code page 1251 bytes, checked
    QString passwordText;
    bool json = false;
    QString site;           // empty: the port's database name
    QString dataDirectory;  // empty: the window's (program directory or the user's)

    // clock
    bool setClock = false;
    // read-all
    commands::RequestType buffer = commands::RequestType::PacketBufferRead;
    int from = 1;
    int to = 0;  // 0: the network size
    session::ReadAllPace pace = session::ReadAllPace::Window;
    // listen
    int forSeconds = 0;  // 0: until a stop signal
    // listen --accept: calls from concentrators' modems instead of a port
    std::optional<session::ListenAddress> accept;
    bool allowAll = false;
    std::set<std::uint16_t> allowed;
    QString ident;                    // the identification text's pattern; empty: none
    int maxCalls = kDefaultMaxCalls;  // concentrators served at once
    // collect
    QString sitesFile;
    std::optional<session::ListenAddress> metrics;  // the metrics endpoint; none without --metrics
    // sites
    QString claimUrl;       // postgresql://...
    QString collectorName;  // collect --collector; empty: host name and process id
    int maxSites = 1000;    // collect --max-sites
    // read-all, listen, export
    QStringList databases;
    QString mqtt;
    QString mqttCa;
    QString mqttPasswordFile;
    // firmware
    QString firmwareFile;
    bool legacy = false;
    bool force = false;  // a file that fails the Intel-HEX check goes out all the same
    // key
    QString keyName;
    // send
    commands::RequestType sendType = commands::RequestType::ConfigRead;
    QByteArray sendBody;
};

// What the command line asks for: a command to run, or a text to print and a status to end with
// (--help and --version on standard output, a usage error on standard error).
struct ParsedCommandLine {
    std::optional<Options> options;
    QString text;
    bool textIsError = false;
    ExitStatus status = ExitStatus::Done;
};

// arguments: as QCoreApplication::arguments() gives them, the program first. versionCaption for
// --version.
ParsedCommandLine ParseCommandLine(const QStringList& arguments, const QString& versionCaption);

// The help text (--help), with every command, option and exit status.
QString HelpText();

}  // namespace lumvaris::cli
