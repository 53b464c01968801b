// The program's window in a process of its own, as main() builds it, connected to the port given
// and stopped by signals as the program is: the signal tests send it SIGTERM, SIGHUP or SIGINT.
//   app_window_child <program directory> <port>
// Prints "filed N" whenever the packet store holds N packets.
#include <QTimer>

#include <cstdio>

#include "app/LumvarisApplication.h"
#include "app/MeterDataBinding.h"
#include "app/QtMessageBox.h"
#include "app/QtModifierKeys.h"
#include "app/TFormMain.h"
#include "link/QtSerialPort.h"
#include "meterdata/TMatrixInterface.h"
#include "session/QtTimerFactory.h"
#include "session/StopSignals.h"
#include "ui_FormMain.h"

using namespace lumvaris;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <program directory> <port>\n", argv[0]);
        return 2;
    }
    app::LumvarisApplication application(argc, argv);
    link::QtSerialPort port;
    link::ThreadPause pause;
    app::QtModifierKeys keys;
    app::QtMessageBox messages(QStringLiteral("Lumvaris"));
    session::QtTimerFactory timers;
    app::MainWindowPlatform platform{
        port, pause, keys, messages, timers, QString::fromLocal8Bit(argv[1]) + "/", QString(), {}, {}};
    app::TFormMain window(platform);
    window.show();
    window.Form().ComboBoxPortName->setEditText(QString::fromLocal8Bit(argv[2]));
    window.OpenConnection();
    const session::StopSignals stopSignals([&window](int) { window.StopUnattended(); });

    int shown = -1;
    QTimer count;
    QObject::connect(&count, &QTimer::timeout, [&] {
        const meterdata::TMatrixInterface* store = window.MeterData().Database().PacketStore();
        int filed = 0;
        meterdata::MeterRecord record;
        for (int meter = 1; store != nullptr && meter < store->RowCount(); ++meter) {
            for (int slot = 1; slot < store->ColCount(); ++slot) {
                filed += store->GetMeterRecord(record, slot, meter) && record.Valid != 0 ? 1 : 0;
            }
        }
        if (filed != shown) {
            shown = filed;
            std::printf("filed %d\n", filed);
            std::fflush(stdout);
        }
    });
    count.start(20);
    return QApplication::exec();
}
