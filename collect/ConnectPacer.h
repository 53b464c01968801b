#pragma once

#include <algorithm>
#include <cstdint>

namespace lumvaris::collect {

// Paces connection attempts to at most `perSecond` in any second: a token bucket that holds one
// token, so the attempts are spread evenly and no burst puts two seconds' worth into one. Times are
// microseconds of a monotonic clock.
class ConnectPacer {
  public:
    explicit ConnectPacer(int perSecond = 20) { SetRate(perSecond); }

    void SetRate(int perSecond) {
        const std::int64_t rate = std::max(perSecond, 1);
        // Rounded up: three a second are 333334 µs apart, so that a fourth never fits into one second.
        intervalUs_ = (kSecondUs + rate - 1) / rate;
    }

    // Takes the token when it is there.
    bool TryTake(std::int64_t nowUs) {
        if (nowUs < nextUs_) {
            return false;
        }
        nextUs_ = nowUs + intervalUs_;
        return true;
    }

    // How long until the token is there again.
    std::int64_t WaitUs(std::int64_t nowUs) const { return std::max<std::int64_t>(0, nextUs_ - nowUs); }

  private:
    static constexpr std::int64_t kSecondUs = 1'000'000;
    std::int64_t intervalUs_ = kSecondUs;
    std::int64_t nextUs_ = 0;
};

}  // namespace lumvaris::collect
