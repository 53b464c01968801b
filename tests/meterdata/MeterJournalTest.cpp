#include "meterdata/MeterDatabase.h"
#include "meterdata/MeterJournal.h"

#include "TestClock.h"
#include "TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace lumvaris::meterdata {
namespace {

using test::ReadFile;
using test::WriteFile;

struct Heard : IFiledRecords {
    std::vector<std::pair<int, RecordSource>> records;  // word A and source
    void RecordFiled(const MeterRecord& r, RecordSource source) override {
        records.push_back({r.WordA, source});
    }
};

class Journal : public testing::Test {
  protected:
    Journal() { db_.SetFiledRecords(&heard_); }

    void Open(int depth = 64) {
        DatabaseSettings settings;
        settings.SetPacketDepth(depth);
        db_.SetSettings(settings);
        heard_.records.clear();
        ASSERT_TRUE(db_.Open("COM1")) << db_.LastError().toStdString();
    }
    void Packet(int meter, int a) {
        clock_.AdvanceSeconds(1);
        const std::uint8_t payload[] = {0x01, std::uint8_t(a), std::uint8_t(a >> 8), 0, 0, 0x04};
        ASSERT_EQ(db_.StoreMeterPacket({std::uint16_t(0x1000 + meter), payload, 6}), IntakeResult::Stored);
    }
    // Files packets 1 .. n of meter 1, commits them as a receive tick does, and closes.
    void FileAndClose(int n) {
        Open();
        for (int a = 1; a <= n; ++a)
            Packet(1, a);
        db_.CommitJournal();
        db_.Close();
    }
    std::vector<int> Words() const {
        std::vector<int> words;
        MeterRecord r;
        for (int slot = 1; slot < db_.PacketStore()->ColCount(); ++slot)
            if (db_.PacketStore()->GetMeterRecord(r, slot, 1) && r.Valid)
                words.push_back(r.WordA);
        return words;
    }
    QString File(const char* suffix) const { return dir_.filePath(QString("COM1") + suffix); }
    QByteArray JournalBytes() const { return ReadFile(File("-JOURNAL.bin")); }
    QStringList Aside() const {
        return QDir(dir_.path()).entryList({"COM1-JOURNAL.bin.damaged-*"}, QDir::Files);
    }

