#include "sinks/JsonLinesSink.h"

#include <QJsonDocument>

namespace lumvaris::sinks {

void JsonLinesSink::Encode(std::span<const Reading> readings, QByteArray& out) {
    for (const Reading& r : readings) {
        out += QJsonDocument(ReadingToJson(r)).toJson(QJsonDocument::Compact);
        out += '\n';
    }
}

}  // namespace lumvaris::sinks
