#pragma once

#include "meterdata/DatabaseSettings.h"
#include "meterdata/IFiledRecords.h"
#include "meterdata/MeterPacketIntake.h"
#include "meterdata/TMatrixInterface.h"

#include <QString>
#include <QStringList>

#include <memory>

class QLockFile;

namespace lumvaris::meterdata {

class IBusyCursor;
class IClock;
class IMeterDataHooks;
class IStoreView;
class JournalWriter;

// The local database of one serial port: the packet store and the day store with their files
// "<program directory><port>-PACKETS.bin" and "-DAYS.bin", the network store (no file), and the
// journal "<port>-JOURNAL.bin" of the records filed since the last save (MeterJournal.h). The
// stores exist from Open to Close. Everything runs on the user-interface thread, except the
// journal's writer.
//
// The connection (session/PortDatabase) owns one of these for the whole run and calls:
//   Open(port)      after the port has opened (then reads Settings() back into the dialog), shows
//                   RecoveredText() in the status bar, and calls DeliverNotices() once the window
//                   is set up;
//   CommitJournal() at the end of every receive tick;
//   Close()         when a connection closes (no save; Save() first for a port or rate change);
//   Save()          from TimerSave every 60 s and at window close;
//   SetSettings() + Apply()   from the settings dialog's "Применить" and ButtonAopOKClick;
//   EraseFiles()    for "erase all", followed by closing and reopening the connection;
//   StoreMeterPacket() for a live packet or a PacketBufferRead reply, StoreMonthBuffer() for a
//   MonthBufferRead reply.
// A false result carries a file error in LastError() for the window's error report.
//
// While open, the database holds a lock file beside its files ("<port>-DATABASE.lock"), so that
// a second instance of the program in the same directory never writes the same files or the
// journal; a lock left by a process that has ended is taken over.
class MeterDatabase : private IFiledRecords {
  public:
    static constexpr const char* kPacketsSuffix = "-PACKETS.bin";
    static constexpr const char* kDaysSuffix = "-DAYS.bin";
    static constexpr const char* kJournalSuffix = "-JOURNAL.bin";
    // The time zone the files' local times are in (its IANA name on one line), written beside them
    // when missing: an export elsewhere, or after the machine's zone changed, reads them in it.
    static constexpr const char* kZoneSuffix = "-TIMEZONE.txt";

    MeterDatabase(QString programDirectory, const IClock& clock);
    ~MeterDatabase() override;
    MeterDatabase(const MeterDatabase&) = delete;
    MeterDatabase& operator=(const MeterDatabase&) = delete;

    // Seams to the window; any may stay null.
    void SetHooks(IMeterDataHooks* hooks) { hooks_ = hooks; }
    void SetBusyCursor(IBusyCursor* busy) { busy_ = busy; }
    void SetViews(IStoreView* net, IStoreView* packets, IStoreView* days);
    // Hears every record filed through StoreMeterPacket and StoreMonthBuffer, and those Open
    // recovers from the journal; null: nobody. The database's own journal is told first.
    void SetFiledRecords(IFiledRecords* filed) { filed_ = filed; }

    // Without files (a collector's site that keeps its readings elsewhere): Open reads, locks and
    // journals nothing, Save writes nothing, and the stores are as shallow as they may be, since
    // only the newest record of each meter serves (the network table and repeats of a packet).
    void SetKeepsFiles(bool keeps) { keepsFiles_ = keeps; }
    bool KeepsFiles() const { return keepsFiles_; }

    // The dialog's values (each limited to its range).
    const DatabaseSettings& Settings() const { return settings_; }
    void SetSettings(const DatabaseSettings& settings) { settings_ = settings; }

    // Only the last path component of the port name is used, so "/dev/ttyUSB0" and "ttyUSB0" share
    // their files and no port name places a file outside the program directory.
    static QString DatabaseFileName(const QString& programDirectory, const QString& portName,
                                    const char* suffix);
    // The name a port's files go by ("ttyUSB0" for "/dev/ttyUSB0"): also the site its readings
    // carry outside the program unless the engineer names another.
    static QString DatabaseName(const QString& portName);
    QString PacketsFileName(const QString& portName) const;
    QString DaysFileName(const QString& portName) const;
    QString JournalFileName(const QString& portName) const;

    bool IsOpen() const { return packets_ != nullptr; }
    const QString& ProgramDirectory() const { return programDirectory_; }
    const QString& PortName() const { return portName_; }

    static constexpr const char* kLockSuffix = "-DATABASE.lock";
    QString LockFileName(const QString& portName) const;

