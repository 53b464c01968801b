#pragma once

#include "app/IModifierKeys.h"

namespace lumvaris::app {

// Qt's keyboard modifiers as last seen in the program's own input events.
class QtModifierKeys final : public IModifierKeys {
  public:
    Qt::KeyboardModifiers Modifiers() const override;
};

}  // namespace lumvaris::app
