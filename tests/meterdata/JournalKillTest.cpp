// The journal child (JournalChild.cpp) files packets at the line's full rate and is killed with
// SIGKILL at a random moment, again and again; after each kill the database opens as the next start
// of the program would, and every packet the child announced at least 200 ms before a kill, in that
// round and every earlier one, must be in the packet store, once. One line per kill and the figures.
// ctest runs 10 kills; scripts/kill-during-journal sets LUMVARIS_JOURNAL_KILLS (and
// LUMVARIS_JOURNAL_KILL_DIR for the files' directory) for the long run.
#include "meterdata/MeterDatabase.h"
#include "meterdata/SystemClock.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <set>
#include <vector>

namespace lumvaris::meterdata {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kMargin = std::chrono::milliseconds(200);

qint64 Us(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::microseconds>(t.time_since_epoch()).count();
}

TEST(JournalKill, EveryPacketFiled200MsBeforeAKillIsThereAfterTheRestart) {
    const int kills = qEnvironmentVariableIsSet("LUMVARIS_JOURNAL_KILLS")
                          ? qEnvironmentVariableIntValue("LUMVARIS_JOURNAL_KILLS")
                          : 10;
    const QString where = qEnvironmentVariable("LUMVARIS_JOURNAL_KILL_DIR");
    QTemporaryDir dir(where.isEmpty() ? QString() : where + "/kill-during-journal-XXXXXX");
    ASSERT_TRUE(dir.isValid());
    std::printf("packets of 1024 meters at 256 a second, a save every 500 ms, in %s\n",
                qPrintable(dir.path()));
    std::mt19937 rng(kills == 10 ? 26 : std::random_device{}());
    std::vector<std::uint32_t> required;
    std::uint32_t next = 1;
    int announced = 0, recovered = 0, missing = 0, twice = 0;
    qint64 worstLagMs = 0;
    for (int kill = 1; kill <= kills; ++kill) {
        SCOPED_TRACE(testing::Message() << "kill " << kill);
        QProcess child;
        child.start(LUMVARIS_JOURNAL_CHILD, {dir.path(), "ttyKILL0", QString::number(next), "500"});
        ASSERT_TRUE(child.waitForReadyRead(10000));
        ASSERT_TRUE(child.readLine().startsWith("open"));
        const int killAtMs = std::uniform_int_distribution<int>(250, 1500)(rng);
        Clock::time_point killed = Clock::now() + std::chrono::milliseconds(killAtMs);
        for (Clock::time_point now; (now = Clock::now()) < killed;) {
            child.waitForReadyRead(
                int(std::chrono::duration_cast<std::chrono::milliseconds>(killed - now).count()));
        }
        child.kill();
        killed = Clock::now();
        ASSERT_TRUE(child.waitForFinished(10000));
        ASSERT_EQ(child.exitStatus(), QProcess::CrashExit);

        // Each tick's last packet with the time of its commit.
        std::vector<std::pair<std::uint32_t, qint64>> ticks;
        for (const QByteArray& line : child.readAll().split('\n')) {
            unsigned last = 0;
            long long us = 0;
            if (std::sscanf(line.constData(), "filed %u %lld", &last, &us) == 2)
                ticks.push_back({last, us});
        }
        const std::uint32_t first = next;
        for (const auto& [last, us] : ticks) {
            for (; next <= last; ++next)
                if (us <= Us(killed - kMargin))
                    required.push_back(next);
        }
        announced += int(next - first);
        // Packets filed after the last announcement may be in the journal: the next child starts past them.
        next += 1000;

        SystemClock clock;
        MeterDatabase database(dir.path(), clock);
        ASSERT_TRUE(database.Open("ttyKILL0")) << database.LastError().toStdString();
        recovered += database.RecoveredRecords();
        std::set<std::uint32_t> stored;
        const TMatrixInterface& packets = *database.PacketStore();
        MeterRecord r;
        twice = 0;
        for (int row = 1; row < packets.RowCount(); ++row)
            for (int slot = 1; slot < packets.ColCount(); ++slot)
                if (packets.GetMeterRecord(r, slot, row) && r.Valid != 0)
                    twice += stored.insert(r.WordA | std::uint32_t(r.WordB) << 16).second ? 0 : 1;
        database.Close();
        missing = 0;
        for (std::uint32_t n : required)
            missing += stored.count(n) == 0 ? 1 : 0;
        // How long before the kill the newest tick whose packets all came back was committed.
        qint64 lagMs = -1;
        for (std::uint32_t n = first; const auto& [last, us] : ticks) {
            for (; n <= last && stored.count(n) != 0; ++n) {
            }
            if (n <= last)
                break;
            lagMs = (Us(killed) - us) / 1000;
        }
        worstLagMs = std::max(worstLagMs, lagMs);
        std::printf(
            "kill %3d: %4d ms after the open, %zu ticks announced, newest tick back %lld ms before the kill; "
            "%d of %zu required packets missing, %d stored twice\n",
            kill, killAtMs, ticks.size(), static_cast<long long>(lagMs), missing, required.size(), twice);
        std::fflush(stdout);
        EXPECT_EQ(missing, 0);
        EXPECT_EQ(twice, 0);
    }
    std::printf(
        "%d kills; %d packets announced, %zu required (announced at least 200 ms before a kill), %d missing; "
        "%d stored twice; %d records recovered from the journal in all; the newest tick back was at most "
        "%lld ms before its kill\n",
        kills, announced, required.size(), missing, twice, recovered, static_cast<long long>(worstLagMs));
    EXPECT_GT(required.size(), std::size_t(100) * kills);
}

}  // namespace
}  // namespace lumvaris::meterdata
