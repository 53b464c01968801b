#pragma once

#include <QString>

namespace lumvaris::app {

// The local database of the open connection, as the window drives it: opened after the port has
// opened, saved and released for a port or rate change, released without saving when erasing,
// saved by the timer and at window close. A failure is thrown as an exception and reaches the window's
// general error report.
class IConnectionDatabase {
  public:
    virtual ~IConnectionDatabase() = default;
    // Creates the stores and loads them from the files of this port.
    virtual void Open(const QString& portName) = 0;
    // Writes the packet and day stores; nothing while no stores exist.
    virtual void Save() = 0;
    // Releases the stores without saving.
    virtual void Release() = 0;
    // Writes the stores, then releases them whether or not the save succeeded (a port or rate
    // change keeps what arrived since the last timed save).
    virtual void SaveAndRelease() {
        try {
            Save();
        } catch (...) {
            Release();
            throw;
        }
        Release();
    }
};

}  // namespace lumvaris::app
