#include "DropDownComboBox.h"

namespace lumvaris::ui {

DropDownComboBox::DropDownComboBox(QWidget* parent) : QComboBox(parent) {}

void DropDownComboBox::showPopup() {
    emit DropDown();
    QComboBox::showPopup();
}

}  // namespace lumvaris::ui
