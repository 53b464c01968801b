#pragma once

// Captions of the buttons whose function follows Shift, Ctrl and Alt. The mode tick writes them and
// each button's click handler compares its caption with them to choose what it does.
namespace lumvaris::ui {

inline constexpr const char* kCaptionRead = "Прочитать";
inline constexpr const char* kCaptionWrite = "Записать";
inline constexpr const char* kCaptionDebug = "Отладка";
inline constexpr const char* kCaptionReadAll = "Прочитать всё";
inline constexpr const char* kCaptionClearAll = "Очистить всё";
inline constexpr const char* kCaptionClearOne = "Очистить ";  // the trailing blank is part of it
inline constexpr const char* kCaptionLoadNew = "Загрузить новую";
inline constexpr const char* kCaptionLoadNewLegacy = "Загрузить новую (устар.)";
inline constexpr const char* kCaptionExecute = "Выполнить";
inline constexpr const char* kCaptionToClipboard = "в Clipboard";

}  // namespace lumvaris::ui
