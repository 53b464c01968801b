#pragma once

#include <QString>

#include "link/Frame.h"
#include "session/Result.h"

namespace lumvaris::session {

// How an open of a port's database ended.
struct DatabaseOpen {
    // Another instance of the program holds this port's files: nothing was opened, the message
    // says which files and which process, and the connection must not open.
    bool inUse = false;
    // Done, or what went wrong with the files; the stores exist all the same.
    Result result = Result::Done();
};

// The local database of the open connection, as the connection drives it: opened after the port
// has opened, its messages delivered once the face is set up, saved every minute, before a port
// or rate change and at the end, released without saving after erasing.
class IConnectionDatabase {
  public:
    virtual ~IConnectionDatabase() = default;
    // Creates the stores and loads them from the files of this port. Every store exists before
    // anything is shown to the user.
    virtual DatabaseOpen Open(const QString& portName) = 0;
    // Shows what the open found (a file renamed aside, files that cannot be written).
    virtual void DeliverNotices() {}
    // Writes the packet and day stores; nothing while no stores exist.
    virtual Result Save() = 0;
    // Releases the stores without saving.
    virtual void Release() = 0;
    // A live meter packet from the line.
    virtual void StoreLivePacket(const link::FrameBuffer& frame) = 0;
    // The end of one tick of the receive path: what it filed may go to the disk now.
    virtual void ReceiveTickEnded() {}
    // Records arrived (or the stores changed) since the last successful save.
    virtual bool HasUnsavedChanges() const { return false; }
    // The files cannot be written at the moment (found at open or by the last save).
    virtual bool SavingFails() const { return false; }
    // What is not saved stays in a journal and comes back at the next open of this port.
    virtual bool JournalKeepsUnsaved() const { return false; }
};

}  // namespace lumvaris::session
