#include "meterdata/TMatrix.h"

#include <QCoreApplication>
#include "meterdata/DamagedFile.h"
#include "meterdata/FileProblem.h"
#include "meterdata/IBusyCursor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <new>
#include <string_view>
#include <vector>

namespace lumvaris::meterdata {

namespace {

constexpr std::int64_t kMinCapacity = 256;
constexpr std::int64_t kMaxCapacity = std::numeric_limits<std::int32_t>::max();
constexpr int kHeaderSize = 8;

std::int32_t GetInt32(const char* p) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        v |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(p[i])) << (8 * i);
    }
    return static_cast<std::int32_t>(v);
}

void PutInt32(char* p, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<char>(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// Zeros are neither written over zeros nor copied: a page that was never written stays the
// system's shared zero page, so a store of a few hundred meters of which a handful are heard
// costs the memory of that handful.
constexpr std::size_t kPage = 4096;

bool AllZero(const std::uint8_t* p, std::size_t bytes) {
    return bytes == 0 || (p[0] == 0 && std::memcmp(p, p + 1, bytes - 1) == 0);
}

// By page-sized pieces of the destination; the ranges must not overlap.
void CopyNonZero(std::uint8_t* to, const std::uint8_t* from, std::size_t bytes) {
    for (std::size_t at = 0; at < bytes;) {
        const std::size_t piece =
            std::min(bytes - at, kPage - reinterpret_cast<std::uintptr_t>(to + at) % kPage);
        if (!AllZero(from + at, piece)) {
            std::memcpy(to + at, from + at, piece);
        } else if (!AllZero(to + at, piece)) {
            std::memset(to + at, 0, piece);
        }
        at += piece;
    }
}

void ZeroNonZero(std::uint8_t* to, std::size_t bytes) {
    for (std::size_t at = 0; at < bytes;) {
        const std::size_t piece =
            std::min(bytes - at, kPage - reinterpret_cast<std::uintptr_t>(to + at) % kPage);
        if (!AllZero(to + at, piece)) {
            std::memset(to + at, 0, piece);
        }
        at += piece;
    }
}

}  // namespace

TMatrix::TMatrix(int recordSize, QString fileName)
    : recordSize_(std::max(recordSize, 1)), fileName_(std::move(fileName)) {
    Reset();
}

TMatrix::~TMatrix() = default;

void TMatrixUnmap::operator()(std::uint8_t* p) const {
    munmap(p, bytes);
}

TMatrix::Buffer TMatrix::AllocateZeroed(std::size_t bytes) {
    const std::size_t mapped = std::max<std::size_t>(bytes, 1);
    void* p = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) {
        return Buffer(nullptr, TMatrixUnmap{});
    }
    return Buffer(static_cast<std::uint8_t*>(p), TMatrixUnmap{mapped});
}

bool TMatrix::SizeBuffer(int cols, int rows) {
    const std::int64_t need = static_cast<std::int64_t>(cols) * rows;
    if (need > kMaxCapacity) {
        return false;
    }
    std::int64_t capacity = std::max<std::int64_t>(capacity_, kMinCapacity);
    while (need > capacity) {
        capacity *= 2;
    }
    if (need != 0 && capacity > 2 * kMinCapacity) {
        while (capacity > 3 * need) {
            capacity /= 2;
        }
    }
    if (capacity > kMaxCapacity) {
        // Doubling overshot the limit, yet need itself fits: settle for the limit.
        capacity = kMaxCapacity;
    }
    const auto bytes = static_cast<std::uint64_t>(capacity) * static_cast<std::uint64_t>(recordSize_);
    if (bytes > static_cast<std::uint64_t>(std::numeric_limits<std::ptrdiff_t>::max())) {
        return false;
    }
    if (capacity == capacity_ && data_) {
        return true;
    }
    Buffer fresh = AllocateZeroed(bytes);
    if (!fresh) {
        // Giving memory back may fail too; the larger buffer still holds the smaller store.
        return capacity < capacity_;
    }
    // Only the records of the current dimensions carry anything worth keeping.
    const auto keep = std::min<std::uint64_t>(bytes, static_cast<std::uint64_t>(Count()) * recordSize_);
    if (data_ && keep > 0) {
        CopyNonZero(fresh.get(), data_.get(), keep);
    }
    data_ = std::move(fresh);
    capacity_ = static_cast<int>(capacity);
    return true;
}

void TMatrix::ClearRange(std::size_t firstRecord, std::size_t records) {
    ZeroNonZero(data_.get() + firstRecord * recordSize_, records * recordSize_);
}

void TMatrix::Reset() {
    // A buffer for one record is always to be had once the store exists: SizeBuffer only fails
    // here if the very first allocation (256 records) fails.
    if (!SizeBuffer(1, 1)) {
        throw std::bad_alloc();
    }
    colCount_ = 1;
    rowCount_ = 1;
    ClearRange(0, 1);
}

