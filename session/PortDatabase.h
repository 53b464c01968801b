#pragma once

#include "commands/ReplyDisplays.h"
#include "meterdata/MeterDatabase.h"
#include "session/IConnectionDatabase.h"

namespace lumvaris::session {

// The local database of a port as both programs keep it: the meter database of meterdata/ (its two
// files, lock and write check) behind the connection's seam, and the intake of the records the
// replies bring. The window attaches its tables and hooks to Meter(); the command-line program
// uses it as it stands.
class PortDatabase final : public IConnectionDatabase, public commands::IMeterIntake {
  public:
    PortDatabase(const QString& programDirectory, const meterdata::IClock& clock);

    meterdata::MeterDatabase& Meter() { return database_; }
    const meterdata::MeterDatabase& Meter() const { return database_; }

    // IConnectionDatabase
    DatabaseOpen Open(const QString& portName) override;
    void DeliverNotices() override { database_.DeliverNotices(); }
    Result Save() override;
    void Release() override { database_.Close(); }
    void StoreLivePacket(const link::FrameBuffer& frame) override;
    bool HasUnsavedChanges() const override { return database_.HasUnsavedChanges(); }
    bool SavingFails() const override { return database_.SavingFails(); }
    bool JournalKeepsUnsaved() const override { return IsOpenJournalKeeping(); }
    // The records of the tick go to the journal's writer.
    void ReceiveTickEnded() override { database_.CommitJournal(); }

    // commands::IMeterIntake: the buffer records of the replies, and the concentrator's network
    // size as the database's meter count (re-dimensioned at once).
    meterdata::IntakeResult StoreBufferRecord(const meterdata::PacketFrame& frame) override;
    meterdata::MonthBufferResult StoreMonthBuffer(const meterdata::PacketFrame& frame) override;
    void ApplyNetworkSize(int meters) override;

  private:
    bool IsOpenJournalKeeping() const { return database_.IsOpen() && database_.JournalKeeping(); }

    meterdata::MeterDatabase database_;
};

}  // namespace lumvaris::session
