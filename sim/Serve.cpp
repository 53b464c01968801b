#include "Serve.h"

#include <poll.h>
#include <sys/epoll.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <queue>

namespace lumvaris::sim {
namespace {

constexpr Millis kMaxWaitMs = 1000;
constexpr int kMaxEvents = 256;
constexpr std::uint64_t kStopTag = ~0ull;

std::uint32_t ToEpoll(short events) {
    return ((events & POLLIN) != 0 ? EPOLLIN : 0u) | ((events & POLLOUT) != 0 ? EPOLLOUT : 0u);
}

short FromEpoll(std::uint32_t events) {
    short out = 0;
    out |= (events & EPOLLIN) != 0 ? POLLIN : 0;
    out |= (events & EPOLLOUT) != 0 ? POLLOUT : 0;
    out |= (events & EPOLLHUP) != 0 ? POLLHUP : 0;
    out |= (events & EPOLLERR) != 0 ? POLLERR : 0;
    return static_cast<short>(out);
}

// What each simulator's descriptors are registered with, kept in step with what it wants.
class Registry {
  public:
    explicit Registry(int epoll) : epoll_(epoll) {}

    void Sync(std::size_t index, const Simulator& simulator, std::vector<Simulator::Interest>& registered) {
        for (int slot = 0; slot < Simulator::kSlots; ++slot) {
            const Simulator::Interest& want = simulator.Watched(static_cast<Simulator::Slot>(slot));
            Simulator::Interest& have =
                registered[index * Simulator::kSlots + static_cast<std::size_t>(slot)];
            const bool same = have.fd == want.fd && have.generation == want.generation;
            if (same && have.events == want.events) {
                continue;
            }
            // A closed descriptor has already left the set; so the removal may fail, harmlessly.
            // Nobody else opened a descriptor since this simulator last ran, so the number is its own.
            if (have.events != 0 && (!same || want.events == 0)) {
                epoll_ctl(epoll_, EPOLL_CTL_DEL, have.fd, nullptr);
                have.events = 0;
            }
            if (want.events != 0 && want.fd >= 0) {
                epoll_event e{};
                e.events = ToEpoll(want.events);
                e.data.u64 = index * Simulator::kSlots + static_cast<std::size_t>(slot);
                if (have.events == 0) {
                    if (epoll_ctl(epoll_, EPOLL_CTL_ADD, want.fd, &e) != 0 && errno == EEXIST) {
                        epoll_ctl(epoll_, EPOLL_CTL_MOD, want.fd, &e);
                    }
                } else {
                    epoll_ctl(epoll_, EPOLL_CTL_MOD, want.fd, &e);
                }
            }
            have = want;
            if (want.fd < 0) {
                have.events = 0;
            }
        }
    }

  private:
    int epoll_;
};

}  // namespace

int Serve(const std::vector<std::unique_ptr<Simulator>>& simulators, int stopFd) {
    const int epoll = epoll_create1(EPOLL_CLOEXEC);
    if (epoll < 0 || simulators.empty()) {
        if (!simulators.empty()) {
            simulators.front()->LogNote("epoll failed: " + std::string(std::strerror(errno)));
        }
        return 1;
    }
    epoll_event stop{};
    stop.events = EPOLLIN;
    stop.data.u64 = kStopTag;
    epoll_ctl(epoll, EPOLL_CTL_ADD, stopFd, &stop);

    Registry registry(epoll);
    std::vector<Simulator::Interest> registered(simulators.size() * Simulator::kSlots);
    // A wake entry is stale once its simulator ran again and planned anew.
    std::vector<std::uint32_t> plans(simulators.size(), 0);
    struct Entry {
        Millis wake;
        std::size_t index;
        std::uint32_t plan;
        bool operator>(const Entry& other) const { return wake > other.wake; }
    };
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> wakes;
    std::vector<std::array<short, Simulator::kSlots>> revents(simulators.size());
    std::vector<char> ready(simulators.size(), 0);
    std::vector<std::size_t> due;
    due.reserve(simulators.size());
    for (std::size_t i = 0; i < simulators.size(); ++i) {
        due.push_back(i);
    }

    int code = Simulator::kRunning;
    epoll_event events[kMaxEvents];
    for (;;) {
        for (const std::size_t i : due) {
            ready[i] = 0;
            Simulator& simulator = *simulators[i];
            const std::array<short, Simulator::kSlots> got = revents[i];
            revents[i] = {};
            if (std::any_of(got.begin(), got.end(), [](short e) { return e != 0; })) {
                code = simulator.HandleEvents(got);
            }
            if (code == Simulator::kRunning) {
                code = simulator.Service();
            }
            if (code != Simulator::kRunning) {
                break;
            }
            registry.Sync(i, simulator, registered);
            wakes.push({simulator.Wake(), i, ++plans[i]});
        }
        if (code != Simulator::kRunning) {
            break;
        }
        due.clear();

        Millis now = SteadyMillis();
        while (!wakes.empty() && wakes.top().plan != plans[wakes.top().index]) {
            wakes.pop();
        }
        const Millis next = wakes.empty() ? now + kMaxWaitMs : wakes.top().wake;
        const int timeout = static_cast<int>(std::clamp<Millis>(next - now, 0, kMaxWaitMs));
        const int n = epoll_wait(epoll, events, kMaxEvents, timeout);
        if (n < 0 && errno != EINTR) {
            simulators.front()->LogNote("poll failed: " + std::string(std::strerror(errno)));
            code = 1;
            break;
        }
        for (int k = 0; k < n; ++k) {
            if (events[k].data.u64 == kStopTag) {
                simulators.front()->LogNote("stopped by signal");
                close(epoll);
                return 0;
            }
        }
        for (int k = 0; k < n; ++k) {
            const std::size_t i = events[k].data.u64 / Simulator::kSlots;
            revents[i][events[k].data.u64 % Simulator::kSlots] |= FromEpoll(events[k].events);
            if (ready[i] == 0) {
                ready[i] = 1;
                due.push_back(i);
            }
        }
        now = SteadyMillis();
        while (!wakes.empty() && wakes.top().wake <= now) {
            const Entry e = wakes.top();
            wakes.pop();
            if (e.plan == plans[e.index] && ready[e.index] == 0) {
                ready[e.index] = 1;
                due.push_back(e.index);
            }
        }
    }
    close(epoll);
    return code;
}

}  // namespace lumvaris::sim
