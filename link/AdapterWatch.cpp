#include "AdapterWatch.h"

#include <algorithm>

namespace lumvaris::link {

const PortInfo* FindPort(const std::vector<PortInfo>& ports, const std::string& name) {
    if (name.empty()) {
        return nullptr;
    }
    const auto found = std::find_if(ports.begin(), ports.end(), [&](const PortInfo& port) {
        return port.name == name || port.systemLocation == name;
    });
    return found != ports.end() ? &*found : nullptr;
}

void AdapterWatch::Opened(const std::string& openedName, const std::vector<PortInfo>& ports) {
    const PortInfo* port = FindPort(ports, openedName);
    adapter_ = port != nullptr ? std::optional<PortInfo>(*port) : std::nullopt;
    openedName_ = openedName;
    if (state_ == State::Waiting) {
        state_ = State::Reconnected;
    }
}

bool AdapterWatch::Start() {
    if (!adapter_) {
        state_ = State::Idle;
        return false;
    }
    state_ = State::Waiting;
    elapsedMs_ = 0;
    return true;
}

bool AdapterWatch::SameAdapter(const PortInfo& port) const {
    const PortInfo& lost = *adapter_;
    if (port.vendorId != lost.vendorId || port.productId != lost.productId) {
        return false;
    }
    if (!lost.serialNumber.empty()) {
        return port.serialNumber == lost.serialNumber;
    }
    return port.name == lost.name ||
           (!lost.systemLocation.empty() && port.systemLocation == lost.systemLocation);
}

std::optional<std::string> AdapterWatch::Look(const std::vector<PortInfo>& ports, int elapsedMs) {
    if (state_ != State::Waiting) {
        return std::nullopt;
    }
    elapsedMs_ += std::max(elapsedMs, 0);
    if (elapsedMs_ > kWatchMs) {
        state_ = State::NotFound;
        return std::nullopt;
    }
    const PortInfo* first = nullptr;
    for (const PortInfo& port : ports) {
        if (!SameAdapter(port)) {
            continue;
        }
        // The name the engineer used, while it still leads to the adapter: the database files
        // go by that name.
        if (port.name == openedName_ || port.systemLocation == openedName_) {
            return openedName_;
        }
        if (first == nullptr) {
            first = &port;
        }
    }
    if (first != nullptr) {
        return first->name;
    }
    return std::nullopt;
}

int AdapterWatch::SecondsLeft() const {
    const int left = kWatchMs - elapsedMs_;
    return left > 0 ? (left + 999) / 1000 : 0;
}

}  // namespace lumvaris::link
