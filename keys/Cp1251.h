#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace lumvaris::keys {

// Code page 1251, the encoding of key names in the key file and in the hash. Every byte value
// decodes to one character, so byte offsets and character offsets of a decoded text agree.

// The bytes of `text`, or nothing when one of its characters has no code in the page.
std::optional<QByteArray> ToCp1251(const QString& text);

QString FromCp1251(QByteArrayView bytes);

// The first character of `text` (a whole surrogate pair where there is one) that the page cannot
// hold; empty when it holds them all.
QString FirstCharNotInCp1251(const QString& text);

}  // namespace lumvaris::keys
