#pragma once

#include "meterdata/MeterRecord.h"

#include <QString>

namespace lumvaris::meterdata {

// Where a filed record came from: a packet heard on the line, or a record read from one of the
// concentrator's buffers (with the concentrator's own time stamp).
enum class RecordSource { Live, Buffer };

// Hears every record the intake files into the stores, after it was filed, in filing order. The
// database's journal and the data sinks listen here; a listener must not block the caller.
class IFiledRecords {
  public:
    virtual ~IFiledRecords() = default;
    virtual void RecordFiled(const MeterRecord& record, RecordSource source) = 0;
    // A port's database has opened, after the records its journal gave back were filed again
    // (those were told as they were filed the first time), and is about to close, its lock still
    // held: where a listener that keeps files beside the port's (the destinations' outboxes)
    // opens and closes them.
    virtual void DatabaseOpened(const QString& /*directory*/, const QString& /*portName*/) {}
    virtual void DatabaseClosing() {}
};

}  // namespace lumvaris::meterdata
