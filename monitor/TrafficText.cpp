#include "monitor/TrafficText.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include "commands/Catalogue.h"
#include "link/Frame.h"

namespace lumvaris::monitor {
namespace {

QString HexBytes(const std::uint8_t* bytes, std::size_t count) {
    static const char kDigits[] = "0123456789ABCDEF";
    QString text(count == 0 ? 0 : static_cast<qsizetype>(count * 3 - 1), QLatin1Char(' '));
    for (std::size_t i = 0; i < count; ++i) {
        text[static_cast<qsizetype>(i * 3)] = QLatin1Char(kDigits[bytes[i] >> 4]);
        text[static_cast<qsizetype>(i * 3 + 1)] = QLatin1Char(kDigits[bytes[i] & 0x0F]);
    }
    return text;
}

QString TypeText(TrafficKind kind, std::uint16_t source, std::uint8_t code) {
    const QString hex = QString::asprintf("%02Xh", code);
    if (link::IsMeterSource(source)) {  // requests come from FFFF
        return hex + QCoreApplication::translate("monitor::TrafficText", " пакет счётчика %1")
                         .arg(source & link::kMeterNumberMask);
    }
    const char* name = nullptr;
    if (kind != TrafficKind::Sent) {
        if (const commands::ReplyInfo* reply = commands::FindReply(code)) {
            name = reply->name;
        }
    }
    if (name == nullptr) {
        name = commands::RequestName(code);
    }
    return name != nullptr ? hex + QLatin1Char(' ') + QLatin1String(name) : hex;
}

}  // namespace

const QStringList& TrafficHeaders() {
    // Built at the first call, after the language is chosen.
    static const QStringList headers = [] {
        QStringList h;
        for (const char* text : {QT_TRANSLATE_NOOP("monitor::TrafficText", "Время"),
                                 QT_TRANSLATE_NOOP("monitor::TrafficText", "Напр."),
                                 QT_TRANSLATE_NOOP("monitor::TrafficText", "Источник"),
                                 QT_TRANSLATE_NOOP("monitor::TrafficText", "Получатель"), "N",
                                 QT_TRANSLATE_NOOP("monitor::TrafficText", "Тип"),
                                 QT_TRANSLATE_NOOP("monitor::TrafficText", "Данные"),
                                 QT_TRANSLATE_NOOP("monitor::TrafficText", "Отметка")}) {
            h << QCoreApplication::translate("monitor::TrafficText", text);
        }
        return h;
    }();
    return headers;
}

QStringList TrafficTexts(const TrafficEntry& entry) {
    const int ms = entry.timeMs;
    QStringList texts;
    texts.reserve(kTrafficColumns);
    texts << QString::asprintf("%02d:%02d:%02d.%03d", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60,
                               ms % 1000)
          << (entry.kind == TrafficKind::Sent ? QStringLiteral("→") : QStringLiteral("←"));

    const std::vector<std::uint8_t>& b = entry.bytes;
    const bool frame = entry.kind != TrafficKind::Discarded && b.size() >= link::kHeaderSize + 1 &&
                       b.size() >= b[link::kOffsetLength] + link::kHeaderSize + 1u;
    if (!frame) {
        texts << QString() << QString() << QString() << QString() << HexBytes(b.data(), b.size())
              << QCoreApplication::translate("monitor::TrafficText", "отброшено байт: %1").arg(b.size());
        return texts;
    }
    const std::uint16_t source = link::ReadWord(&b[link::kOffsetSource]);
    const std::size_t n = b[link::kOffsetLength];
    const std::uint8_t* payload = &b[link::kOffsetPayload];
    texts << QString::asprintf("%04X", source)
          << QString::asprintf("%04X", link::ReadWord(&b[link::kOffsetDestination])) << QString::number(n)
          << (n == 0 ? QString() : TypeText(entry.kind, source, payload[0])) << HexBytes(payload, n);
    if (entry.kind == TrafficKind::BadChecksum) {
        texts << QCoreApplication::translate("monitor::TrafficText", "неверная КС: %1 вместо %2")
                     .arg(QString::asprintf("%02X", payload[n]),
                          QString::asprintf("%02X", link::PayloadChecksum(payload, n)));
    } else if (n == 0) {
        texts << QCoreApplication::translate("monitor::TrafficText", "пустой кадр");
    } else {
        texts << QString();
    }
    return texts;
}

bool ParseTypeCodes(const QString& text, std::vector<std::uint8_t>& codes) {
    static const QRegularExpression separators(QStringLiteral("[\\s,;]+"));
    static const QRegularExpression code(QStringLiteral("^([0-9A-Fa-f]{1,2})[hH]?$"));
    codes.clear();
    bool ok = true;
    for (const QString& token : text.split(separators, Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch match = code.match(token);
        if (match.hasMatch()) {
            codes.push_back(static_cast<std::uint8_t>(match.captured(1).toUInt(nullptr, 16)));
        } else {
            ok = false;
        }
    }
    return ok;
}

}  // namespace lumvaris::monitor
