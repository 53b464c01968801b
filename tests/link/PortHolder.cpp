// Holds a serial port open, as another program would, until its standard input closes.
#include <QCoreApplication>
#include <cstdio>
#include <iostream>
#include <string>

#include "link/QtSerialPort.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        return 2;
    }
    lumvaris::link::QtSerialPort port;
    port.SetName(argv[1]);
    try {
        port.Open();
    } catch (const std::exception& e) {
        std::printf("failed: %s\n", e.what());
        return 1;
    }
    std::printf("open\n");
    std::fflush(stdout);
    std::string line;
    std::getline(std::cin, line);
    return 0;
}
