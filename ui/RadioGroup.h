#pragma once

class QGroupBox;

namespace lumvaris::ui {

// A radio group is a group box whose radio buttons are its items, in the order they were laid out.
// Item index -1 means no item is chosen.
int RadioGroupItemIndex(const QGroupBox* group);
void SetRadioGroupItemIndex(QGroupBox* group, int index);
int RadioGroupItemCount(const QGroupBox* group);

}  // namespace lumvaris::ui
