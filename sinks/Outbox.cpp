#include "sinks/Outbox.h"

#include <QCoreApplication>
#include "meterdata/DamagedFile.h"
#include "meterdata/DayTime.h"
#include "meterdata/MeterDatabase.h"
#include "meterdata/MeterJournal.h"
#include "sinks/FileText.h"
#include "sinks/LocalInstants.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTimeZone>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace lumvaris::sinks {

namespace {

constexpr char kMagic[8] = {'L', 'U', 'M', 'V', 'O', 'U', 'T', 'B'};
constexpr std::uint32_t kVersion = 1;
constexpr qint64 kSlotsAt = 16;
constexpr qint64 kSlotSize = 24;
constexpr qint64 kUrlAt = kSlotsAt + 2 * kSlotSize;  // 64
constexpr std::size_t kMaxBody = 24 + 1 + 8 + 1 + 16 + 2 + 1024;
// Entries kept in memory while the disk refuses them (a full disk), beyond which Add refuses.
constexpr qint64 kMaxUnwritten = 1 << 16;
// A backlog is copied without its delivered part once that part is this large and at least half.
constexpr qint64 kCompactBytes = 16LL << 20;
// After the writer's write failed, it tries again after this long.
constexpr auto kRetry = std::chrono::milliseconds(1000);

using meterdata::Crc32;

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}
void Put64(std::vector<std::uint8_t>& out, std::uint64_t v) {
    Put32(out, static_cast<std::uint32_t>(v));
    Put32(out, static_cast<std::uint32_t>(v >> 32));
}
std::uint32_t Get16(const std::uint8_t* p) {
    return p[0] | (p[1] << 8);
}
std::uint32_t Get32(const std::uint8_t* p) {
    return Get16(p) | (Get16(p + 2) << 16);
}
std::uint64_t Get64(const std::uint8_t* p) {
    return Get32(p) | (static_cast<std::uint64_t>(Get32(p + 4)) << 32);
}

void Encode(const OutboxEntry& entry, std::vector<std::uint8_t>& out) {
    const QByteArray uart = entry.UartId.toLatin1().left(16);
    QByteArray site = entry.Site.toUtf8();
    if (site.size() > 1024) {
        site.truncate(1024);
    }
    const std::size_t at = out.size();
    Put16(out, 0);  // the body's length, below
    const std::size_t body = out.size();
    out.resize(body + meterdata::MeterRecord::kSize);
    entry.Record.Encode(out.data() + body);
    out.push_back(entry.Source == meterdata::RecordSource::Buffer ? 1 : 0);
    Put64(out, static_cast<std::uint64_t>(entry.UtcMs));
    out.push_back(static_cast<std::uint8_t>(uart.size()));
    out.insert(out.end(), uart.begin(), uart.end());
    Put16(out, static_cast<std::uint32_t>(site.size()));
    out.insert(out.end(), site.begin(), site.end());
    const std::size_t length = out.size() - body;
    out[at] = static_cast<std::uint8_t>(length);
    out[at + 1] = static_cast<std::uint8_t>(length >> 8);
    Put32(out, Crc32(out.data() + body, length));
}

// One entry at `p` with `size` bytes left: its full size, or 0 when it is no good entry.
std::size_t Decode(const std::uint8_t* p, std::size_t size, OutboxEntry* entry) {
    if (size < 2) {
        return 0;
    }
    const std::size_t length = Get16(p);
    constexpr std::size_t kFixed = meterdata::MeterRecord::kSize + 1 + 8 + 1 + 2;
    if (length < kFixed || length > kMaxBody || size < 2 + length + 4 ||
        Get32(p + 2 + length) != Crc32(p + 2, length)) {
        return 0;
    }
    const std::uint8_t* b = p + 2;
    const std::size_t uartLength = b[33];
    if (34 + uartLength + 2 > length) {
        return 0;
    }
    const std::size_t siteLength = Get16(b + 34 + uartLength);
    if (34 + uartLength + 2 + siteLength != length) {
        return 0;
    }
    if (entry != nullptr) {
        entry->Record = meterdata::MeterRecord::Decode(b);
        entry->Source = b[24] == 1 ? meterdata::RecordSource::Buffer : meterdata::RecordSource::Live;
        entry->UtcMs = static_cast<qint64>(Get64(b + 25));
        entry->UartId =
            QString::fromLatin1(reinterpret_cast<const char*>(b + 34), static_cast<qsizetype>(uartLength));
        entry->Site = QString::fromUtf8(reinterpret_cast<const char*>(b + 36 + uartLength),
                                        static_cast<qsizetype>(siteLength));
    }
    return 2 + length + 4;
}

