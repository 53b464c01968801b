#include "meterdata/MeterDatabase.h"

#include "meterdata/IMeterDataHooks.h"
#include "meterdata/IStoreView.h"

#include "TestClock.h"
#include "TestFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>
#include <map>

#include <unistd.h>
#include <vector>

namespace lumvaris::meterdata {
namespace {

struct Hooks : IMeterDataHooks {
    std::vector<StorePage> redrawn;
    int reReads = 0;
    QStringList messages;
    StorePage ActivePage() const override { return StorePage::Other; }
    int SelectedMeter() const override { return 0; }
    void RedrawTable(StorePage page) override { redrawn.push_back(page); }
    void ReReadSelectedMeter() override { ++reReads; }
    void NotifyUser(const QString& message) override { messages << message; }
};

struct View : IStoreView {
    QString caption;
    int shown = 0;
    void SetCaption(const QString& text) override { caption = text; }
    void ShowInGrid(const TMatrixInterface&, int, bool, bool) override { ++shown; }
};

std::vector<std::uint8_t> Live(std::uint8_t type, std::uint16_t a) {
    return {type, std::uint8_t(a), std::uint8_t(a >> 8), 0, 0, 0x04};
}

class Database : public testing::Test {
  protected:
    Database() { Reset(); }

    void Reset() {
        db_ = std::make_unique<MeterDatabase>(dir_.path(), clock_);
        hooks_ = Hooks();
        db_->SetHooks(&hooks_);
        db_->SetViews(&net_, &packets_, &days_);
    }

    void Packet(int meter, std::uint8_t type, std::uint16_t a) {
        clock_.AdvanceSeconds(60);
        const auto payload = Live(type, a);
        ASSERT_EQ(db_->StoreMeterPacket({std::uint16_t(0x1000 + meter), payload.data(), payload.size()}),
                  IntakeResult::Stored);
    }

    std::vector<int> WordsA(const TMatrixInterface* store, int row) const {
        std::vector<int> words;
        MeterRecord r;
        for (int slot = 1; slot < store->ColCount(); ++slot) {
            store->GetMeterRecord(r, slot, row);
            if (r.Valid)
                words.push_back(r.WordA);
        }
        return words;
    }

    QString File(const char* name) const { return dir_.filePath(name); }

    QTemporaryDir dir_;
    test::TestClock clock_;
    Hooks hooks_;
    View net_, packets_, days_;
    std::unique_ptr<MeterDatabase> db_;
};

TEST(DatabaseFileName, UsesOnlyTheLastComponentOfThePortName) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"/prog/", "COM3", "/prog/COM3-PACKETS.bin"},
        {"/prog", "COM3", "/prog/COM3-PACKETS.bin"},
        {"/prog/", "/dev/ttyUSB0", "/prog/ttyUSB0-PACKETS.bin"},
        {"/prog/", "ttyUSB0", "/prog/ttyUSB0-PACKETS.bin"},
        {"/prog/", "../../etc/passwd", "/prog/passwd-PACKETS.bin"},
        {"/prog/", "..\\..\\Windows\\win", "/prog/win-PACKETS.bin"},
        {"/prog/", "\\\\.\\COM10", "/prog/COM10-PACKETS.bin"},
        {"/prog/", "C:COM1", "/prog/COM1-PACKETS.bin"},
        {"/prog/", "a/b/", "/prog/b-PACKETS.bin"},
        {"/prog/", "..", "/prog/..-PACKETS.bin"},
        {"/prog/", "", "/prog/-PACKETS.bin"},
        {"", "COM1", "COM1-PACKETS.bin"},
        {"C:\\Program\\", "COM1", "C:\\Program\\COM1-PACKETS.bin"},
        // Network addresses: scheme, host and port, never a bare "4001" nor a path of the host's.
        {"/prog/", "tcp://10.0.0.7:4001", "/prog/tcp-10.0.0.7-4001-PACKETS.bin"},
        {"/prog/", "TCP://Modem.Example:4001/", "/prog/tcp-modem.example-4001-PACKETS.bin"},
        {"/prog/", "rfc2217://ds:2001", "/prog/rfc2217-ds-2001-PACKETS.bin"},
        {"/prog/", "tcp://[::1]:4001", "/prog/tcp-__1-4001-PACKETS.bin"},
        {"/prog/", "tcp://../../etc:22", "/prog/tcp-.._.._etc-22-PACKETS.bin"},
        {"/prog/", "tcp://h:x/../y", "/prog/tcp-h-_-PACKETS.bin"},
        {"/prog/", "/dev/x://y", "/prog/y-PACKETS.bin"},
    };
    for (const auto& [dir, port, name] : cases) {
        EXPECT_EQ(MeterDatabase::DatabaseFileName(dir, port, MeterDatabase::kPacketsSuffix).toStdString(),
                  name)
            << port;
    }
    EXPECT_EQ(MeterDatabase::DatabaseFileName("/p/", "/dev/ttyS1", MeterDatabase::kDaysSuffix).toStdString(),
              "/p/ttyS1-DAYS.bin");
}

