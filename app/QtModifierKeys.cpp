#include "QtModifierKeys.h"

#include <QGuiApplication>

namespace lumvaris::app {

Qt::KeyboardModifiers QtModifierKeys::Modifiers() const {
    return QGuiApplication::keyboardModifiers();
}

}  // namespace lumvaris::app
