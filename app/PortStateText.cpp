#include "app/PortStateText.h"

#include "session/Connection.h"

namespace lumvaris::app {

QString PortStateText(const session::Connection& connection, bool journalFails) {
    const QString open = QStringLiteral(" Коммуникационный порт открыт.");
    switch (connection.State()) {
        case session::ConnectionState::OpenNotSaving:
            // Files that are not saved matter more than the news of a reconnection.
            return open + QStringLiteral(" Данные не сохраняются!");
        case session::ConnectionState::Open:
            return open + (connection.Reconnected() ? QStringLiteral(" Связь восстановлена.") : QString()) +
                   (journalFails ? QStringLiteral(" Журнал не записывается!") : QString());
        case session::ConnectionState::WaitingForAdapter:
            return QStringLiteral(" ВНИМАНИЕ! Порт потерян, ожидание адаптера: %1 с")
                .arg(connection.AdapterSecondsLeft());
        case session::ConnectionState::Connecting:
            return QStringLiteral(" Подключение к %1… (Esc - отмена)").arg(connection.PortName());
        case session::ConnectionState::WaitingForNetwork:
            return QStringLiteral(
                       " ВНИМАНИЕ! Нет связи с %1, повторное подключение через %2 с (Esc - отмена)")
                .arg(connection.PortName())
                .arg(connection.RetrySecondsLeft());
        case session::ConnectionState::AdapterGone:
            return QStringLiteral(" ВНИМАНИЕ! Порт не открыт: адаптер не вернулся.");
        case session::ConnectionState::Closed:
            break;
    }
    return QStringLiteral(" ВНИМАНИЕ! Коммуникационный порт не открыт!");
}

}  // namespace lumvaris::app
