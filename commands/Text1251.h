#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>

namespace lumvaris::commands {

// Texts travel on the link as code page 1251 bytes without terminator.
// The bytes of a text, or nothing when a character has no code in code page 1251.
std::optional<QByteArray> ToCp1251(const QString& text);
QString FromCp1251(const std::uint8_t* bytes, std::size_t length);

}  // namespace lumvaris::commands
