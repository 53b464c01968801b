#include "Desktop.h"

#include <QDesktopServices>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QStringDecoder>
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

QStringList ReadKeyNames(const QString& keyFilePath) {
    QStringList names;
    QFile file(keyFilePath);
    if (!file.open(QIODevice::ReadOnly)) {
        return names;
    }
    // The key file is code page 1251 text.
    QStringDecoder decode("windows-1251");
    const QString text = decode(file.readAll());
    bool inKeys = false;
    for (QString line : text.split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inKeys = line.compare(QLatin1String("[Keys]"), Qt::CaseInsensitive) == 0;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inKeys || line.isEmpty() || line.startsWith(QLatin1Char(';')) || equals <= 0) {
            continue;
        }
        names << line.left(equals).trimmed();
    }
    return names;
}

}  // namespace lumvaris::app
