#pragma once

#include <QObject>
#include <QString>
#include <QTabWidget>
#include <QTableView>
#include <memory>

#include "commands/ReplyDisplays.h"
#include "link/Frame.h"
#include "meterdata/IBusyCursor.h"
#include "meterdata/IMeterDataHooks.h"
#include "meterdata/MeterDatabase.h"
#include "meterdata/RecordTextFormatter.h"
#include "session/Result.h"
#include "views/StoreGridView.h"

namespace lumvaris::meterdata {
class IClock;
}
namespace lumvaris::session {
class PortDatabase;
}

namespace lumvaris::app {

class TFormMain;

// The local database in the main window: the record texts and the three tables (network, packets,
// days) over the database of the connection's port, and the settings dialog. It is the meter
// data's hooks (active page, selected meter, redraws, messages) and its busy cursor, and the reply
// handler's intake (so the dialog follows the concentrator's network size). It also carries the
// table handlers the window's menu, timer and grids call: settings, erase, sort, copy, the
// stepping keys.
class MeterDataBinding final : public QObject,
                               public meterdata::IMeterDataHooks,
                               public meterdata::IBusyCursor,
                               public commands::IMeterIntake {
    Q_OBJECT
  public:
    static constexpr int kNetColumns = 8;
    static constexpr int kStoreColumns = 7;

    MeterDataBinding(TFormMain& window, session::PortDatabase& database, const meterdata::IClock& clock);
    ~MeterDataBinding() override;

    meterdata::MeterDatabase& Database() { return database_; }
    views::StoreGridView& View(meterdata::StorePage page);

    // The meter count of the network store (its columns - 1), 0 while closed.
    int Meters() const;
    // The meter of the network table's current row (its first row when none is current); 0 when
    // the row shows none.
    int NetworkRowMeter() const;
    // The dialog's three values become the settings (also read before every open).
    void ReadSettingsFromDialog();
    // The settings go back into the dialog's fields.
    void WriteSettingsToDialog();
    // "Применить": the dialog's values re-dimension the open stores.
    session::Result ApplySettings();
    // Deletes both files of the open port.
    session::Result EraseFiles();
    // Sorts the packet store and then the day store (only while open) and redraws both.
    void SortStores();
    // The grid of the active page as tab-separated text on the clipboard; other pages leave it empty.
    void CopyTable();
    // The three tables.
    void RedrawAll();
    // TimerRefresh: the network table, so its elapsed column counts up.
    void RefreshTick();
    // q/Q (delta -1) or a/A (delta +1) in the packet or day grid: moves the network row, runs the
    // grid click and redraws that page's table.
    void StepMeter(meterdata::StorePage page, int delta);

    // meterdata::IMeterDataHooks
    meterdata::StorePage ActivePage() const override;
    int SelectedMeter() const override;
    void RedrawTable(meterdata::StorePage page) override;
    void ReReadSelectedMeter() override;
    void NotifyUser(const QString& message) override;

    // commands::IMeterIntake: the buffer records of the replies, and the concentrator's network
    // size as the database's meter count.
    meterdata::IntakeResult StoreBufferRecord(const meterdata::PacketFrame& frame) override;
    meterdata::MonthBufferResult StoreMonthBuffer(const meterdata::PacketFrame& frame) override;
    void ApplyNetworkSize(int meters) override;

    // meterdata::IBusyCursor
    void BeginBusy() override;
    void EndBusy() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool ShowAll() const;

    TFormMain& window_;
    const meterdata::IClock& clock_;
    meterdata::RecordTextFormatter formatter_;
    session::PortDatabase& port_;
    meterdata::MeterDatabase& database_;
    std::unique_ptr<views::StoreGridView> net_;
    std::unique_ptr<views::StoreGridView> packets_;
    std::unique_ptr<views::StoreGridView> days_;
};

}  // namespace lumvaris::app
