#pragma once

#include <QColor>

class QWidget;

namespace lumvaris::ui {

// Maroon, the colour of a value the concentrator has just reported.
inline const QColor kHighlightColour(128, 0, 0);

// Sets the font colour of a control; children without a colour of their own (the items of a radio
// group, the field inside a group box) follow it.
void SetFontColour(QWidget* widget, const QColor& colour);
// Gives a control the normal window-text colour back.
void ResetFontColour(QWidget* widget);
QColor FontColour(const QWidget* widget);

// The grey background of a read-only field.
void SetReadOnlyBackground(QWidget* widget);

}  // namespace lumvaris::ui
