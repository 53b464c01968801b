// Lumvaris: service and commissioning tool for power-line-carrier data concentrators.

#include <QScreen>

#include "app/Desktop.h"
#include "app/LumvarisApplication.h"
#include "app/QtFileDialog.h"
#include "app/QtMessageBox.h"
#include "app/QtModifierKeys.h"
#include "app/Revision.h"
#include "app/TFormAppOptions.h"
#include "app/TFormDebug.h"
#include "app/TFormGauge.h"
#include "app/TFormHashCalculate.h"
#include "app/TFormMain.h"
#include "app/TFormNewAddress.h"
#include "keys/KeyFile.h"
#include "link/AnyPort.h"
#include "link/QtSerialPort.h"
#include "session/QtTimerFactory.h"
#include "session/StopSignals.h"

using namespace lumvaris;

int main(int argc, char** argv) {
    app::LumvarisApplication application(argc, argv);
    // Names the user's data directory of an installed program (~/.local/share/Lumvaris).
    QCoreApplication::setApplicationName(QStringLiteral("Lumvaris"));
    app::RevisionStart(QCoreApplication::applicationFilePath());
    const app::RevisionValues& revision = app::Revision();
    const QString language = application.InstallLanguage(revision.dataDirectory);

    // One serial port object for the whole run, created before the main window.
    link::AnyPort port;
    link::ThreadPause pause;
    app::QtModifierKeys modifierKeys;
    app::QtMessageBox messageBox(revision.versionCaption);
    session::QtTimerFactory timers;
    application.SetErrorReport(
        [&](const QString& text) { messageBox.Error(QApplication::activeWindow(), text); });

    app::MainWindowPlatform platform{port,
                                     pause,
                                     modifierKeys,
                                     messageBox,
                                     timers,
                                     revision.dataDirectory,
                                     revision.versionCaption,
                                     app::OpenWithDefaultViewer,
                                     [](const QString& path) { return keys::KeyFile(path).KeyNames(); }};
    platform.language = language;

    // The main window first; its creation must not use the other windows.
    app::TFormMain formMain(platform);
    formMain.SetHelpDirectory(revision.programDirectory);
    app::TFormGauge formGauge;
    app::TFormNewAddress formNewAddress;
    app::TFormAppOptions formAppOptions;
    app::TFormDebug formDebug;
    app::TFormHashCalculate formHashCalculate;
    app::QtFileDialog openDialog = app::QtFileDialog::FirmwareFile();
    app::QtFileDialog saveDialog = app::QtFileDialog::TrafficFile();
    app::QtFileDialog exportDialog = app::QtFileDialog::ExportFile();
    formMain.SetDialogs({&formGauge, &formNewAddress, &formAppOptions, &formDebug, &formHashCalculate,
                         &openDialog, &saveDialog, &exportDialog});

    app::CentreOnScreen(formMain);
    formMain.show();
    // kill, a logout, a shutdown or Ctrl+C in the terminal: saved and closed as "Выход" does.
    const session::StopSignals stopSignals([&formMain](int) { formMain.StopUnattended(); });
    return QApplication::exec();
}