TEST(DatabaseSettingsRange, ValuesAreLimitedToTheirRange) {
    const std::tuple<int, int> meters[] = {{0, 16},      {16, 16},     {100, 100},
                                           {4096, 4096}, {5000, 4096}, {-7, 16}};
    const std::tuple<int, int> depths[] = {{9, 10}, {10, 10}, {64, 64}, {1000, 1000}, {1001, 1000}};
    DatabaseSettings s;
    EXPECT_EQ(s.Meters(), 256);
    EXPECT_EQ(s.PacketDepth(), 64);
    EXPECT_EQ(s.DayDepth(), 64);
    for (auto [in, out] : meters) {
        s.SetMeters(in);
        EXPECT_EQ(s.Meters(), out) << in;
    }
    for (auto [in, out] : depths) {
        s.SetPacketDepth(in);
        s.SetDayDepth(in);
        EXPECT_EQ(s.PacketDepth(), out) << in;
        EXPECT_EQ(s.DayDepth(), out) << in;
    }
}

TEST_F(Database, FirstRunCreatesEmptyFilesAndSavesTheDefaultLayout) {
    db_->ShowClosedCaptions();
    EXPECT_EQ(net_.caption.toStdString(), "Ёмкость сети 0 счётчиков");
    EXPECT_EQ(packets_.caption.toStdString(), "Последние 0 пакетов");
    EXPECT_EQ(days_.caption.toStdString(), "Последние 0 дней");

    ASSERT_TRUE(db_->Open("COM3")) << db_->LastError().toStdString();
    EXPECT_EQ(QFileInfo(File("COM3-PACKETS.bin")).size(), 0);
    EXPECT_EQ(QFileInfo(File("COM3-DAYS.bin")).size(), 0);
    EXPECT_EQ(db_->PacketStore()->RowCount(), 257);
    EXPECT_EQ(db_->PacketStore()->ColCount(), 65);
    EXPECT_EQ(db_->DayStore()->RowCount(), 257);
    EXPECT_EQ(db_->DayStore()->ColCount(), 65);
    EXPECT_EQ(db_->NetStore()->RowCount(), 2);
    EXPECT_EQ(db_->NetStore()->ColCount(), 257);
    EXPECT_EQ(net_.caption.toStdString(), "Ёмкость сети 256 счётчиков");
    EXPECT_EQ(packets_.caption.toStdString(), "Последние 64 пакетов");
    EXPECT_EQ(days_.caption.toStdString(), "Последние 64 дней");
    EXPECT_EQ(hooks_.redrawn, (std::vector<StorePage>{StorePage::Net, StorePage::Packets, StorePage::Days}));
    EXPECT_TRUE(hooks_.messages.isEmpty());

    ASSERT_TRUE(db_->Save()) << db_->LastError().toStdString();
    EXPECT_EQ(QFileInfo(File("COM3-PACKETS.bin")).size(), 400928);
    EXPECT_EQ(QFileInfo(File("COM3-DAYS.bin")).size(), 400928);
    EXPECT_EQ(test::ReadFile(File("COM3-DAYS.bin")), test::HeaderImage(65, 257) + QByteArray(400920, 0));
}

