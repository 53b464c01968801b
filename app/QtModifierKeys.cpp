#include "QtModifierKeys.h"

#include <QGuiApplication>

namespace lumvaris::app {

Qt::KeyboardModifiers QtModifierKeys::Modifiers() const {
    // While the program has the keyboard, the keys as they are now: a modifier pressed on its own
    // does not always reach the program as an event of its own (it depends on the windowing
    // system), and the captions must follow it all the same. Otherwise the state last seen.
    if (QGuiApplication::applicationState() == Qt::ApplicationActive) {
        return QGuiApplication::queryKeyboardModifiers();
    }
    return QGuiApplication::keyboardModifiers();
}

}  // namespace lumvaris::app
