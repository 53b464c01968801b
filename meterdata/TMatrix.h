#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

class QFile;

namespace lumvaris::meterdata {

class IBusyCursor;

// Gives back a store's buffer, which comes from the system as pages of its own.
struct TMatrixUnmap {
    std::size_t bytes = 0;
    void operator()(std::uint8_t* p) const;
};

// What LoadFromFile found.
enum class LoadStatus {
    Loaded,     // the header and every record were read
    Empty,      // no file (now created empty) or an empty file: the normal first run; store blank
    KeptAside,  // the file could not be loaded; it was renamed to KeptAsideName; store blank
    Failed,     // the file could not be created, or a damaged file could not be renamed (the
                // store is then detached from it so that no save overwrites it); see Error
};

struct LoadResult {
    LoadStatus Status = LoadStatus::Empty;
    QString KeptAsideName;  // KeptAside: the new name of the damaged file
    QString Error;          // Failed: what went wrong, for the user
};

// A growable two-dimensional array of fixed-size records, row after row in one buffer, that keeps
// the records that still fit when either dimension changes and loads and saves itself as one flat
// file: column count and row count as little-endian int32, then the records.
//
// Positions are zero-based; every record operation ignores a position outside the store.
class TMatrix {
  public:
    // The record size is fixed for the life of the store; the store starts blank (1 x 1).
    TMatrix(int recordSize, QString fileName);
    virtual ~TMatrix();
    TMatrix(const TMatrix&) = delete;
    TMatrix& operator=(const TMatrix&) = delete;

    int ColCount() const { return colCount_; }
    int RowCount() const { return rowCount_; }
    int Capacity() const { return capacity_; }  // records the buffer holds, >= ColCount x RowCount
    int RecordSize() const { return recordSize_; }
    const QString& FileName() const { return fileName_; }
    const std::uint8_t* Data() const { return data_.get(); }

    // 1 x 1 with the one record cleared.
    void Reset();
    bool IsBlank() const { return colCount_ == 1 && rowCount_ == 1; }
    int Count() const { return colCount_ * rowCount_; }
    bool IsValidPosition(int col, int row) const {
        return col >= 0 && col < colCount_ && row >= 0 && row < rowCount_;
    }

    // Both keep the records that still fit and clear the new ones. n < 1 is ignored. False, with
    // the store unchanged, when the buffer for the new size cannot be had.
    bool SetColCount(int n);
    bool SetRowCount(int n);

    void ClearRecord(int col, int row);
    void PutRecord(const std::uint8_t* record, int col, int row);
    // Shifts the records col .. ColCount-2 of the row one column right (the last one is lost),
    // then puts the record at col.
    void InsertRecord(const std::uint8_t* record, int col, int row);
    // Leaves the destination untouched and returns false at an invalid position.
    bool GetRecord(std::uint8_t* record, int col, int row) const;

    // A missing file is created empty. A file that exists, is not empty and cannot be loaded
    // (short header, dimensions below 1, more records announced than the file holds, or a buffer
    // that cannot be had) is renamed aside before the store goes blank, so nothing ever
    // overwrites it.
    LoadResult LoadFromFile();
    // Reads the file and changes nothing on disk (for an export while the program may be running).
    // A missing or empty file leaves the store blank (Empty); a file that cannot be read or that
    // is damaged leaves it blank too and gives Failed, with the reason in Error.
    LoadResult ReadFromFile();
    // Writes the whole file atomically: a crash or kill during the save leaves the previous file.
    // False on a file error; see LastError.
    bool SaveToFile();

    // The same with the busy cursor shown for the duration. Save writes nothing while the file
    // still holds exactly what the store holds (as last saved or loaded): a minute without a
    // packet costs the disk nothing.
    LoadResult Load(IBusyCursor* busy = nullptr);
    bool Save(IBusyCursor* busy = nullptr);

    const QString& LastError() const { return lastError_; }

  protected:
    std::uint8_t* RecordAt(int col, int row) const {
        return data_.get() + (static_cast<std::size_t>(row) * colCount_ + col) * recordSize_;
    }

  private:
    // Re-sizes the buffer for a store of cols x rows by the doubling and halving rule, keeping the
    // leading bytes. False (buffer unchanged) when the size overflows or cannot be allocated.
    bool SizeBuffer(int cols, int rows);
    void ClearRange(std::size_t firstRecord, std::size_t records);
    LoadResult KeepAside(const QString& why);
    // Reads the header and records of an open, non-empty file: empty, or why it cannot be loaded.
    QString ReadRecords(QFile& file);
    // Of the dimensions and the records, as the file would hold them.
    std::size_t ContentHash() const;

    int colCount_ = 0;
    int rowCount_ = 0;
    int capacity_ = 0;
    const int recordSize_;
    QString fileName_;
    // Zero-filled pages straight from the system, so that those never written stay unbacked.
    using Buffer = std::unique_ptr<std::uint8_t[], TMatrixUnmap>;
    static Buffer AllocateZeroed(std::size_t bytes);
    Buffer data_;
    QString lastError_;
    // What the file held when this store last matched it; none: not known to match.
    std::optional<std::size_t> onDisk_;
};

}  // namespace lumvaris::meterdata
