#include "WidgetColours.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>

namespace lumvaris::ui {
namespace {

// Labels, group boxes and check boxes draw their text in WindowText, fields in Text, and
// non-editable combo boxes in ButtonText.
constexpr QPalette::ColorRole kTextRoles[] = {QPalette::WindowText, QPalette::Text, QPalette::ButtonText};

}  // namespace

void SetFontColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    for (QPalette::ColorRole role : kTextRoles) {
        palette.setColor(QPalette::Active, role, colour);
        palette.setColor(QPalette::Inactive, role, colour);
    }
    widget->setPalette(palette);
}

void ResetFontColour(QWidget* widget) {
    const QPalette normal = QApplication::palette(widget);
    QPalette palette = widget->palette();
    for (QPalette::ColorRole role : kTextRoles) {
        palette.setColor(QPalette::Active, role, normal.color(QPalette::Active, role));
        palette.setColor(QPalette::Inactive, role, normal.color(QPalette::Inactive, role));
    }
    widget->setPalette(palette);
}

QColor FontColour(const QWidget* widget) {
    return widget->palette().color(QPalette::Active, QPalette::WindowText);
}

void SetReadOnlyBackground(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    widget->setPalette(palette);
}

}  // namespace lumvaris::ui