std::vector<std::uint8_t> Header(const QString& url) {
    const QByteArray address = url.toUtf8();
    std::vector<std::uint8_t> out(kMagic, kMagic + 8);
    Put32(out, kVersion);
    Put32(out, static_cast<std::uint32_t>(address.size()));
    out.resize(kUrlAt, 0);  // the slots: written apart
    out.insert(out.end(), address.begin(), address.end());
    std::vector<std::uint8_t> checked(out.begin(), out.begin() + kSlotsAt);
    checked.insert(checked.end(), address.begin(), address.end());
    Put32(out, Crc32(checked.data(), checked.size()));
    return out;
}

bool SyncData(QFile& file) {
    if (!file.flush()) {
        return false;
    }
#ifdef Q_OS_WIN
    return _commit(file.handle()) == 0;
#elif defined(Q_OS_MACOS)
    return ::fsync(file.handle()) == 0;
#else
    return ::fdatasync(file.handle()) == 0;
#endif
}

}  // namespace

QString Outbox::FileName(const QString& directory, const QString& portName, const QString& url) {
    const QByteArray digest = QCryptographicHash::hash(url.toUtf8(), QCryptographicHash::Sha256).toHex();
    const QString suffix = QStringLiteral("-OUTBOX-%1.bin").arg(QString::fromLatin1(digest.left(16)));
    return meterdata::MeterDatabase::DatabaseFileName(directory, portName, suffix.toUtf8().constData());
}

Outbox::~Outbox() {
    Close();
}

bool Outbox::IsOpen() const {
    std::lock_guard lock(fileMutex_);
    return read_ != nullptr;
}

bool Outbox::ReadHeader(QString& notice) {
    const std::vector<std::uint8_t> expected = Header(url_);
    const QByteArray head = read_->read(static_cast<qint64>(expected.size()));
    const auto* p = reinterpret_cast<const std::uint8_t*>(head.constData());
    const bool same = head.size() == static_cast<qsizetype>(expected.size()) &&
                      std::memcmp(p, expected.data(), kSlotsAt) == 0 &&
                      std::memcmp(p + kUrlAt, expected.data() + kUrlAt, expected.size() - kUrlAt) == 0;
    if (!same) {
        notice = QCoreApplication::translate(
            "sinks::Outbox", "Очередь показаний «%1» повреждена или принадлежит другому адресу");
        return false;
    }
    entriesStart_ = static_cast<qint64>(expected.size());
    acknowledged_ = entriesStart_;
    for (int slot = 0; slot < 2; ++slot) {
        const std::uint8_t* s = p + kSlotsAt + slot * kSlotSize;
        if (Get32(s + 16) != Crc32(s, 16)) {
            continue;
        }
        const std::uint64_t serial = Get64(s);
        if (serial >= slotSerial_ && serial != 0) {
            slotSerial_ = serial;
            acknowledged_ = static_cast<qint64>(Get64(s + 8));
        }
    }
    return true;
}

