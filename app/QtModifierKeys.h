#pragma once

#include "app/IModifierKeys.h"

namespace lumvaris::app {

// The keyboard modifiers: polled while the program has the keyboard, else as last seen.
class QtModifierKeys final : public IModifierKeys {
  public:
    Qt::KeyboardModifiers Modifiers() const override;
};

}  // namespace lumvaris::app
