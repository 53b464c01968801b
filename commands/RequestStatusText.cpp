#include "commands/RequestStatusText.h"
#include <QCoreApplication>

namespace lumvaris::commands {

QString RequestStatusText(link::RequestStatus status, const std::string& customText) {
    using link::RequestStatus;
    switch (status) {
        case RequestStatus::Ok:
            return QStringLiteral("OK");
        case RequestStatus::Error:
            return QCoreApplication::translate("commands::RequestStatusText", "Ошибка!");
        case RequestStatus::NoData:
            return QCoreApplication::translate("commands::RequestStatusText", "Нет данных ...");
        case RequestStatus::MemoryCleared:
            return QCoreApplication::translate("commands::RequestStatusText", "Память очищена");
        case RequestStatus::Text:
            return QString::fromStdString(customText);
        case RequestStatus::None:
        case RequestStatus::Blank:
            break;
    }
    return {};
}

}  // namespace lumvaris::commands
