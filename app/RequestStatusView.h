#pragma once

#include <QList>
#include <QString>

#include <functional>

#include "link/Requester.h"

class QLabel;
class QProgressBar;
class QWidget;

namespace lumvaris::app {

// The window's side of the request wait: the status bar's last panel, the gauge above it (yellow
// while counting, green when answered, maroon when the time ran out), the connection inputs
// locked while a reply is awaited, and the colour reset started afresh with every wait.
//
// A long operation (a read of all buffers) shows its own progress in the panel instead of the
// status of each of its requests, and keeps the inputs locked from its start to its end; its
// summary then stays the last word until the next request is sent, whatever replies or timeouts
// of its own requests come after it.
class RequestStatusView final : public link::IRequestListener {
  public:
    struct Parts {
        QLabel* panel;
        QProgressBar* gauge;
        QList<QWidget*> connectionInputs;  // port, rate, UART-ID
        std::function<void()> restartColourReset;
    };

    RequestStatusView(link::Requester& requester, const Parts& parts);
    ~RequestStatusView() override;

    // A text of the window's own in the panel (a key not sent, a read-all's progress), as a status.
    void ShowText(const QString& text);

    void BeginLongOperation();
    void ShowProgress(const QString& text);
    void EndLongOperation(const QString& summary);
    bool LongOperationRunning() const { return longOperation_; }

    // link::IRequestListener
    void RequestStarting() override;
    void WaitStarted(int ticks) override;
    void WaitTicked(int elapsed, int ticks) override;
    void WaitEnded(link::WaitOutcome outcome, int elapsed, int ticks) override;
    void StatusShown(link::RequestStatus status, const std::string& text) override;

  private:
    enum class Colour { ButtonFace, Yellow, Black, Green, Maroon };
    void PaintGauge(int progress, int maximum, Colour background, Colour foreground);
    void SetPanelText(const QString& text);
    void LockInputs(bool locked);

    link::Requester& requester_;
    Parts parts_;
    QString buttonFace_;  // the gauge's own background, taken before any style sheet colours it
    QString gaugeStyle_;
    bool waiting_ = false;
    bool longOperation_ = false;
    bool summaryHeld_ = false;  // the summary of a long operation stays until the next request
};

}  // namespace lumvaris::app
