#include "commands/RequestStatusText.h"
#include <QCoreApplication>

namespace lumvaris::commands {

namespace {

const char* StatusSource(link::RequestStatus status) {
    using link::RequestStatus;
    switch (status) {
        case RequestStatus::Ok:
            return "OK";
        case RequestStatus::Error:
            return QT_TRANSLATE_NOOP("commands::RequestStatusText", "Ошибка!");
        case RequestStatus::NoData:
            return QT_TRANSLATE_NOOP("commands::RequestStatusText", "Нет данных ...");
        case RequestStatus::MemoryCleared:
            return QT_TRANSLATE_NOOP("commands::RequestStatusText", "Память очищена");
        case RequestStatus::Text:
        case RequestStatus::None:
        case RequestStatus::Blank:
            break;
    }
    return nullptr;
}

}  // namespace

QString RequestStatusText(link::RequestStatus status, const std::string& customText) {
    if (status == link::RequestStatus::Text) {
        return QString::fromStdString(customText);
    }
    const char* source = StatusSource(status);
    return source != nullptr ? QCoreApplication::translate("commands::RequestStatusText", source) : QString();
}

QString RequestStatusDataText(link::RequestStatus status, const std::string& customText) {
    if (status == link::RequestStatus::Text) {
        return QString::fromStdString(customText);
    }
    const char* source = StatusSource(status);
    return source != nullptr ? QString::fromUtf8(source) : QString();
}

}  // namespace lumvaris::commands
