#include "Options.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iterator>

namespace lumvaris::sim {
namespace {

bool ToLong(const std::string& text, long long lo, long long hi, long long& out, int base = 10) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, base);
    if (errno != 0 || *end != '\0' || v < lo || v > hi) {
        return false;
    }
    out = v;
    return true;
}

bool ToDouble(const std::string& text, double lo, double hi, double& out) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !(v >= lo && v <= hi)) {
        return false;
    }
    out = v;
    return true;
}

const std::string kValued[] = {
    "--port",          "--baud",
    "--link",          "--log",
    "--uart-id",       "--config",
    "--network-size",  "--clock",
    "--drift",         "--trim",
    "--billing-day",   "--password",
    "--version-text",  "--memory-pages",
    "--memory-error",  "--memory-test-ms",
    "--plc-cells",     "--plc-cell-ms",
    "--firmware-file", "--meters",
    "--interval",      "--seed",
    "--garbage",       "--corrupt",
    "--drop",          "--delay",
    "--dribble",       "--refuse",
    "--silent-after",  "--silent-after-requests",
    "--hangup-after",  "--hangup-after-requests",
    "--tcp",           "--call",
    "--redial-ms",     "--call-ident",
    "--fleet",         "--fleet-faulty",
    "--sent-file",
};

// "HOST:PORT" with the port in lo..65535; host may be empty (and is then left as it was), or an
// IPv6 address in brackets.
bool ToHostPort(const std::string& text, long long lo, std::string& host, int& port) {
    const auto colon = text.rfind(':');
    std::string h = colon == std::string::npos ? std::string() : text.substr(0, colon);
    const std::string p = colon == std::string::npos ? text : text.substr(colon + 1);
    long long v = 0;
    if (!ToLong(p, lo, 65535, v) || p.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    if (h.size() >= 2 && h.front() == '[' && h.back() == ']') {
        h = h.substr(1, h.size() - 2);
    }
    if (h.find_first_of(" \t[]") != std::string::npos) {
        return false;
    }
    if (!h.empty()) {
        host = h;
    }
    port = static_cast<int>(v);
    return true;
}

}  // namespace

std::uint16_t FleetUartId(std::uint16_t first, int i) {
    constexpr int kFirst = 0x2001;
    constexpr int kCount = 0x2FFF - kFirst + 1;
    return static_cast<std::uint16_t>(kFirst + (first - kFirst + i) % kCount);
}

std::string IdentText(const std::string& ident, std::uint16_t uartId) {
    char id[8];
    std::snprintf(id, sizeof id, "%04X", uartId);
    std::string out;
    for (std::size_t i = 0; i < ident.size(); ++i) {
        if (ident[i] == '%' && i + 1 < ident.size() && ident[i + 1] == 'u') {
            out += id;
            ++i;
        } else {
            out += ident[i];
        }
    }
    return out;
}

int RateIndexOf(int baud) {
    switch (baud) {
        case 38400:
            return 0;
        case 19200:
            return 1;
        case 9600:
            return 2;
        default:
            return -1;
    }
}

int BaudOf(int rateIndex) {
    static constexpr int kRates[3] = {38400, 19200, 9600};
    return rateIndex >= 0 && rateIndex <= 2 ? kRates[rateIndex] : 38400;
}

