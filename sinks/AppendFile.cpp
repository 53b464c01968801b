#include "sinks/AppendFile.h"

#include <QCoreApplication>
#include "sinks/FileText.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <mutex>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#endif

namespace lumvaris::sinks {

namespace {

constexpr auto kSyncEvery = std::chrono::seconds(1);

#ifndef Q_OS_WIN
// A reader that goes away must fail the write (EPIPE), not end the process.
void IgnoreBrokenPipes() {
    static std::once_flag once;
    std::call_once(once, [] { std::signal(SIGPIPE, SIG_IGN); });
}
#endif

}  // namespace

AppendFile::~AppendFile() {
    Close();
}

bool AppendFile::Open(const QString& path, QString& why) {
    Close();
    path_ = path;
    abort_ = false;
    unsynced_ = false;
    lastSync_ = std::chrono::steady_clock::now();
    if (path == QLatin1String("-")) {
#ifndef Q_OS_WIN
        IgnoreBrokenPipes();
#endif
        stdout_ = true;
        stream_ = true;
        return true;
    }
#ifndef Q_OS_WIN
    IgnoreBrokenPipes();
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    const bool exists = ::stat(name.constData(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        why = SystemErrorText(EISDIR);
        return false;
    }
    stream_ = exists && !S_ISREG(st.st_mode);
    // A pipe opens without waiting for its reader; its writes then wait in poll, where a stop
    // can end them.
    const int flags = O_WRONLY | O_APPEND | O_CLOEXEC | (stream_ ? O_NONBLOCK : O_CREAT);
    fd_ = ::open(name.constData(), flags, 0644);
    if (fd_ < 0) {
        why = SystemErrorText(errno);
        return false;
    }
    struct stat opened {};
    if (::fstat(fd_, &opened) != 0) {
        why = SystemErrorText(errno);
        Close();
        return false;
    }
    stream_ = !S_ISREG(opened.st_mode);
    device_ = static_cast<std::uint64_t>(opened.st_dev);
    inode_ = static_cast<std::uint64_t>(opened.st_ino);
    return true;
#else
    fd_ = _wopen(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16()),
                 _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
    if (fd_ < 0) {
        why = SystemErrorText(errno);
        return false;
    }
    return true;
#endif
}

void AppendFile::Close() {
    if (fd_ >= 0) {
#ifndef Q_OS_WIN
        if (!stream_ && unsynced_) {
            ::fdatasync(fd_);
        }
        ::close(fd_);
#else
        _close(fd_);
#endif
    }
    if (stdout_) {
        std::fflush(stdout);
    }
    fd_ = -1;
    stdout_ = false;
    stream_ = false;
}

qint64 AppendFile::Size() const {
    if (fd_ < 0 || stream_) {
        return 0;
    }
#ifndef Q_OS_WIN
    struct stat st {};
    return ::fstat(fd_, &st) == 0 ? static_cast<qint64>(st.st_size) : 0;
#else
    struct _stat64 st;
    return _fstat64(fd_, &st) == 0 ? static_cast<qint64>(st.st_size) : 0;
#endif
}

QByteArray AppendFile::ReadAt(qint64 at, qint64 count) const {
    QFile file(path_);
    if (stream_ || !file.open(QIODevice::ReadOnly) || !file.seek(at)) {
        return {};
    }
    return file.read(count);
}

bool AppendFile::CutTo(qint64 size, QString& why) {
#ifndef Q_OS_WIN
    if (fd_ < 0 || stream_ || ::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
        why = SystemErrorText(fd_ < 0 ? EBADF : errno);
        return false;
    }
#else
    if (fd_ < 0 || _chsize_s(fd_, size) != 0) {
        why = SystemErrorText(errno);
        return false;
    }
#endif
    return true;
}

bool AppendFile::StillThere(QString& why) const {
#ifndef Q_OS_WIN
    struct stat st {};
    if (::stat(QFile::encodeName(path_).constData(), &st) != 0 ||
        static_cast<std::uint64_t>(st.st_dev) != device_ || static_cast<std::uint64_t>(st.st_ino) != inode_) {
        why = QCoreApplication::translate("sinks::AppendFile",
                                          "файл удалён, переименован или его папки больше нет");
        return false;
    }
#else
    Q_UNUSED(why);
#endif
    return true;
}

bool AppendFile::Write(const QByteArray& bytes, QString& why) {
    if (stdout_) {
        // Through the C stream, whose lock keeps these lines whole beside the program's own.
        errno = 0;
        const bool ok = std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout) ==
                            static_cast<std::size_t>(bytes.size()) &&
                        std::fflush(stdout) == 0;
        if (!ok) {
            why = SystemErrorText(errno != 0 ? errno : EIO);
            std::clearerr(stdout);
        }
        return ok;
    }
    if (fd_ < 0) {
        why = SystemErrorText(EBADF);
        return false;
    }
    if (!stream_ && !StillThere(why)) {
        return false;
    }
    const qint64 before = Size();
    const char* data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
#ifndef Q_OS_WIN
        const ssize_t written = ::write(fd_, data, static_cast<std::size_t>(left));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0 && errno == EAGAIN) {
            // A pipe whose reader is slow: wait for room, a slice at a time, so an abort is seen.
            if (abort_) {
                why = QCoreApplication::translate("sinks::AppendFile",
                                                  "читающая сторона канала не принимает данные");
                return false;
            }
            pollfd p{fd_, POLLOUT, 0};
            ::poll(&p, 1, 200);
            continue;
        }
#else
        const int written = _write(fd_, data, static_cast<unsigned>(std::min<qint64>(left, 1 << 30)));
#endif
        if (written <= 0) {
            why = SystemErrorText(written == 0 ? ENOSPC : errno);
            if (!stream_) {
                QString ignored;
                CutTo(before, ignored);
            }
            return false;
        }
        data += written;
        left -= written;
    }
    if (!stream_) {
        unsynced_ = true;
        const auto now = std::chrono::steady_clock::now();
        if (now - lastSync_ >= kSyncEvery) {
#ifndef Q_OS_WIN
            ::fdatasync(fd_);
#else
            _commit(fd_);
#endif
            lastSync_ = now;
            unsynced_ = false;
        }
    }
    return true;
}

