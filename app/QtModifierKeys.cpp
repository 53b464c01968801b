#include "QtModifierKeys.h"

#include <QGuiApplication>

namespace lumvaris::app {

Qt::KeyboardModifiers QtModifierKeys::Modifiers() const {
    // The keys as they are now, asked of the windowing system, whether or not the program has the
    // keyboard: a modifier pressed or released on its own does not always reach the program as an
    // event (it depends on the windowing system and on where the focus is), and the modifiers an
    // X11 key event carries are those from before that key. Where the system cannot be asked, the
    // state of the last event.
    return QGuiApplication::queryKeyboardModifiers();
}

}  // namespace lumvaris::app
