#include "keys/KeyDerivation.h"

#include <algorithm>
#include <utility>

#include "keys/Cp1251.h"
#include "keys/CryptoAPI.h"
#include "keys/CryptoUtils.h"
#include "keys/GostHashUnit.h"
#include "keys/KeyFile.h"
#include "keys/KeyName.h"

namespace lumvaris::keys {

KeyDerivation::KeyDerivation(KeyFile& keyFile) : keyFile_(keyFile) {}

const BinaryKey& KeyDerivation::Key() const {
    return BinaryKeyBuffer();
}

void KeyDerivation::ShowKey() {
    const BinaryKey& key = BinaryKeyBuffer();
    labelHash_ = QString::fromLatin1(BytesToHex(key.data(), key.size()));
}

void KeyDerivation::Fail(QString message) {
    errorText_ = std::move(message);
    state_ = State::Failed;
}

void KeyDerivation::Begin(const QString& keyText) {
    BinaryKeyBuffer().fill(0);
    keyName_ = KeyNameFromText(keyText);
    errorText_.clear();
    stepsDone_ = 0;
    pauseEndMs_ = 0;
    state_ = State::Choosing;
    source_ = KeySource::None;
    progress_ = kProgressMax;
    ShowKey();
    if (keyName_.isEmpty()) {
        return;
    }
    if (QString refused = KeyNameError(keyName_); !refused.isEmpty()) {
        Fail(std::move(refused));
        return;
    }
    const QString entry = keyFile_.ReadEntry(keyName_);
    if (!entry.isEmpty()) {
        // Taken as it stands: the conversion reads any character that is not a digit as 0, and a
        // short entry leaves the rest of the key zero.
        const QByteArray text = entry.toLatin1();
        HexToBytes(std::string_view(text.constData(), static_cast<std::size_t>(text.size())),
                   BinaryKeyBuffer().data(), kGostHashSize);
        labelHash_ = entry;
        source_ = KeySource::Stored;
        return;
    }
    // A valid name always has its code page 1251 bytes.
    const QByteArray bytes = ToCp1251(keyName_).value_or(QByteArray());
    HashString(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    ShowKey();
    progress_ = kProgressMin;
    source_ = KeySource::Computed;
}

void KeyDerivation::Start(std::int64_t nowMs) {
    if (state_ != State::Choosing) {
        return;
    }
    state_ = State::Settling;
    pauseEndMs_ = nowMs + kPauseMs;
}

void KeyDerivation::Step(std::int64_t nowMs) {
    switch (state_) {
        case State::Settling:
            if (nowMs < pauseEndMs_) {
                return;
            }
            state_ = source_ == KeySource::Computed ? State::Deriving : State::Done;
            return;
        case State::Deriving:
            RehashKey();
            ++stepsDone_;
            progress_ = stepsDone_;  // step p shows position p, 1..100
            ShowKey();
            if (progress_ == kProgressMax) {
                state_ = State::Storing;
                pauseEndMs_ = nowMs + kPauseMs;
            }
            return;
        case State::Storing:
            if (nowMs < pauseEndMs_) {
                return;
            }
            if (!keyFile_.WriteEntry(keyName_, labelHash_)) {
                Fail(keyFile_.LastError());
                return;
            }
            state_ = State::Done;
            return;
        default:
            return;
    }
}

void KeyDerivation::Cancel() {
    if (state_ == State::Choosing || state_ == State::Settling || state_ == State::Deriving ||
        state_ == State::Storing) {
        state_ = State::Cancelled;
    }
}

bool KeyDerivation::IsFinished() const {
    return state_ == State::Done || state_ == State::Cancelled || state_ == State::Failed;
}

std::int64_t KeyDerivation::MsUntilNextStep(std::int64_t nowMs) const {
    switch (state_) {
        case State::Settling:
        case State::Storing:
            return std::max<std::int64_t>(pauseEndMs_ - nowMs, 0);
        case State::Deriving:
            return 0;
        default:
            return -1;
    }
}

}  // namespace lumvaris::keys
