#pragma once

#include <QComboBox>

namespace lumvaris::ui {

// A combo box that says when its list is about to drop down, so the owner can rebuild the list
// first (the port list is read afresh each time it opens).
class DropDownComboBox : public QComboBox {
    Q_OBJECT
  public:
    explicit DropDownComboBox(QWidget* parent = nullptr);

    void showPopup() override;

  signals:
    void DropDown();
};

}  // namespace lumvaris::ui
