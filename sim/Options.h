#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Concentrator.h"

namespace lumvaris::sim {

// Every fault the simulator can put on the link, in one place. All off by default.
struct Faults {
    double garbage = 0.0;         // probability of random bytes ahead of a frame
    double corrupt = 0.0;         // probability that a frame's payload checksum is wrong
    double drop = 0.0;            // probability that a reply is not sent at all
    int delayMs = 0;              // every reply waits this long
    int dribbleMs = 0;            // > 0: bytes leave one at a time, this far apart
    int refuseType = -1;          // this request type is answered AccessDenied
    double silentAfterSec = 0.0;  // > 0: nothing more is sent after this time
    int silentAfterRequests = 0;  // > 0: nothing more is sent after this many requests
    // > 0: the port is closed (and the simulator ends) after this time; on a network port the
    // connection is closed this long after it was made
    double hangupAfterSec = 0.0;
    int hangupAfterRequests = 0;  // > 0: ... once the answer to this many requests is out (per connection)
};

struct SimOptions {
    std::string port;  // a real serial port; empty: a pseudo-terminal
    int baud = 38400;
    std::string linkPath;  // symbolic link to the pseudo-terminal
    // Network: listen on tcpAddress:tcpPort (tcpPort >= 0), or call callHost:callPort.
    std::string tcpAddress = "127.0.0.1";
    int tcpPort = -1;
    bool rfc2217 = false;  // Telnet with Com Port Control on the listening port
    std::string callHost;
    int callPort = 0;
    int redialMs = 1000;
    std::string callIdent;  // sent first on every call, with CR LF; empty: nothing; %u: the UART-ID
    // > 0: this many concentrators in one process, on tcpPort + i or each calling callHost:callPort
    int fleet = 0;
    int fleetFaulty = -1;  // >= 0: only the first this many carry the faults; -1: all of them
    std::string logFile;   // empty: standard error
    std::string sentFile;  // at the end: each concentrator's UART-ID and the meter packets it sent
    bool quiet = false;
    ConcentratorSettings concentrator;
    bool clockGiven = false;  // else the clock starts at this machine's local time
    Faults faults;
    bool help = false;
};

// Parses the command line (without the program name). On error, returns nothing and sets error.
std::optional<SimOptions> ParseOptions(const std::vector<std::string>& args, std::string& error);
std::string HelpText();

// The UART-ID of the fleet's concentrator i: counting up from first, wrapping inside 2001..2FFF.
std::uint16_t FleetUartId(std::uint16_t first, int i);
// The identification text with every "%u" replaced by the UART-ID in four hex digits.
std::string IdentText(const std::string& ident, std::uint16_t uartId);

// Rate index of a line rate: 38400 → 0, 19200 → 1, 9600 → 2, else −1.
int RateIndexOf(int baud);
int BaudOf(int rateIndex);

}  // namespace lumvaris::sim
