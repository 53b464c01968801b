#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>

namespace lumvaris::sinks {

// A file that readings are appended to as they arrive, never replaced: a regular file (created
// when missing), a named pipe or a device (written as a stream), or standard output ("-").
//
// A regular file is written whole entries at a time: a write that fails part way (a full disk) is
// cut back to where it began, so the next try appends after whole lines. It is synced to the disk
// at most once a second. Before each write it checks that its name still leads to the file open
// (not removed, renamed by a log rotation, or its folder gone); when not, the write fails and the
// next open starts a new file under the name.
class AppendFile {
  public:
    AppendFile() = default;
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // False with the reason in Russian. A named pipe without a reader does not open (ENXIO): the
    // caller tries again later.
    bool Open(const QString& path, QString& why);
    void Close();
    bool IsOpen() const { return fd_ >= 0 || stdout_; }
    // A pipe, a device or standard output: no size, nothing to read back or cut.
    bool IsStream() const { return stream_; }

    // Regular files: the size, the first and the last bytes, and a cut to `size`.
    qint64 Size() const;
    QByteArray ReadAt(qint64 at, qint64 count) const;
    bool CutTo(qint64 size, QString& why);

    // Appends all the bytes, or fails with the reason (and, for a regular file, nothing of them).
    bool Write(const QByteArray& bytes, QString& why);
    // Any thread: a write waiting for a slow reader gives up soon.
    void Abort() { abort_ = true; }

  private:
    bool StillThere(QString& why) const;

    QString path_;
    int fd_ = -1;
    bool stdout_ = false;
    bool stream_ = false;
    std::uint64_t device_ = 0;
    std::uint64_t inode_ = 0;
    std::chrono::steady_clock::time_point lastSync_{};
    bool unsynced_ = false;
    std::atomic<bool> abort_{false};
};

// Makes a regular file ready for whole lines to be appended: an empty one gets `header` (a stream
// gets it at every open), one that begins otherwise than `header` (or, without a header, than
// `firstByte`) is refused (`refused` set: it is not a file of readings), and a last line cut short
// by a kill is cut off. False with the reason.
bool PrepareForLines(AppendFile& file, const QByteArray& header, char firstByte, QString& why, bool& refused);

}  // namespace lumvaris::sinks
