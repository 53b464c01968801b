#pragma once

#include <QString>

#include <array>
#include <cstdint>

class QLabel;
class QStatusBar;

namespace lumvaris::app {

// The status bar's three panels: 0 the received bytes, 1 the port state, 2 the request status
// (drawn by RequestStatusView).
class StatusPanels {
  public:
    explicit StatusPanels(QStatusBar* bar);

    QLabel* Panel(int index) const;
    void ShowBytes(std::uint32_t bytes);
    // The journal's problem, when there is one, is in the tooltip under the state.
    void ShowPortState(const QString& text, const QString& journalProblem);

  private:
    std::array<QLabel*, 3> panels_{};
};

}  // namespace lumvaris::app
