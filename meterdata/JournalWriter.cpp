#include "meterdata/JournalWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <utility>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace lumvaris::meterdata {

namespace {

// While the journal cannot be written (a full disk), the records not written are kept for the
// next try, up to this many; they are in the stores anyway, and the next good save keeps them.
constexpr std::size_t kMaxKept = 1 << 16;

#ifdef Q_OS_WIN
int OpenFile(const QString& name, bool fresh) {
    const int flags = _O_RDWR | _O_CREAT | _O_APPEND | _O_BINARY | _O_NOINHERIT | (fresh ? _O_TRUNC : 0);
    return _wopen(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(name).utf16()), flags,
                  _S_IREAD | _S_IWRITE);
}
long long Write(int fd, const std::uint8_t* data, std::size_t size) {
    return _write(fd, data, static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30)));
}
bool Truncate(int fd, std::uint64_t size) {
    return _chsize_s(fd, static_cast<long long>(size)) == 0;
}
bool SyncData(int fd) {
    return _commit(fd) == 0;
}
bool FileSize(int fd, std::uint64_t& size) {
    struct _stat64 st;
    if (_fstat64(fd, &st) != 0) {
        return false;
    }
    size = static_cast<std::uint64_t>(st.st_size);
    return true;
}
void CloseFile(int fd) {
    _close(fd);
}
// A rename is made durable by the file system itself.
void SyncDirectory(const QString&) {}
#else
int OpenFile(const QString& name, bool fresh) {
    const int flags = O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC | (fresh ? O_TRUNC : 0);
    return ::open(QFile::encodeName(name).constData(), flags, 0666);
}
long long Write(int fd, const std::uint8_t* data, std::size_t size) {
    return ::write(fd, data, size);
}
bool Truncate(int fd, std::uint64_t size) {
    return ::ftruncate(fd, static_cast<off_t>(size)) == 0;
}
bool SyncData(int fd) {
#ifdef Q_OS_MACOS
    return ::fsync(fd) == 0;
#else
    return ::fdatasync(fd) == 0;
#endif
}
bool FileSize(int fd, std::uint64_t& size) {
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        return false;
    }
    size = static_cast<std::uint64_t>(st.st_size);
    return true;
}
void CloseFile(int fd) {
    ::close(fd);
}
// The database files a save just renamed into place must be on the disk under their names before
// the journal that holds the same records is emptied. A file system that cannot sync a directory
// orders its metadata itself.
void SyncDirectory(const QString& fileName) {
    const int fd = ::open(QFile::encodeName(QFileInfo(fileName).absolutePath()).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}
#endif

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const long long written = Write(fd, data, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (written == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

JournalWriter::~JournalWriter() {
    Stop();
}

bool JournalWriter::Start(const QString& fileName, bool fresh, const std::vector<JournalEntry>& entries,
                          std::size_t goodBytes, QString& error) {
    fileName_ = fileName;
    fd_ = OpenFile(fileName, fresh);
    std::uint64_t size = 0;
    bool ok = fd_ >= 0 && FileSize(fd_, size);
    if (ok && (fresh || goodBytes < kJournalHeaderSize)) {
        std::uint8_t header[kJournalHeaderSize];
        EncodeJournalHeader(header);
        ok = Truncate(fd_, 0) && WriteAll(fd_, header, sizeof header);
        size = sizeof header;
    } else if (ok && goodBytes < size) {
        ok = Truncate(fd_, goodBytes);
        size = goodBytes;
    }
    if (ok && fresh && !entries.empty()) {
        bytes_.resize(entries.size() * kJournalRecordSize);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            EncodeJournalRecord(entries[i], bytes_.data() + i * kJournalRecordSize);
        }
        ok = WriteAll(fd_, bytes_.data(), bytes_.size());
        size += bytes_.size();
    }
    ok = ok && SyncData(fd_);
    if (!ok) {
        error = QCoreApplication::translate("meterdata::JournalWriter", "не удалось записать журнал «%1»: %2")
                    .arg(QDir::toNativeSeparators(fileName), qt_error_string(errno));
        if (fd_ >= 0) {
            CloseFile(fd_);
            fd_ = -1;
        }
        return false;
    }
    size_ = size;
    pending_.reserve(256);
    thread_ = std::thread(&JournalWriter::Run, this);
    return true;
}

void JournalWriter::Add(const MeterRecord& record, RecordSource source) {
    pending_.push_back({++added_, {record, source}});
}

void JournalWriter::Commit() {
    if (pending_.empty()) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        if (queued_.empty()) {
            queued_.swap(pending_);
        } else {
            queued_.insert(queued_.end(), pending_.begin(), pending_.end());
        }
    }
    pending_.clear();
    wake_.notify_one();
}

void JournalWriter::SavedAllAdded() {
    {
        std::lock_guard lock(mutex_);
        emptyThrough_ = added_;
        emptyAsked_ = true;
    }
    wake_.notify_one();
}

void JournalWriter::Flush() {
    Commit();
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return !thread_.joinable() || (queued_.empty() && !emptyAsked_ && !busy_); });
}

