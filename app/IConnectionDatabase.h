#pragma once

#include <QString>
#include <stdexcept>

namespace lumvaris::app {

// Open refuses because another instance of the program uses this port's files; the text says
// which files and which process. The window then does not open the connection.
class DatabaseInUse : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The local database of the open connection, as the window drives it: opened after the port has
// opened, its messages delivered once the window is set up, saved by the timer, before a port or
// rate change and at window close, released without saving when erasing. A failure is thrown as
// an exception and reaches the window's general error report.
class IConnectionDatabase {
  public:
    virtual ~IConnectionDatabase() = default;
    // Creates the stores and loads them from the files of this port; throws DatabaseInUse when
    // another instance holds the files. Every store exists before anything is shown to the user.
    virtual void Open(const QString& portName) = 0;
    // Shows what the open found (a file renamed aside, files that cannot be written).
    virtual void DeliverNotices() {}
    // Writes the packet and day stores; nothing while no stores exist.
    virtual void Save() = 0;
    // Releases the stores without saving.
    virtual void Release() = 0;
    // Records arrived (or the stores changed) since the last successful save.
    virtual bool HasUnsavedChanges() const { return false; }
    // The files cannot be written at the moment (found at open or by the last save).
    virtual bool SavingFails() const { return false; }
};

}  // namespace lumvaris::app
