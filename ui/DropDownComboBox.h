#pragma once

#include <QComboBox>

#include <utility>
#include <vector>

namespace lumvaris::ui {

class DescriptionDelegate;

// A combo box that says when its list is about to drop down, so the owner can rebuild the list
// first (the port list is read afresh each time it opens). An item may carry a description
// (kDescriptionRole), shown in the list in a column of its own after the item's text; only the
// text is the item's value, so choosing an item puts only the text into the field.
class DropDownComboBox : public QComboBox {
    Q_OBJECT
  public:
    static constexpr int kDescriptionRole = Qt::UserRole + 1;

    explicit DropDownComboBox(QWidget* parent = nullptr);

    void showPopup() override;
    // The list's entries, each a text and its description; the typed text stays as it is.
    void SetEntries(const std::vector<std::pair<QString, QString>>& entries);

  signals:
    void DropDown();

  private:
    DescriptionDelegate* delegate_;
};

}  // namespace lumvaris::ui
