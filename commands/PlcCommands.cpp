#include "commands/PlcCommands.h"

#include <QCoreApplication>
#include <algorithm>

#include "commands/HexField.h"

namespace lumvaris::commands {
namespace {

std::uint8_t LowByte(const QString& field) {
    return static_cast<std::uint8_t>(HexFieldParse(field) & 0xFF);
}

std::uint16_t Word(const QString& low, const QString& high) {
    return static_cast<std::uint16_t>(LowByte(low) | LowByte(high) << 8);
}

}  // namespace

ShortPlcCommand ShortPlcCommandOfFields(const QString& type, const QString& ssssLow, const QString& ssssHigh,
                                        const QString& ddddLow, const QString& ddddHigh) {
    ShortPlcCommand command;
    command.type = LowByte(type);
    command.ssss = Word(ssssLow, ssssHigh);
    command.dddd = Word(ddddLow, ddddHigh);
    return command;
}

std::optional<ShortCommandPreset> PresetOfItem(int index, const QString& itemText) {
    if (index < 0) {
        return std::nullopt;
    }
    ShortCommandPreset preset;
    preset.type = index == 0 ? QStringLiteral("DB") : QStringLiteral("DC");
    preset.ssssLow = QStringLiteral("FF");
    preset.ssssHigh = QStringLiteral("1F");
    // The item texts end in "= LL/HH"; a text without '/' leaves DDDD empty, which reads as 00.
    const qsizetype slash = itemText.indexOf(QLatin1Char('/'));
    if (slash >= 0) {
        preset.ddddLow = itemText.mid(std::max<qsizetype>(slash - 2, 0), std::min<qsizetype>(slash, 2));
        preset.ddddHigh = itemText.mid(slash + 1, 2);
    }
    return preset;
}

std::vector<std::uint8_t> LongCommandBytes(const QString& text) {
    QString digits = text;
    digits.remove(QLatin1Char(' '));
    const qsizetype length = digits.size();
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(length / 2 + 1));
    // Pairs from the start; an odd length leaves three characters for the last group, and a text
    // shorter than four characters is one group.
    const qsizetype groups = length < 4 ? (length > 0 ? 1 : 0) : length / 2;
    for (qsizetype g = 0; g < groups; ++g) {
        const qsizetype start = 2 * g;
        const qsizetype size = g + 1 < groups ? 2 : length - start;
        bytes.push_back(LowByte(digits.mid(start, size)));
    }
    return bytes;
}

QString LongCommandRefusal(std::size_t commandBytes) {
    if (commandBytes == 0) {
        return QCoreApplication::translate("commands::PlcCommands",
                                           "Команда не задана: введите её байты в шестнадцатеричном виде.");
    }
    if (commandBytes > kMaxLongCommandBytes) {
        return QCoreApplication::translate(
                   "commands::PlcCommands",
                   "Команда слишком длинная (%1 байт): не более %2 байт, %3 блоков по 4 байта.")
            .arg(commandBytes)
            .arg(kMaxLongCommandBytes)
            .arg(kMaxLongCommandBlocks);
    }
    return QString();
}

QString LongCommandTextRefusal(const QString& text) {
    qsizetype position = 0;
    for (const char32_t c : text.toUcs4()) {
        ++position;
        const bool hexDigit =
            (c >= U'0' && c <= U'9') || (c >= U'A' && c <= U'F') || (c >= U'a' && c <= U'f');
        if (hexDigit || c == U' ') {
            continue;
        }
        // A character that cannot be seen (a tab, a line break) is named by its code.
        const QString shown = QChar::isPrint(c)
                                  ? QStringLiteral("«%1»").arg(QString::fromUcs4(&c, 1))
                                  : QCoreApplication::translate("commands::PlcCommands", "с кодом U+%1")
                                        .arg(QString::number(c, 16).toUpper().rightJustified(4, u'0'));
        return QCoreApplication::translate(
                   "commands::PlcCommands",
                   "Команда содержит символ %1 (позиция %2), который не является шестнадцатеричной "
                   "цифрой: введите байты команды цифрами 0-9 и A-F, при желании разделяя их пробелами.")
            .arg(shown)
            .arg(position);
    }
    return QString();
}

std::uint16_t LongCommandDestination(bool broadcast, int meter) {
    return broadcast ? link::kPlcBroadcastAddress
                     : static_cast<std::uint16_t>(link::kMeterAddressBase + static_cast<unsigned>(meter));
}

LongCommand BuildLongCommand(const std::vector<std::uint8_t>& commandBytes, std::uint16_t destination,
                             int longCommandType) {
    const std::vector<std::uint8_t> body = LongCommandBody(commandBytes);
    const int blocks = static_cast<int>(body.size() / 4);
    LongCommand command;
    command.requests.reserve(body.size() / 4 + 1);
    command.requests.push_back(request::LongCommandHeader(destination, longCommandType, blocks));
    for (std::size_t i = 0; i < body.size(); i += 4) {
        command.requests.push_back(request::LongCommandBlock(destination, &body[i]));
    }
    const Request& last = command.requests.back();
    std::uint8_t payload[5] = {static_cast<std::uint8_t>(last.type)};
    std::copy(last.body.begin(), last.body.begin() + 4, payload + 1);
    command.controlByte = static_cast<std::uint8_t>(link::Crc24(payload, sizeof payload) & 0xFF);
    return command;
}

QString LongCommandClipboardLine(const link::FrameBuffer& frame) {
    QString line = QStringLiteral("TYPE=COMMAND; NOANSWER=YES; RUN=");
    const std::size_t end = link::kOffsetPayload + link::PayloadLength(frame);
    for (std::size_t i = link::kOffsetSource; i < end; ++i) {
        line += QString::asprintf("%02X", frame[i]);
    }
    return line + QStringLiteral("\r\n");
}

QString ControlByteText(std::uint8_t controlByte) {
    return QString::asprintf("%02Xh", controlByte);
}

}  // namespace lumvaris::commands
