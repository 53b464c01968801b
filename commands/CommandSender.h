#pragma once

#include "commands/Requests.h"
#include "link/Frame.h"

namespace lumvaris::link {
class Requester;
}

namespace lumvaris::commands {

class IConnectionControl;
class ProtectedAccess;

// The one place that frames a request: source 0xFFFF, the destination (the UART-ID unless the
// request names its own), N and the type code, then the expected reply, the pause and whether the
// request uses up an accepted password, all from the catalogue. Pages never write a type code.
class CommandSender {
  public:
    CommandSender(link::Requester& requester, const IConnectionControl& connection, ProtectedAccess& access);

    // The frame as it will be written (checksum and CRC included).
    link::FrameBuffer Frame(const Request& request) const;
    // Writes it and starts its reply wait; a port error is thrown before any wait starts.
    void Send(const Request& request);
    // The same without the catalogue's pause after the write: for a caller that paces its
    // requests by their replies (its reply is then handled as soon as it arrives).
    void SendWithoutPause(const Request& request);

  private:
    void Send(const Request& request, int pauseMs);

    link::Requester& requester_;
    const IConnectionControl& connection_;
    ProtectedAccess& access_;
};

}  // namespace lumvaris::commands
