#pragma once

#include <QString>

namespace lumvaris::meterdata {

class TMatrixInterface;

// The page and grid that show one store. The views layer implements it for a tab sheet with its
// string grid; the store holds it without owning it.
class IStoreView {
  public:
    virtual ~IStoreView() = default;
    // The caption of the tab sheet.
    virtual void SetCaption(const QString& caption) = 0;
    // Fills the grid from the given row of the store (nothing while the page is not showing).
    virtual void ShowInGrid(const TMatrixInterface& store, int row, bool showAll, bool numberRows) = 0;
};

}  // namespace lumvaris::meterdata
