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

// A text the engineer typed, on its way into a request: its bytes, or why it cannot go. One
// request carries at most 254 bytes after its type code, and a character that code page 1251
// cannot hold is never sent as a substitute.
struct LinkText {
    QByteArray bytes;
    QString refusal;  // for the message box; empty when the text can be sent

    bool Refused() const { return !refusal.isEmpty(); }
};
// subject names the text in the refusal ("Текущий пароль"), as the subject of its sentence.
LinkText TextForLink(const QString& text, const QString& subject);

}  // namespace lumvaris::commands