void Outbox::ScanEntries(QString& notice) {
    const qint64 size = read_->size();
    // A cut back to the header that a kill interrupted leaves an acknowledgement past the end.
    acknowledged_ = std::clamp(acknowledged_.load(), entriesStart_, size);
    read_->seek(acknowledged_);
    const QByteArray rest = read_->read(size - acknowledged_);
    const auto* p = reinterpret_cast<const std::uint8_t*>(rest.constData());
    std::size_t at = 0;
    pendingOnDisk_ = 0;
    while (at < static_cast<std::size_t>(rest.size())) {
        const std::size_t used = Decode(p + at, static_cast<std::size_t>(rest.size()) - at, nullptr);
        if (used == 0) {
            break;
        }
        at += used;
        ++pendingOnDisk_;
    }
    end_ = acknowledged_ + static_cast<qint64>(at);
    const qint64 lost = size - end_;
    if (lost > 0) {
        // A write cut short by a power cut is shorter than one entry; anything longer is damage.
        if (lost > static_cast<qint64>(2 + kMaxBody + 4)) {
            notice = QCoreApplication::translate(
                         "sinks::Outbox",
                         "Очередь показаний «%1» повреждена: %2 байт после %3 показаний отброшены; "
                         "недостающее допишет команда export.")
                         .arg(QDir::toNativeSeparators(fileName_))
                         .arg(lost)
                         .arg(pendingOnDisk_);
        }
        read_->resize(end_);
    }
    taken_ = acknowledged_;
}

bool Outbox::Open(const QString& fileName, const QString& url, const Options& options, QString& error,
                  QString& notice) {
    Close();
    fileName_ = fileName;
    url_ = url;
    options_ = options;
    error.clear();
    notice.clear();
    slotSerial_ = 0;
    dropped_ = 0;
    {
        std::lock_guard lock(addMutex_);
        added_.clear();
        addedCount_ = addedBytes_ = 0;
        stop_ = false;
        problem_.clear();
    }
    // No writer runs yet: nothing else touches the file's state here.
    const auto fail = [&](const QString& why) {
        error = QCoreApplication::translate("sinks::Outbox", "Не удалось открыть очередь показаний «%1»: %2")
                    .arg(QDir::toNativeSeparators(fileName), why);
        read_.reset();
        append_.reset();
        return false;
    };
    read_ = std::make_unique<QFile>(fileName);
    const QFileInfo info(fileName);
    const bool existed = info.isFile() && info.size() > 0;
    if (info.exists() && !info.isFile()) {
        return fail(QCoreApplication::translate("sinks::Outbox", "это не файл"));
    }
    if (!read_->open(QIODevice::ReadWrite)) {
        return fail(FileErrorText(*read_));
    }
    bool fresh = !existed;
    if (existed && !ReadHeader(notice)) {
        read_->close();
        const QString aside = meterdata::RenameDamagedFile(fileName);
        notice = notice.arg(QDir::toNativeSeparators(fileName)) +
                 (aside.isEmpty() ? QCoreApplication::translate("sinks::Outbox", ": она начата заново.")
                                  : QCoreApplication::translate(
                                        "sinks::Outbox", ": она сохранена под именем «%1», начата новая.")
                                        .arg(QDir::toNativeSeparators(aside)));
        if (!read_->open(QIODevice::ReadWrite | QIODevice::Truncate)) {
            return fail(FileErrorText(*read_));
        }
        fresh = true;
    }
    if (fresh) {
        const std::vector<std::uint8_t> header = Header(url);
        if (!read_->resize(0) || !read_->seek(0) ||
            read_->write(reinterpret_cast<const char*>(header.data()), static_cast<qint64>(header.size())) !=
                static_cast<qint64>(header.size()) ||
            !read_->flush()) {
            return fail(FileErrorText(*read_));
        }
        entriesStart_ = static_cast<qint64>(header.size());
        end_ = acknowledged_ = taken_ = entriesStart_;
        pendingOnDisk_ = 0;
        WriteSlot(entriesStart_);
    } else {
        QString damage;
        ScanEntries(damage);
        if (!damage.isEmpty()) {
            notice = damage;
        }
    }
    takenEnds_.clear();
    append_ = std::make_unique<QFile>(fileName);
    if (!append_->open(QIODevice::WriteOnly | QIODevice::Append)) {
        return fail(FileErrorText(*append_));
    }
    writer_ = std::thread([this] { Run(); });
    return true;
}

