#include "commands/Text1251.h"

#include <QCoreApplication>
#include <QList>
#include <QStringDecoder>
#include <QStringEncoder>

#include "commands/Catalogue.h"

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

LinkText TextForLink(const QString& text, const QString& subject) {
    LinkText result;
    if (const std::optional<QByteArray> bytes = ToCp1251(text)) {
        if (bytes->size() <= kMaxBody) {
            result.bytes = *bytes;
        } else {
            result.refusal =
                QCoreApplication::translate("commands::Text1251",
                                            "%1 не отправлен: в нём %2 символов, а концентратору можно "
                                            "передать не больше %3.")
                    .arg(subject)
                    .arg(bytes->size())
                    .arg(kMaxBody);
        }
        return result;
    }
    // Only a refused text is taken apart, one character at a time, to name the culprit.
    for (const uint code : text.toUcs4()) {
        const auto c = static_cast<char32_t>(code);
        const QString character = QString::fromUcs4(&c, 1);
        if (!ToCp1251(character)) {
            const QString code =
                QString::number(static_cast<uint>(c), 16).toUpper().rightJustified(4, QLatin1Char('0'));
            result.refusal =
                QCoreApplication::translate("commands::Text1251",
                                            "%1 не отправлен: символ «%2» (U+%3) не входит в кодовую "
                                            "страницу 1251.")
                    .arg(subject, character, code);
            return result;
        }
    }
    result.refusal =
        QCoreApplication::translate("commands::Text1251",
                                    "%1 не отправлен: его нельзя записать в кодовой странице 1251.")
            .arg(subject);
    return result;
}

}  // namespace lumvaris::commands