bool TMatrix::SetColCount(int n) {
    const int old = colCount_;
    if (n < 1) {
        return true;
    }
    const std::size_t rs = recordSize_;
    if (n < old) {
        for (std::size_t r = 0; r < static_cast<std::size_t>(rowCount_); ++r) {
            std::memmove(data_.get() + r * n * rs, data_.get() + r * old * rs, n * rs);
        }
        colCount_ = n;
        SizeBuffer(colCount_, rowCount_);  // shrinking never leaves a buffer too small
        return true;
    }
    if (!SizeBuffer(n, rowCount_)) {
        return false;
    }
    colCount_ = n;
    if (n > old) {
        for (std::size_t r = rowCount_; r-- > 0;) {
            if (AllZero(data_.get() + r * old * rs, old * rs)) {
                ClearRange(r * n, n);
                continue;
            }
            std::memmove(data_.get() + r * n * rs, data_.get() + r * old * rs, old * rs);
            ClearRange(r * n + old, n - old);
        }
    }
    return true;
}

bool TMatrix::SetRowCount(int n) {
    const int old = rowCount_;
    if (n < 1) {
        return true;
    }
    if (!SizeBuffer(colCount_, n)) {
        return false;
    }
    rowCount_ = n;
    if (n > old) {
        ClearRange(static_cast<std::size_t>(old) * colCount_, static_cast<std::size_t>(n - old) * colCount_);
    }
    return true;
}

void TMatrix::ClearRecord(int col, int row) {
    if (IsValidPosition(col, row)) {
        std::memset(RecordAt(col, row), 0, recordSize_);
    }
}

void TMatrix::PutRecord(const std::uint8_t* record, int col, int row) {
    if (IsValidPosition(col, row)) {
        std::memmove(RecordAt(col, row), record, recordSize_);
    }
}

void TMatrix::InsertRecord(const std::uint8_t* record, int col, int row) {
    if (!IsValidPosition(col, row)) {
        return;
    }
    // A source inside this store would move under the shift; copy it out first.
    std::vector<std::uint8_t> copy;
    const std::uint8_t* begin = data_.get();
    const std::uint8_t* end = begin + static_cast<std::size_t>(capacity_) * recordSize_;
    if (!std::less<const std::uint8_t*>()(record, begin) && std::less<const std::uint8_t*>()(record, end)) {
        copy.assign(record, record + recordSize_);
        record = copy.data();
    }
    std::uint8_t* at = RecordAt(col, row);
    std::memmove(at + recordSize_, at, static_cast<std::size_t>(colCount_ - 1 - col) * recordSize_);
    std::memcpy(at, record, recordSize_);
}

bool TMatrix::GetRecord(std::uint8_t* record, int col, int row) const {
    if (!IsValidPosition(col, row)) {
        return false;
    }
    std::memmove(record, RecordAt(col, row), recordSize_);
    return true;
}

LoadResult TMatrix::KeepAside(const QString& why) {
    Reset();
    if (QString keptAside = RenameDamagedFile(fileName_); !keptAside.isEmpty()) {
        LoadResult result;
        result.Status = LoadStatus::KeptAside;
        result.KeptAsideName = std::move(keptAside);
        return result;
    }
    LoadResult result;
    result.Status = LoadStatus::Failed;
    result.Error =
        QCoreApplication::translate("meterdata::TMatrix",
                                    "Файл базы данных «%1» не загружен (%2) и не может быть переименован; "
                                    "данные этого хранилища не будут сохраняться, чтобы файл остался "
                                    "нетронутым.")
            .arg(Native(fileName_), why);
    lastError_ = result.Error;
    fileName_.clear();
    return result;
}

LoadResult TMatrix::LoadFromFile() {
    lastError_.clear();
    QFile file(fileName_);
    if (!QFileInfo::exists(fileName_)) {
        if (!file.open(QIODevice::WriteOnly)) {
            LoadResult result;
            result.Status = LoadStatus::Failed;
            result.Error =
                QCoreApplication::translate("meterdata::TMatrix", "Не удалось создать файл «%1»: %2")
                    .arg(Native(fileName_), file.errorString());
            lastError_ = result.Error;
            return result;
        }
        file.close();
        Reset();
        return {};
    }
    const QFileInfo info(fileName_);
    if (!info.isFile()) {
        LoadResult result;
        result.Status = LoadStatus::Failed;
        result.Error = QCoreApplication::translate("meterdata::TMatrix", "«%1» не является файлом.")
                           .arg(Native(fileName_));
        lastError_ = result.Error;
        return result;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        if (info.size() == 0) {
            Reset();
            return {};
        }
        return KeepAside(file.errorString());
    }
    const qint64 size = file.size();
    if (size == 0) {
        Reset();
        return {};
    }
    if (const QString why = ReadRecords(file); !why.isEmpty()) {
        file.close();
        return KeepAside(why);
    }
    onDisk_ = file.size() == kHeaderSize + static_cast<qint64>(Count()) * recordSize_
                  ? std::optional<std::size_t>(ContentHash())
                  : std::nullopt;
    LoadResult result;
    result.Status = LoadStatus::Loaded;
    return result;
}

