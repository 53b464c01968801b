#include "RadioGroup.h"

#include <QGroupBox>
#include <QRadioButton>

namespace lumvaris::ui {
namespace {

QList<QRadioButton*> Items(const QGroupBox* group) {
    return group->findChildren<QRadioButton*>(QString(), Qt::FindDirectChildrenOnly);
}

}  // namespace

int RadioGroupItemIndex(const QGroupBox* group) {
    const QList<QRadioButton*> items = Items(group);
    for (int i = 0; i < items.size(); ++i) {
        if (items[i]->isChecked()) {
            return i;
        }
    }
    return -1;
}

void SetRadioGroupItemIndex(QGroupBox* group, int index) {
    const QList<QRadioButton*> items = Items(group);
    if (index >= 0 && index < items.size()) {
        items[index]->setChecked(true);
        return;
    }
    // Auto-exclusive buttons refuse to be unchecked one by one.
    for (QRadioButton* item : items) {
        item->setAutoExclusive(false);
        item->setChecked(false);
        item->setAutoExclusive(true);
    }
}

int RadioGroupItemCount(const QGroupBox* group) {
    return static_cast<int>(Items(group).size());
}

}  // namespace lumvaris::ui
