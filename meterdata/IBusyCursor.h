#pragma once

namespace lumvaris::meterdata {

// Shows the hourglass cursor for the duration of a long file operation. The window implements it
// (override cursor on, previous cursor back); without one nothing is shown.
class IBusyCursor {
  public:
    virtual ~IBusyCursor() = default;
    virtual void BeginBusy() = 0;
    virtual void EndBusy() = 0;
};

// Holds the busy cursor for one scope; a null cursor does nothing.
class BusyScope {
  public:
    explicit BusyScope(IBusyCursor* cursor) : cursor_(cursor) {
        if (cursor_ != nullptr) {
            cursor_->BeginBusy();
        }
    }
    ~BusyScope() {
        if (cursor_ != nullptr) {
            cursor_->EndBusy();
        }
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    IBusyCursor* cursor_;
};

}  // namespace lumvaris::meterdata
