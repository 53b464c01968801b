#include "cli/ListenDeadline.h"

namespace lumvaris::cli {
namespace {

constexpr int kLookMs = 1000;

}  // namespace

ListenDeadline::ListenDeadline(session::ITimerFactory& timers, std::function<qint64()> elapsedMs,
                               qint64 durationMs, std::function<void()> onEnd)
    : elapsedMs_(std::move(elapsedMs)), durationMs_(durationMs), onEnd_(std::move(onEnd)) {
    timer_ = timers.Create("ListenDeadline", kLookMs, [this] { Look(); });
    timer_->Start();
}

void ListenDeadline::Look() {
    if (ended_ || elapsedMs_() < durationMs_) {
        return;
    }
    ended_ = true;
    timer_->Stop();
    onEnd_();
}

}  // namespace lumvaris::cli