bool PrepareForLines(AppendFile& file, const QByteArray& header, char firstByte, QString& why,
                     bool& refused) {
    refused = false;
    if (file.IsStream()) {
        return header.isEmpty() || file.Write(header, why);
    }
    const qint64 size = file.Size();
    if (size == 0) {
        return header.isEmpty() || file.Write(header, why);
    }
    const QByteArray head = file.ReadAt(0, header.isEmpty() ? 1 : header.size());
    if (header.isEmpty() ? !head.startsWith(firstByte) : head != header) {
        refused = true;
        why = QCoreApplication::translate(
            "sinks::AppendFile",
            "файл начинается не так, как файл показаний этой программы; в него ничего не "
            "дописывается");
        return false;
    }
    // A line cut short (a kill in the middle of a write) is cut off; its readings were not
    // acknowledged and come again.
    constexpr qint64 kLook = 1 << 16;
    const qint64 from = std::max<qint64>(0, size - kLook);
    const QByteArray tail = file.ReadAt(from, size - from);
    if (tail.endsWith('\n')) {
        return true;
    }
    const qsizetype lastEnd = tail.lastIndexOf('\n');
    if (lastEnd < 0 && from > 0) {
        refused = true;
        why = QCoreApplication::translate("sinks::AppendFile", "последняя строка файла длиннее %1 байт")
                  .arg(kLook);
        return false;
    }
    const qint64 keep = lastEnd < 0 ? (header.isEmpty() ? 0 : header.size()) : from + lastEnd + 1;
    return file.CutTo(std::max<qint64>(keep, header.size()), why);
}

}  // namespace lumvaris::sinks
