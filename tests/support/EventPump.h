// The event loop for tests on real sockets, ports and processes: the application they need, and a
// pump that runs it up to a deadline.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <functional>
#include <string>

namespace lumvaris::testing {

// Made by the first test that asks, for the whole program.
inline void EnsureApplication(const char* program) {
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static std::string arg0 = program;
        static char* argv[] = {arg0.data(), nullptr};
        static QCoreApplication application(argc, argv);
    }
}

// Runs the event loop until done() or the time is up; says whether done() came true.
inline bool RunUntil(const std::function<bool()>& done, int ms = 5000) {
    const QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

}  // namespace lumvaris::testing
