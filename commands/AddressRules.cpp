#include "commands/AddressRules.h"
#include <QCoreApplication>

namespace lumvaris::commands {

QString UnreachableAddressReason(std::uint16_t address) {
    const QString hex = QString::asprintf("%04X", address);
    if (address >= 0x1000 && address <= 0x1FFF) {
        return QCoreApplication::translate(
                   "commands::AddressRules",
                   "Адрес %1 не может быть адресом концентратора: адреса 1000..1FFF "
                   "принадлежат счётчикам, и ответы концентратора приняли бы за пакеты "
                   "счётчиков. Связь с концентратором была бы потеряна.")
            .arg(hex);
    }
    if (address == 0xFFFF) {
        return QCoreApplication::translate("commands::AddressRules",
                                           "Адрес FFFF — адрес самой программы; концентратор с этим адресом "
                                           "был бы недоступен.");
    }
    return {};
}

}  // namespace lumvaris::commands
