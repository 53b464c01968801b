#pragma once

#include <QString>

#include <utility>
#include <vector>

class QTabWidget;
class QWidget;

namespace lumvaris::ui {

// Pages of a tab widget that are shown and hidden: a hidden page leaves the tab row and comes
// back in its place with its caption. (Hiding the tab in the row instead makes the tab bar scroll
// wrongly while its last tab is hidden.)
class TabPages {
  public:
    // Takes the pages the tab widget holds now, in their order.
    explicit TabPages(QTabWidget* tabs);

    void SetVisible(QWidget* page, bool visible);
    bool Visible(QWidget* page) const;

  private:
    QTabWidget* tabs_;
    std::vector<std::pair<QWidget*, QString>> pages_;  // every page in order, with its caption
};

}  // namespace lumvaris::ui
