#pragma once

#include <string>

#include "link/Requester.h"

namespace lumvaris::testing {

// A request view that shows nothing, for what drives the link without a window (tests, benchmarks,
// fuzzers); a case overrides what it looks at. Access control is as set, the port timeout 2 s.
struct QuietRequestView : link::IRequestView {
    void ShowRequestStatusText(const std::string&) override {}
    void ShowGauge(const link::GaugeState&) override {}
    void SetGaugeTimerEnabled(bool) override {}
    void RestartColorResetTimer() override {}
    void SetConnectionInputsEnabled(bool) override {}
    bool AccessControlOn() const override { return accessControl; }
    void DisableProtectedButtons() override {}
    int PortTimeoutSeconds() const override { return 2; }
    bool accessControl = false;
};

// A pause that does not wait.
struct NoPause : link::IPause {
    void Pause(int) override {}
};

}  // namespace lumvaris::testing
