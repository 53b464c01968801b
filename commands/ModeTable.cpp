#include "commands/ModeTable.h"

#include <QtGlobal>

namespace lumvaris::commands {
namespace {

// The captions are shown through QCoreApplication::translate("commands::ModeTable", caption).
struct Entry {
    const char* caption;  // null: the mode leaves the caption
    ModeAction action;
};

struct Row {
    ModeButton button;
    Entry modes[4];  // none, Shift, Ctrl, Alt
};

constexpr Entry kKeep{nullptr, ModeAction::Read};
constexpr Entry kRead{QT_TRANSLATE_NOOP("commands::ModeTable", "Прочитать"), ModeAction::Read};
constexpr Entry kWrite{QT_TRANSLATE_NOOP("commands::ModeTable", "Записать"), ModeAction::Write};

constexpr Row kRows[] = {
    {ModeButton::Address, {kRead, kKeep, kWrite, kKeep}},
    {ModeButton::Config,
     {kRead, kKeep, kWrite, {QT_TRANSLATE_NOOP("commands::ModeTable", "Отладка"), ModeAction::Debug}}},
    {ModeButton::LP,
     {kRead,
      {QT_TRANSLATE_NOOP("commands::ModeTable", "Прочитать всё"), ModeAction::ReadAll},
      {QT_TRANSLATE_NOOP("commands::ModeTable", "Очистить всё"), ModeAction::ClearAll},
      kKeep}},
    {ModeButton::LM,
     {kRead,
      {QT_TRANSLATE_NOOP("commands::ModeTable", "Прочитать всё"), ModeAction::ReadAll},
      {QT_TRANSLATE_NOOP("commands::ModeTable", "Очистить всё"), ModeAction::ClearAll},
      {QT_TRANSLATE_NOOP("commands::ModeTable", "Очистить "),
       ModeAction::ClearOne}}},  // the trailing blank is part of the caption
    {ModeButton::RTC, {kRead, kKeep, kWrite, kKeep}},
    {ModeButton::Version,
     {kRead,
      kKeep,
      {QT_TRANSLATE_NOOP("commands::ModeTable", "Загрузить новую"), ModeAction::LoadNew},
      {QT_TRANSLATE_NOOP("commands::ModeTable", "Загрузить новую (устар.)"), ModeAction::LoadNewLegacy}}},
    {ModeButton::SetLongCommand,
     {{QT_TRANSLATE_NOOP("commands::ModeTable", "Выполнить"), ModeAction::Execute},
      kKeep,
      {QT_TRANSLATE_NOOP("commands::ModeTable", "в Clipboard"), ModeAction::ToClipboard},
      kKeep}},
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
