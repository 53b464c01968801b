#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringEncoder>

namespace lumvaris::keys::test {

// File images are written in the tests as UTF-8 literals and turned into code page 1251 here, by
// Qt's own encoder rather than the code under test.
inline QByteArray Cp1251(const QString& text) {
    QStringEncoder encode("windows-1251");
    return encode(text);
}

inline QByteArray Cp1251(const char* utf8) {
    return Cp1251(QString::fromUtf8(utf8));
}

inline bool WriteBytes(const QString& name, const QByteArray& bytes) {
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray ReadBytes(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace lumvaris::keys::test
