#pragma once

namespace lumvaris::cli {

// The exit statuses of lumvaris-cli, as --help, the README and the manual page list them.
enum class ExitStatus {
    Done = 0,
    Usage = 1,          // bad usage or input: nothing was sent
    PortNotOpened = 2,  // the port cannot be opened, or was lost and did not come back
    NoReply = 3,        // no reply within the timeout
    Refused = 4,        // refused by the concentrator (40h), or a wrong password
    FileError = 5,      // a file cannot be read or written
    KeptBack = 6,       // a database server or broker did not take every reading: they wait
    HungUp = 129,       // SIGHUP: 128 + the signal, as a shell reports a command it ended
    Interrupted = 130,  // Ctrl+C (SIGINT)
    Terminated = 143,   // SIGTERM
};

inline int Code(ExitStatus status) {
    return static_cast<int>(status);
}

// The worse of two statuses: the one a script should see.
inline ExitStatus Worse(ExitStatus a, ExitStatus b) {
    auto rank = [](ExitStatus s) {
        switch (s) {
            case ExitStatus::Done:
                return 0;
            case ExitStatus::KeptBack:
                return 1;
            case ExitStatus::FileError:
                return 2;
            case ExitStatus::NoReply:
                return 3;
            case ExitStatus::Refused:
                return 4;
            case ExitStatus::PortNotOpened:
                return 5;
            case ExitStatus::Usage:
                return 6;
            case ExitStatus::HungUp:
            case ExitStatus::Interrupted:
            case ExitStatus::Terminated:
                return 7;
        }
        return 0;
    };
    return rank(b) > rank(a) ? b : a;
}

}  // namespace lumvaris::cli