TEST_F(Database, TheFilesDimensionsOverrideTheDialog) {
    DatabaseSettings s;
    s.SetMeters(100);
    s.SetPacketDepth(20);
    s.SetDayDepth(30);
    db_->SetSettings(s);
    ASSERT_TRUE(db_->Open("COM5"));
    ASSERT_TRUE(db_->Save());

    Reset();
    EXPECT_EQ(db_->Settings(), DatabaseSettings());
    ASSERT_TRUE(db_->Open("COM5"));
    EXPECT_EQ(db_->Settings(), s);
    EXPECT_EQ(net_.caption.toStdString(), "Ёмкость сети 100 счётчиков");
    EXPECT_EQ(days_.caption.toStdString(), "Последние 30 дней");
    EXPECT_EQ(db_->NetStore()->ColCount(), 101);
}

TEST_F(Database, PacketsSurviveARestartAndTheNetworkShowsEachMetersNewest) {
    ASSERT_TRUE(db_->Open("/dev/ttyUSB0"));
    Packet(5, 0x01, 11);
    Packet(5, 0x02, 12);
    Packet(200, 0x01, 21);
    ASSERT_TRUE(db_->Save());

    Reset();
    ASSERT_TRUE(db_->Open("ttyUSB0"));  // the same files
    EXPECT_EQ(WordsA(db_->PacketStore(), 5), (std::vector<int>{12, 11}));
    EXPECT_EQ(WordsA(db_->DayStore(), 5), (std::vector<int>{12, 11}));
    MeterRecord r;
    ASSERT_TRUE(db_->NetStore()->GetMeterRecord(r, 5, 1));
    EXPECT_EQ(r.WordA, 12);
    ASSERT_TRUE(db_->NetStore()->GetMeterRecord(r, 200, 1));
    EXPECT_EQ(r.WordA, 21);
    ASSERT_TRUE(db_->NetStore()->GetMeterRecord(r, 6, 1));
    EXPECT_EQ(r.Valid, 0);
}

TEST_F(Database, SaveAndCloseKeepsWhatArrivedSinceTheLastSaveAndCloseLeavesItToTheJournal) {
    ASSERT_TRUE(db_->Open("COM1"));
    ASSERT_TRUE(db_->Save());
    Packet(3, 0x01, 1);
    db_->Close();
    EXPECT_FALSE(db_->IsOpen());
    ASSERT_TRUE(db_->Open("COM1"));
    EXPECT_EQ(WordsA(db_->PacketStore(), 3), (std::vector<int>{1}));
    EXPECT_EQ(db_->RecoveredText().toStdString(), "Восстановлено из журнала: 1 запись");

    Packet(3, 0x01, 2);
    ASSERT_TRUE(db_->SaveAndClose());
    EXPECT_FALSE(db_->IsOpen());
    EXPECT_EQ(db_->StoreMeterPacket({0x1003, Live(1, 3).data(), 6}), IntakeResult::Ignored);
    ASSERT_TRUE(db_->Open("COM1"));
    EXPECT_EQ(WordsA(db_->PacketStore(), 3), (std::vector<int>{2, 1}));
    EXPECT_EQ(db_->RecoveredRecords(), 0);
}

TEST_F(Database, EachPortHasItsOwnFiles) {
    ASSERT_TRUE(db_->Open("COM1"));
    Packet(1, 0x01, 1);
    ASSERT_TRUE(db_->SaveAndClose());
    ASSERT_TRUE(db_->Open("COM2"));
    EXPECT_TRUE(WordsA(db_->PacketStore(), 1).empty());
    ASSERT_TRUE(db_->SaveAndClose());
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files, QDir::Name),
              (QStringList{"COM1-DAYS.bin", "COM1-JOURNAL.bin", "COM1-PACKETS.bin", "COM1-TIMEZONE.txt",
                           "COM2-DAYS.bin", "COM2-JOURNAL.bin", "COM2-PACKETS.bin", "COM2-TIMEZONE.txt"}));
}

