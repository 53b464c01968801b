#include "app/ModeButtons.h"

#include <QCoreApplication>
#include <QPushButton>

#include "app/IModifierKeys.h"
#include "ui_FormMain.h"

namespace lumvaris::app {

using commands::ModeButton;

ModeButtons::ModeButtons(Ui::TFormMain& form, const IModifierKeys& keys) : form_(form), keys_(keys) {
    FollowKeys();
}

void ModeButtons::Tick() {
    FollowKeys();
}

commands::ModeAction ModeButtons::ActionAtClick(ModeButton button) {
    FollowKeys();
    return state_.Action(button);
}

void ModeButtons::FollowKeys() {
    const Qt::KeyboardModifiers keys = keys_.Modifiers();
    state_.Follow(
        commands::ModeOf(keys & Qt::ShiftModifier, keys & Qt::ControlModifier, keys & Qt::AltModifier));
    for (ModeButton button : commands::kModeButtons) {
        const QString caption = QCoreApplication::translate("commands::ModeTable", state_.Caption(button));
        QAbstractButton* widget = Widget(button);
        if (widget->text() != caption) {
            widget->setText(caption);
        }
    }
}

QAbstractButton* ModeButtons::Widget(ModeButton button) const {
    switch (button) {
        case ModeButton::Address:
            return form_.ButtonAddress;
        case ModeButton::Config:
            return form_.ButtonConfig;
        case ModeButton::LP:
            return form_.ButtonLP;
        case ModeButton::LM:
            return form_.ButtonLM;
        case ModeButton::RTC:
            return form_.ButtonRTC;
        case ModeButton::Version:
            return form_.ButtonVersion;
        case ModeButton::SetLongCommand:
            break;
    }
    return form_.ButtonSetLongCommand;
}

}  // namespace lumvaris::app
