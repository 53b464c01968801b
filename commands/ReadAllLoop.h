#pragma once

#include <QString>

#include <cstdint>
#include <vector>

#include "commands/Catalogue.h"
#include "commands/ReplyDisplays.h"

namespace lumvaris::commands {

// Reading one buffer of every meter 1..M (or of a range of meters), one request per meter in
// order. The driver (session::ReadAll) sends what Next() names from a timer, so pending events
// (and the replies) are handled between two requests. It counts the
// replies as the reply handler reports them, so that the end says how many meters delivered
// records, how many answered without data and how many gave no answer: a partial read never
// looks like a plain "OK".
class ReadAllLoop final : public IBufferReplyObserver {
  public:
    enum class State { Idle, Sending, AwaitingLast };

    // PacketBufferRead or MonthBufferRead for meters 1..meters; nothing to do when meters < 1.
    void Start(RequestType type, int meters) { Start(type, 1, meters); }
    // The same for meters first..last; nothing to do when last < first.
    void Start(RequestType type, int first, int last);
    State CurrentState() const { return state_; }
    bool Running() const { return state_ != State::Idle; }
    RequestType Type() const { return type_; }

    // The meter to ask for now, or 0 once every request has gone out.
    int Next();
    // Esc or a lost port: nothing more is sent; the count stops where it is.
    void Stop();
    // The request Next() named could not be written (a lost port): it does not count as sent,
    // and the loop stops.
    void SendFailed();
    // Every request sent has had its reply.
    bool AllAnswered() const;
    // The end: idle again, the summary stays readable.
    void Finish();

    // "17 / 256": requests sent of all the loop sends.
    QString ProgressText() const;
    int Sent() const { return sent_; }
    int Total() const { return meters_; }
    QString SummaryText() const;
    int Delivered() const { return delivered_; }
    int WithoutData() const { return withoutData_; }
    int WithoutReply() const;

    void BufferReply(RequestType type, int meter, bool delivered) override;

  private:
    enum : std::uint8_t { kNoReply = 0, kNoData = 1, kRecords = 2 };

    State state_ = State::Idle;
    RequestType type_ = RequestType::PacketBufferRead;
    int first_ = 1;
    int meters_ = 0;  // how many the loop asks for: first_ .. first_ + meters_ - 1
    int sent_ = 0;
    bool stopped_ = false;
    std::vector<std::uint8_t> heard_;  // per meter of the range, in order
    int delivered_ = 0;
    int withoutData_ = 0;
};

}  // namespace lumvaris::commands
