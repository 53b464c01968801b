#pragma once

#include <functional>
#include <utility>

namespace lumvaris::commands {

// The right to one protected command: the concentrator grants it by accepting the password it
// was sent, and any request after that (a read too), but the password itself, uses it up. The
// sender and the reply handler keep it; a face draws it (the window enables its four set buttons
// while access control is ticked and the right is held).
class ProtectedAccess {
  public:
    bool Granted() const { return granted_; }
    // Told every time the right is set, granted or not.
    void SetListener(std::function<void(bool granted)> listener) { listener_ = std::move(listener); }

    void Grant(bool granted) {
        granted_ = granted;
        if (listener_) {
            listener_(granted_);
        }
    }
    void UseUp() { Grant(false); }

  private:
    bool granted_ = false;
    std::function<void(bool)> listener_;
};

}  // namespace lumvaris::commands
