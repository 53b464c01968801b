// Hostile key files. The input is a key name and a file image: byte 0 gives the name's length
// (mod 32), the name's code page 1251 bytes follow, the rest is the file. Whatever the bytes:
// reading keeps the image as it is and lists each identifier once; storing an accepted name changes
// or adds one entry only (every other identifier keeps its value, every other line its bytes) and
// the name then reads back with its value; a refused name leaves the image alone.
#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "keys/Cp1251.h"
#include "keys/KeyFileText.h"
#include "keys/KeyName.h"

using namespace lumvaris::keys;

namespace {

void Check(bool condition, int line = __builtin_LINE()) {
    if (!condition) {
        std::fprintf(stderr, "check failed at line %d\n", line);
        std::abort();
    }
}

// Nothing of `before` is gone from `after` but a piece of one line: once their common first and
// last bytes are set aside, what is left of `before` holds no line end.
void CheckOnlyOneLineTouched(const QByteArray& before, const QByteArray& after) {
    const qsizetype shorter = std::min(before.size(), after.size());
    qsizetype head = 0;
    while (head < shorter && before[head] == after[head]) {
        ++head;
    }
    qsizetype tail = 0;
    while (tail < shorter - head && before[before.size() - 1 - tail] == after[after.size() - 1 - tail]) {
        ++tail;
    }
    Check(!before.sliced(head, before.size() - head - tail).contains('\n'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const auto nameLength = std::min<std::size_t>(data[0] % 32, size - 1);
    const QString name =
        KeyNameFromText(FromCp1251(QByteArrayView(reinterpret_cast<const char*>(data + 1), nameLength)));
    const QByteArray image(reinterpret_cast<const char*>(data + 1 + nameLength),
                           static_cast<qsizetype>(size - 1 - nameLength));

    const KeyFileText text(image);
    Check(text.Image() == image);
    const QStringList names = text.KeyNames();
    QSet<QString> folded;
    for (const QString& n : names) {
        // Every identifier listed is a key name as typed; one can be refused only for a lone CR
        // inside it, which the file holds as part of a line.
        Check(!n.isEmpty() && n == KeyNameFromText(n));
        Check(KeyNameError(n).isEmpty() || n.contains(QLatin1Char('\r')));
        Check(!folded.contains(n.toCaseFolded()));
        folded.insert(n.toCaseFolded());
        (void)text.Value(n);
    }

    const QString value = QStringLiteral("00112233445566778899AABBCCDDEEFF00112233445566778899AABBCCDDEEFF");
    KeyFileText edited(image);
    if (name.isEmpty() || !KeyNameError(name).isEmpty()) {
        Check(!edited.SetValue(name, value));
        Check(edited.Image() == image);
        return 0;
    }
    Check(edited.SetValue(name, value));
    const KeyFileText again(edited.Image());
    Check(again.Value(name) == value);
    const bool known = folded.contains(name.toCaseFolded());
    const QStringList namesAfter = again.KeyNames();
    Check(namesAfter.size() == names.size() + (known ? 0 : 1));
    for (const QString& n : names) {
        Check(namesAfter.contains(n));
        if (n.toCaseFolded() != name.toCaseFolded()) {
            Check(again.Value(n) == text.Value(n));
        }
    }
    CheckOnlyOneLineTouched(image, edited.Image());
    return 0;
}