bool Outbox::WriteSlot(qint64 offset) {
    // fileMutex_ held.
    std::vector<std::uint8_t> slot;
    Put64(slot, ++slotSerial_);
    Put64(slot, static_cast<std::uint64_t>(offset));
    Put32(slot, Crc32(slot.data(), 16));
    Put32(slot, 0);
    const qint64 at = kSlotsAt + static_cast<qint64>(slotSerial_ % 2) * kSlotSize;
    return read_->seek(at) &&
           read_->write(reinterpret_cast<const char*>(slot.data()), kSlotSize) == kSlotSize && read_->flush();
}

void Outbox::Close() {
    {
        std::lock_guard lock(addMutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (writer_.joinable()) {
        writer_.join();
    }
    std::lock_guard lock(fileMutex_);
    if (read_) {
        CompactIfWorthIt(true);
        SyncData(*read_);
    }
    append_.reset();
    read_.reset();
    takenEnds_.clear();
}

bool Outbox::Add(const OutboxEntry& entry) {
    bool wake = false;
    {
        std::lock_guard lock(addMutex_);
        if (stop_ || writer_.get_id() == std::thread::id()) {
            return false;
        }
        const qint64 before = static_cast<qint64>(added_.size());
        // The bound counts what waits on the disk and in memory; read without the file's lock,
        // the disk's part may lag by an acknowledgement, which only errs on the safe side.
        if (addedCount_ >= kMaxUnwritten ||
            (end_ - acknowledged_) + before + addedBytes_ >= options_.MaxBytes) {
            dropped_.fetch_add(1, std::memory_order_relaxed);
            return false;
        }
        Encode(entry, added_);
        ++addedCount_;
        wake = before == 0;
    }
    if (wake) {
        wake_.notify_one();
    }
    return true;
}

void Outbox::SetReadyCallback(std::function<void()> ready) {
    std::lock_guard lock(addMutex_);
    ready_ = std::move(ready);
}

void Outbox::Run() {
    std::vector<std::uint8_t> batch;
    qint64 count = 0;
    while (true) {
        std::function<void()> ready;
        {
            std::unique_lock lock(addMutex_);
            if (batch.empty()) {
                written_.notify_all();
                wake_.wait(lock, [this] { return stop_ || !added_.empty(); });
                if (added_.empty()) {
                    break;
                }
                batch.swap(added_);
                count = addedCount_;
                addedBytes_ = static_cast<qint64>(batch.size());
                addedCount_ = 0;
            }
            writing_ = true;
            ready = ready_;
        }
        qint64 before = 0;
        bool ok = false;
        QString why;
        {
            std::lock_guard lock(fileMutex_);
            before = end_;
            ok = append_->write(reinterpret_cast<const char*>(batch.data()),
                                static_cast<qint64>(batch.size())) == static_cast<qint64>(batch.size()) &&
                 append_->flush();
            if (ok) {
                // With the memory's share of the bound, so that Add never counts the batch twice.
                std::lock_guard addLock(addMutex_);
                end_ += static_cast<qint64>(batch.size());
                pendingOnDisk_ += count;
                addedBytes_ = 0;
            } else {
                why = FileErrorText(*append_);
                // A part written is cut off, so the next try appends whole entries after whole ones.
                append_->unsetError();
                read_->resize(before);
            }
        }
        if (ok) {
            SyncData(*append_);
            std::lock_guard lock(addMutex_);
            batch.clear();
            writing_ = false;
            problem_.clear();
        } else {
            std::unique_lock lock(addMutex_);
            writing_ = false;
            problem_ = why;
            // What arrived meanwhile goes after the batch that failed.
            batch.insert(batch.end(), added_.begin(), added_.end());
            count += addedCount_;
            added_.clear();
            addedCount_ = 0;
            addedBytes_ = static_cast<qint64>(batch.size());
            if (stop_) {
                break;  // closing: what cannot be written stays in the port's files
            }
            wake_.wait_for(lock, kRetry, [this] { return stop_; });
            continue;
        }
        if (ready) {
            ready();
        }
        std::lock_guard lock(fileMutex_);
        CompactIfWorthIt(false);
    }
    std::lock_guard lock(addMutex_);
    writing_ = false;
    written_.notify_all();
}

void Outbox::CompactIfWorthIt(bool closing) {
    // fileMutex_ held. Nothing taken is outstanding while the offsets move.
    const qint64 delivered = acknowledged_ - entriesStart_;
    if (delivered <= 0 || !takenEnds_.empty() || taken_ != acknowledged_) {
        return;
    }
    if (acknowledged_ == end_) {
        // All delivered: back to the header. A kill between the cut and the slot leaves an offset
        // past the end, read as "all delivered" too.
        if (delivered < (1 << 20) && !closing) {
            return;  // not worth a cut at every batch; at the close, or once larger
        }
        read_->resize(entriesStart_);
        end_ = acknowledged_ = taken_ = entriesStart_;
        WriteSlot(acknowledged_);
        return;
    }
    if (delivered < kCompactBytes || delivered < (end_ - entriesStart_) / 2) {
        return;
    }
    // The part not delivered into a new file that takes the old one's place.
    const QString fresh = fileName_ + QStringLiteral(".new");
    QFile out(fresh);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return;
    }
    const std::vector<std::uint8_t> header = Header(url_);
    bool ok = out.write(reinterpret_cast<const char*>(header.data()), static_cast<qint64>(header.size())) ==
              static_cast<qint64>(header.size());
    read_->seek(acknowledged_);
    for (qint64 left = end_ - acknowledged_; ok && left > 0;) {
        const QByteArray chunk = read_->read(std::min<qint64>(left, 1 << 20));
        ok = !chunk.isEmpty() && out.write(chunk) == chunk.size();
        left -= chunk.size();
    }
    ok = ok && SyncData(out);
    out.close();
    if (!ok) {
        QFile::remove(fresh);
        return;
    }
    // The new file's slots are empty: its entries start unacknowledged at the header's end. Its
    // handles are opened before it takes the old one's name, so they follow it there.
    auto reopened = std::make_unique<QFile>(fresh);
    auto appended = std::make_unique<QFile>(fresh);
    if (!reopened->open(QIODevice::ReadWrite) || !appended->open(QIODevice::WriteOnly | QIODevice::Append)) {
        QFile::remove(fresh);
        return;
    }
#ifdef Q_OS_WIN
    // Windows cannot replace a file that is open.
    reopened.reset();
    appended.reset();
    QFile::remove(fresh);
    return;
#else
    if (std::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(fileName_).constData()) != 0) {
        QFile::remove(fresh);
        return;
    }
    const qint64 shift = acknowledged_ - entriesStart_;
    read_ = std::move(reopened);
    append_ = std::move(appended);
    slotSerial_ = 0;
    end_ -= shift;
    acknowledged_ = entriesStart_;
    taken_ = entriesStart_;
#endif
}

