#include "sinks/FiledRecordsFanOut.h"

#include <algorithm>

namespace lumvaris::sinks {

void FiledRecordsFanOut::Add(meterdata::IFiledRecords* listener) {
    if (listener != nullptr &&
        std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end()) {
        listeners_.push_back(listener);
    }
}

void FiledRecordsFanOut::Remove(meterdata::IFiledRecords* listener) {
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

void FiledRecordsFanOut::RecordFiled(const meterdata::MeterRecord& record, meterdata::RecordSource source) {
    for (meterdata::IFiledRecords* listener : listeners_) {
        listener->RecordFiled(record, source);
    }
}

void FiledRecordsFanOut::DatabaseOpened(const QString& directory, const QString& portName) {
    for (meterdata::IFiledRecords* listener : listeners_) {
        listener->DatabaseOpened(directory, portName);
    }
}

void FiledRecordsFanOut::DatabaseClosing() {
    for (meterdata::IFiledRecords* listener : listeners_) {
        listener->DatabaseClosing();
    }
}

}  // namespace lumvaris::sinks
