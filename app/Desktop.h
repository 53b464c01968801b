#pragma once

#include <QString>

class QWidget;

namespace lumvaris::app {

// Places a window in the middle of the screen it is on.
void CentreOnScreen(QWidget& window);

// Opens a document with the desktop's default viewer; the result is ignored.
void OpenWithDefaultViewer(const QString& path);

}  // namespace lumvaris::app