TEST_F(Database, ApplyingSmallerSettingsKeepsTheNewestRecordsThatFit) {
    ASSERT_TRUE(db_->Open("COM1"));
    for (int i = 1; i <= 30; ++i)
        Packet(2, 0x01, std::uint16_t(i));
    Packet(17, 0x01, 170);
    Packet(256, 0x01, 2560);

    DatabaseSettings s = db_->Settings();
    s.SetPacketDepth(10);
    db_->SetSettings(s);
    hooks_.redrawn.clear();
    ASSERT_TRUE(db_->Apply());
    EXPECT_EQ(WordsA(db_->PacketStore(), 2), (std::vector<int>{30, 29, 28, 27, 26, 25, 24, 23, 22, 21}));
    EXPECT_EQ(packets_.caption.toStdString(), "Последние 10 пакетов");
    EXPECT_EQ(hooks_.redrawn.size(), 3u);
    EXPECT_EQ(hooks_.reReads, 1);

    s.SetPacketDepth(64);
    db_->SetSettings(s);
    ASSERT_TRUE(db_->Apply());
    EXPECT_EQ(WordsA(db_->PacketStore(), 2).size(), 10u);

    s.SetMeters(16);
    db_->SetSettings(s);
    ASSERT_TRUE(db_->Apply());
    EXPECT_EQ(db_->PacketStore()->RowCount(), 17);
    EXPECT_EQ(db_->DayStore()->RowCount(), 17);
    EXPECT_EQ(db_->NetStore()->ColCount(), 17);
    EXPECT_EQ(net_.caption.toStdString(), "Ёмкость сети 16 счётчиков");
    s.SetMeters(256);
    db_->SetSettings(s);
    ASSERT_TRUE(db_->Apply());
    EXPECT_TRUE(WordsA(db_->PacketStore(), 17).empty());
    EXPECT_TRUE(WordsA(db_->DayStore(), 256).empty());
    MeterRecord r;
    ASSERT_TRUE(db_->NetStore()->GetMeterRecord(r, 17, 1));
    EXPECT_EQ(r.Valid, 0);
    EXPECT_EQ(WordsA(db_->PacketStore(), 2).size(), 10u);
}

