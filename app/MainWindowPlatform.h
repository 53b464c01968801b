#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace lumvaris::link {
class ISerialPort;
class IPause;
}  // namespace lumvaris::link
namespace lumvaris::meterdata {
class IClock;
}
namespace lumvaris::session {
class ITimerFactory;
}

namespace lumvaris::app {

class IMessageBox;
class IModifierKeys;
class IOpenDialog;
class ISaveDialog;
class TFormAppOptions;
class TFormDebug;
class TFormGauge;
class TFormHashCalculate;
class TFormNewAddress;

// What the main window is built on: the serial port, the pause after a request, the keyboard
// state, message boxes, timers and the process-wide values of the revision step.
struct MainWindowPlatform {
    link::ISerialPort& port;
    link::IPause& pause;
    IModifierKeys& modifierKeys;
    IMessageBox& messageBox;
    session::ITimerFactory& timers;
    QString programDirectory;  // with a trailing '/'
    QString versionCaption;    // "Lumvaris Rev.1.0"
    // Opens a document with the desktop's default viewer (the help file).
    std::function<void(const QString& path)> openDocument;
    // Identifiers of section "Keys" of the key file, in file order; empty when there is no file.
    std::function<QStringList(const QString& keyFilePath)> readKeyNames;
    // The workstation's clock for the meter data and the date fields; null: the system clock.
    const meterdata::IClock* clock = nullptr;
    // The language the window speaks ("ru", "en"), installed before it was made.
    QString language = QStringLiteral("ru");
};

// The five dialogs, created after the main window, the firmware file dialog and the save dialog of
// the traffic monitor.
struct MainWindowDialogs {
    TFormGauge* gauge = nullptr;
    TFormNewAddress* newAddress = nullptr;
    TFormAppOptions* appOptions = nullptr;
    TFormDebug* debug = nullptr;
    TFormHashCalculate* hashCalculate = nullptr;
    IOpenDialog* openDialog = nullptr;
    ISaveDialog* saveDialog = nullptr;
    ISaveDialog* exportDialog = nullptr;  // the file an export writes
};

}  // namespace lumvaris::app
