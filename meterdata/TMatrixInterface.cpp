#include "meterdata/TMatrixInterface.h"

#include "meterdata/IStoreView.h"

namespace lumvaris::meterdata {

TMatrixInterface::TMatrixInterface(QString fileName) : TMatrix(MeterRecord::kSize, std::move(fileName)) {}

void TMatrixInterface::SetCaptionTexts(QString prefix, QString suffix) {
    captionPrefix_ = std::move(prefix);
    captionSuffix_ = std::move(suffix);
}

QString TMatrixInterface::Caption() const {
    return captionPrefix_ + QString::number(ColCount() - 1) + captionSuffix_;
}

void TMatrixInterface::UpdateCaption() const {
    if (view_ != nullptr) {
        view_->SetCaption(Caption());
    }
}

void TMatrixInterface::ShowInGrid(int row, bool showAll, bool numberRows) const {
    if (view_ != nullptr) {
        view_->SetCaption(Caption());
        view_->ShowInGrid(*this, row, showAll, numberRows);
    }
}

bool TMatrixInterface::GetMeterRecord(MeterRecord& record, int col, int row) const {
    if (!IsValidPosition(col, row)) {
        return false;
    }
    record = MeterRecord::Decode(RecordAt(col, row));
    return true;
}

void TMatrixInterface::PutMeterRecord(const MeterRecord& record, int col, int row) {
    std::uint8_t bytes[MeterRecord::kSize];
    record.Encode(bytes);
    PutRecord(bytes, col, row);
}

void TMatrixInterface::InsertMeterRecord(const MeterRecord& record, int col, int row) {
    std::uint8_t bytes[MeterRecord::kSize];
    record.Encode(bytes);
    InsertRecord(bytes, col, row);
}

}  // namespace lumvaris::meterdata
