#pragma once

#include "meterdata/MeterRecord.h"
#include "meterdata/TMatrix.h"

#include <QString>

namespace lumvaris::meterdata {

class IStoreView;

// A record store of 24-byte meter records bound to the page that shows it. The packet and day
// stores have a file; the network store has none (an empty file name).
class TMatrixInterface : public TMatrix {
  public:
    explicit TMatrixInterface(QString fileName);

    const QString& CaptionPrefix() const { return captionPrefix_; }
    const QString& CaptionSuffix() const { return captionSuffix_; }
    void SetCaptionTexts(QString prefix, QString suffix);

    IStoreView* View() const { return view_; }
    void SetView(IStoreView* view) { view_ = view; }

    // CaptionPrefix + (ColCount - 1) + CaptionSuffix: the meter count of the network store, the
    // depth of the others.
    QString Caption() const;
    // Gives the view its caption.
    void UpdateCaption() const;
    // Caption, then the view fills its grid from the row.
    void ShowInGrid(int row, bool showAll, bool numberRows) const;

    // Typed access. GetMeterRecord leaves the destination untouched at an invalid position.
    bool GetMeterRecord(MeterRecord& record, int col, int row) const;
    void PutMeterRecord(const MeterRecord& record, int col, int row);
    void InsertMeterRecord(const MeterRecord& record, int col, int row);

  private:
    QString captionPrefix_;
    QString captionSuffix_;
    IStoreView* view_ = nullptr;
};

}  // namespace lumvaris::meterdata
