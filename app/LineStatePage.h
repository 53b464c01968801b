#pragma once

#include <QObject>

#include <memory>

#include "app/LineStateView.h"
#include "app/PageServices.h"
#include "commands/ReplyDisplays.h"

namespace Ui {
class TFormMain;
}

namespace lumvaris::session {
class ITimer;
}  // namespace lumvaris::session

namespace lumvaris::app {

// "Состояние линии": the signal levels per frequency and phase in the grid and the chart, read
// once or every second, and the picture of the group on the clipboard.
class LineStatePage final : public QObject, public commands::ILineStateDisplay {
    Q_OBJECT
  public:
    static constexpr int kAutoIntervalMs = 1000;

    LineStatePage(Ui::TFormMain& form, const PageServices& services);
    ~LineStatePage() override;

    void ButtonGetLineStateClick();
    void CheckBoxGetAutoFrClick();
    // Reads the line state only while its tab is the active page and no other reply is awaited,
    // so the automatic reading never stacks requests.
    void TimerGetAutoFrTimer();
    void SpeedButtonCopyClick();

    const LineStateView& View() const { return view_; }

    // commands::ILineStateDisplay
    void ShowLineState(const commands::LineState& state) override;

  private:
    Ui::TFormMain& form_;
    PageServices services_;
    LineStateView view_;
    std::unique_ptr<session::ITimer> timerGetAutoFr_;
};

}  // namespace lumvaris::app