    QTemporaryDir dir_;
    test::TestClock clock_;
    Heard heard_;
    MeterDatabase db_{dir_.path(), clock_};
};

std::vector<int> Down(int from, int to) {
    std::vector<int> v;
    for (int i = from; i >= to; --i)
        v.push_back(i);
    return v;
}

// Whatever the journal holds, what comes back is what the stores held before the process ended,
// each record once, in its place.
TEST_F(Journal, ReplayFilesWhatTheFilesLackOnceAndInOrder) {
    // Records of a live packet and of a buffer come back with their source.
    Open();
    Packet(1, 1);
    const std::uint8_t reply[] = {0x85, 1, 0, 0x40, 2, 0, 0, 0, 0, 30, 12, 14, 2, 24};
    ASSERT_EQ(db_.StoreMonthBuffer({0x2FFF, reply, sizeof reply}).Stored, 1);
    Packet(7, 3);
    db_.CommitJournal();
    db_.Close();
    for (int reopen = 0; reopen < 2; ++reopen) {
        Open();
        EXPECT_EQ(db_.RecoveredRecords(), 3);
        EXPECT_EQ(Words(), (std::vector<int>{2, 1}));
        EXPECT_EQ(heard_.records,
                  (std::vector<std::pair<int, RecordSource>>{
                      {1, RecordSource::Live}, {2, RecordSource::Buffer}, {3, RecordSource::Live}}));
        MeterRecord newest;
        ASSERT_TRUE(db_.NetStore()->GetMeterRecord(newest, 7, 1));
        EXPECT_EQ(newest.WordA, 3);
        EXPECT_TRUE(db_.HasUnsavedChanges());
        db_.Close();
    }
    Open();
    ASSERT_TRUE(db_.Save());
    db_.Close();
    Open();
    EXPECT_EQ(db_.RecoveredRecords(), 0);
    EXPECT_EQ(db_.RecoveredText(), "");
    EXPECT_EQ(Words(), (std::vector<int>{2, 1}));
    db_.Close();

    // A process killed after a save replaced both files and before the journal was emptied: the
    // journal still holds what the files hold, also what was pushed out of the row since, and
    // what came after the save. Only the last comes back.
    struct Case {
        const char* what;
        int saved, after;  // packets of meter 1 before the save and after it
        bool reordered;    // the row was put oldest first (as a sort may) before the save
        std::vector<int> words;
    };
    const Case cases[] = {
        {"all saved", 5, 0, false, Down(5, 1)},
        {"saved and pushed out of the 10-deep row", 15, 0, false, Down(15, 6)},
        {"one filed after the save", 15, 1, false, Down(16, 7)},
        {"saved in another order", 5, 1, true, {6, 1, 2, 3, 4, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const char* suffix : {"-PACKETS.bin", "-DAYS.bin", "-JOURNAL.bin"})
            QFile::remove(File(suffix));
        Open(10);
        for (int a = 1; a <= c.saved; ++a)
            Packet(1, a);
        db_.FlushJournal();
        const QByteArray beforeSave = JournalBytes();
        if (c.reordered) {
            std::vector<MeterRecord> row(c.saved);
            for (int a = 0; a < c.saved; ++a)
                db_.PacketStore()->GetMeterRecord(row[a], 1 + a, 1);
            for (int a = 0; a < c.saved; ++a)
                db_.PacketStore()->PutMeterRecord(row[a], c.saved - a, 1);
        }
        ASSERT_TRUE(db_.Save());
        for (int a = c.saved + 1; a <= c.saved + c.after; ++a)
            Packet(1, a);
        db_.Close();
        ASSERT_TRUE(WriteFile(File("-JOURNAL.bin"), beforeSave + JournalBytes().mid(kJournalHeaderSize)));
        Open(10);
        EXPECT_EQ(Words(), c.words);
        EXPECT_EQ(db_.RecoveredRecords(), c.after);
        db_.Close();
    }
}

TEST_F(Journal, RecoveredTextFollowsTheRussianPluralForms) {
    const std::pair<int, const char*> cases[] = {
        {1, "1 запись"},        {2, "2 записи"},       {4, "4 записи"},     {5, "5 записей"},
        {11, "11 записей"},     {12, "12 записей"},    {14, "14 записей"},  {21, "21 запись"},
        {22, "22 записи"},      {100, "100 записей"},  {101, "101 запись"}, {111, "111 записей"},
        {1012, "1012 записей"}, {1042, "1042 записи"},
    };
    for (const auto& [n, text] : cases)
        EXPECT_EQ(RecoveredText(n).toStdString(), std::string("Восстановлено из журнала: ") + text);
}

// A power cut in the middle of the last write leaves part of a record, or a record whose bytes
// never reached the disk: ignored without a word, and cut off before the next record follows.
TEST_F(Journal, ATornLastRecordIsIgnoredAtEveryByteOffset) {
    FileAndClose(3);
    const QByteArray whole = JournalBytes();
    const int last = whole.size() - int(kJournalRecordSize);
    for (int cut = 0; cut < int(kJournalRecordSize); ++cut) {
        for (bool zeroed : {false, true}) {
            SCOPED_TRACE(testing::Message() << "byte " << cut << (zeroed ? ", the rest zero" : ", cut"));
            QByteArray torn = whole.left(last + cut);
            if (zeroed)
                torn += QByteArray(int(kJournalRecordSize) - cut, 0);
            ASSERT_TRUE(WriteFile(File("-JOURNAL.bin"), torn));
            Open();
            EXPECT_EQ(Words(), (std::vector<int>{2, 1}));
            EXPECT_TRUE(db_.Notices().isEmpty());
            Packet(1, 9);
            db_.Close();
            Open();
            EXPECT_EQ(Words(), (std::vector<int>{9, 2, 1}));
            EXPECT_TRUE(db_.Notices().isEmpty());
            db_.Close();
        }
    }
    EXPECT_TRUE(Aside().isEmpty());
}

TEST_F(Journal, ADamagedJournalIsSetAsideWithOneNoticeAndWhatPassesItsCheckComesBack) {
    FileAndClose(3);
    const QByteArray whole = JournalBytes();
    const auto at = [](int record, int byte) {
        return int(kJournalHeaderSize + record * kJournalRecordSize) + byte;
    };
    struct Case {
        const char* what;
        std::function<void(QByteArray&)> spoil;
        std::vector<int> words;
        const char* damage;
    };
    const Case cases[] = {
        {"another file's header", [](QByteArray& b) { b[0] = 'X'; }, {}, "неизвестный заголовок"},
        {"another version", [](QByteArray& b) { b[8] = 2; }, {}, "неизвестный заголовок"},
        {"a word of the first record", [&](QByteArray& b) { b[at(0, 2)] = 'X'; }, {3, 2}, "смещения 16 "},
        {"the checksum of the second", [&](QByteArray& b) { b[at(1, 31)] ^= 1; }, {3, 1}, "смещения 48 "},
        {"bytes lost in the middle", [&](QByteArray& b) { b.remove(at(1, 5), 1); }, {3, 1}, "смещения 48 "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const QString& aside : Aside())
            QFile::remove(dir_.filePath(aside));
        QByteArray spoilt = whole;
        c.spoil(spoilt);
        ASSERT_TRUE(WriteFile(File("-JOURNAL.bin"), spoilt));
        Open();
        EXPECT_EQ(Words(), c.words);
        ASSERT_EQ(db_.Notices().size(), 1);
        const QString notice = db_.Notices()[0];
        ASSERT_EQ(Aside().size(), 1);
        EXPECT_EQ(ReadFile(dir_.filePath(Aside()[0])), spoilt);
        EXPECT_TRUE(notice.contains(QDir::toNativeSeparators(dir_.filePath(Aside()[0]))))
            << notice.toStdString();
        EXPECT_TRUE(notice.contains(c.damage)) << notice.toStdString();
        db_.Close();
        // The fresh journal holds what came back.
        Open();
        EXPECT_EQ(Words(), c.words);
        EXPECT_TRUE(db_.Notices().isEmpty());
        db_.Close();
    }
}

// The save empties the journal of what both files now hold, and of nothing else: a record filed
// after the save stays, and a save that failed empties nothing.
TEST_F(Journal, TheSaveEmptiesOnlyWhatItSaved) {
    const auto lostFiles = [&] {
        db_.Close();
        QFile::remove(File("-PACKETS.bin"));
        QFile::remove(File("-DAYS.bin"));
        Open();
        return Words();
    };
    Open();
    Packet(1, 1);
    db_.CommitJournal();
    ASSERT_TRUE(db_.Save());
    Packet(1, 2);
    db_.CommitJournal();
    Packet(1, 3);  // filed, not yet committed
    EXPECT_EQ(lostFiles(), (std::vector<int>{3, 2}));

    Packet(1, 4);  // filed before the save and committed only after it
    ASSERT_TRUE(db_.Save());
    db_.CommitJournal();
    EXPECT_EQ(lostFiles(), std::vector<int>{});

    Packet(1, 5);
    QFile::remove(File("-DAYS.bin"));
    ASSERT_TRUE(QDir(dir_.path()).mkdir("COM1-DAYS.bin"));
    EXPECT_FALSE(db_.Save());
    ASSERT_TRUE(QDir(dir_.path()).rmdir("COM1-DAYS.bin"));
    EXPECT_EQ(lostFiles(), (std::vector<int>{5}));
}

}  // namespace
}  // namespace lumvaris::meterdata
