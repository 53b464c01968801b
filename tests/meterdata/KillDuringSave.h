#pragma once

// One round of the kill-during-save check: the save child (SaveChild.cpp) saves a large store again
// and again, announcing each save; the parent kills it with SIGKILL at a random moment inside one
// save and then compares the file, byte for byte, with the image of the last save that finished and
// with the image of the save that was under way. Anything else (a truncated file, a mixture of two
// saves, a missing file) is damage.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <thread>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace lumvaris::meterdata::test {

// The fill byte of every record of save k of the child; save 0 stands for the content written
// before the first child ran.
inline std::uint8_t SaveFill(int k) {
    return k == 0 ? 0xFF : static_cast<std::uint8_t>(k % 250 + 1);
}

// The file of a store of `cols` x `rows` records of 24 bytes, every record byte `fill`.
inline QByteArray StoreImage(int cols, int rows, std::uint8_t fill) {
    QByteArray image(8 + qsizetype(cols) * rows * 24, static_cast<char>(fill));
    for (int i = 0; i < 4; ++i) {
        image[i] = static_cast<char>(static_cast<std::uint32_t>(cols) >> (8 * i));
        image[4 + i] = static_cast<char>(static_cast<std::uint32_t>(rows) >> (8 * i));
    }
    return image;
}

inline bool WriteStoreImage(const QString& name, int cols, int rows, std::uint8_t fill) {
    const QByteArray image = StoreImage(cols, rows, fill);
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(image) == image.size();
}

struct KillRound {
    std::string error;       // the round could not be run as planned (the child failed, ...)
    int begun = 0;           // the last save the child announced as begun
    int ended = 0;           // the last save it announced as finished
    qint64 delayUs = 0;      // from the announcement of the killed save to the kill
    bool intact = false;     // the file is the image of save `ended` or of save `begun`
    bool underWay = false;   // ... and it is the image of the save that was under way
    std::string damage;      // what was found instead, when not intact
    QStringList leftBeside;  // other files in the file's directory after the kill
};

// Runs `child` on `name` (cols x rows records), lets saves 1 .. killInSave - 1 finish to learn how
// long one takes, then kills the child at a random moment within the first `share` of save
// `killInSave` (0.5: on a loaded machine one save may run much faster than the one measured, and
// the kill still lands inside it; 1.0: the moments near the end of the save are reached too).
// `killInSave` is at least 2, so a finished save of this child is always the old image.
inline KillRound KillDuringSave(const char* child, const QString& name, int cols, int rows, int killInSave,
                                double share, std::mt19937& rng) {
    KillRound round;
    int out[2];
    if (pipe(out) != 0) {
        round.error = "pipe failed";
        return round;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const QByteArray file = name.toLocal8Bit();
    const std::string colText = std::to_string(cols), rowText = std::to_string(rows);
    char* argv[] = {const_cast<char*>(child), const_cast<char*>(file.constData()),
                    const_cast<char*>(colText.c_str()), const_cast<char*>(rowText.c_str()), nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, child, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        close(out[0]);
        round.error = std::string("cannot start ") + child;
        return round;
    }
    FILE* lines = fdopen(out[0], "r");

    using Clock = std::chrono::steady_clock;
    Clock::time_point began = Clock::now();
    Clock::duration saveTime{};
    bool killed = false;
    char line[64];
    while (!killed && std::fgets(line, sizeof line, lines) != nullptr) {
        int k = 0;
        if (std::sscanf(line, "begin %d", &k) == 1) {
            round.begun = k;
            began = Clock::now();
            if (k == killInSave) {
                const auto spanUs = static_cast<qint64>(
                    share * static_cast<double>(
                                std::chrono::duration_cast<std::chrono::microseconds>(saveTime).count()));
                round.delayUs =
                    std::uniform_int_distribution<qint64>(0, std::max<qint64>(spanUs - 1, 0))(rng);
                std::this_thread::sleep_until(began + std::chrono::microseconds(round.delayUs));
                kill(pid, SIGKILL);
                killed = true;
            }
        } else if (std::sscanf(line, "end %d", &k) == 1) {
            round.ended = k;
            saveTime = Clock::now() - began;
        } else {
            round.error = std::string("child: ") + line;
            break;
        }
    }
    if (!killed) {
        kill(pid, SIGKILL);
    }
    // What the child still announced before it died.
    while (std::fgets(line, sizeof line, lines) != nullptr) {
        int k = 0;
        if (std::sscanf(line, "begin %d", &k) == 1) {
            round.begun = k;
        } else if (std::sscanf(line, "end %d", &k) == 1) {
            round.ended = k;
        }
    }
    std::fclose(lines);
    int status = 0;
    waitpid(pid, &status, 0);
    if (round.error.empty() && !(killed && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)) {
        round.error = "the child ended before it was killed";
    }

    QFile saved(name);
    if (!saved.open(QIODevice::ReadOnly)) {
        round.damage = "the file is missing";
    } else {
        const QByteArray bytes = saved.readAll();
        const QByteArray old = StoreImage(cols, rows, SaveFill(round.ended));
        if (bytes == old) {
            round.intact = true;
        } else if (bytes == StoreImage(cols, rows, SaveFill(round.begun))) {
            round.intact = true;
            round.underWay = true;
        } else if (bytes.size() != old.size()) {
            round.damage =
                "size " + std::to_string(bytes.size()) + " instead of " + std::to_string(old.size());
        } else {
            const auto mismatch = std::mismatch(bytes.begin(), bytes.end(), old.begin());
            round.damage = "neither image, first difference from the old one at byte " +
                           std::to_string(mismatch.first - bytes.begin());
        }
    }
    const QFileInfo info(name);
    round.leftBeside = QDir(info.absolutePath()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    round.leftBeside.removeAll(info.fileName());
    return round;
}

}  // namespace lumvaris::meterdata::test
