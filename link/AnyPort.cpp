#include "link/AnyPort.h"

#include "link/NetworkAddress.h"

namespace lumvaris::link {

AnyPort::AnyPort() = default;

void AnyPort::SetName(const std::string& name) {
    ISerialPort* chosen = IsNetworkName(name) ? static_cast<ISerialPort*>(&network_) : &serial_;
    if (chosen != active_) {
        // The line settings go with the choice; the other port is closed by now.
        chosen->SetLineSettings(active_->Settings());
        active_ = chosen;
    }
    active_->SetName(name);
}

void AnyPort::SetReceiveNotification(std::function<void()> handler) {
    serial_.SetReceiveNotification(handler);
    network_.SetReceiveNotification(std::move(handler));
}

void AnyPort::SetErrorNotification(std::function<void(const std::string&)> handler) {
    serial_.SetErrorNotification(handler);
    network_.SetErrorNotification(std::move(handler));
}

void AnyPort::SetConnectedNotification(std::function<void()> handler) {
    network_.SetConnectedNotification(std::move(handler));
}

}  // namespace lumvaris::link