std::size_t Outbox::Take(std::vector<OutboxEntry>& out, std::size_t max) {
    std::lock_guard lock(fileMutex_);
    if (!read_ || taken_ >= end_ || max == 0) {
        return 0;
    }
    // About 60 bytes an entry: read a little more than asked, decode what is whole.
    const qint64 want = std::min<qint64>(end_ - taken_, static_cast<qint64>(max) * 96 + 2048);
    read_->seek(taken_);
    const QByteArray bytes = read_->read(want);
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    std::size_t at = 0;
    std::size_t got = 0;
    OutboxEntry entry;
    while (got < max && at < static_cast<std::size_t>(bytes.size())) {
        const std::size_t used = Decode(p + at, static_cast<std::size_t>(bytes.size()) - at, &entry);
        if (used == 0) {
            break;
        }
        at += used;
        out.push_back(entry);
        takenEnds_.push_back(taken_ + static_cast<qint64>(at));
        ++got;
    }
    if (got == 0 && at == 0 && want == end_ - taken_) {
        // Bytes that decode as nothing where entries were written: skip to the end rather than
        // hang the destination on them.
        taken_ = end_;
        return 0;
    }
    taken_ += static_cast<qint64>(at);
    return got;
}

bool Outbox::HasUnwritten() const {
    std::lock_guard lock(addMutex_);
    return addedCount_ > 0 || writing_;
}

