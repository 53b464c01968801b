// The event loop for tests on real sockets, ports and processes: the application they need, and a
// pump that runs it up to a deadline.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

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

// Runs the event loop until done() or the time is up; says whether done() came true. done() is
// asked every pollMs; in between the loop sleeps until an event comes, so that a test waiting on
// its children leaves the machine's cores to them.
inline bool RunUntil(const std::function<bool()>& done, int ms = 5000, int pollMs = 20) {
    const QDeadlineTimer deadline(ms);
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(pollMs);
    QObject::connect(&poll, &QTimer::timeout, &loop, &QEventLoop::quit);
    poll.start();
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        loop.exec();
    }
    return true;
}

}  // namespace lumvaris::testing