TEST_F(Database, NothingHappensWhileClosed) {
    EXPECT_TRUE(db_->Apply());
    EXPECT_TRUE(db_->Save());
    EXPECT_TRUE(db_->EraseFiles());
    EXPECT_TRUE(hooks_.redrawn.empty());
    EXPECT_TRUE(QDir(dir_.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(Database, EraseDeletesTheFilesAndTheJournalAndTheReopenedStoresAreBlank) {
    ASSERT_TRUE(db_->Open("COM8"));
    Packet(4, 0x01, 1);
    ASSERT_TRUE(db_->Save());
    Packet(4, 0x01, 2);
    db_->CommitJournal();
    ASSERT_TRUE(db_->EraseFiles());
    EXPECT_FALSE(QFileInfo::exists(File("COM8-PACKETS.bin")));
    EXPECT_FALSE(QFileInfo::exists(File("COM8-DAYS.bin")));
    EXPECT_FALSE(QFileInfo::exists(File("COM8-JOURNAL.bin")));
    EXPECT_TRUE(db_->EraseFiles());  // a missing file is no error

    db_->Close();
    ASSERT_TRUE(db_->Open("COM8"));
    EXPECT_TRUE(WordsA(db_->PacketStore(), 4).empty());
    EXPECT_EQ(db_->PacketStore()->RowCount(), 257);
    ASSERT_TRUE(db_->Save());
    EXPECT_EQ(test::ReadFile(File("COM8-PACKETS.bin")), test::HeaderImage(65, 257) + QByteArray(400920, 0));
}

TEST_F(Database, ADamagedFileIsKeptAsideAndTheUserToldOnceTheStoresAreAttached) {
    const QByteArray garbage("not a database file");
    ASSERT_TRUE(test::WriteFile(File("COM4-DAYS.bin"), garbage));
    ASSERT_TRUE(db_->Open("COM4")) << db_->LastError().toStdString();

    // Nothing is said while the open runs: a message box then would let the window's timers
    // reach stores that do not exist yet.
    EXPECT_TRUE(hooks_.messages.isEmpty());
    ASSERT_EQ(db_->Notices().size(), 1);
    db_->DeliverNotices();
    ASSERT_EQ(hooks_.messages.size(), 1);
    EXPECT_TRUE(db_->Notices().isEmpty());
    const QStringList aside = QDir(dir_.path()).entryList({"COM4-DAYS.bin.damaged-*"}, QDir::Files);
    ASSERT_EQ(aside.size(), 1);
    const QString keptName = dir_.filePath(aside[0]);
    EXPECT_EQ(test::ReadFile(keptName), garbage);
    EXPECT_TRUE(hooks_.messages[0].contains(QDir::toNativeSeparators(File("COM4-DAYS.bin"))));
    EXPECT_TRUE(hooks_.messages[0].contains(QDir::toNativeSeparators(keptName)));
    EXPECT_EQ(db_->DayStore()->RowCount(), 257);
    EXPECT_FALSE(db_->SavingFails());

    Packet(1, 0x01, 1);
    ASSERT_TRUE(db_->Save());
    ASSERT_TRUE(db_->Save());
    EXPECT_EQ(QFileInfo(File("COM4-DAYS.bin")).size(), 400928);
    EXPECT_EQ(test::ReadFile(keptName), garbage);
    db_->DeliverNotices();
    EXPECT_EQ(hooks_.messages.size(), 1);
}

// Files that cannot be written are found when the database opens, with one notice naming the
// cause; the stores work in memory, every save tries again, and a save that succeeds once the
// cause is gone clears the state.
TEST_F(Database, UnwritableFilesAreFoundAtOpenAndTheStoresStillWork) {
    struct Case {
        const char* what;
        std::function<void(const QString& dir)> spoil;
        std::function<void(const QString& dir)> mend;
        const char* cause;
        const char* saveCause;  // what a failing save says, in words the engineer can act on
    };
    const Case cases[] = {
        {"a directory with the packet file's name",
         [](const QString& dir) { QDir(dir).mkdir("COM1-PACKETS.bin"); },
         [](const QString& dir) { QDir(dir).rmdir("COM1-PACKETS.bin"); }, "не является файлом",
         "не является файлом"},
        {"a missing program directory", [](const QString&) {}, [](const QString& dir) { QDir().mkpath(dir); },
         "Не удалось создать файл", "не существует"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir root;
        const QString dir = root.filePath("program");
        if (std::string(c.what) != "a missing program directory") {
            QDir().mkpath(dir);
        }
        c.spoil(dir);
        MeterDatabase db(dir, clock_);
        Hooks hooks;
        db.SetHooks(&hooks);
        ASSERT_TRUE(db.Open("COM1")) << db.LastError().toStdString();
        ASSERT_TRUE(db.IsOpen());
        EXPECT_TRUE(db.SavingFails());
        db.DeliverNotices();
        ASSERT_EQ(hooks.messages.size(), 1);
        EXPECT_TRUE(hooks.messages[0].startsWith("Данные порта «COM1» не будут сохраняться"));
        EXPECT_TRUE(hooks.messages[0].contains(c.cause)) << hooks.messages[0].toStdString();

        EXPECT_EQ(db.PacketStore()->RowCount(), 257);
        EXPECT_FALSE(db.HasUnsavedChanges());
        const auto payload = Live(1, 9);
        EXPECT_EQ(db.StoreMeterPacket({0x1001, payload.data(), payload.size()}), IntakeResult::Stored);
        EXPECT_TRUE(db.HasUnsavedChanges());
        EXPECT_FALSE(db.Save());
        EXPECT_TRUE(db.LastError().contains(c.saveCause)) << db.LastError().toStdString();
        EXPECT_TRUE(db.SavingFails());
        EXPECT_TRUE(db.HasUnsavedChanges()) << "what could not be saved is still unsaved";

        c.mend(dir);
        EXPECT_TRUE(db.Save()) << db.LastError().toStdString();
        EXPECT_FALSE(db.SavingFails());
        EXPECT_FALSE(db.HasUnsavedChanges());
        EXPECT_EQ(QFileInfo(dir + "/COM1-PACKETS.bin").size(), 400928);
    }
}

TEST_F(Database, AReadOnlyFileIsFoundAtOpen) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "file modes do not bind the superuser";
    }
    ASSERT_TRUE(test::WriteFile(File("COM2-PACKETS.bin"), QByteArray()));
    QFile(File("COM2-PACKETS.bin")).setPermissions(QFileDevice::ReadOwner);
    ASSERT_TRUE(db_->Open("COM2"));
    EXPECT_TRUE(db_->SavingFails());
    ASSERT_EQ(db_->Notices().size(), 1);
    EXPECT_TRUE(db_->Notices()[0].contains("защищён от записи")) << db_->Notices()[0].toStdString();
}

// Changes since the last good save: packets, month records, re-dimensioning and sorting count;
// a save or a fresh open clears them.
TEST_F(Database, ChangesAreCountedUntilTheNextSuccessfulSave) {
    ASSERT_TRUE(db_->Open("COM5"));
    EXPECT_FALSE(db_->HasUnsavedChanges());
    const std::vector<std::uint8_t> noRecords = {0x85, 9, 0, 0x40};
    db_->StoreMonthBuffer({0x2FFF, noRecords.data(), noRecords.size()});
    EXPECT_FALSE(db_->HasUnsavedChanges()) << "a reply without records changes nothing";
    const std::vector<std::uint8_t> reply = {0x85, 9, 0, 0x40, 1, 0, 0, 0, 0, 0, 0, 0, 0, 21};
    db_->StoreMonthBuffer({0x2FFF, reply.data(), reply.size()});
    EXPECT_TRUE(db_->HasUnsavedChanges());
    ASSERT_TRUE(db_->Save());
    EXPECT_FALSE(db_->HasUnsavedChanges());
    ASSERT_TRUE(db_->Apply());
    EXPECT_TRUE(db_->HasUnsavedChanges());
    ASSERT_TRUE(db_->Save());
    db_->MarkChanged();
    EXPECT_TRUE(db_->HasUnsavedChanges());
    ASSERT_TRUE(db_->Open("COM5"));
    EXPECT_FALSE(db_->HasUnsavedChanges());
}

// A save rewrites a file only when its store differs from it: a minute without a packet writes
// nothing; a record, a file removed from outside or a file replaced by one of another size does.
TEST_F(Database, ASaveRewritesOnlyTheFilesThatNoLongerHoldTheirStore) {
    ASSERT_TRUE(db_->Open("COM5"));
    ASSERT_TRUE(db_->Save());
    const QString packets = dir_.filePath("COM5-PACKETS.bin");
    const QString days = dir_.filePath("COM5-DAYS.bin");
    const auto inode = [](const QString& path) {
        struct stat st {};
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? static_cast<long long>(st.st_ino)
                                                                     : -1LL;
    };
    const long long packetsFile = inode(packets);
    const long long daysFile = inode(days);
    ASSERT_NE(packetsFile, -1);
    ASSERT_TRUE(db_->Save());
    EXPECT_EQ(inode(packets), packetsFile) << "nothing changed: not rewritten";
    EXPECT_EQ(inode(days), daysFile);

    const std::vector<std::uint8_t> reply = {0x85, 9, 0, 0x40, 1, 0, 0, 0, 0, 0, 0, 0, 0, 21};
    db_->StoreMonthBuffer({0x2FFF, reply.data(), reply.size()});
    ASSERT_TRUE(db_->Save());
    EXPECT_NE(inode(days), daysFile) << "a month record: the day file written";
    const long long daysAfter = inode(days);

    ASSERT_TRUE(QFile::remove(packets));
    ASSERT_TRUE(db_->Save());
    EXPECT_TRUE(QFileInfo::exists(packets)) << "removed from outside: written again";
    QFile shorter(days);
    ASSERT_TRUE(shorter.resize(16));
    ASSERT_TRUE(db_->Save());
    EXPECT_NE(inode(days), daysAfter);
    EXPECT_GT(QFileInfo(days).size(), 16);

    // Loaded from its file, a store that did not change is not written back either.
    ASSERT_TRUE(db_->Open("COM5"));
    const long long loaded = inode(days);
    ASSERT_TRUE(db_->Save());
    EXPECT_EQ(inode(days), loaded);
}

// A second instance in the same directory never shares a port's files; the first one's lock
// goes with its process, however it ends.
TEST_F(Database, ThePortsFilesBelongToOneInstanceAtATime) {
    QProcess other;
    other.start(LUMVARIS_LOCK_CHILD, {dir_.path(), "/tmp/a/simlink"});
    ASSERT_TRUE(other.waitForReadyRead(5000));
    ASSERT_EQ(other.readLine().trimmed(), "open");

    const QDateTime written = QFileInfo(File("simlink-PACKETS.bin")).lastModified();
    EXPECT_FALSE(db_->Open("/tmp/b/simlink"));
    EXPECT_TRUE(db_->InUse());
    EXPECT_FALSE(db_->IsOpen());
    const QString text = db_->LastError();
    EXPECT_TRUE(text.contains(QDir::toNativeSeparators(File("simlink-PACKETS.bin")))) << text.toStdString();
    EXPECT_TRUE(text.contains(QDir::toNativeSeparators(File("simlink-DAYS.bin"))));
    EXPECT_TRUE(text.contains(QString("процесс %1").arg(other.processId()))) << text.toStdString();
    EXPECT_TRUE(db_->Save());
    EXPECT_EQ(QFileInfo(File("simlink-PACKETS.bin")).size(), 0) << "nothing written";
    EXPECT_EQ(QFileInfo(File("simlink-PACKETS.bin")).lastModified(), written);
    ASSERT_TRUE(db_->Open("other")) << "another port's files are free";

    // A process killed outright leaves its lock file; the lock is taken over.
    other.kill();
    ASSERT_TRUE(other.waitForFinished(5000));
    EXPECT_TRUE(QFileInfo::exists(File("simlink-DATABASE.lock")));
    ASSERT_TRUE(db_->Open("simlink")) << db_->LastError().toStdString();
    EXPECT_FALSE(db_->InUse());

    // While this one holds it, the other is refused, and after Close it is free again.
    QProcess second;
    second.start(LUMVARIS_LOCK_CHILD, {dir_.path(), "simlink"});
    ASSERT_TRUE(second.waitForFinished(5000));
    EXPECT_EQ(second.readAll().trimmed(), "refused");
    db_->Close();
    second.start(LUMVARIS_LOCK_CHILD, {dir_.path(), "simlink"});
    ASSERT_TRUE(second.waitForReadyRead(5000));
    EXPECT_EQ(second.readLine().trimmed(), "open");
    second.closeWriteChannel();
    ASSERT_TRUE(second.waitForFinished(5000));
}

// A lock file that names no process (a power cut right after its creation leaves it empty) is
// nobody's once it is some seconds old; a fresh one may be a copy that is just taking it.
TEST_F(Database, ALockFileThatNamesNoProcessIsTakenOverOnceItIsOld) {
    const struct {
        const char* what;
        QByteArray contents;
        int ageSeconds;
        bool opens;
    } cases[] = {
        {"empty, an hour old", "", 3600, true},
        {"cut short, an hour old", "12", 3600, true},
        {"garbage, a minute old", "\xFF\xFE\n\n\n", 60, true},
        {"empty, in the future by an hour", "", -3600, true},
        {"empty, just made", "", 0, false},
    };
    for (const auto& c : cases) {
        const QString lock = File("COM7-DATABASE.lock");
        QFile file(lock);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.contents);
        file.flush();
        ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-c.ageSeconds),
                                     QFileDevice::FileModificationTime));
        file.close();
        EXPECT_EQ(db_->Open("COM7"), c.opens) << c.what << ": " << db_->LastError().toStdString();
        EXPECT_EQ(db_->InUse(), !c.opens) << c.what;
        EXPECT_FALSE(db_->LastError().contains(QStringLiteral("процесс 0"))) << c.what;
        db_->Close();
        QFile::remove(lock);
    }
}

TEST_F(Database, MonthRepliesGoThroughTheDatabase) {
    ASSERT_TRUE(db_->Open("COM1"));
    const std::vector<std::uint8_t> reply = {0x85, 9, 0, 0x40, 1, 0, 0, 0, 0, 0, 0, 0, 0, 21};
    EXPECT_EQ(db_->StoreMonthBuffer({0x2FFF, reply.data(), reply.size()}).Stored, 1);
    EXPECT_EQ(WordsA(db_->PacketStore(), 9), (std::vector<int>{1}));
}

}  // namespace
}  // namespace lumvaris::meterdata
