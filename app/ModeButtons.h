#pragma once

#include "commands/ModeTable.h"

class QAbstractButton;

namespace Ui {
class TFormMain;
}

namespace lumvaris::app {

class IModifierKeys;

// The buttons whose function follows Shift, Ctrl and Alt: their captions are drawn from the mode
// table, and a click does what the table gives the button for the keys held at the click (a
// mode that leaves a button as it is leaves its last function too). The captions are right from
// the start, before the first tick of the mode timer.
class ModeButtons {
  public:
    ModeButtons(Ui::TFormMain& form, const IModifierKeys& keys);

    // TimerAlt: the captions follow the keys.
    void Tick();
    // What a click on the button does now.
    commands::ModeAction ActionAtClick(commands::ModeButton button);

  private:
    QAbstractButton* Widget(commands::ModeButton button) const;
    void FollowKeys();

    Ui::TFormMain& form_;
    const IModifierKeys& keys_;
    commands::ModeState state_;
};

}  // namespace lumvaris::app
