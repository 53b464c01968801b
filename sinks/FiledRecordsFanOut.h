#pragma once

#include "meterdata/IFiledRecords.h"

#include <vector>

namespace lumvaris::sinks {

// Tells every listener added, in the order added (MeterDatabase takes one).
class FiledRecordsFanOut final : public meterdata::IFiledRecords {
  public:
    void Add(meterdata::IFiledRecords* listener);
    void Remove(meterdata::IFiledRecords* listener);
    bool IsEmpty() const { return listeners_.empty(); }
    void RecordFiled(const meterdata::MeterRecord& record, meterdata::RecordSource source) override;
    void DatabaseOpened(const QString& directory, const QString& portName) override;
    void DatabaseClosing() override;

  private:
    std::vector<meterdata::IFiledRecords*> listeners_;
};

}  // namespace lumvaris::sinks
