#pragma once

#include "app/IModifierKeys.h"

namespace lumvaris::app {

// The keyboard modifiers as they are now, also while another window has the keyboard.
class QtModifierKeys final : public IModifierKeys {
  public:
    Qt::KeyboardModifiers Modifiers() const override;
};

}  // namespace lumvaris::app
