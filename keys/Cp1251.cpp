#include "keys/Cp1251.h"

#include <QHash>
#include <QStringDecoder>
#include <QStringEncoder>

#include <array>

namespace lumvaris::keys {

namespace {

// The page as two tables, taken once from Qt's own converters: opening a converter costs far more
// than converting a key name, and a kept converter cannot be reset without losing its code page.
// Only characters that the page's bytes decode to, and that encode back to the same byte, are in
// the page; without the converters only ASCII is.
struct CodePage {
    std::array<char16_t, 256> toUnicode{};
    QHash<char16_t, char> fromUnicode;
};

const CodePage& Page() {
    static const CodePage page = [] {
        CodePage p;
        QByteArray all(256, '\0');
        for (int b = 0; b < 256; ++b) {
            all[b] = static_cast<char>(b);
            p.toUnicode[b] = b < 0x80 ? static_cast<char16_t>(b) : u'\uFFFD';
        }
        QStringDecoder decode("windows-1251");
        QStringEncoder encode("windows-1251");
        const QString text = decode.isValid() && encode.isValid() ? decode(all) : QString();
        for (int b = 0; b < 256; ++b) {
            if (text.size() == 256 && text[b] != QChar::ReplacementCharacter &&
                encode(QStringView(text).sliced(b, 1)) == all.sliced(b, 1)) {
                p.toUnicode[b] = text[b].unicode();
            }
            if (p.toUnicode[b] != u'\uFFFD') {
                p.fromUnicode.insert(p.toUnicode[b], static_cast<char>(b));
            }
        }
        return p;
    }();
    return page;
}

}  // namespace

std::optional<QByteArray> ToCp1251(const QString& text) {
    const CodePage& page = Page();
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto found = page.fromUnicode.constFind(text[i].unicode());
        if (found == page.fromUnicode.cend()) {
            return std::nullopt;
        }
        bytes[i] = *found;
    }
    return bytes;
}

QString FromCp1251(QByteArrayView bytes) {
    const CodePage& page = Page();
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        text[i] = QChar(page.toUnicode[static_cast<unsigned char>(bytes[i])]);
    }
    return text;
}

QString FirstCharNotInCp1251(const QString& text) {
    const CodePage& page = Page();
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!page.fromUnicode.contains(text[i].unicode())) {
            return text.mid(i, text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1);
        }
    }
    return {};
}

}  // namespace lumvaris::keys
