#include "commands/CommandSender.h"

#include <algorithm>

#include "commands/IConnectionControl.h"
#include "commands/ProtectedAccess.h"
#include "link/Requester.h"

namespace lumvaris::commands {

CommandSender::CommandSender(link::Requester& requester, const IConnectionControl& connection,
                             ProtectedAccess& access)
    : requester_(requester), connection_(connection), access_(access) {}

link::FrameBuffer CommandSender::Frame(const Request& request) const {
    const CommandInfo& info = Info(request.type);
    const std::uint16_t destination = info.destination == Destination::Given && request.destination
                                          ? *request.destination
                                          : connection_.UartId();
    link::FrameBuffer frame{};
    link::FillHeader(frame, link::kWorkstationAddress, destination,
                     static_cast<std::uint8_t>(request.PayloadLength()),
                     static_cast<std::uint8_t>(request.type));
    std::copy(request.body.begin(), request.body.begin() + request.bodyLength, link::Payload(frame) + 1);
    link::CompleteFrame(frame);
    return frame;
}

void CommandSender::Send(const Request& request) {
    Send(request, Info(request.type).pauseMs);
}

void CommandSender::SendWithoutPause(const Request& request) {
    Send(request, 0);
}

void CommandSender::Send(const Request& request, int pauseMs) {
    const CommandInfo& info = Info(request.type);
    requester_.SendRequest(Frame(request), info.expectedReply, pauseMs);
    // A request that was written uses up an accepted password (the password itself does not).
    if (!info.keepsAccess && access_.Granted()) {
        access_.UseUp();
    }
}

}  // namespace lumvaris::commands
