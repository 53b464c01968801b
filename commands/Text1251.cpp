#include "commands/Text1251.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace lumvaris::commands {

std::optional<QByteArray> ToCp1251(const QString& text) {
    QStringEncoder encoder("windows-1251");
    const QByteArray bytes = encoder.encode(text);
    // A character without a code comes out as a substitute: it does not come back.
    QStringDecoder decoder("windows-1251");
    if (encoder.hasError() || QString(decoder.decode(bytes)) != text) {
        return std::nullopt;
    }
    return bytes;
}

QString FromCp1251(const std::uint8_t* bytes, std::size_t length) {
    QStringDecoder decoder("windows-1251");
    return decoder.decode(
        QByteArrayView(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(length)));
}

}  // namespace lumvaris::commands
