// Takes the pictures of the manual: the window against the simulator, page by page, as an engineer
// sees it, then a question box and the file dialog. Run it with scripts/manual-screenshots, which
// writes docs/manual/images/ (LUMVARIS_LANG=en: docs/manual/en/images/).
//   manual_screenshots <simulator> <output directory>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <cstdio>

#include "AppTestDoubles.h"
#include "app/QtFileDialog.h"
#include "app/QtMessageBox.h"
#include "app/ServicePage.h"
#include "app/TFormAppOptions.h"
#include "app/TFormDebug.h"
#include "app/TFormGauge.h"
#include "app/TFormHashCalculate.h"
#include "app/TFormLinkMonitor.h"
#include "app/TFormMain.h"
#include "app/TFormNewAddress.h"
#include "i18n/Translators.h"
#include "link/QtSerialPort.h"
#include "session/QtTimerFactory.h"
#include "ui_FormMain.h"

using namespace lumvaris;

namespace {

void Wait(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

bool Save(QWidget& widget, const QString& directory, const char* name) {
    Wait(300);
    const QString path = directory + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png");
    const bool ok = widget.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

// Saves the next modal dialog once it has been drawn, then closes it.
void SaveModal(const QString& directory, const char* name, bool& ok) {
    QTimer::singleShot(900, [directory, name, &ok] {
        QWidget* dialog = QApplication::activeModalWidget();
        ok &= dialog != nullptr && Save(*dialog, directory, name);
        if (auto* box = qobject_cast<QDialog*>(dialog)) {
            box->reject();
        }
    });
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <simulator> <output directory>\n", argv[0]);
        return 2;
    }
    i18n::Translators translators;
    translators.Install(qEnvironmentVariable("LUMVARIS_LANG", QStringLiteral("ru")));
    const QString out = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(out);
    QProcess sim;
    sim.start(QString::fromLocal8Bit(argv[1]),
              {QStringLiteral("--meters"), QStringLiteral("12"), QStringLiteral("--interval"),
               QStringLiteral("0.2"), QStringLiteral("--garbage"), QStringLiteral("0.1"),
               QStringLiteral("--quiet")});
    if (!sim.waitForReadyRead(10000)) {
        return 1;
    }
    const QString portPath = QString::fromUtf8(sim.readLine()).trimmed();

    // Its path shows in the file dialog's picture.
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/Lumvaris-XXXXXX"));
    link::QtSerialPort port;
    link::ThreadPause pause;
    testing::FakeModifierKeys keys;
    testing::FakeMessageBox messages;
    session::QtTimerFactory timers;
    app::MainWindowPlatform platform{port,
                                     pause,
                                     keys,
                                     messages,
                                     timers,
                                     dir.path() + QStringLiteral("/"),
                                     QStringLiteral("Lumvaris Rev.1.0"),
                                     {},
                                     {}};
    platform.language = translators.Language();
    app::TFormMain window(platform);
    app::TFormGauge gauge;
    app::TFormNewAddress newAddress;
    app::TFormAppOptions options;
    app::TFormDebug debug;
    app::TFormHashCalculate hash;
    window.SetDialogs({&gauge, &newAddress, &options, &debug, &hash});
    window.show();
    Ui::TFormMain& f = window.Form();
    bool ok = Save(window, out, "start");

    f.ComboBoxPortName->setEditText(portPath);
    QTest::keyClick(f.ComboBoxPortName->lineEdit(), Qt::Key_Return);
    if (!port.IsOpen()) {
        std::fprintf(stderr, "the simulator's port did not open\n");
        return 1;
    }
    const auto click = [](QAbstractButton* button) {
        QTest::mouseClick(button, Qt::LeftButton);
        Wait(600);
    };
    Wait(300);
    f.NMainOptionsMonitor->trigger();  // records from here on, for its picture at the end
    click(f.ButtonConfig);
    click(f.ButtonVersion);
    Wait(2500);  // packets of the meters come in
    ok &= Save(window, out, "system");

    f.PageControl->setCurrentWidget(f.TabSheetNET);
    Wait(1200);
    ok &= Save(window, out, "net");
    f.StringGridNET->selectRow(2);
    f.PageControl->setCurrentWidget(f.TabSheetPACKETS);
    Wait(1200);
    ok &= Save(window, out, "packets");

    f.PageControl->setCurrentWidget(f.TabSheetHealth);
    Wait(1200);
    ok &= Save(window, out, "health");

    f.PageControl->setCurrentWidget(f.TabSheetSystemProtected);
    click(f.ButtonTimeGet);
    ok &= Save(window, out, "protected");

    f.PageControl->setCurrentWidget(f.TabSheetLineState);
    click(f.ButtonGetLineState);
    ok &= Save(window, out, "linestate");

    window.SetTabVisible(f.TabSheetService, true);
    f.PageControl->setCurrentWidget(f.TabSheetService);
    f.PageControlService->setCurrentWidget(f.TabSheetTest);
    click(f.ButtonGetReg);
    ok &= Save(window, out, "tests");
    f.PageControlService->setCurrentWidget(f.TabSheetSLCommands);
    f.ComboBoxFill->setCurrentIndex(10);
    emit f.ComboBoxFill->activated(10);
    f.ComboBoxLongCommand->setEditText(QStringLiteral("01 02 03"));
    click(f.ButtonPlcEmpty);
    ok &= Save(window, out, "plc");

    f.PageControl->setCurrentWidget(f.TabSheetSystem);
    f.CheckBoxUseCrypto->setChecked(true);
    f.ComboBoxKey->setEditText(QStringLiteral("Ключ объекта 1"));
    click(f.ButtonGetFP);
    ok &= Save(window, out, "key");

    options.show();
    ok &= Save(options, out, "options");
    options.hide();

    app::TFormLinkMonitor& monitor = window.LinkMonitor();
    monitor.resize(1000, 560);
    Wait(600);
    ok &= Save(monitor, out, "monitor");

    // Qt's own texts: the buttons of a question, the file dialog (over the port's files).
    app::QtMessageBox messageBox(QStringLiteral("Lumvaris Rev.1.0"));
    SaveModal(out, "question", ok);
    messageBox.Warning(&window, QCoreApplication::translate("lumvaris::app::ServicePage",
                                                            app::ServicePage::kMemoryTestWarning));
    app::QtFileDialog exportDialog = app::QtFileDialog::ExportFile();
    // The user's own folder and files, named in the user's language.
    const bool russian = translators.Language() == QLatin1String("ru");
    const QString folder = dir.filePath(russian ? QStringLiteral("Показания") : QStringLiteral("Readings"));
    const QString site =
        russian ? QStringLiteral("Подстанция %1.sqlite") : QStringLiteral("Substation %1.sqlite");
    QDir().mkpath(folder);
    for (const int number : {7, 12}) {
        QFile file(folder + QLatin1Char('/') + site.arg(number));
        file.open(QIODevice::WriteOnly);
    }
    QTimer::singleShot(100, [folder, site] {
        if (auto* fileDialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            fileDialog->setSidebarUrls(
                {QUrl::fromLocalFile(QStringLiteral("/")), QUrl::fromLocalFile(folder)});
            fileDialog->setDirectory(folder);
            if (auto* name = fileDialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
                name->setText(site.arg(9));
            }
            fileDialog->resize(860, 420);
        }
    });
    SaveModal(out, "filedialog", ok);
    exportDialog.Execute(&window);

    window.close();
    sim.terminate();
    sim.waitForFinished(3000);
    return ok ? 0 : 1;
}