void JournalWriter::Stop() {
    End(true);
}

void JournalWriter::Abandon() {
    End(false);
}

void JournalWriter::End(bool write) {
    if (write) {
        Commit();
    }
    pending_.clear();
    if (thread_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            if (!write) {
                queued_.clear();
                emptyAsked_ = false;
            }
            stop_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    if (fd_ >= 0) {
        CloseFile(fd_);
        fd_ = -1;
    }
}

QString JournalWriter::Problem() const {
    std::lock_guard lock(mutex_);
    return problem_;
}

void JournalWriter::Fail(int error) {
    std::lock_guard lock(mutex_);
    problem_ = QCoreApplication::translate("meterdata::JournalWriter", "Не удалось записать журнал «%1»: %2")
                   .arg(QDir::toNativeSeparators(fileName_), qt_error_string(error));
}

void JournalWriter::Run() {
    std::vector<Entry> batch;
    std::uint64_t emptied = 0;  // every record numbered up to this one is in the database files
    for (;;) {
        bool empty = false;
        bool stopping = false;
        std::uint64_t through = 0;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || emptyAsked_ || !queued_.empty(); });
            if (batch.empty()) {
                batch.swap(queued_);
            } else {
                batch.insert(batch.end(), queued_.begin(), queued_.end());
                queued_.clear();
            }
            empty = std::exchange(emptyAsked_, false);
            through = emptyThrough_;
            stopping = stop_;
            busy_ = true;
        }
        // Every record in the file was handed over before the save asked, so it is numbered up
        // to the save's number: the whole file goes. Records of this batch numbered after it stay.
        if (empty && Empty()) {
            emptied = through;
        }
        if (Append(batch, emptied)) {
            batch.clear();
        } else if (batch.size() > kMaxKept) {
            batch.erase(batch.begin(), batch.end() - kMaxKept);
        }
        {
            std::lock_guard lock(mutex_);
            busy_ = false;
        }
        idle_.notify_all();
        if (stopping) {
            return;
        }
    }
}

bool JournalWriter::Empty() {
    SyncDirectory(fileName_);
    if (!Truncate(fd_, kJournalHeaderSize)) {
        Fail(errno);
        return false;
    }
    size_ = kJournalHeaderSize;
    if (!SyncData(fd_)) {
        Fail(errno);
    }
    return true;
}

bool JournalWriter::Append(const std::vector<Entry>& batch, std::uint64_t emptied) {
    bytes_.clear();
    for (const Entry& entry : batch) {
        if (entry.Number > emptied) {
            const std::size_t at = bytes_.size();
            bytes_.resize(at + kJournalRecordSize);
            EncodeJournalRecord(entry.Filed, bytes_.data() + at);
        }
    }
    if (bytes_.empty()) {
        return true;
    }
    if (!WriteAll(fd_, bytes_.data(), bytes_.size())) {
        const int error = errno;
        // A part written would be a torn record in the middle once the next batch follows it.
        Truncate(fd_, size_);
        Fail(error);
        return false;
    }
    size_ += bytes_.size();
    if (!SyncData(fd_)) {
        // What the kernel failed to write cannot be trusted to be retried; the next save keeps it.
        Fail(errno);
        return true;
    }
    std::lock_guard lock(mutex_);
    problem_.clear();
    return true;
}

}  // namespace lumvaris::meterdata
