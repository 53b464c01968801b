// Kills the save child in the middle of saving a 24 MB store until N kills have landed inside a save
// (a kill at a random moment of the save's measured length may come just after it ended; such a
// kill is checked too, and another one follows), and checks after each kill that the file is byte
// for byte the old or the new image. Prints one line per kill and the figures.
//   meterdata_kill_during_save [<kills> [<directory>]]   (100 kills, a fresh temporary directory)
// Exit status 0 when every file was intact.
#include "KillDuringSave.h"

#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <random>

namespace {

constexpr int kCols = 1001, kRows = 1025;  // 1024 meters at the largest depth, 1000 packets

}  // namespace

int main(int argc, char** argv) {
    using namespace lumvaris::meterdata::test;
    const int kills = argc > 1 ? std::atoi(argv[1]) : 100;
    if (kills < 1) {
        std::fprintf(stderr, "usage: %s [<kills> [<directory>]]\n", argv[0]);
        return 2;
    }
    QTemporaryDir dir(argc > 2 ? QString::fromLocal8Bit(argv[2]) + QStringLiteral("/kill-during-save-XXXXXX")
                               : QString());
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary directory: %s\n", qPrintable(dir.errorString()));
        return 2;
    }
    const QString name = dir.filePath(QStringLiteral("COM9-PACKETS.bin"));
    if (!WriteStoreImage(name, kCols, kRows, SaveFill(0))) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
        return 2;
    }
    std::printf("store %d x %d records of 24 bytes (%lld bytes) in %s\n", kCols, kRows,
                static_cast<long long>(StoreImage(kCols, kRows, 0).size()), qPrintable(dir.path()));

    std::mt19937 rng(std::random_device{}());
    int intact = 0, inside = 0, oldImage = 0, committed = 0, filesLeft = 0, k = 0;
    const int maxKills = 2 * kills + 10;
    while (inside < kills && k < maxKills) {
        ++k;
        const KillRound r = KillDuringSave(LUMVARIS_SAVE_CHILD, name, kCols, kRows, 2, 1.0, rng);
        if (!r.error.empty()) {
            std::printf("kill %3d: %s\n", k, r.error.c_str());
            return 2;
        }
        // Inside: the child had announced the save and not its end. The file then holds the old
        // image, or the new one when the kill came after the save was committed.
        const bool inSave = r.begun > r.ended;
        intact += r.intact ? 1 : 0;
        inside += inSave ? 1 : 0;
        oldImage += inSave && r.intact && !r.underWay ? 1 : 0;
        committed += inSave && r.intact && r.underWay ? 1 : 0;
        filesLeft += static_cast<int>(r.leftBeside.size());
        const std::string outcome = !r.intact    ? "DAMAGED, " + r.damage
                                    : !inSave    ? std::string("it had finished, new image")
                                    : r.underWay ? std::string("new image (it had been committed)")
                                                 : std::string("old image");
        std::printf("kill %3d: %6.1f ms after save 2 began, in save %d: %s%s%s\n", k, r.delayUs / 1000.0,
                    r.begun, outcome.c_str(), r.leftBeside.isEmpty() ? "" : ", left beside: ",
                    qPrintable(r.leftBeside.join(QLatin1Char(' '))));
        std::fflush(stdout);
        // A file left beside would be counted again by every later kill.
        for (const QString& left : r.leftBeside) {
            QFile::remove(dir.filePath(left));
        }
    }
    std::printf(
        "%d kills inside a save (%d left the old image, %d the new) of %d kills; "
        "%d of %d files intact; %d files left beside\n",
        inside, oldImage, committed, k, intact, k, filesLeft);
    return intact == k && inside == kills ? 0 : 1;
}
