#pragma once

#include "link/Requester.h"

namespace lumvaris::testing {

// A pause that does not wait, for what drives the link without a window (tests, benchmarks,
// fuzzers).
struct NoPause : link::IPause {
    void Pause(int) override {}
};

}  // namespace lumvaris::testing
