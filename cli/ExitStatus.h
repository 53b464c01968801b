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
            case ExitStatus::FileError:
                return 1;
            case ExitStatus::NoReply:
                return 2;
            case ExitStatus::Refused:
                return 3;
            case ExitStatus::PortNotOpened:
                return 4;
            case ExitStatus::Usage:
                return 5;
            case ExitStatus::HungUp:
            case ExitStatus::Interrupted:
            case ExitStatus::Terminated:
                return 6;
        }
        return 0;
    };
    return rank(b) > rank(a) ? b : a;
}

}  // namespace lumvaris::cli
