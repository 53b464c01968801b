#pragma once

#include <iterator>

namespace lumvaris::commands {

// The modifier key that decides a mode: Shift before Ctrl before Alt.
enum class ModeKey { None, Shift, Ctrl, Alt };
ModeKey ModeOf(bool shift, bool ctrl, bool alt);

// The buttons whose function follows the modifier keys.
enum class ModeButton { Address, Config, LP, LM, RTC, Version, SetLongCommand };
inline constexpr ModeButton kModeButtons[] = {
    ModeButton::Address, ModeButton::Config,        ModeButton::LP, ModeButton::LM, ModeButton::RTC,
    ModeButton::Version, ModeButton::SetLongCommand};

// What a click does.
enum class ModeAction {
    Read,
    Write,
    Debug,
    ReadAll,
    ClearAll,
    ClearOne,
    LoadNew,
    LoadNewLegacy,
    Execute,
    ToClipboard
};

// The caption a mode gives a button, or null when that mode leaves the button as it is (so a
// combination of keys leaves mixed captions, and clicks do what the captions say).
const char* ModeCaption(ModeButton button, ModeKey key);

// What each mode button does now: what the last mode that labelled it gives it. Every button
// starts in the mode of no key, so its caption and its action are there before any key is seen.
class ModeState {
  public:
    // The keys as they are now: the buttons this mode labels take its caption and action.
    void Follow(ModeKey key);
    ModeAction Action(ModeButton button) const;
    const char* Caption(ModeButton button) const;

  private:
    ModeKey modes_[std::size(kModeButtons)] = {};  // per button: the mode that labelled it
};

}  // namespace lumvaris::commands
