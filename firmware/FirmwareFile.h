#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <vector>

namespace lumvaris::firmware {

// One line travels as payload bytes 1..L of a FirmwareLine request, after the type code, and a
// payload holds at most 255 bytes.
inline constexpr qsizetype kMaxLineLength = 254;
// Far above any concentrator image (a 65,535-line file of 75-character records is under 5 MiB); it
// bounds what a hostile file can make us hold: 16 Mi lines at most.
inline constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;

// The firmware file as a list of text lines: read as code page 1251, split at CR LF, CR or LF,
// line ends removed. A line end at the very end of the file does not start another line, so an
// empty file has no lines and "\r\n" alone is one empty line. The text is not interpreted; every
// line goes out as it stands (IntelHexCheck only warns).
class FirmwareFile {
  public:
    // False with LastError() set for the engineer's message box: the file cannot be read, it is
    // larger than kMaxFileSize, or a line is longer than kMaxLineLength. The lines are then empty.
    bool LoadFromFile(const QString& path);
    bool LoadFromBytes(QByteArrayView bytes);
    const QString& LastError() const { return lastError_; }

    qsizetype LineCount() const { return static_cast<qsizetype>(lines_.size()); }
    QStringView Line(qsizetype index) const;
    // The line as it goes on the link: its code page 1251 bytes (byte for byte those of the file).
    QByteArray LineBytes(qsizetype index) const;
    void Clear();

  private:
    struct Span {
        std::int32_t start;
        std::int32_t length;
    };
    QString text_;
    std::vector<Span> lines_;
    QString lastError_;
};

}  // namespace lumvaris::firmware
