#pragma once

#include <QString>

class QWidget;

namespace lumvaris::app {

// Places a window in the middle of the screen it is on.
void CentreOnScreen(QWidget& window);

// Opens a document with the desktop's default viewer; the result is ignored.
void OpenWithDefaultViewer(const QString& path);

// What help opens: the help file "Lumvaris.chm" in the folder given (with a trailing '/'), else
// the manual beside it (a build folder, a portable copy) or where the package installs it; empty
// when there is none of them. For a language other than Russian, that language's manual first.
QString HelpDocument(const QString& helpDirectory, const QString& language = QStringLiteral("ru"));

}  // namespace lumvaris::app