std::size_t TMatrix::ContentHash() const {
    const std::size_t bytes = static_cast<std::size_t>(Count()) * recordSize_;
    std::size_t hash =
        std::hash<std::string_view>{}(std::string_view(reinterpret_cast<const char*>(data_.get()), bytes));
    const std::size_t dimensions =
        std::hash<long long>{}((static_cast<long long>(colCount_) << 32) | rowCount_);
    return hash ^ (dimensions + 0x9E3779B97F4A7C15ull + (hash << 6) + (hash >> 2));
}

QString TMatrix::ReadRecords(QFile& file) {
    const qint64 size = file.size();
    char header[kHeaderSize];
    if (file.read(header, kHeaderSize) != kHeaderSize) {
        return QCoreApplication::translate("meterdata::TMatrix", "короткий заголовок");
    }
    const std::int32_t cols = GetInt32(header);
    const std::int32_t rows = GetInt32(header + 4);
    if (cols < 1 || rows < 1) {
        return QCoreApplication::translate("meterdata::TMatrix", "размеры %1 x %2").arg(cols).arg(rows);
    }
    // Up to 2^62 records: compared by division, as their byte count could overflow.
    const std::int64_t records = static_cast<std::int64_t>(cols) * rows;
    if (records > (size - kHeaderSize) / recordSize_) {
        return QCoreApplication::translate("meterdata::TMatrix", "файл короче своих записей");
    }
    if (!SizeBuffer(cols, rows)) {
        return QCoreApplication::translate("meterdata::TMatrix", "нет памяти для %1 x %2 записей")
            .arg(cols)
            .arg(rows);
    }
    colCount_ = cols;
    rowCount_ = rows;
    // Through a small buffer: the empty rows of a file stay unbacked in memory.
    const qint64 bytes = records * recordSize_;
    std::vector<std::uint8_t> piece(16 * kPage);
    for (qint64 at = 0; at < bytes;) {
        const qint64 want = std::min<qint64>(bytes - at, static_cast<qint64>(piece.size()));
        if (file.read(reinterpret_cast<char*>(piece.data()), want) != want) {
            return QCoreApplication::translate("meterdata::TMatrix", "ошибка чтения");
        }
        CopyNonZero(data_.get() + at, piece.data(), static_cast<std::size_t>(want));
        at += want;
    }
    return {};
}

LoadResult TMatrix::ReadFromFile() {
    lastError_.clear();
    Reset();
    LoadResult result;
    const QFileInfo info(fileName_);
    if (!info.exists()) {
        return result;
    }
    QFile file(fileName_);
    QString why;
    if (!info.isFile()) {
        why = QCoreApplication::translate("meterdata::TMatrix", "это не файл");
    } else if (!file.open(QIODevice::ReadOnly)) {
        why = file.errorString();
    } else if (file.size() == 0) {
        return result;
    } else {
        why = ReadRecords(file);
    }
    if (why.isEmpty()) {
        result.Status = LoadStatus::Loaded;
        return result;
    }
    Reset();
    result.Status = LoadStatus::Failed;
    result.Error = QCoreApplication::translate("meterdata::TMatrix", "Файл базы данных «%1» не прочитан: %2.")
                       .arg(Native(fileName_), why);
    lastError_ = result.Error;
    return result;
}

bool TMatrix::SaveToFile() {
    lastError_.clear();
    onDisk_.reset();
    if (fileName_.isEmpty()) {
        lastError_ = QCoreApplication::translate("meterdata::TMatrix", "У хранилища нет файла.");
        return false;
    }
    QSaveFile file(fileName_);
    if (!file.open(QIODevice::WriteOnly)) {
        lastError_ = QCoreApplication::translate("meterdata::TMatrix", "Не удалось записать файл «%1»: %2")
                         .arg(Native(fileName_), WriteFailure(fileName_, file));
        return false;
    }
    char header[kHeaderSize];
    PutInt32(header, colCount_);
    PutInt32(header + 4, rowCount_);
    const qint64 bytes = static_cast<qint64>(Count()) * recordSize_;
    if (file.write(header, kHeaderSize) != kHeaderSize ||
        file.write(reinterpret_cast<const char*>(data_.get()), bytes) != bytes || !file.commit()) {
        lastError_ = QCoreApplication::translate("meterdata::TMatrix", "Не удалось записать файл «%1»: %2")
                         .arg(Native(fileName_), WriteFailure(fileName_, file));
        return false;
    }
    onDisk_ = ContentHash();
    return true;
}

LoadResult TMatrix::Load(IBusyCursor* busy) {
    BusyScope scope(busy);
    return LoadFromFile();
}

bool TMatrix::Save(IBusyCursor* busy) {
    // The file is looked at too: one removed or replaced from outside is written again.
    if (onDisk_ && *onDisk_ == ContentHash() && !fileName_.isEmpty() &&
        QFileInfo(fileName_).size() == kHeaderSize + static_cast<qint64>(Count()) * recordSize_) {
        lastError_.clear();
        return true;
    }
    BusyScope scope(busy);
    return SaveToFile();
}

}  // namespace lumvaris::meterdata
