#include "Desktop.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
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
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

QString HelpDocument(const QString& helpDirectory) {
    const QStringList candidates = {
        helpDirectory + QStringLiteral("Lumvaris.chm"),
        helpDirectory + QStringLiteral("manual/index.html"),
        helpDirectory + QStringLiteral("../share/doc/lumvaris/manual/index.html"),
    };
    for (const QString& path : candidates) {
        if (QFileInfo(path).isFile()) {
            return QFileInfo(path).absoluteFilePath();
        }
    }
    return {};
}

}  // namespace lumvaris::app
