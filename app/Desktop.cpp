#include "Desktop.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QScreen>
#include <QStandardPaths>
#include <QStringList>
#include <QUrl>
#include <QWidget>

namespace lumvaris::app {

void CentreOnScreen(QWidget& window) {
    const QScreen* screen = window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
}

void OpenWithDefaultViewer(const QString& path) {
    // The viewer gets the window's environment but not the passwords in it: the central
    // database's, the broker's and the concentrator's are for this program alone.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* secret : {"PGPASSWORD", "LUMVARIS_MQTT_PASSWORD", "LUMVARIS_PASSWORD"}) {
        environment.remove(QString::fromLatin1(secret));
    }
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!opener.isEmpty()) {
        QProcess process;
        process.setProgram(opener);
        process.setArguments({QUrl::fromLocalFile(path).toString()});
        process.setProcessEnvironment(environment);
        if (process.startDetached()) {
            return;
        }
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

QString HelpDocument(const QString& helpDirectory, const QString& language) {
    QStringList candidates;
    // The help file and the manual's root are Russian; another language's manual is in a folder of
    // its name, and comes first for a user of that language.
    if (language != QLatin1String("ru")) {
        candidates << helpDirectory + QStringLiteral("manual/%1/index.html").arg(language)
                   << helpDirectory +
                          QStringLiteral("../share/doc/lumvaris/manual/%1/index.html").arg(language);
    }
    candidates << helpDirectory + QStringLiteral("Lumvaris.chm")
               << helpDirectory + QStringLiteral("manual/index.html")
               << helpDirectory + QStringLiteral("../share/doc/lumvaris/manual/index.html");
    for (const QString& path : candidates) {
        if (QFileInfo(path).isFile()) {
            return QFileInfo(path).absoluteFilePath();
        }
    }
    return {};
}

}  // namespace lumvaris::app
