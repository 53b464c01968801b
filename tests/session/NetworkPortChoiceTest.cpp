// The window's choices on opening a port, in the order an engineer might open them in one run.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "session/NetworkPortChoice.h"

namespace lumvaris::session {
namespace {

TEST(NetworkPortChoiceTest, TimeoutRecentAddressesAndTheRateNoteOverOneRun) {
    QTemporaryDir dir;
    NetworkPortChoice choice(dir.path() + QStringLiteral("/"));
    const QString note = QStringLiteral(
        "Скорость порта %1 задаёт удалённая сторона: выбор скорости на неё "
        "не действует.");
    const struct {
        const char* port;
        bool chooseTimeoutFirst;
        int timeout;
        QString note;
    } steps[] = {
        {"ttyUSB0", false, 2, {}},
        {"rfc2217://10.0.0.7:4001", false, 4, {}},  // the far line takes our rate
        {"tcp://10.0.0.8:4001", false, 4, note.arg("tcp://10.0.0.8:4001")},
        {"tcp://10.0.0.9:4001", false, 4, {}},  // said once a run
        {"ttyUSB0", false, 2, {}},
        {"tcp://10.0.0.8:4001", true, 0, {}},  // the engineer's timeout stands from then on
        {"ttyS0", false, 0, {}},
    };
    for (const auto& step : steps) {
        if (step.chooseTimeoutFirst) {
            choice.ChooseTimeout();
        }
        const NetworkPortChoice::Opened opened = choice.PortOpened(QString::fromUtf8(step.port));
        EXPECT_EQ(opened.timeoutSeconds, step.timeout) << step.port;
        EXPECT_EQ(opened.note, step.note) << step.port;
    }
    const QString network = QStringLiteral("сетевой адрес");
    EXPECT_EQ(choice.RecentEntries(), (std::vector<std::pair<QString, QString>>{
                                          {"tcp://10.0.0.8:4001", network},
                                          {"tcp://10.0.0.9:4001", network},
                                          {"rfc2217://10.0.0.7:4001", network},
                                      }));
}

}  // namespace
}  // namespace lumvaris::session
