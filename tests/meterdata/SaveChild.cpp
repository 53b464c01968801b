// Saves one large store over and over, announcing each save on standard output, until killed.
// Every record of save k is filled with the byte k % 250 + 1.
//   meterdata_save_child <file> <columns> <rows>
#include "meterdata/TMatrix.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <file> <columns> <rows>\n", argv[0]);
        return 1;
    }
    lumvaris::meterdata::TMatrix store(24, QString::fromLocal8Bit(argv[1]));
    const int cols = std::atoi(argv[2]);
    const int rows = std::atoi(argv[3]);
    if (!store.SetRowCount(rows) || !store.SetColCount(cols)) {
        return 1;
    }
    std::vector<std::uint8_t> record(24);
    for (int k = 1;; ++k) {
        std::fill(record.begin(), record.end(), static_cast<std::uint8_t>(k % 250 + 1));
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < cols; ++c) {
                store.PutRecord(record.data(), c, r);
            }
        }
        std::printf("begin %d\n", k);
        std::fflush(stdout);
        if (!store.SaveToFile()) {
            std::printf("fail %d\n", k);
            return 2;
        }
        std::printf("end %d\n", k);
        std::fflush(stdout);
    }
}
