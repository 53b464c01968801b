#include "keys/Cp1251.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace lumvaris::keys {

namespace {

constexpr const char* kCodePage = "windows-1251";

}  // namespace

std::optional<QByteArray> ToCp1251(const QString& text) {
    // A fresh encoder each time: its error flag is sticky.
    QStringEncoder encode(kCodePage);
    QByteArray bytes = encode(text);
    if (!encode.isValid() || encode.hasError()) {
        return std::nullopt;
    }
    return bytes;
}

QString FromCp1251(QByteArrayView bytes) {
    QStringDecoder decode(kCodePage);
    return decode(bytes);
}

QString FirstCharNotInCp1251(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString one = text.mid(i, length);
        if (!ToCp1251(one)) {
            return one;
        }
        i += length - 1;
    }
    return {};
}

}  // namespace lumvaris::keys
