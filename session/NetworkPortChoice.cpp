#include "session/NetworkPortChoice.h"

#include <QCoreApplication>
#include <utility>

#include "link/NetworkAddress.h"

namespace lumvaris::session {

NetworkPortChoice::Opened NetworkPortChoice::PortOpened(const QString& portName) {
    const std::string name = portName.toStdString();
    const bool network = link::IsNetworkName(name);
    Opened opened;
    if (!timeoutChosen_) {
        opened.timeoutSeconds = network ? kNetworkTimeoutSeconds : link::Requester::kDefaultTimeoutSeconds;
    }
    if (!network) {
        return opened;
    }
    recent_.Add(portName);
    const auto address = link::ParseNetworkAddress(name);
    // The rate box stays as it is, for the next local port.
    if (address && address->scheme == link::NetworkScheme::Tcp && !std::exchange(rateNoteShown_, true)) {
        opened.note =
            QCoreApplication::translate("session::NetworkPortChoice",
                                        "Скорость порта %1 задаёт удалённая сторона: выбор скорости на неё "
                                        "не действует.")
                .arg(portName);
    }
    return opened;
}

std::vector<std::pair<QString, QString>> NetworkPortChoice::RecentEntries() const {
    std::vector<std::pair<QString, QString>> entries;
    for (const QString& address : recent_.Addresses()) {
        entries.emplace_back(address,
                             QCoreApplication::translate("session::NetworkPortChoice", "сетевой адрес"));
    }
    return entries;
}

}  // namespace lumvaris::session
