#pragma once

#include <QString>

namespace lumvaris::session {
class Connection;
}

namespace lumvaris::app {

// The port panel of the status bar: " Коммуникационный порт открыт." (and " Данные не
// сохраняются!", " Связь восстановлена." or " Журнал не записывается!" after it), the wait for a
// pulled adapter with its seconds, the adapter that did not come back, or the port not open.
// Short enough for the panel in a window of the smallest width.
QString PortStateText(const session::Connection& connection, bool journalFails);

}  // namespace lumvaris::app
