#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "monitor/TrafficLog.h"
#include "monitor/TrafficModel.h"

namespace Ui {
class TFormLinkMonitor;
}
namespace lumvaris::link {
class Receiver;
class Requester;
}  // namespace lumvaris::link
namespace lumvaris::meterdata {
class IClock;
}

namespace lumvaris::session {
class ITimer;
class ITimerFactory;
}  // namespace lumvaris::session

namespace lumvaris::app {

class IMessageBox;
class ISaveDialog;

// "Монитор обмена": a window of its own, beside the main window, with one row per frame sent or
// received and per run of bytes dropped on the way in. Recording starts when the window first
// shows and then goes on, shown or not; the table follows the record four times a second
// (TimerMonitor) while the window shows, and keeps to the newest row while it is scrolled to the
// end. A busy line brings some forty rows per 100 ms, more than anyone reads as they come; a
// repaint of the table costs about a millisecond, so four of them a second keep the window's
// share of the work small.
class TFormLinkMonitor final : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kPublishIntervalMs = 250;

    TFormLinkMonitor(link::Requester& requester, link::Receiver& receiver, const meterdata::IClock& clock,
                     session::ITimerFactory& timers, IMessageBox& messages, QWidget* parent = nullptr);
    ~TFormLinkMonitor() override;

    Ui::TFormLinkMonitor& Form() { return *ui_; }
    void SetSaveDialog(ISaveDialog* dialog) { saveDialog_ = dialog; }
    bool Recording() const { return recording_; }
    const monitor::TrafficLog& Log() const { return log_; }
    monitor::TrafficModel& Model() { return model_; }

    // The table stands still and the record goes on; a second click shows what came meanwhile.
    void ButtonMonitorPauseClick();
    void ButtonMonitorClearClick();
    // The rows shown, to a text file chosen in the save dialog: the header line, then one line per
    // row, cells separated by tabs, UTF-8.
    void ButtonMonitorSaveClick();
    // The direction, the meter packets and the type codes: the table is made again.
    void MonitorFilterChange();
    void TimerMonitorTimer();

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void ShowCount();
    void FollowAfter(const std::function<void()>& change);

    std::unique_ptr<Ui::TFormLinkMonitor> ui_;
    link::Requester& requester_;
    link::Receiver& receiver_;
    IMessageBox& messages_;
    ISaveDialog* saveDialog_ = nullptr;
    monitor::TrafficLog log_;
    monitor::TrafficModel model_;
    std::unique_ptr<session::ITimer> timerMonitor_;
    bool recording_ = false;
};

}  // namespace lumvaris::app
