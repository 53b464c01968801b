#include "commands/ModeTable.h"

namespace lumvaris::commands {
namespace {

struct Entry {
    const char* caption;  // null: the mode leaves the caption
    ModeAction action;
};

struct Row {
    ModeButton button;
    Entry modes[4];  // none, Shift, Ctrl, Alt
};

constexpr Entry kKeep{nullptr, ModeAction::Read};
constexpr Entry kRead{"Прочитать", ModeAction::Read};
constexpr Entry kWrite{"Записать", ModeAction::Write};

constexpr Row kRows[] = {
    {ModeButton::Address, {kRead, kKeep, kWrite, kKeep}},
    {ModeButton::Config, {kRead, kKeep, kWrite, {"Отладка", ModeAction::Debug}}},
    {ModeButton::LP,
     {kRead, {"Прочитать всё", ModeAction::ReadAll}, {"Очистить всё", ModeAction::ClearAll}, kKeep}},
    {ModeButton::LM,
     {kRead,
      {"Прочитать всё", ModeAction::ReadAll},
      {"Очистить всё", ModeAction::ClearAll},
      {"Очистить ", ModeAction::ClearOne}}},  // the trailing blank is part of the caption
    {ModeButton::RTC, {kRead, kKeep, kWrite, kKeep}},
    {ModeButton::Version,
     {kRead,
      kKeep,
      {"Загрузить новую", ModeAction::LoadNew},
      {"Загрузить новую (устар.)", ModeAction::LoadNewLegacy}}},
    {ModeButton::SetLongCommand,
     {{"Выполнить", ModeAction::Execute}, kKeep, {"в Clipboard", ModeAction::ToClipboard}, kKeep}},
};

const Row& RowOf(ModeButton button) {
    for (const Row& row : kRows) {
        if (row.button == button) {
            return row;
        }
    }
    return kRows[0];
}

}  // namespace

ModeKey ModeOf(bool shift, bool ctrl, bool alt) {
    if (shift) {
        return ModeKey::Shift;
    }
    if (ctrl) {
        return ModeKey::Ctrl;
    }
    return alt ? ModeKey::Alt : ModeKey::None;
}

const char* ModeCaption(ModeButton button, ModeKey key) {
    return RowOf(button).modes[static_cast<int>(key)].caption;
}

void ModeState::Follow(ModeKey key) {
    for (std::size_t i = 0; i < std::size(kModeButtons); ++i) {
        if (ModeCaption(kModeButtons[i], key) != nullptr) {
            modes_[i] = key;
        }
    }
}

ModeAction ModeState::Action(ModeButton button) const {
    return RowOf(button).modes[static_cast<int>(modes_[static_cast<int>(button)])].action;
}

const char* ModeState::Caption(ModeButton button) const {
    return ModeCaption(button, modes_[static_cast<int>(button)]);
}

}  // namespace lumvaris::commands
