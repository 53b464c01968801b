#include "keys/KeyName.h"

#include <QCoreApplication>
#include "keys/Cp1251.h"

namespace lumvaris::keys {

namespace {

bool IsBlankOrControl(QChar c) {
    const char16_t u = c.unicode();
    return u <= 0x20 || (u >= 0x7F && u <= 0x9F);
}

bool IsLineBreak(QChar c) {
    const char16_t u = c.unicode();
    return u == '\n' || u == '\r' || u == 0x85 || u == 0x2028 || u == 0x2029;
}

}  // namespace

QString KeyNameFromText(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlankOrControl(text[begin])) {
        ++begin;
    }
    while (end > begin && IsBlankOrControl(text[end - 1])) {
        --end;
    }
    return text.mid(begin, end - begin);
}

QString KeyNameError(const QString& keyName) {
    for (const QChar c : keyName) {
        if (IsLineBreak(c)) {
            return QCoreApplication::translate("keys::KeyName",
                                               "Имя ключа не может содержать перевод строки.");
        }
    }
    if (keyName.contains(QLatin1Char('='))) {
        return QCoreApplication::translate("keys::KeyName", "Имя ключа не может содержать знак «=».");
    }
    if (keyName.startsWith(QLatin1Char('['))) {
        return QCoreApplication::translate("keys::KeyName", "Имя ключа не может начинаться со знака «[».");
    }
    if (keyName.startsWith(QLatin1Char(';'))) {
        return QCoreApplication::translate("keys::KeyName", "Имя ключа не может начинаться со знака «;».");
    }
    const QString missing = FirstCharNotInCp1251(keyName);
    if (!missing.isEmpty()) {
        return QCoreApplication::translate(
                   "keys::KeyName", "Имя ключа содержит знак «%1», которого нет в кодовой странице 1251.")
            .arg(missing);
    }
    return {};
}

}  // namespace lumvaris::keys
