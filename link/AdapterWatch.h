#pragma once

#include <optional>
#include <string>
#include <vector>

#include "SerialPort.h"

namespace lumvaris::link {

// Waits for a serial adapter that vanished while open (a USB adapter pulled) to come back, so the
// window can reopen it by itself. The window tells it of every open and of the loss, and shows it
// the port list once a tick; time is the sum of the ticks, so tests need no clock.
//
// The same adapter: the same serial number (with the same USB ids) when the adapter has one;
// otherwise the same USB ids (or none) and the same name or device. So a different adapter of
// the same kind in the same socket is taken only when neither has a serial number.
class AdapterWatch {
  public:
    static constexpr int kWatchMs = 60000;

    enum class State {
        Idle,         // nothing lost, or the engineer chose a port since
        Waiting,      // the adapter is gone; looking for it
        Reconnected,  // it came back and was opened again
        NotFound,     // it did not come back in time
    };

    // A port has opened under openedName; ports is the port list of that moment. A name the list
    // does not show (a path typed by hand) is not waited for: a pseudo-terminal's number, for
    // one, is soon another program's. Ends a wait as Reconnected.
    void Opened(const std::string& openedName, const std::vector<PortInfo>& ports);
    // The open port vanished. Returns whether there is an adapter to wait for.
    bool Start();
    // One look at the ports present, elapsedMs after the last. Returns the name to reopen while
    // the adapter is listed (until an open succeeds); gives up after kWatchMs.
    std::optional<std::string> Look(const std::vector<PortInfo>& ports, int elapsedMs);
    // The engineer chose a port or closed the window.
    void Cancel() { state_ = State::Idle; }

    State CurrentState() const { return state_; }
    // Whole seconds left to wait, rounded up.
    int SecondsLeft() const;

  private:
    bool SameAdapter(const PortInfo& port) const;

    std::optional<PortInfo> adapter_;
    std::string openedName_;
    State state_ = State::Idle;
    int elapsedMs_ = 0;
};

// The entry of the list that a name opens: the listed name itself or its device path.
const PortInfo* FindPort(const std::vector<PortInfo>& ports, const std::string& name);

}  // namespace lumvaris::link
