#pragma once

#include <stdexcept>

#include "commands/Catalogue.h"
#include "commands/ReplyDisplays.h"
#include "link/Frame.h"
#include "link/Requester.h"

namespace lumvaris::meterdata {
class IClock;
}

namespace lumvaris::commands {

class IConnectionControl;
class ProtectedAccess;

// A reply whose values cannot be shown (a clock or buffer record that forms no date): the text is
// for the window's general error report; the reply wait goes on to its timeout.
class ReplyError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The one place where replies are interpreted. Acceptance, in this order: the destination must be
// the source of the last request (the workstation); the type must be the expected reply type or
// the refusal 0x40. The request status then becomes "Ошибка!", the type's rule runs (each checks
// the payload length before it reads a byte), and the reply wait ends as answered with the status
// the rule left. The handler keeps no state of its own between replies.
class ReplyHandler {
  public:
    ReplyHandler(link::Requester& requester, IConnectionControl& connection, const meterdata::IClock& clock,
                 ProtectedAccess& access);

    // The pages and stores the rules hand their values to; null parts receive nothing.
    ReplyTargets& Targets() { return targets_; }
    void SetBufferReplyObserver(IBufferReplyObserver* observer) { observer_ = observer; }

    // A good frame from outside the meter range. Throws ReplyError as said above.
    void HandleReply(const link::FrameBuffer& frame);

    // An accepted reply as its rule reads it.
    struct Reply {
        const link::FrameBuffer& frame;
        const std::uint8_t* p;  // the payload, type code first
        int n;                  // its length
        bool meets;             // long enough for the rule's main effect
    };
    // One rule per reply type; false when the rule has already ended the wait itself.
    using Rule = bool (ReplyHandler::*)(const Reply&);

  private:
    bool Acknowledgement(const Reply& r);
    bool PasswordAccepted(const Reply& r);
    bool PlcCommandQueued(const Reply& r);
    bool Refusal(const Reply& r);
    bool LastStart(const Reply& r);
    bool Registers(const Reply& r);
    bool MemoryTestResult(const Reply& r);
    bool FirmwareStart(const Reply& r);
    bool FirmwareLineAcknowledged(const Reply& r);
    bool MemoryCleared(const Reply& r);
    bool Configuration(const Reply& r);
    bool Clock(const Reply& r);
    bool PacketBuffer(const Reply& r);
    bool Version(const Reply& r);
    bool ClockTrim(const Reply& r);
    bool MonthBuffer(const Reply& r);
    bool Address(const Reply& r);
    bool LineStateReply(const Reply& r);
    bool UartRate(const Reply& r);
    bool BillingDay(const Reply& r);
    bool PlcFreeCells(const Reply& r);
    bool Fingerprint(const Reply& r);

    static Rule RuleOf(std::uint8_t type);
    void Status(link::RequestStatus status);
    void StatusText(const QString& text);
    void TellFirmware(std::uint8_t type, int n);
    void TellObserver(RequestType type, const std::uint8_t* p, int n, bool delivered);

    link::Requester& requester_;
    IConnectionControl& connection_;
    const meterdata::IClock& clock_;
    ProtectedAccess& access_;
    ReplyTargets targets_;
    IBufferReplyObserver* observer_ = nullptr;
};

// "Memory pages total: 2048, memory test OK" or "...; ERR offset: -32768; ERR page: 5".
QString MemoryTestText(const std::uint8_t* p);
// One line per register word: "%0.4X.%0.4X: %0.4X" of page, offset + i and the word.
QStringList RegisterListing(std::uint32_t page, std::uint32_t offset, const std::uint8_t* words, int count);

}  // namespace lumvaris::commands
