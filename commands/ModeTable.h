#pragma once

#include <QString>

#include <optional>

namespace lumvaris::commands {

// The modifier key that decides a mode: Shift before Ctrl before Alt.
enum class ModeKey { None, Shift, Ctrl, Alt };
ModeKey ModeOf(bool shift, bool ctrl, bool alt);

// The buttons whose function follows the modifier keys.
enum class ModeButton { Address, Config, LP, LM, RTC, Version, SetLongCommand };
inline constexpr ModeButton kModeButtons[] = {
    ModeButton::Address, ModeButton::Config,        ModeButton::LP, ModeButton::LM, ModeButton::RTC,
    ModeButton::Version, ModeButton::SetLongCommand};

// What a click does, by the caption the button shows at that moment.
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
// The action of a caption on that button; nothing for a caption the button never shows.
std::optional<ModeAction> ActionOfCaption(ModeButton button, const QString& caption);

}  // namespace lumvaris::commands
