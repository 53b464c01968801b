#pragma once

#include <Qt>

namespace lumvaris::app {

// The state of Shift, Ctrl and Alt as the user-interface thread last saw it.
class IModifierKeys {
  public:
    virtual ~IModifierKeys() = default;
    virtual Qt::KeyboardModifiers Modifiers() const = 0;
};

}  // namespace lumvaris::app
