// lumvaris-sim: a concentrator simulator on a pseudo-terminal, a real serial port or a network port.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

#include "Options.h"
#include "Random.h"
#include "Serve.h"
#include "Simulator.h"
#include "Transport.h"

namespace {

int gStopPipe[2] = {-1, -1};

// Keeps a fleet's packet phases apart from the sequences the same seed gives the network and faults.
constexpr std::uint64_t kPhaseSeedMix = 0xF1EE7ull;

extern "C" void OnStopSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(gStopPipe[1], &byte, 1);
    errno = saved;
}

bool InstallStopSignals() {
    if (pipe2(gStopPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return false;
    }
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    if (sigaction(SIGINT, &sa, nullptr) != 0 || sigaction(SIGTERM, &sa, nullptr) != 0 ||
        sigaction(SIGHUP, &sa, nullptr) != 0) {
        return false;
    }
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

lumvaris::sim::RtcSeconds LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    lumvaris::sim::CivilTime t{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                               tm.tm_hour,        tm.tm_min,     tm.tm_sec > 59 ? 59 : tm.tm_sec};
    if (!lumvaris::sim::IsValid(t) || t.year > 2099) {
        t = {2000, 1, 1, 0, 0, 0};
    }
    return lumvaris::sim::ToRtcSeconds(t);
}

// The link is ours to replace only when it is a symbolic link or absent.
bool MakeLink(const std::string& link, const std::string& target) {
    struct stat st {};
    if (lstat(link.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            std::fprintf(stderr, "lumvaris-sim: %s exists and is not a symbolic link\n", link.c_str());
            return false;
        }
        unlink(link.c_str());
    }
    if (symlink(target.c_str(), link.c_str()) != 0) {
        std::fprintf(stderr, "lumvaris-sim: cannot create %s: %s\n", link.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

// A fleet holds a listening socket and a connection per concentrator.
bool EnoughDescriptors(int fleet) {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return false;
    }
    const rlim_t needed = static_cast<rlim_t>(fleet) * 2 + 16;
    if (limit.rlim_cur >= needed) {
        return true;
    }
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < needed) {
        std::fprintf(stderr, "lumvaris-sim: --fleet %d needs %llu open files, the limit is %llu\n", fleet,
                     static_cast<unsigned long long>(needed),
                     static_cast<unsigned long long>(limit.rlim_max));
        return false;
    }
    limit.rlim_cur = needed;
    return setrlimit(RLIMIT_NOFILE, &limit) == 0;
}

// Concentrator i of a fleet: its own UART-ID, network, first packet and (maybe) faults.
lumvaris::sim::SimOptions FleetMember(const lumvaris::sim::SimOptions& options, int i) {
    using namespace lumvaris::sim;
    SimOptions o = options;
    ConcentratorSettings& c = o.concentrator;
    c.uartId = FleetUartId(options.concentrator.uartId, i);
    c.seed = options.concentrator.seed + static_cast<std::uint64_t>(i);
    // Spread over the first interval, so that a fleet's packets do not all come in one burst.
    c.firstPacketMs = static_cast<int>(
        Random(c.seed ^ kPhaseSeedMix).Below(static_cast<std::uint32_t>(std::max(c.intervalMs, 1))));
    c.firmwareFile = IdentText(c.firmwareFile, c.uartId);
    if (options.fleetFaulty >= 0 && i >= options.fleetFaulty) {
        o.faults = Faults{};
    }
    return o;
}

bool WriteSent(const std::string& path,
               const std::vector<std::unique_ptr<lumvaris::sim::Simulator>>& simulators) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) {
        std::fprintf(stderr, "lumvaris-sim: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    for (const auto& simulator : simulators) {
        std::fprintf(file, "%04X %llu\n", simulator->UartId(),
                     static_cast<unsigned long long>(simulator->PacketsSent()));
    }
    return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace lumvaris::sim;
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    std::optional<SimOptions> options = ParseOptions(args, error);
    if (!options) {
        std::fprintf(stderr, "lumvaris-sim: %s\nTry 'lumvaris-sim --help'.\n", error.c_str());
        return 2;
    }
    if (options->help) {
        std::fputs(HelpText().c_str(), stdout);
        return 0;
    }
    if (!options->clockGiven) {
        options->concentrator.clockStart = LocalNow();
    }
    if (!InstallStopSignals()) {
        std::fprintf(stderr, "lumvaris-sim: cannot install signal handlers: %s\n", std::strerror(errno));
        return 1;
    }

    std::FILE* log = options->quiet ? nullptr : stderr;
    if (!options->quiet && !options->logFile.empty()) {
        log = std::fopen(options->logFile.c_str(), "w");
        if (log == nullptr) {
            std::fprintf(stderr, "lumvaris-sim: cannot write %s: %s\n", options->logFile.c_str(),
                         std::strerror(errno));
            return 1;
        }
    }

    const bool fleet = options->fleet > 0;
    if (fleet && !EnoughDescriptors(options->fleet)) {
        return 1;
    }
    std::vector<std::unique_ptr<Transport>> transports;
    for (int i = 0; i < (fleet ? options->fleet : 1); ++i) {
        std::unique_ptr<Transport> transport =
            options->tcpPort >= 0        ? Transport::Listen(options->tcpAddress, options->tcpPort + i,
                                                      options->rfc2217 ? "rfc2217" : "tcp", error)
            : !options->callHost.empty() ? Transport::Call(options->callHost, options->callPort)
            : options->port.empty()      ? Transport::OpenPseudoTerminal(error)
                                         : Transport::OpenSerialPort(options->port, options->baud, error);
        if (!transport) {
            std::fprintf(stderr, "lumvaris-sim: %s\n", error.c_str());
            return 1;
        }
        transports.push_back(std::move(transport));
    }
    const Transport& first = *transports.front();
    const bool linked = first.IsPseudoTerminal() && !options->linkPath.empty();
    if (linked && !MakeLink(options->linkPath, first.Path())) {
        return 1;
    }

    int code = 0;
    {
        std::vector<std::unique_ptr<Simulator>> simulators;
        simulators.reserve(transports.size());
        for (std::size_t i = 0; i < transports.size(); ++i) {
            const SimOptions member = fleet ? FleetMember(*options, static_cast<int>(i)) : *options;
            simulators.push_back(std::make_unique<Simulator>(member, *transports[i], log, fleet));
        }
        // The first line of standard output is the port to open; whoever started us waits for it.
        if (fleet) {
            std::printf("fleet %s %d\n", first.Path().c_str(), options->fleet);
        } else {
            std::printf("%s\n", first.Path().c_str());
        }
        std::fflush(stdout);
        code = Serve(simulators, gStopPipe[0]);
        if (!options->sentFile.empty() && !WriteSent(options->sentFile, simulators)) {
            code = code == 0 ? 1 : code;
        }
    }
    for (const auto& transport : transports) {
        transport->Close();
    }
    if (linked) {
        unlink(options->linkPath.c_str());
    }
    if (log != nullptr && log != stderr) {
        std::fclose(log);
    }
    return code;
}
