#include "meterdata/IBusyCursor.h"
#include "meterdata/TMatrixInterface.h"

#include "TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <random>
#include <vector>

#include <unistd.h>

#ifdef __unix__
#include "KillDuringSave.h"
#endif

namespace lumvaris::meterdata {
namespace {

using test::HeaderImage;
using test::RawRecord;
using test::ReadFile;
using test::RecordImage;
using test::WriteFile;

class TMatrixFile : public testing::Test {
  protected:
    QString Path(const QString& name) const { return dir_.filePath(name); }
    QStringList Entries() const { return QDir(dir_.path()).entryList(QDir::Files, QDir::Name); }
    QTemporaryDir dir_;
};

TEST_F(TMatrixFile, SaveWritesTheExactLayoutAndLoadReadsItBack) {
    const QString name = Path("COM1-PACKETS.bin");
    TMatrixInterface store(name);
    ASSERT_TRUE(store.SetRowCount(3));
    ASSERT_TRUE(store.SetColCount(2));
    MeterRecord a;
    a.Meter = 0x0102;
    a.WordA = 0xA1B2;
    a.WordB = 0xC3D4;
    a.Type = 0x4F;
    a.Level = 0x83;
    a.Valid = 0xFF;
    a.Time = 40178.99930555555;
    MeterRecord b;
    b.Meter = 2;
    b.EmptyMark = 1;
    b.Time = -1.25;
    store.PutMeterRecord(a, 1, 0);
    store.PutMeterRecord(b, 0, 2);
    ASSERT_TRUE(store.SaveToFile()) << store.LastError().toStdString();

    QByteArray image = HeaderImage(2, 3);
    image += RecordImage({});
    image += RecordImage({0x0102, 0xA1B2, 0xC3D4, 0x4F, 0x83, 0, 0xFF, 40178.99930555555});
    image += RecordImage({});
    image += RecordImage({});
    image += RecordImage({2, 0, 0, 0, 0, 1, 0, -1.25});
    image += RecordImage({});
    EXPECT_EQ(ReadFile(name).toHex().toStdString(), image.toHex().toStdString());

    TMatrixInterface loaded(name);
    EXPECT_EQ(loaded.LoadFromFile().Status, LoadStatus::Loaded);
    EXPECT_EQ(loaded.ColCount(), 2);
    EXPECT_EQ(loaded.RowCount(), 3);
    MeterRecord got;
    ASSERT_TRUE(loaded.GetMeterRecord(got, 1, 0));
    EXPECT_EQ(got, a);
    ASSERT_TRUE(loaded.GetMeterRecord(got, 0, 2));
    EXPECT_EQ(got, b);
}

#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__)
long ResidentKib() {
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// A port's store at its default dimensions (256 meters, depth 64) where five meters were heard:
// grown, filled, saved and loaded again, it costs the memory of those five rows, not of all.
TEST_F(TMatrixFile, RowsNeverWrittenCostNoMemoryAfterGrowingOrLoading) {
    constexpr int kStores = 40;
    constexpr long kFullKib = 257L * 65 * 24 * kStores / 1024;  // 15.6 MiB
    const QString name = Path("tcp-host-4001-PACKETS.bin");
    MeterRecord record;
    record.Meter = 3;
    record.Valid = 0xFF;
    record.Time = 45000.5;
    {
        TMatrixInterface store(name);
        ASSERT_TRUE(store.SetRowCount(257));
        ASSERT_TRUE(store.SetColCount(65));
        for (int meter = 1; meter <= 5; ++meter) {
            store.InsertMeterRecord(record, 0, meter);
        }
        ASSERT_TRUE(store.SaveToFile());
    }
    std::vector<std::unique_ptr<TMatrixInterface>> grown;
    std::vector<std::unique_ptr<TMatrixInterface>> loaded;
    const long before = ResidentKib();
    for (int i = 0; i < kStores / 2; ++i) {
        grown.push_back(std::make_unique<TMatrixInterface>(QString()));
        ASSERT_TRUE(grown.back()->SetColCount(65));
        ASSERT_TRUE(grown.back()->SetRowCount(257));
        for (int meter = 1; meter <= 5; ++meter) {
            grown.back()->InsertMeterRecord(record, 0, meter);
        }
        loaded.push_back(std::make_unique<TMatrixInterface>(name));
        ASSERT_EQ(loaded.back()->LoadFromFile().Status, LoadStatus::Loaded);
    }
    EXPECT_LT(ResidentKib() - before, kFullKib / 8);
    MeterRecord got;
    ASSERT_TRUE(loaded.back()->GetMeterRecord(got, 0, 5));
    EXPECT_EQ(got, record);
}
#endif

TEST_F(TMatrixFile, BytesAfterTheRecordsAreIgnored) {
    const QString name = Path("x.bin");
    ASSERT_TRUE(WriteFile(name, HeaderImage(1, 2) + RecordImage({7, 1, 2, 3, 4, 0, 0xFF, 5.5}) +
                                    RecordImage({}) + QByteArray("tail")));
    TMatrixInterface store(name);
    EXPECT_EQ(store.LoadFromFile().Status, LoadStatus::Loaded);
    MeterRecord r;
    ASSERT_TRUE(store.GetMeterRecord(r, 0, 0));
    EXPECT_EQ(r.Meter, 7);
    EXPECT_EQ(r.Time, 5.5);
    EXPECT_EQ(Entries(), QStringList{"x.bin"});
}

TEST_F(TMatrixFile, AMissingFileIsCreatedEmptyAndAnEmptyFileIsNoFault) {
    const QString name = Path("new.bin");
    TMatrixInterface store(name);
    ASSERT_TRUE(store.SetColCount(5));
    EXPECT_EQ(store.LoadFromFile().Status, LoadStatus::Empty);
    EXPECT_TRUE(store.IsBlank());
    EXPECT_TRUE(QFileInfo::exists(name));
    EXPECT_EQ(QFileInfo(name).size(), 0);

    ASSERT_TRUE(store.SetColCount(5));
    EXPECT_EQ(store.LoadFromFile().Status, LoadStatus::Empty);
    EXPECT_TRUE(store.IsBlank());
    EXPECT_EQ(Entries(), QStringList{"new.bin"});
}

// Files that cannot be loaded: the store goes blank and the file is kept, byte for byte, under a
// new name beside it; the next save starts a fresh file and leaves the kept one alone.
TEST_F(TMatrixFile, AnUnloadableFileIsKeptAsideAndNeverOverwritten) {
    struct Case {
        const char* name;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"one byte", QByteArray(1, '\x03')},
        {"five bytes", QByteArray("\x03\0\0\0\x02", 5)},
        {"header only, records missing", HeaderImage(3, 2)},
        {"3 x 2 with 100 bytes of records", HeaderImage(3, 2) + QByteArray(100, '\x11')},
        {"negative columns", HeaderImage(-1, 2) + QByteArray(48, 0)},
        {"negative rows", HeaderImage(2, -5) + QByteArray(48, 0)},
        {"zero columns", HeaderImage(0, 2)},
        {"most negative", HeaderImage(INT32_MIN, INT32_MIN) + QByteArray(64, 0)},
        {"huge dimensions", HeaderImage(0x7FFFFFFF, 0x7FFFFFFF) + QByteArray(240, '\x22')},
        {"100000 x 100000", HeaderImage(100000, 100000) + QByteArray(240, '\x22')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString name = dir.filePath("COM7-DAYS.bin");
        ASSERT_TRUE(WriteFile(name, c.bytes));
        TMatrixInterface store(name);
        ASSERT_TRUE(store.SetRowCount(4));
        ASSERT_TRUE(store.SetColCount(4));

        const LoadResult result = store.LoadFromFile();
        EXPECT_EQ(result.Status, LoadStatus::KeptAside);
        EXPECT_TRUE(store.IsBlank());
        EXPECT_GE(store.Capacity(), store.Count());
        EXPECT_FALSE(QFileInfo::exists(name));
        EXPECT_TRUE(QFileInfo(result.KeptAsideName).fileName().startsWith("COM7-DAYS.bin.damaged-"));
        EXPECT_EQ(QFileInfo(result.KeptAsideName).absolutePath(), QFileInfo(name).absolutePath());
        EXPECT_EQ(ReadFile(result.KeptAsideName), c.bytes);

        ASSERT_TRUE(store.SetRowCount(2));
        ASSERT_TRUE(store.SaveToFile());
        EXPECT_EQ(QFileInfo(name).size(), 8 + 2 * 24);
        EXPECT_EQ(ReadFile(result.KeptAsideName), c.bytes);
    }
}

TEST_F(TMatrixFile, EachDamagedFileGetsItsOwnName) {
    const QString name = Path("p.bin");
    QStringList kept;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(WriteFile(name, QByteArray(3, char('a' + i))));
        TMatrixInterface store(name);
        const LoadResult result = store.LoadFromFile();
        ASSERT_EQ(result.Status, LoadStatus::KeptAside);
        kept << result.KeptAsideName;
        EXPECT_EQ(ReadFile(result.KeptAsideName), QByteArray(3, char('a' + i)));
    }
    kept.removeDuplicates();
    EXPECT_EQ(kept.size(), 3);
}

TEST_F(TMatrixFile, SavingWithoutAWritableDirectoryReportsAnError) {
    TMatrixInterface store(Path("missing/dir/x.bin"));
    EXPECT_FALSE(store.SaveToFile());
    EXPECT_FALSE(store.LastError().isEmpty());
    TMatrixInterface noFile{QString()};
    EXPECT_FALSE(noFile.SaveToFile());
}

TEST_F(TMatrixFile, LoadAndSaveHoldTheBusyCursorForTheirDuration) {
    struct Cursor : IBusyCursor {
        int depth = 0, shown = 0;
        void BeginBusy() override { ++depth, ++shown; }
        void EndBusy() override { --depth; }
    } cursor;
    TMatrixInterface store(Path("b.bin"));
    store.Load(&cursor);
    EXPECT_TRUE(store.Save(&cursor));
    EXPECT_EQ(cursor.shown, 2);
    EXPECT_EQ(cursor.depth, 0);
}

#ifdef __unix__
// A child saves a 24 MB store again and again and is killed at a random moment of a save. The
// file must then load whole, holding either the last save that finished or the one that was
// under way, never a mixture or a truncated file. (scripts/kill-during-save runs 100 such kills.)
TEST_F(TMatrixFile, AKillDuringASaveLeavesACompleteFile) {
    const QString name = Path("COM9-PACKETS.bin");
    constexpr int kCols = 1001, kRows = 1025;
    ASSERT_TRUE(test::WriteStoreImage(name, kCols, kRows, test::SaveFill(0)));
    std::mt19937 rng(2024);
    int killedMidSave = 0;
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(testing::Message() << "round " << round);
        const test::KillRound r = test::KillDuringSave(LUMVARIS_SAVE_CHILD, name, kCols, kRows, 4, 0.5, rng);
        ASSERT_EQ(r.error, "");
        killedMidSave += r.begun > r.ended ? 1 : 0;
        EXPECT_TRUE(r.intact) << r.damage << " (begun " << r.begun << ", ended " << r.ended << ")";
        EXPECT_TRUE(r.leftBeside.isEmpty()) << r.leftBeside.join(' ').toStdString();

        TMatrix loaded(24, name);
        ASSERT_EQ(loaded.LoadFromFile().Status, LoadStatus::Loaded);
        EXPECT_EQ(loaded.ColCount(), kCols);
        EXPECT_EQ(loaded.RowCount(), kRows);
    }
    EXPECT_GE(killedMidSave, 1) << "no kill landed inside a save";
}
#endif

}  // namespace
}  // namespace lumvaris::meterdata
