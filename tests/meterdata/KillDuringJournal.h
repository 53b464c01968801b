#pragma once

// Rounds of the kill-during-journal check: the journal child (JournalChild.cpp) files packets
// through a port's database and announces each tick's last packet with its time; the parent kills
// it with SIGKILL at a random moment, opens the database as the next start of the program would,
// and looks in the packet store for every packet announced at least 200 ms before the kill, in
// this round and in every earlier one, and for packets stored twice.

#include "meterdata/MeterDatabase.h"
#include "meterdata/SystemClock.h"

#include <QString>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace lumvaris::meterdata::test {

struct JournalKillRound {
    std::string error;    // the round could not be run as planned
    qint64 killAtMs = 0;  // from the child's open to the kill
    int filed = 0;        // packets the child announced in this round
    int required = 0;     // announced at least 200 ms before a kill, in all rounds so far
    int missing = 0;      // of those, not in the packet store
    int twice = 0;        // packets stored more than once
    int recovered = 0;    // records the check's open filed again from the journal
    qint64 lagMs = -1;    // from the newest tick whose packets all came back to the kill
};

class JournalKills {
  public:
    static constexpr auto kMargin = std::chrono::milliseconds(200);

    JournalKills(const char* child, QString directory, int saveMs)
        : child_(child), directory_(std::move(directory)), saveMs_(std::to_string(saveMs)) {}

    // Runs a child from the next packet number, kills it between `minMs` and `maxMs` after its
    // database opened, and checks the store.
    JournalKillRound Round(int minMs, int maxMs, std::mt19937& rng) {
        using Clock = std::chrono::steady_clock;
        JournalKillRound round;
        int out[2];
        if (pipe(out) != 0) {
            round.error = "pipe failed";
            return round;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        const QByteArray dir = directory_.toLocal8Bit();
        const std::string first = std::to_string(next_);
        char* argv[] = {const_cast<char*>(child_),          const_cast<char*>(dir.constData()),
                        const_cast<char*>(kPort),           const_cast<char*>(first.c_str()),
                        const_cast<char*>(saveMs_.c_str()), nullptr};
        pid_t pid = 0;
        const int spawned = posix_spawn(&pid, child_, &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        if (spawned != 0) {
            close(out[0]);
            round.error = std::string("cannot start ") + child_;
            return round;
        }

        // Each tick's last packet with the child's time of its commit.
        std::vector<std::pair<std::uint32_t, qint64>> ticks;
        std::string text;
        bool open = false, killed = false;
        Clock::time_point killAt{}, opened{};
        const auto onLine = [&](const std::string& line) {
            unsigned last = 0;
            long long us = 0;
            int recovered = 0;
            if (std::sscanf(line.c_str(), "filed %u %lld", &last, &us) == 2) {
                ticks.push_back({last, us});
            } else if (std::sscanf(line.c_str(), "open %d", &recovered) == 1) {
                open = true;
                opened = Clock::now();
                round.killAtMs = std::uniform_int_distribution<int>(minMs, maxMs)(rng);
                killAt = opened + std::chrono::milliseconds(round.killAtMs);
            } else if (round.error.empty()) {
                round.error = "child: " + line;
            }
        };
        for (;;) {
            int timeout = -1;
            if (open && !killed) {
                const auto left =
                    std::chrono::duration_cast<std::chrono::milliseconds>(killAt - Clock::now());
                timeout = static_cast<int>(std::max<qint64>(left.count(), 0));
            }
            pollfd fd{out[0], POLLIN, 0};
            const int ready = poll(&fd, 1, timeout);
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            if (ready == 0 || (open && !killed && Clock::now() >= killAt)) {
                kill(pid, SIGKILL);
                killAt = Clock::now();
                killed = true;
                continue;
            }
            char buffer[4096];
            const ssize_t n = ready > 0 ? read(out[0], buffer, sizeof buffer) : 0;
            if (n <= 0) {
                break;
            }
            text.append(buffer, static_cast<std::size_t>(n));
            for (std::size_t end; (end = text.find('\n')) != std::string::npos; text.erase(0, end + 1)) {
                onLine(text.substr(0, end));
            }
        }
        close(out[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        if (round.error.empty() && !(killed && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)) {
            round.error = "the child ended before it was killed";
        }
        if (!round.error.empty()) {
            return round;
        }

        const qint64 deadlineUs =
            std::chrono::duration_cast<std::chrono::microseconds>((killAt - kMargin).time_since_epoch())
                .count();
        std::uint32_t from = next_;
        for (const auto& [last, us] : ticks) {
            for (std::uint32_t n = from; n <= last && us <= deadlineUs; ++n) {
                required_.push_back(n);
            }
            round.filed += static_cast<int>(last + 1 - from);
            from = last + 1;
        }
        // Packets filed after the last announcement may have reached the journal: the next child
        // starts well past them.
        const std::uint32_t firstOfRound = next_;
        next_ = from + 1000;
        const std::set<std::uint32_t> stored = Check(round);
        from = firstOfRound;
        for (const auto& [last, us] : ticks) {
            for (; from <= last && stored.count(from) != 0; ++from) {
            }
            if (from <= last) {
                break;
            }
            round.lagMs = (deadlineUs - us) / 1000 + kMargin.count();
        }
        return round;
    }

  private:
    static constexpr const char* kPort = "ttyKILL0";

    std::set<std::uint32_t> Check(JournalKillRound& round) {
        SystemClock clock;
        MeterDatabase database(directory_, clock);
        std::set<std::uint32_t> stored;
        if (!database.Open(QString::fromLatin1(kPort))) {
            round.error = "open: " + database.LastError().toStdString();
            return stored;
        }
        round.recovered = database.RecoveredRecords();
        const TMatrixInterface& packets = *database.PacketStore();
        MeterRecord r;
        for (int row = 1; row < packets.RowCount(); ++row) {
            for (int slot = 1; slot < packets.ColCount(); ++slot) {
                if (packets.GetMeterRecord(r, slot, row) && r.Valid != 0 &&
                    !stored.insert(r.WordA | std::uint32_t(r.WordB) << 16).second) {
                    ++round.twice;
                }
            }
        }
        round.required = static_cast<int>(required_.size());
        for (std::uint32_t n : required_) {
            round.missing += stored.count(n) == 0 ? 1 : 0;
        }
        database.Close();
        return stored;
    }

    const char* child_;
    QString directory_;
    std::string saveMs_;
    std::vector<std::uint32_t> required_;
    std::uint32_t next_ = 1;
};

}  // namespace lumvaris::meterdata::test
