#pragma once

#include <QString>

#include <cstdint>

#include "keys/GostHashContext.h"

namespace lumvaris::keys {

class KeyFile;

// The work of the key computation window, without the window. The window calls Begin when it is
// shown, Start from TimerStart, Step from a timer whose interval MsUntilNextStep gives (0 while
// deriving, so that events run between the steps), and Cancel from Cancel, Esc and the close box;
// after each call it paints LabelHash() and Progress(), and once IsFinished() it closes: with OK
// when ShouldSend(), with Cancel otherwise, after showing ErrorText() if there is one.
//
//   choosing --Start--> settling (1000 ms) --> done                 (source none or stored)
//                                          \-> deriving, 100 steps --> storing (1000 ms, write) --> done
//   any state before done --Cancel--> cancelled;  a failed write or a refused name --> failed
//
// The key is H(1,000,000): H(0) is the hash of the key name's code page 1251 bytes, taken in Begin;
// each of the 100 steps hashes the previous 32 bytes 10,000 times (RehashKey). The key lives in the
// process-wide binary key buffer.
class KeyDerivation {
  public:
    enum class KeySource { None = 0, Stored = 1, Computed = 2 };
    enum class State { Hidden, Choosing, Settling, Deriving, Storing, Done, Cancelled, Failed };

    static constexpr int kProgressMin = 1;
    static constexpr int kProgressMax = 100;
    static constexpr std::int64_t kPauseMs = 1000;

    explicit KeyDerivation(KeyFile& keyFile);

    // The window is shown with the text of the key field: the key buffer is zeroed, the key name
    // taken, and the key source chosen (a stored entry is read here, a new name hashed once). A
    // name that KeyNameError refuses ends in state failed before any hash.
    void Begin(const QString& keyText);

    // TimerStart fired: the settling pause begins.
    void Start(std::int64_t nowMs);

    // Advances at most one stage: ends a pause that is over, or runs one step of the derivation,
    // or writes the key file entry. Does nothing while a pause lasts or in other states.
    void Step(std::int64_t nowMs);

    // Ends any unfinished work as cancelled: nothing is sent and nothing written; the next Begin
    // starts afresh.
    void Cancel();

    State CurrentState() const { return state_; }
    KeySource Source() const { return source_; }
    const QString& KeyName() const { return keyName_; }
    int Progress() const { return progress_; }
    // The text of LabelHash: the 64-digit text form of the key, or a stored entry as it stands.
    const QString& LabelHash() const { return labelHash_; }
    const QString& ErrorText() const { return errorText_; }
    const BinaryKey& Key() const;

    bool IsFinished() const;
    // Done: the key is to be sent to the concentrator.
    bool ShouldSend() const { return state_ == State::Done; }
    // Done with a new entry in the key file: the key name joins the list of the key field.
    bool EntryWritten() const { return state_ == State::Done && source_ == KeySource::Computed; }

    // Milliseconds until Step has something to do: the rest of a pause, 0 while deriving, -1 when
    // nothing is due (before Start, or finished).
    std::int64_t MsUntilNextStep(std::int64_t nowMs) const;

  private:
    void ShowKey();
    void Fail(QString message);

    KeyFile& keyFile_;
    State state_ = State::Hidden;
    KeySource source_ = KeySource::None;
    QString keyName_;
    QString labelHash_;
    QString errorText_;
    int progress_ = kProgressMin;
    int stepsDone_ = 0;
    std::int64_t pauseEndMs_ = 0;
};

}  // namespace lumvaris::keys
