#pragma once

#include <QString>

#include "link/Requester.h"

namespace lumvaris::commands {

// What a request's status reads as, in the window's status panel and in the command-line
// program's output: "OK", "Ошибка!", "Нет данных ...", "Память очищена", or the handler's text.
QString RequestStatusText(link::RequestStatus status, const std::string& customText = {});
// The same with the status words in Russian whatever the program's language, for the output that
// programs read (JSON); the handler's text is a message and stays as it is.
QString RequestStatusDataText(link::RequestStatus status, const std::string& customText = {});

}  // namespace lumvaris::commands
