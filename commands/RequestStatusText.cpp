#include "commands/RequestStatusText.h"

namespace lumvaris::commands {

QString RequestStatusText(link::RequestStatus status, const std::string& customText) {
    using link::RequestStatus;
    switch (status) {
        case RequestStatus::Ok:
            return QStringLiteral("OK");
        case RequestStatus::Error:
            return QStringLiteral("Ошибка!");
        case RequestStatus::NoData:
            return QStringLiteral("Нет данных ...");
        case RequestStatus::MemoryCleared:
            return QStringLiteral("Память очищена");
        case RequestStatus::Text:
            return QString::fromStdString(customText);
        case RequestStatus::None:
        case RequestStatus::Blank:
            break;
    }
    return {};
}

}  // namespace lumvaris::commands
