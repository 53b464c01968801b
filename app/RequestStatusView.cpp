#include "app/RequestStatusView.h"

#include <QLabel>
#include <QProgressBar>
#include <QWidget>

#include <algorithm>

#include "commands/RequestStatusText.h"

namespace lumvaris::app {
RequestStatusView::RequestStatusView(link::Requester& requester, const Parts& parts)
    : requester_(requester),
      parts_(parts),
      buttonFace_(parts.gauge->palette().color(QPalette::Button).name()) {
    requester_.AddListener(this);
}

RequestStatusView::~RequestStatusView() {
    requester_.RemoveListener(this);
}

void RequestStatusView::RequestStarting() {
    summaryHeld_ = false;
}

void RequestStatusView::WaitStarted(int ticks) {
    waiting_ = true;
    PaintGauge(0, ticks, Colour::Yellow, Colour::Black);
    // Values a reply shows are highlighted until two seconds after their request.
    if (parts_.restartColourReset) {
        parts_.restartColourReset();
    }
    LockInputs(true);
}

void RequestStatusView::WaitTicked(int elapsed, int ticks) {
    PaintGauge(elapsed, ticks, Colour::Yellow, Colour::Black);
}

void RequestStatusView::WaitEnded(link::WaitOutcome outcome, int elapsed, int ticks) {
    waiting_ = false;
    if (outcome == link::WaitOutcome::Answered) {
        // A reply before the first tick still leaves a green stub of a tenth.
        PaintGauge(elapsed < 1 ? ticks / 10 : elapsed, ticks, Colour::ButtonFace, Colour::Green);
    } else {
        PaintGauge(elapsed, ticks, Colour::ButtonFace, Colour::Maroon);
    }
    LockInputs(false);
}

void RequestStatusView::StatusShown(link::RequestStatus status, const std::string& text) {
    // During a long operation and after it, until the next request, its own words stand.
    if (longOperation_ || summaryHeld_) {
        return;
    }
    SetPanelText(QLatin1Char(' ') + commands::RequestStatusText(status, text));
}

void RequestStatusView::ShowText(const QString& text) {
    if (longOperation_) {
        return;
    }
    summaryHeld_ = false;
    SetPanelText(QLatin1Char(' ') + text);
}

void RequestStatusView::BeginLongOperation() {
    longOperation_ = true;
    summaryHeld_ = false;
    LockInputs(true);
}

void RequestStatusView::ShowProgress(const QString& text) {
    SetPanelText(QLatin1Char(' ') + text);
}

void RequestStatusView::EndLongOperation(const QString& summary) {
    longOperation_ = false;
    summaryHeld_ = true;
    SetPanelText(QLatin1Char(' ') + summary);
    LockInputs(waiting_);
}

void RequestStatusView::SetPanelText(const QString& text) {
    parts_.panel->setText(text);
    // The last panel ends at the window's edge: a long status (a memory test, a read-all summary)
    // is read whole in the tooltip.
    parts_.panel->setToolTip(text.trimmed());
}

void RequestStatusView::LockInputs(bool locked) {
    const bool enabled = !locked && !longOperation_;
    for (QWidget* input : parts_.connectionInputs) {
        input->setEnabled(enabled);
    }
}

void RequestStatusView::PaintGauge(int progress, int maximum, Colour background, Colour foreground) {
    QProgressBar* bar = parts_.gauge;
    bar->setMaximum(std::max(maximum, 1));
    bar->setValue(std::clamp(progress, 0, bar->maximum()));
    auto name = [this](Colour colour) {
        switch (colour) {
            case Colour::Yellow:
                return QColor(255, 255, 0).name();
            case Colour::Black:
                return QColor(0, 0, 0).name();
            case Colour::Green:
                return QColor(0, 128, 0).name();
            case Colour::Maroon:
                return QColor(128, 0, 0).name();
            case Colour::ButtonFace:
                break;
        }
        return buttonFace_;
    };
    const QString style = QStringLiteral(
                              "QProgressBar { border: 0px; background-color: %1; }"
                              " QProgressBar::chunk { background-color: %2; }")
                              .arg(name(background), name(foreground));
    if (style != gaugeStyle_) {
        gaugeStyle_ = style;
        bar->setStyleSheet(style);
    }
}

}  // namespace lumvaris::app
