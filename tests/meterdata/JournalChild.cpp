// Files live packets through a port's database at the line's full rate (256 a second at 38400
// bit/s), commits the journal at the end of every 100 ms tick as the window does, and saves every
// <save ms>, until it is killed. Packet n comes from meter 1 + n % 1024 with word A = n & 0xFFFF and
// word B = n >> 16.
//   meterdata_journal_child <program directory> <port> <first packet> <save ms>
// It announces on standard output "open <records recovered>" once the database is open, then
// "filed <last packet of the tick> <steady clock, µs>" after each tick's commit.
#include "meterdata/MeterDatabase.h"
#include "meterdata/SystemClock.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s <program directory> <port> <first packet> <save ms>\n", argv[0]);
        return 2;
    }
    using namespace lumvaris::meterdata;
    using Clock = std::chrono::steady_clock;
    SystemClock clock;
    MeterDatabase database(QString::fromLocal8Bit(argv[1]), clock);
    DatabaseSettings settings;
    settings.SetMeters(1024);
    settings.SetPacketDepth(100);
    settings.SetDayDepth(10);
    database.SetSettings(settings);
    if (!database.Open(QString::fromLocal8Bit(argv[2]))) {
        std::printf("fail %s\n", qPrintable(database.LastError()));
        return 2;
    }
    std::printf("open %d\n", database.RecoveredRecords());
    std::fflush(stdout);

    std::uint32_t next = static_cast<std::uint32_t>(std::strtoul(argv[3], nullptr, 10));
    const auto saveEvery = std::chrono::milliseconds(std::atoi(argv[4]));
    const Clock::time_point start = Clock::now();
    Clock::time_point lastSave = start;
    for (long tick = 0;; ++tick) {
        for (long k = tick * 256 / 10; k < (tick + 1) * 256 / 10; ++k, ++next) {
            const std::uint8_t payload[] = {0x01,
                                            std::uint8_t(next),
                                            std::uint8_t(next >> 8),
                                            std::uint8_t(next >> 16),
                                            std::uint8_t(next >> 24),
                                            0x24};
            database.StoreMeterPacket({std::uint16_t(0x1000 + 1 + next % 1024), payload, sizeof payload});
        }
        database.CommitJournal();
        const auto now =
            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch());
        std::printf("filed %u %lld\n", next - 1, static_cast<long long>(now.count()));
        std::fflush(stdout);
        if (Clock::now() - lastSave >= saveEvery) {
            if (!database.Save()) {
                std::printf("fail %s\n", qPrintable(database.LastError()));
                return 2;
            }
            lastSave = Clock::now();
        }
        std::this_thread::sleep_until(start + std::chrono::milliseconds(100 * (tick + 1)));
    }
}