    // Creates and loads the stores; a blank store takes its dimensions from the settings, and the
    // settings then take the dimensions of the loaded packet and day stores. The records of the
    // journal that the stores do not hold are filed again (RecoveredRecords()) before anything
    // else, and stay in the journal until the next save. Every store exists
    // before anything is said to the user: what Open has to tell (a file renamed aside, files
    // that cannot be written) waits in Notices() until DeliverNotices(). The stores exist after
    // Open even when it returns false, except when the files are in use by another instance:
    // then nothing is opened, InUse() is true and LastError() says by whom.
    bool Open(const QString& portName);
    bool InUse() const { return inUse_; }
    // The messages of the last Open, not yet delivered.
    const QStringList& Notices() const { return notices_; }
    // Hands the waiting messages to the hooks' NotifyUser, one by one.
    void DeliverNotices();
    // How many records the last Open filed again from the journal, and the status bar's text
    // for them (empty when none).
    int RecoveredRecords() const { return recovered_; }
    QString RecoveredText() const;
    // Hands the records filed since the last call to the journal's writer; it appends and syncs
    // them on its own thread, so this never waits on the disk.
    void CommitJournal();
    // Why the journal cannot be written at the moment (a full disk, ...); empty while it works.
    QString JournalProblem() const;
    // The journal is open and writing: what a failed save leaves unsaved comes back at the next
    // open of this port.
    bool JournalKeeping() const { return journal_ != nullptr && JournalProblem().isEmpty(); }
    // Commits and waits until the journal's writer is done (tests and benchmarks).
    void FlushJournal();
    // Releases the stores without saving; what was filed stays in the journal.
    void Close();
    // Saves the packet store, then the day store; true while closed. Once both files were
    // replaced, the journal is emptied of the records they now hold.
    bool Save();
    // Records came in or the stores changed since the last successful save (or since Open).
    bool HasUnsavedChanges() const { return IsOpen() && changed_; }
    // The files of this port cannot be written: found at Open or by the last save.
    bool SavingFails() const { return IsOpen() && savingFails_; }
    // For changes made to the stores from outside (sorting).
    void MarkChanged() { changed_ = true; }
    // Saves, then closes whatever the save gave (the stores are released either way).
    bool SaveAndClose();
    // Re-dimensions the open stores from the settings: rows = meters + 1, columns = depth + 1,
    // network columns = packet rows; then captions, the three tables and the selected meter.
    // Nothing is written to the files.
    bool Apply();
    // Deletes both files and the journal of the open port (a missing file is no error); nothing
    // is journaled until the next Open. The stores stay as they are: the caller closes and
    // reopens the connection next.
    bool EraseFiles();

    // The three stores while open, otherwise null.
    TMatrixInterface* PacketStore() const { return packets_.get(); }
    TMatrixInterface* DayStore() const { return days_.get(); }
    TMatrixInterface* NetStore() const { return net_.get(); }
    MeterStores Stores() const { return {packets_.get(), days_.get(), net_.get()}; }

    // The packet intake on the open stores; Ignored while closed.
    IntakeResult StoreMeterPacket(const PacketFrame& frame);
    MonthBufferResult StoreMonthBuffer(const PacketFrame& frame);

    // The captions before any database is open ("Ёмкость сети 0 счётчиков", ...).
    void ShowClosedCaptions() const;

    const QString& LastError() const { return lastError_; }

  private:
    void RecordFiled(const MeterRecord& record, RecordSource source) override;
    void OpenJournal();
    void WriteZoneIfMissing();
    std::unique_ptr<TMatrixInterface> OpenStore(const QString& fileName, const char* prefix,
                                                const char* suffix, IStoreView* view, int depth);
    bool Dimension(TMatrixInterface& store, int rows, int cols);
    bool TakeLock(const QString& portName);
    void AddError(const QString& error);
    void RedrawAll();

    QString programDirectory_;
    const IClock& clock_;
    IMeterDataHooks* hooks_ = nullptr;
    IBusyCursor* busy_ = nullptr;
    IFiledRecords* filed_ = nullptr;
    IStoreView* netView_ = nullptr;
    IStoreView* packetsView_ = nullptr;
    IStoreView* daysView_ = nullptr;
    DatabaseSettings settings_;
    QString portName_;
    std::unique_ptr<TMatrixInterface> packets_;
    std::unique_ptr<TMatrixInterface> days_;
    std::unique_ptr<TMatrixInterface> net_;
    std::unique_ptr<QLockFile> lock_;
    std::unique_ptr<JournalWriter> journal_;
    int recovered_ = 0;
    QString lastError_;
    QStringList notices_;
    QStringList writeProblems_;  // why files of the open port cannot be written, found at Open
    bool inUse_ = false;
    bool changed_ = false;
    bool savingFails_ = false;
    bool keepsFiles_ = true;
};

}  // namespace lumvaris::meterdata
