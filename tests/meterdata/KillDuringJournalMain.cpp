// Kills the journal child N times at random moments while it files packets at the line's full
// rate, and checks after each kill that every packet it announced at least 200 ms before a kill (in
// that round and every earlier one) is in the packet store once the database opens again, and that
// none is stored twice. Prints one line per kill and the figures.
//   meterdata_kill_during_journal [<kills> [<directory>]]   (100 kills, a fresh temporary directory)
// Exit status 0 when nothing was missing.
#include "KillDuringJournal.h"

#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>

int main(int argc, char** argv) {
    using namespace lumvaris::meterdata::test;
    const int kills = argc > 1 ? std::atoi(argv[1]) : 100;
    if (kills < 1) {
        std::fprintf(stderr, "usage: %s [<kills> [<directory>]]\n", argv[0]);
        return 2;
    }
    QTemporaryDir dir(argc > 2
                          ? QString::fromLocal8Bit(argv[2]) + QStringLiteral("/kill-during-journal-XXXXXX")
                          : QString());
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary directory: %s\n", qPrintable(dir.errorString()));
        return 2;
    }
    std::printf("packets of 1024 meters at 256 a second, a save every 500 ms, in %s\n",
                qPrintable(dir.path()));
    std::mt19937 rng(std::random_device{}());
    JournalKills rounds(LUMVARIS_JOURNAL_CHILD, dir.path(), 500);
    int missing = 0, twice = 0, filed = 0, recovered = 0, required = 0;
    qint64 worstLag = 0;
    for (int k = 1; k <= kills; ++k) {
        const JournalKillRound r = rounds.Round(250, 1500, rng);
        if (!r.error.empty()) {
            std::printf("kill %3d: %s\n", k, r.error.c_str());
            return 2;
        }
        missing = r.missing;
        twice = r.twice;
        required = r.required;
        filed += r.filed;
        recovered += r.recovered;
        worstLag = std::max(worstLag, r.lagMs);
        std::printf(
            "kill %3d: %5lld ms after the open, %4d packets announced, %4d recovered from the journal; "
            "newest tick back %lld ms before the kill; %d of %d required packets missing, %d stored twice\n",
            k, static_cast<long long>(r.killAtMs), r.filed, r.recovered, static_cast<long long>(r.lagMs),
            r.missing, r.required, r.twice);
        std::fflush(stdout);
    }
    std::printf(
        "%d kills; %d packets announced, %d required (announced at least 200 ms before a kill), %d missing; "
        "%d stored twice; %d records recovered from the journal in all; the newest tick back was at most "
        "%lld ms "
        "before its kill\n",
        kills, filed, required, missing, twice, recovered, static_cast<long long>(worstLag));
    return missing == 0 && twice == 0 ? 0 : 1;
}
