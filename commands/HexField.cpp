#include "commands/HexField.h"

namespace lumvaris::commands {

std::uint32_t HexFieldParse(const QString& text) {
    std::uint32_t value = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        std::uint32_t digit = 0;
        if (u >= u'0' && u <= u'9') {
            digit = u - u'0';
        } else if (u >= u'A' && u <= u'F') {
            digit = u - u'A' + 10;
        } else if (u >= u'a' && u <= u'f') {
            digit = u - u'a' + 10;
        }
        value = (value << 4) + digit;
    }
    return value;
}

}  // namespace lumvaris::commands
