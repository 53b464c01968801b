#include "sinks/FileText.h"

#include <QFileDevice>

#include <cerrno>
#include <cstring>

namespace lumvaris::sinks {

QString SystemErrorText(int errorNumber) {
    switch (errorNumber) {
        case ENOSPC:
            return QStringLiteral("на диске нет места");
#ifdef EDQUOT
        case EDQUOT:
            return QStringLiteral("превышена квота на диске");
#endif
        case EACCES:
        case EPERM:
            return QStringLiteral("нет прав доступа");
        case EROFS:
            return QStringLiteral("файловая система доступна только для чтения");
        case ENOENT:
            return QStringLiteral("нет такого файла или папки");
        case ENOTDIR:
            return QStringLiteral("часть пути - не папка");
        case EISDIR:
            return QStringLiteral("это папка, а не файл");
        case EIO:
            return QStringLiteral("ошибка ввода-вывода (проверьте носитель)");
        case EPIPE:
            return QStringLiteral("читающая сторона закрыла канал");
#ifdef ENXIO
        case ENXIO:
            return QStringLiteral("у канала нет читающей стороны");
#endif
        case EFBIG:
            return QStringLiteral("файл слишком велик");
        case EMFILE:
        case ENFILE:
            return QStringLiteral("открыто слишком много файлов");
        case ENAMETOOLONG:
            return QStringLiteral("слишком длинное имя файла");
        default:
            return QString::fromLocal8Bit(std::strerror(errorNumber));
    }
}

QString FileErrorText(const QFileDevice& file) {
    const int errorNumber = errno;
    switch (file.error()) {
        case QFileDevice::ResourceError:
            return errorNumber == EDQUOT ? SystemErrorText(EDQUOT) : SystemErrorText(ENOSPC);
        case QFileDevice::PermissionsError:
            return SystemErrorText(EACCES);
        default:
            break;
    }
    if (errorNumber != 0 && errorNumber != EINTR && errorNumber != EAGAIN) {
        return SystemErrorText(errorNumber);
    }
    return file.errorString();
}

}  // namespace lumvaris::sinks
