#include "firmware/FirmwareFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace lumvaris::firmware {

bool FirmwareFile::LoadFromFile(const QString& path) {
    Clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        lastError_ =
            QCoreApplication::translate("firmware::FirmwareFile", "Не удалось открыть файл\r\n'%1':\r\n%2")
                .arg(path, file.errorString());
        return false;
    }
    // One byte more than allowed is enough to tell a file too large, whatever its size.
    const QByteArray bytes = file.read(kMaxFileSize + 1);
    if (file.error() != QFileDevice::NoError) {
        lastError_ =
            QCoreApplication::translate("firmware::FirmwareFile", "Не удалось прочитать файл\r\n'%1':\r\n%2")
                .arg(path, file.errorString());
        return false;
    }
    if (bytes.size() > kMaxFileSize) {
        lastError_ = QCoreApplication::translate("firmware::FirmwareFile",
                                                 "Файл\r\n'%1'\r\nслишком велик для прошивки концентратора "
                                                 "(допустимо не более %2 байт).")
                         .arg(path)
                         .arg(kMaxFileSize);
        return false;
    }
    return LoadFromBytes(bytes);
}

bool FirmwareFile::LoadFromBytes(QByteArrayView bytes) {
    Clear();
    if (bytes.size() > kMaxFileSize) {
        lastError_ = QCoreApplication::translate(
                         "firmware::FirmwareFile",
                         "Файл слишком велик для прошивки концентратора: %1 байт (допустимо не более %2).")
                         .arg(bytes.size())
                         .arg(kMaxFileSize);
        return false;
    }
    // Code page 1251 maps every byte to one character and back, so a line's length in characters
    // is its length on the link, and the bytes sent are those of the file.
    QStringDecoder decoder("windows-1251");
    text_ = decoder(bytes);

    const qsizetype size = text_.size();
    qsizetype start = 0;
    for (qsizetype k = 0; k <= size;) {
        const bool atEnd = k == size;
        if (!atEnd && text_[k] != u'\r' && text_[k] != u'\n') {
            ++k;
            continue;
        }
        if (atEnd && start == size) {
            break;  // a line end closed the last line
        }
        const qsizetype length = k - start;
        if (length > kMaxLineLength) {
            const qsizetype lineNumber = LineCount() + 1;
            Clear();
            lastError_ = QCoreApplication::translate(
                             "firmware::FirmwareFile",
                             "Строка %1 файла слишком длинная (длина %2): в один запрос помещается "
                             "не более %3 символов.\r\nПрошивка не начата.")
                             .arg(lineNumber)
                             .arg(length)
                             .arg(kMaxLineLength);
            return false;
        }
        lines_.push_back({static_cast<std::int32_t>(start), static_cast<std::int32_t>(length)});
        if (atEnd) {
            break;
        }
        k += (text_[k] == u'\r' && k + 1 < size && text_[k + 1] == u'\n') ? 2 : 1;
        start = k;
    }
    return true;
}

QStringView FirmwareFile::Line(qsizetype index) const {
    const Span& span = lines_.at(static_cast<std::size_t>(index));
    return QStringView(text_).mid(span.start, span.length);
}

QByteArray FirmwareFile::LineBytes(qsizetype index) const {
    QStringEncoder encoder("windows-1251");
    return encoder(Line(index));
}

void FirmwareFile::Clear() {
    text_.clear();
    lines_.clear();
    lastError_.clear();
}

}  // namespace lumvaris::firmware
