#pragma once

#include <QObject>
#include <functional>

#include "link/Frame.h"
#include "meterdata/NetworkHealth.h"
#include "views/HealthTableModel.h"

namespace Ui {
class TFormMain;
}
namespace lumvaris::meterdata {
class IClock;
}

namespace lumvaris::app {

// "Состояние сети", the page after the days page: for every meter of the network store heard since
// the connection opened, its live packets (all, and in the last hour), the time since the last
// one, the last level and phase, the lowest and highest level, and a mark for a meter not heard
// for longer than the engineer's threshold (SpinEditHealthThreshold, minutes, 120 at start).
class NetworkHealthPage final : public QObject {
    Q_OBJECT
  public:
    // networkMeters: the meter count of the network store, 0 while no database is open (the rows
    // then keep the count of the last one).
    NetworkHealthPage(Ui::TFormMain& form, const meterdata::IClock& clock,
                      std::function<int()> networkMeters);

    // A connection opened: the counts start afresh.
    void Reset();
    // A live meter packet (source 0x1001..0x1FFE, payload length 6).
    void HearPacket(const link::FrameBuffer& frame);
    // TimerRefresh, a page change, a new threshold: the table, while its page shows.
    void Redraw();
    bool IsShowing() const;
    // The table as tab-separated text on the clipboard, as the other tables.
    void CopyTable() const;

    const meterdata::NetworkHealth& Health() const { return health_; }
    views::HealthTableModel& Model() { return model_; }

  private:
    Ui::TFormMain& form_;
    const meterdata::IClock& clock_;
    std::function<int()> networkMeters_;
    int meters_ = 0;
    meterdata::NetworkHealth health_;
    views::HealthTableModel model_;
};

}  // namespace lumvaris::app
