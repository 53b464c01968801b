#include "sinks/FileText.h"

#include <QCoreApplication>
#include <QFileDevice>

#include <cerrno>
#include <cstring>

namespace lumvaris::sinks {

QString SystemErrorText(int errorNumber) {
    switch (errorNumber) {
        case ENOSPC:
            return QCoreApplication::translate("sinks::FileText", "на диске нет места");
#ifdef EDQUOT
        case EDQUOT:
            return QCoreApplication::translate("sinks::FileText", "превышена квота на диске");
#endif
        case EACCES:
        case EPERM:
            return QCoreApplication::translate("sinks::FileText", "нет прав доступа");
        case EROFS:
            return QCoreApplication::translate("sinks::FileText",
                                               "файловая система доступна только для чтения");
        case ENOENT:
            return QCoreApplication::translate("sinks::FileText", "нет такого файла или папки");
        case ENOTDIR:
            return QCoreApplication::translate("sinks::FileText", "часть пути - не папка");
        case EISDIR:
            return QCoreApplication::translate("sinks::FileText", "это папка, а не файл");
        case EIO:
            return QCoreApplication::translate("sinks::FileText", "ошибка ввода-вывода (проверьте носитель)");
        case EPIPE:
            return QCoreApplication::translate("sinks::FileText", "читающая сторона закрыла канал");
#ifdef ENXIO
        case ENXIO:
            return QCoreApplication::translate("sinks::FileText", "у канала нет читающей стороны");
#endif
        case EFBIG:
            return QCoreApplication::translate("sinks::FileText", "файл слишком велик");
        case EMFILE:
        case ENFILE:
            return QCoreApplication::translate("sinks::FileText", "открыто слишком много файлов");
        case ENAMETOOLONG:
            return QCoreApplication::translate("sinks::FileText", "слишком длинное имя файла");
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