std::string HelpText() {
    return R"(Usage: lumvaris-sim [options]

Plays a power-line-carrier data concentrator on a serial link or a network port, with a small
network of meters behind it. By default it opens a pseudo-terminal and prints the path of its serial side as the
first line of standard output once it is ready; open that path in the program as the port. The
simulator keeps serving when the program closes the port and opens it again. It ends on Ctrl+C,
SIGINT or SIGTERM.

Transport:
  --port NAME            serve a real serial port (for example /dev/ttyUSB0 with a null-modem
                         cable) instead of a pseudo-terminal
  --baud N               line rate of --port: 38400 (default), 19200 or 9600; also the rate
                         index the concentrator reports
  --link PATH            keep a symbolic link PATH to the pseudo-terminal while serving
                         (replaced if present, removed on exit)
  --tcp [ADDRESS:]PORT   serve raw TCP instead, as a device server or a listening modem: listen
                         on ADDRESS (default 127.0.0.1; 0.0.0.0 for every interface) and PORT
                         (0: any free port). The first line of standard output is then the
                         address to open, "tcp://127.0.0.1:PORT" with the real port. One client
                         at a time: a new connection replaces the one served (the old one is
                         closed, nothing of its link state carries over). A client that closes
                         is a hang-up of that client; the simulator goes on listening
  --rfc2217              with --tcp: speak Telnet with Com Port Control (RFC 2217), as a device
                         server does; the first line is "rfc2217://127.0.0.1:PORT". The rate the
                         client sets becomes the rate index the concentrator reports (38400,
                         19200 or 9600; another rate is answered with the one in effect)
  --call HOST:PORT       dial out to a collector at HOST:PORT, as a modem that calls in; after a
                         failed call or a hang-up, call again. The first line of standard output
                         is "call HOST:PORT"
  --redial-ms MS         with --call: pause before calling again (default 1000)
  --call-ident TEXT      with --call: send TEXT and CR LF first on every call, as a modem's
                         identification; "%u" in TEXT stands for the UART-ID in four hex digits
  --fleet N              play N concentrators (1..5000) in one process, each with its own UART-ID
                         (--uart-id, then counting up and wrapping inside 2001..2FFF), its own
                         meter network (seed --seed plus its number, counted from 0), clock and
                         buffers, and each first packet at a random moment of the first interval.
                         With --tcp [ADDRESS:]BASEPORT (BASEPORT not 0) concentrator i listens on
                         BASEPORT+i and the first line of standard output is
                         "fleet tcp://127.0.0.1:BASEPORT N" (or rfc2217://); with --call each one
                         calls HOST:PORT, and the first line is "fleet call HOST:PORT N". Each
                         log line names its concentrator by its UART-ID after the time
  --fleet-faulty K       with --fleet: only the first K concentrators carry the faults below, the
                         others none (default: all of them)

Log (one line per frame received and sent, in hex with its name):
  --log FILE             write the log to FILE instead of standard error
  --quiet                no log
  --sent-file FILE       at the end, write one line per concentrator to FILE: its UART-ID in four
                         hex digits and the number of meter packets it sent in full to a client

Concentrator:
  --uart-id HEX          link address, 2001..2FFF (default 2FFF)
  --config HEX           configuration byte (default 01: packets heard on the power line are
                         forwarded to the serial port at once; 00 keeps them in the buffers only;
                         bit 5 stops the PLC interface)
  --network-size N       network size reported by ConfigRead, 1..4096 (default 256)
  --clock "YYYY-MM-DD HH:MM[:SS]"
                         clock at start (default: this machine's local time)
  --drift PPM            the clock's own rate error, -1000..1000 (default 0)
  --trim PPM             clock rate correction held at start, -128..127 (default 0)
  --billing-day N        billing day, -10..10 (default 0)
  --password TEXT        password at start (default empty: no access limits). With a password,
                         ClockWrite, UartRateWrite, BillingDayWrite and PasswordWrite are refused
                         unless the request right before them was the correct PasswordSend
  --version-text TEXT    answer to VersionRead (default "LUMVARIS-SIM 1.0")
  --memory-pages N       pages the memory test reports (default 2048)
  --memory-error OFFSET:PAGE
                         the memory test reports an error at this offset and page (decimal)
  --memory-test-ms MS    time the memory test takes before it answers (default 1000)
  --plc-cells N          cells of the PLC command buffer, 0..255 (default 16)
  --plc-cell-ms MS       one queued PLC command leaves the buffer this often (default 2000)
  --firmware-file FILE   write the received firmware lines to FILE, one per line; FirmwareBegin
                         empties it. "%u" in FILE stands for the UART-ID (needed in a fleet)

Meter network:
  --meters N             number of meters, 0..4094 (default 5; every fifth is a water meter)
  --interval SEC         one packet from the network every SEC seconds (default 3)
  --seed N               seed of the network's readings and of the faults (default 1); the same
                         seed gives the same packets and faults

Faults (for tests and training; all off by default):
  --garbage P            probability 0..1 of 1 to 8 random bytes ahead of a frame
  --corrupt P            probability 0..1 that a frame leaves with a wrong payload checksum
  --drop P               probability 0..1 that a reply is not sent
  --delay MS             every reply waits MS milliseconds
  --dribble MS           bytes leave one at a time, MS milliseconds apart (at least 1)
  --refuse HEX           answer this request type with AccessDenied (40h)
  --silent-after SEC     send nothing more after SEC seconds (requests are still read and logged)
  --silent-after-requests N
                         send nothing more once N requests have been answered
  --hangup-after SEC     close the port after SEC seconds and end; on a network port: close
                         each connection SEC seconds after it was made, then go on listening
                         (--tcp) or call again (--call)
  --hangup-after-requests N
                         close the port once the answer to the Nth request is out, and end; on
                         a network port: the Nth request of each connection, which is then
                         closed as above

  --help                 this text
)";
}

std::optional<SimOptions> ParseOptions(const std::vector<std::string>& args, std::string& error) {
    SimOptions o;
    bool redialGiven = false;
    ConcentratorSettings& c = o.concentrator;
    Faults& f = o.faults;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool hasValue = false;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            hasValue = true;
        }
        const auto next = [&]() -> bool {
            if (hasValue) {
                return true;
            }
            if (i + 1 >= args.size()) {
                error = name + " needs a value";
                return false;
            }
            value = args[++i];
            return true;
        };
        const auto bad = [&]() {
            error = "bad value for " + name + ": " + value;
            return std::nullopt;
        };
        long long v = 0;
        double d = 0.0;
        if (name == "--help" || name == "-h") {
            o.help = true;
        } else if (name == "--quiet") {
            o.quiet = true;
        } else if (name == "--rfc2217") {
            o.rfc2217 = true;
        } else if (std::find(std::begin(kValued), std::end(kValued), name) == std::end(kValued)) {
            error = "unknown option: " + name;
            return std::nullopt;
        } else if (!next()) {
            return std::nullopt;
        } else if (name == "--port") {
            o.port = value;
        } else if (name == "--tcp") {
            if (!ToHostPort(value, 0, o.tcpAddress, o.tcpPort)) {
                return bad();
            }
        } else if (name == "--call") {
            if (!ToHostPort(value, 1, o.callHost, o.callPort) || o.callHost.empty()) {
                return bad();
            }
        } else if (name == "--redial-ms") {
            if (!ToLong(value, 1, 3'600'000, v)) {
                return bad();
            }
            o.redialMs = static_cast<int>(v);
            redialGiven = true;
        } else if (name == "--call-ident") {
            if (value.empty() || value.find_first_of("\r\n") != std::string::npos || value.size() > 254) {
                return bad();
            }
            o.callIdent = value;
        } else if (name == "--fleet" || name == "--fleet-faulty") {
            if (!ToLong(value, name == "--fleet" ? 1 : 0, 5000, v)) {
                return bad();
            }
            (name == "--fleet" ? o.fleet : o.fleetFaulty) = static_cast<int>(v);
        } else if (name == "--baud") {
            if (!ToLong(value, 0, 1'000'000, v) || RateIndexOf(static_cast<int>(v)) < 0) {
                return bad();
            }
            o.baud = static_cast<int>(v);
            c.rateIndex = static_cast<std::uint8_t>(RateIndexOf(o.baud));
        } else if (name == "--link") {
            o.linkPath = value;
        } else if (name == "--sent-file") {
            o.sentFile = value;
        } else if (name == "--log") {
            o.logFile = value;
        } else if (name == "--uart-id") {
            if (!ToLong(value, 0x2001, 0x2FFF, v, 16)) {
                return bad();
            }
            c.uartId = static_cast<std::uint16_t>(v);
        } else if (name == "--config") {
            if (!ToLong(value, 0, 0xFF, v, 16)) {
                return bad();
            }
            c.config = static_cast<std::uint8_t>(v);
        } else if (name == "--network-size") {
            if (!ToLong(value, 1, 4096, v)) {
                return bad();
            }
            c.networkSize = static_cast<std::uint16_t>(v);
        } else if (name == "--clock") {
            const auto t = ParseCivilTime(value.c_str());
            if (!t || t->year > 2099) {
                return bad();
            }
            c.clockStart = ToRtcSeconds(*t);
            o.clockGiven = true;
        } else if (name == "--drift") {
            if (!ToLong(value, -1000, 1000, v)) {
                return bad();
            }
            c.driftPpm = static_cast<int>(v);
        } else if (name == "--trim") {
            if (!ToLong(value, -128, 127, v)) {
                return bad();
            }
            c.trimPpm = static_cast<std::int8_t>(v);
        } else if (name == "--billing-day") {
            if (!ToLong(value, -10, 10, v)) {
                return bad();
            }
            c.billingDay = static_cast<std::int8_t>(v);
        } else if (name == "--password") {
            if (value.size() > 254) {
                return bad();
            }
            c.password = value;
        } else if (name == "--version-text") {
            c.versionText = value;
        } else if (name == "--memory-pages") {
            if (!ToLong(value, 0, 0xFFFF, v)) {
                return bad();
            }
            c.memoryPages = static_cast<std::uint16_t>(v);
        } else if (name == "--memory-error") {
            const auto colon = value.find(':');
            long long page = 0;
            if (colon == std::string::npos || !ToLong(value.substr(0, colon), 0, 0xFFFE, v) ||
                !ToLong(value.substr(colon + 1), 0, 0xFFFF, page)) {
                return bad();
            }
            c.memoryError = true;
            c.memoryErrorOffset = static_cast<std::uint16_t>(v);
            c.memoryErrorPage = static_cast<std::uint16_t>(page);
        } else if (name == "--memory-test-ms") {
            if (!ToLong(value, 0, 600'000, v)) {
                return bad();
            }
            c.memoryTestMs = static_cast<int>(v);
        } else if (name == "--plc-cells") {
            if (!ToLong(value, 0, 255, v)) {
                return bad();
            }
            c.plcCells = static_cast<int>(v);
        } else if (name == "--plc-cell-ms") {
            if (!ToLong(value, 1, 3'600'000, v)) {
                return bad();
            }
            c.plcCellMs = static_cast<int>(v);
        } else if (name == "--firmware-file") {
            c.firmwareFile = value;
        } else if (name == "--meters") {
            if (!ToLong(value, 0, 4094, v)) {
                return bad();
            }
            c.meters = static_cast<int>(v);
        } else if (name == "--interval") {
            if (!ToDouble(value, 0.001, 86400.0, d)) {
                return bad();
            }
            c.intervalMs = static_cast<int>(d * 1000.0 + 0.5);
        } else if (name == "--seed") {
            if (!ToLong(value, 0, 0x7FFFFFFFFFFFFFFF, v)) {
                return bad();
            }
            c.seed = static_cast<std::uint64_t>(v);
        } else if (name == "--garbage" || name == "--corrupt" || name == "--drop") {
            if (!ToDouble(value, 0.0, 1.0, d)) {
                return bad();
            }
            (name == "--garbage" ? f.garbage : name == "--corrupt" ? f.corrupt : f.drop) = d;
        } else if (name == "--delay") {
            if (!ToLong(value, 0, 600'000, v)) {
                return bad();
            }
            f.delayMs = static_cast<int>(v);
        } else if (name == "--dribble") {
            if (!ToLong(value, 1, 10'000, v)) {
                return bad();
            }
            f.dribbleMs = static_cast<int>(v);
        } else if (name == "--refuse") {
            if (!ToLong(value, 0, 0xFF, v, 16)) {
                return bad();
            }
            f.refuseType = static_cast<int>(v);
        } else if (name == "--silent-after" || name == "--hangup-after") {
            if (!ToDouble(value, 0.001, 1e6, d)) {
                return bad();
            }
            (name == "--silent-after" ? f.silentAfterSec : f.hangupAfterSec) = d;
        } else if (name == "--silent-after-requests" || name == "--hangup-after-requests") {
            if (!ToLong(value, 1, 1'000'000'000, v)) {
                return bad();
            }
            (name == "--silent-after-requests" ? f.silentAfterRequests : f.hangupAfterRequests) =
                static_cast<int>(v);
        }
    }
    // The transports exclude each other, and each option belongs to its own.
    const int transports = (o.port.empty() ? 0 : 1) + (o.tcpPort >= 0 ? 1 : 0) + (o.callHost.empty() ? 0 : 1);
    if (transports > 1) {
        error = "--port, --tcp and --call exclude each other";
        return std::nullopt;
    }
    if (o.rfc2217 && o.tcpPort < 0) {
        error = "--rfc2217 needs --tcp";
        return std::nullopt;
    }
    if ((redialGiven || !o.callIdent.empty()) && o.callHost.empty()) {
        error = std::string(redialGiven ? "--redial-ms" : "--call-ident") + " needs --call";
        return std::nullopt;
    }
    if (o.fleetFaulty >= 0 && o.fleet == 0) {
        error = "--fleet-faulty needs --fleet";
        return std::nullopt;
    }
    if (o.fleetFaulty > o.fleet) {
        error = "--fleet-faulty is more than --fleet";
        return std::nullopt;
    }
    if (o.fleet > 0 && o.tcpPort < 0 && o.callHost.empty()) {
        error = "--fleet needs --tcp or --call";
        return std::nullopt;
    }
    // The ports of a fleet must be known in advance: no "any free port", none beyond 65535.
    if (o.fleet > 0 && o.tcpPort == 0) {
        error = "--fleet needs a base port other than 0";
        return std::nullopt;
    }
    if (o.fleet > 0 && o.tcpPort > 0 && o.tcpPort + o.fleet - 1 > 65535) {
        error = "--fleet " + std::to_string(o.fleet) + " from port " + std::to_string(o.tcpPort) +
                " goes beyond port 65535";
        return std::nullopt;
    }
    if (o.fleet > 1 && !o.concentrator.firmwareFile.empty() &&
        o.concentrator.firmwareFile.find("%u") == std::string::npos) {
        error = "--firmware-file of a fleet needs %u in its name, one file per concentrator";
        return std::nullopt;
    }
    if (!o.linkPath.empty() && transports > 0) {
        error = "--link is for the pseudo-terminal only";
        return std::nullopt;
    }
    return o;
}

}  // namespace lumvaris::sim
