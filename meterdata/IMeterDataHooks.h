#pragma once

#include <QString>

namespace lumvaris::meterdata {

// The pages of the main window that show a store.
enum class StorePage { Other, Net, Packets, Days };

// What the meter data needs of the main window: which page is active and which meter is selected,
// redrawing a table, re-reading the selected meter from the network table, and telling the user
// about a database file that had to be kept aside.
class IMeterDataHooks {
  public:
    virtual ~IMeterDataHooks() = default;
    virtual StorePage ActivePage() const = 0;
    virtual int SelectedMeter() const = 0;
    // Shows the store of the page: the network store's row 1, or the selected meter's row of the
    // packet or day store, with the window's show-all flag.
    virtual void RedrawTable(StorePage page) = 0;
    // The grid click of the network table: the selected meter follows its current row.
    virtual void ReReadSelectedMeter() = 0;
    // A message for the user in a message box (Russian, complete).
    virtual void NotifyUser(const QString& message) = 0;
};

}  // namespace lumvaris::meterdata
