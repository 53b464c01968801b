// Opens the database of a port, as another instance of the program would, and keeps it open
// until its standard input closes or it is killed.
//   meterdata_lock_child <program directory> <port>
#include "meterdata/MeterDatabase.h"
#include "meterdata/SystemClock.h"

#include <QCoreApplication>

#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        return 2;
    }
    lumvaris::meterdata::SystemClock clock;
    lumvaris::meterdata::MeterDatabase database(QString::fromLocal8Bit(argv[1]), clock);
    if (!database.Open(QString::fromLocal8Bit(argv[2]))) {
        std::printf("refused\n");
        return 1;
    }
    std::printf("open\n");
    std::fflush(stdout);
    std::string line;
    std::getline(std::cin, line);
    return 0;
}
