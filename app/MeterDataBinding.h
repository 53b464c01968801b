#pragma once

#include <QObject>
#include <QString>
#include <QTabWidget>
#include <QTableView>
#include <memory>

#include "app/IConnectionDatabase.h"
#include "commands/ReplyDisplays.h"
#include "link/Frame.h"
#include "meterdata/IBusyCursor.h"
#include "meterdata/IMeterDataHooks.h"
#include "meterdata/MeterDatabase.h"
#include "meterdata/RecordTextFormatter.h"
#include "views/StoreGridView.h"

namespace lumvaris::meterdata {
class IClock;
}

namespace lumvaris::app {

class TFormMain;

// The local database in the main window: owns the database of the open port, the record texts and
// the three tables (network, packets, days), and connects them to the window. It is the window's
// connection database (open, save, release), the meter data's hooks (active page, selected meter,
// redraws, messages) and its busy cursor. It also carries the table handlers the window's menu,
// timer and grids call: settings, erase, sort, copy, the stepping keys and the clock fields.
class MeterDataBinding final : public QObject,
                               public IConnectionDatabase,
                               public meterdata::IMeterDataHooks,
                               public meterdata::IBusyCursor,
                               public commands::IMeterIntake {
    Q_OBJECT
  public:
    static constexpr int kNetColumns = 8;
    static constexpr int kStoreColumns = 7;

    MeterDataBinding(TFormMain& window, const QString& programDirectory, const meterdata::IClock& clock);
    ~MeterDataBinding() override;

    meterdata::MeterDatabase& Database() { return database_; }
    views::StoreGridView& View(meterdata::StorePage page);

    // IConnectionDatabase. A file error is thrown for the window's general error report.
    void Open(const QString& portName) override;
    void DeliverNotices() override { database_.DeliverNotices(); }
    void Save() override;
    void Release() override;
    bool HasUnsavedChanges() const override { return database_.HasUnsavedChanges(); }
    bool SavingFails() const override { return database_.SavingFails(); }

    // A live meter packet from the frame dispatch.
    void StoreLivePacket(const link::FrameBuffer& frame);
    // The dialog's three values become the settings (also read before every open).
    void ReadSettingsFromDialog();
    // The settings go back into the dialog's fields.
    void WriteSettingsToDialog();
    // "Применить": the dialog's values re-dimension the open stores.
    void ApplySettings();
    // Deletes both files of the open port; a failure is thrown.
    void EraseFiles();
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
    void ThrowIfFailed(bool ok) const;
    bool ShowAll() const;

    TFormMain& window_;
    const meterdata::IClock& clock_;
    meterdata::RecordTextFormatter formatter_;
    meterdata::MeterDatabase database_;
    std::unique_ptr<views::StoreGridView> net_;
    std::unique_ptr<views::StoreGridView> packets_;
    std::unique_ptr<views::StoreGridView> days_;
};

}  // namespace lumvaris::app
