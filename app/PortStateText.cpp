#include "app/PortStateText.h"

#include <QCoreApplication>

#include "session/Connection.h"

namespace lumvaris::app {

QString PortStateText(const session::Connection& connection, bool journalFails) {
    const QString open = QCoreApplication::translate("app::PortStateText", " Коммуникационный порт открыт.");
    switch (connection.State()) {
        case session::ConnectionState::OpenNotSaving:
            // Files that are not saved matter more than the news of a reconnection.
            return open + QCoreApplication::translate("app::PortStateText", " Данные не сохраняются!");
        case session::ConnectionState::Open:
            return open +
                   (connection.Reconnected()
                        ? QCoreApplication::translate("app::PortStateText", " Связь восстановлена.")
                        : QString()) +
                   (journalFails
                        ? QCoreApplication::translate("app::PortStateText", " Журнал не записывается!")
                        : QString());
        case session::ConnectionState::WaitingForAdapter:
            return QCoreApplication::translate("app::PortStateText",
                                               " ВНИМАНИЕ! Порт потерян, ожидание адаптера: %1 с")
                .arg(connection.AdapterSecondsLeft());
        case session::ConnectionState::Connecting:
            return QCoreApplication::translate("app::PortStateText", " Подключение к %1… (Esc - отмена)")
                .arg(connection.PortName());
        case session::ConnectionState::WaitingForNetwork:
            return QCoreApplication::translate(
                       "app::PortStateText",
                       " ВНИМАНИЕ! Нет связи с %1, повторное подключение через %2 с (Esc - отмена)")
                .arg(connection.PortName())
                .arg(connection.RetrySecondsLeft());
        case session::ConnectionState::AdapterGone:
            return QCoreApplication::translate("app::PortStateText",
                                               " ВНИМАНИЕ! Порт не открыт: адаптер не вернулся.");
        case session::ConnectionState::Closed:
            break;
    }
    return QCoreApplication::translate("app::PortStateText", " ВНИМАНИЕ! Коммуникационный порт не открыт!");
}

}  // namespace lumvaris::app
