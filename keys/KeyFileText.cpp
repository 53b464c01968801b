#include "keys/KeyFileText.h"

#include <QSet>

#include <utility>

#include "keys/Cp1251.h"
#include "keys/KeyName.h"

namespace lumvaris::keys {

namespace {

// The bytes of blanks and control characters: up to 0x20, DEL, and 0x98, which the code page leaves
// undefined and which decodes to a control character. So an identifier read from a file is always
// a key name as KeyNameFromText gives it.
bool IsBlank(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u <= 0x20 || u == 0x7F || u == 0x98;
}

QByteArrayView Trimmed(QByteArrayView bytes) {
    qsizetype begin = 0;
    qsizetype end = bytes.size();
    while (begin < end && IsBlank(bytes[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(bytes[end - 1])) {
        --end;
    }
    return bytes.sliced(begin, end - begin);
}

bool IsKeysSection(QByteArrayView name) {
    return QByteArrayView("Keys").compare(name, Qt::CaseInsensitive) == 0;
}

}  // namespace

KeyFileText::KeyFileText(QByteArray image) : image_(std::move(image)) {
    Parse();
}

void KeyFileText::Parse() {
    lines_.clear();
    const QByteArrayView image(image_);
    bool inKeys = false;
    qsizetype begin = 0;
    while (begin < image.size()) {
        Line line;
        line.begin = begin;
        const qsizetype newline = image.indexOf('\n', begin);
        if (newline < 0) {
            line.length = image.size() - begin;
        } else {
            line.eolLength = newline > begin && image[newline - 1] == '\r' ? 2 : 1;
            line.length = newline + 1 - line.eolLength - begin;
        }
        begin += line.length + line.eolLength;

        const QByteArrayView raw = image.sliced(line.begin, line.length);
        const QByteArrayView content = Trimmed(raw);
        if (content.startsWith('[')) {
            const qsizetype close = content.indexOf(']');
            if (close > 0) {
                inKeys = IsKeysSection(Trimmed(content.sliced(1, close - 1)));
                line.header = true;
                line.keysHeader = inKeys;
            }
        } else if (inKeys && !content.startsWith(';')) {
            const qsizetype equals = raw.indexOf('=');
            if (equals >= 0) {
                const QByteArrayView identifier = Trimmed(raw.first(equals));
                if (!identifier.isEmpty()) {
                    line.entry = true;
                    line.equals = equals;
                    line.folded = FromCp1251(identifier).toCaseFolded();
                }
            }
        }
        lines_.push_back(std::move(line));
    }
}

QStringList KeyFileText::KeyNames() const {
    QStringList names;
    QSet<QString> folded;
    for (const Line& line : lines_) {
        if (line.entry && !folded.contains(line.folded)) {
            folded.insert(line.folded);
            names << FromCp1251(Trimmed(QByteArrayView(image_).sliced(line.begin, line.equals)));
        }
    }
    return names;
}

const KeyFileText::Line* KeyFileText::FindEntry(const QString& keyName) const {
    const QString folded = keyName.toCaseFolded();
    for (const Line& line : lines_) {
        if (line.entry && line.folded == folded) {
            return &line;
        }
    }
    return nullptr;
}

QString KeyFileText::Value(const QString& keyName) const {
    const Line* line = FindEntry(keyName);
    if (line == nullptr) {
        return {};
    }
    const qsizetype valueBegin = line->begin + line->equals + 1;
    return FromCp1251(
        Trimmed(QByteArrayView(image_).sliced(valueBegin, line->begin + line->length - valueBegin)));
}

QByteArray KeyFileText::LineEnd() const {
    // New lines end as the file's first line does; a file without line ends gets the platform's.
    for (const Line& line : lines_) {
        if (line.eolLength > 0) {
            return image_.sliced(line.begin + line.length, line.eolLength);
        }
    }
    return QByteArrayLiteral("\r\n");
}

bool KeyFileText::SetValue(const QString& keyName, const QString& value) {
    if (keyName.isEmpty() || keyName != KeyNameFromText(keyName) || !KeyNameError(keyName).isEmpty() ||
        value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r'))) {
        return false;
    }
    const std::optional<QByteArray> name = ToCp1251(keyName);
    const std::optional<QByteArray> text = ToCp1251(value);
    if (!name || !text) {
        return false;
    }

    if (const Line* line = FindEntry(keyName)) {
        const qsizetype valueBegin = line->begin + line->equals + 1;
        image_.replace(valueBegin, line->begin + line->length - valueBegin, *text);
        Parse();
        return true;
    }

    const QByteArray eol = LineEnd();
    const QByteArray entry = *name + '=' + *text;
    // After the last entry of the first section "Keys", or after its header.
    const Line* after = nullptr;
    for (const Line& line : lines_) {
        if (after == nullptr) {
            if (line.keysHeader) {
                after = &line;
            }
        } else if (line.header) {
            break;
        } else if (line.entry) {
            after = &line;
        }
    }
    if (after == nullptr) {
        // A new section at the end; a last line without its line end gets one first.
        QByteArray tail;
        if (!lines_.empty() && lines_.back().eolLength == 0) {
            tail += eol;
        }
        image_ += tail + "[Keys]" + eol + entry + eol;
    } else if (after->eolLength == 0) {
        image_ += eol + entry + eol;
    } else {
        image_.insert(after->begin + after->length + after->eolLength, entry + eol);
    }
    Parse();
    return true;
}

}  // namespace lumvaris::keys