bool Outbox::HasReady() const {
    std::lock_guard lock(fileMutex_);
    return read_ && taken_ < end_;
}

void Outbox::Acknowledge(std::size_t count) {
    std::lock_guard lock(fileMutex_);
    if (!read_ || count == 0) {
        return;
    }
    count = std::min(count, takenEnds_.size());
    if (count == 0) {
        return;
    }
    const qint64 through = takenEnds_[count - 1];
    takenEnds_.erase(takenEnds_.begin(), takenEnds_.begin() + static_cast<std::ptrdiff_t>(count));
    acknowledged_ = through;
    pendingOnDisk_ = std::max<qint64>(0, pendingOnDisk_ - static_cast<qint64>(count));
    WriteSlot(acknowledged_);
}

void Outbox::GiveBack() {
    std::lock_guard lock(fileMutex_);
    takenEnds_.clear();
    taken_ = acknowledged_;
}

qint64 Outbox::Pending() const {
    qint64 onDisk = 0;
    {
        std::lock_guard lock(fileMutex_);
        onDisk = pendingOnDisk_;
    }
    std::lock_guard lock(addMutex_);
    return onDisk + addedCount_;
}

QString Outbox::Problem() const {
    std::lock_guard lock(addMutex_);
    return problem_;
}

bool Outbox::WaitUntilWritten(int ms) const {
    std::unique_lock lock(addMutex_);
    return written_.wait_for(lock, std::chrono::milliseconds(ms),
                             [this] { return added_.empty() && !writing_; });
}

// ---------------------------------------------------------------------------------------------

std::optional<qint64> InstantOf(const meterdata::MeterRecord& record, meterdata::RecordSource source) {
    static thread_local LocalInstants instants(QTimeZone::systemTimeZone());
    qint64 first = 0;
    qint64 second = 0;
    if (!instants.Of(record, first, second)) {
        return std::nullopt;
    }
    if (first != second && source == meterdata::RecordSource::Live) {
        // A live record was stamped a moment ago: the candidate nearest to now.
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        return std::llabs(now - second) < std::llabs(now - first) ? second : first;
    }
    return first;
}

void OutboxFeed::SetUartId(std::uint16_t uartId) {
    uartId_ = QStringLiteral("%1").arg(uartId, 4, 16, QLatin1Char('0')).toUpper();
}

void OutboxFeed::RecordFiled(const meterdata::MeterRecord& record, meterdata::RecordSource source) {
    if (record.Valid == 0) {
        return;
    }
    if (record.Meter >= lastOfMeter_.size()) {
        lastOfMeter_.resize(std::min<std::size_t>(record.Meter + 1u, 65536));
    }
    meterdata::MeterRecord& last = lastOfMeter_[record.Meter];
    if (last.Valid != 0 && last.Type == record.Type && last.Time == record.Time &&
        last.WordA == record.WordA && last.WordB == record.WordB) {
        return;
    }
    last = record;
    const std::optional<qint64> instant = InstantOf(record, source);
    if (!instant) {
        return;  // no date: no reading either
    }
    if (add_(OutboxEntry{record, source, *instant, site_, uartId_})) {
        ++added_;
    }
}

QString SizeText(qint64 bytes) {
    if (bytes >= (1LL << 20)) {
        return QCoreApplication::translate("sinks::Outbox", "%1 МБ").arg(bytes >> 20);
    }
    if (bytes >= 1024) {
        return QCoreApplication::translate("sinks::Outbox", "%1 КБ").arg(bytes >> 10);
    }
    return QCoreApplication::translate("sinks::Outbox", "%1 байт").arg(bytes);
}

bool AddRecord(IOutbox& outbox, const meterdata::MeterRecord& record, meterdata::RecordSource source,
               const QString& site, const QString& uartId) {
    const std::optional<qint64> instant = InstantOf(record, source);
    return outbox.Add(OutboxEntry{record, source, instant.value_or(0), site, uartId});
}

}  // namespace lumvaris::sinks
