#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace lumvaris::app {

// Places a window in the middle of the screen it is on.
void CentreOnScreen(QWidget& window);

// Opens a document with the desktop's default viewer; the result is ignored.
void OpenWithDefaultViewer(const QString& path);

// The identifiers of section "Keys" of an INI file, in file order; a missing or unreadable file
// gives an empty list.
QStringList ReadKeyNames(const QString& keyFilePath);

}  // namespace lumvaris::app
