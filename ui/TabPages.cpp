#include "ui/TabPages.h"

#include <QTabWidget>

#include <algorithm>

namespace lumvaris::ui {

TabPages::TabPages(QTabWidget* tabs) : tabs_(tabs) {
    for (int i = 0; i < tabs_->count(); ++i) {
        pages_.emplace_back(tabs_->widget(i), tabs_->tabText(i));
    }
}

void TabPages::SetVisible(QWidget* page, bool visible) {
    const int index = tabs_->indexOf(page);
    if (visible == (index >= 0)) {
        return;
    }
    const auto entry =
        std::find_if(pages_.begin(), pages_.end(), [page](const auto& p) { return p.first == page; });
    if (entry == pages_.end()) {
        return;
    }
    if (!visible) {
        entry->second = tabs_->tabText(index);
        tabs_->removeTab(index);
        return;
    }
    int at = 0;
    for (auto p = pages_.begin(); p != entry; ++p) {
        if (tabs_->indexOf(p->first) >= 0) {
            ++at;
        }
    }
    tabs_->insertTab(at, page, entry->second);
}

bool TabPages::Visible(QWidget* page) const {
    return tabs_->indexOf(page) >= 0;
}

}  // namespace lumvaris::ui
