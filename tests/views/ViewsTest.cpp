#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QTabWidget>
#include <QTableView>
#include <QToolTip>
#include <cmath>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "meterdata/DayTime.h"
#include "meterdata/IClock.h"
#include "meterdata/RecordTextFormatter.h"
#include "meterdata/TMatrixInterface.h"
#include "views/StoreGridView.h"
#include "views/StoreSort.h"
#include "views/TableText.h"

namespace lumvaris::views {
namespace {

using meterdata::MeterRecord;
using meterdata::TMatrixInterface;

struct FixedClock : meterdata::IClock {
    QDateTime Now() const override { return now; }
    QDateTime now{QDate(2026, 12, 8), QTime(12, 0, 0)};
};

double At(int hour, int minute = 0) {
    return meterdata::DaysFromDateTime(QDate(2026, 12, 7), QTime(hour, minute));
}

MeterRecord Packet(int meter, int type, double time) {
    MeterRecord r;
    r.Meter = static_cast<std::uint16_t>(meter);
    r.Type = static_cast<std::uint8_t>(type);
    r.WordA = 0x1234;
    r.Valid = 0xFF;
    r.Time = time;
    return r;
}

// One application for the whole test program, gone before the program's own statics are.
class QtEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        static int argc = 1;
        static char arg0[] = "views_tests";
        static char* argv[] = {arg0, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

  private:
    std::unique_ptr<QApplication> app_;
};
[[maybe_unused]] ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

class ViewsTest : public ::testing::Test {
  protected:
    ViewsTest() {
        auto* other = new QWidget;
        pages.addTab(netPage, "NET");
        pages.addTab(packetPage, "PACKETS");
        pages.addTab(other, "other");
        net.SetColumnWidths({36, 96, 64, 64, 64, 64, 64, 64});
        netStore.SetCaptionTexts("Ёмкость сети ", " счётчиков");
        packetStore.SetCaptionTexts("Последние ", " пакетов");
        pages.resize(600, 400);
        pages.show();
    }

    FixedClock clock;
    meterdata::RecordTextFormatter formatter{clock, QLocale(QLocale::Russian, QLocale::Russia)};
    QTabWidget pages;
    QWidget* netPage = new QWidget;
    QWidget* packetPage = new QWidget;
    QTableView* netGrid = new QTableView(netPage);
    QTableView* packetGrid = new QTableView(packetPage);
    StoreGridView net{&pages, netPage, netGrid, 8, formatter, clock};
    StoreGridView packets{&pages, packetPage, packetGrid, 7, formatter, clock};
    TMatrixInterface netStore{QString()};
    TMatrixInterface packetStore{QString()};
};

TEST_F(ViewsTest, NetworkTableWithAndWithoutShowAll) {
    netStore.SetRowCount(2);
    netStore.SetColCount(17);  // 16 meters
    pages.setCurrentWidget(netPage);

    net.ShowInGrid(netStore, 1, false, true);
    EXPECT_EQ(pages.tabText(0), "Ёмкость сети 16 счётчиков");
    ASSERT_EQ(net.Model().GridRowCount(), 2);  // header + one cleared row
    for (int c = 0; c < 8; ++c) {
        EXPECT_EQ(net.Model().Cell(c, 1), "") << c;
    }
    EXPECT_EQ(net.Model().Cell(0, 0), "Сч.#");
    EXPECT_EQ(net.Model().Cell(7, 0), "Прошло");

    netStore.PutMeterRecord(Packet(5, 0x01, At(11)), 5, 1);
    net.ShowInGrid(netStore, 1, true, true);
    ASSERT_EQ(net.Model().GridRowCount(), 17);
    EXPECT_EQ(net.Model().Cell(0, 1), "1");
    EXPECT_EQ(net.Model().Cell(1, 1), " .....");
    EXPECT_EQ(net.Model().Cell(7, 16), " .....");
    EXPECT_EQ(net.Model().Cell(0, 5), "5");
    EXPECT_NE(net.Model().Cell(1, 5), " .....");

    net.ShowInGrid(netStore, 1, false, true);
    ASSERT_EQ(net.Model().GridRowCount(), 2);
    EXPECT_EQ(net.Model().Cell(0, 1), "5");
}

// A text cut off by its column shows whole in a tooltip; the column widens by a double click on
// its header border to fit its texts.
TEST_F(ViewsTest, CutOffTextsShowInATooltipAndADoubleClickFitsTheColumn) {
    netStore.SetRowCount(2);
    netStore.SetColCount(17);
    MeterRecord r = Packet(3, 0x40, At(9));
    r.WordA = 0x1234;
    netStore.PutMeterRecord(r, 3, 1);
    pages.setCurrentWidget(netPage);
    netGrid->resize(560, 300);
    net.ShowInGrid(netStore, 1, false, true);
    QApplication::processEvents();

    const auto cutOff = [this](int column) { return CutOffText(*netGrid, net.Model().index(0, column)); };
    const QFontMetrics metrics(netGrid->font());
    int cut = 0;
    for (int column = 0; column < 8; ++column) {
        const QString text = net.Model().Cell(column, 1);
        const bool fits = metrics.horizontalAdvance(text) + 4 <= netGrid->columnWidth(column);
        cut += !fits;
        EXPECT_EQ(cutOff(column), fits ? QString() : text)
            << "column " << column << ": " << text.toStdString();
    }
    EXPECT_GT(cut, 0) << "the unit text does not fit 64 pixels";
    netGrid->setColumnWidth(3, 10);
    ASSERT_EQ(cutOff(3), net.Model().Cell(3, 1)) << "a narrowed column's text in full";
    // The tooltip shows it.
    const QRect cell = netGrid->visualRect(net.Model().index(0, 3));
    QHelpEvent help(QEvent::ToolTip, cell.center(), netGrid->viewport()->mapToGlobal(cell.center()));
    QApplication::sendEvent(netGrid->viewport(), &help);
    EXPECT_EQ(QToolTip::text(), net.Model().Cell(3, 1));
    // The tip window goes before the application does.
    QToolTip::hideText();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(net.Model().headerData(2, Qt::Horizontal, Qt::ToolTipRole).toString(),
              net.Model().headerData(2, Qt::Horizontal, Qt::DisplayRole).toString());

    for (int column : {2, 3}) {
        emit netGrid->horizontalHeader()->sectionHandleDoubleClicked(column);
        EXPECT_TRUE(cutOff(column).isEmpty()) << "fits now: column " << column;
    }
}

TEST_F(ViewsTest, HiddenPageKeepsItsGridButTakesTheCaption) {
    netStore.SetRowCount(2);
    netStore.SetColCount(33);
    pages.setCurrentIndex(2);
    net.ShowInGrid(netStore, 1, true, true);
    EXPECT_EQ(pages.tabText(0), "Ёмкость сети 32 счётчиков");
    EXPECT_EQ(net.Model().GridRowCount(), 2);
}

TEST_F(ViewsTest, ShorterTableMakesTheLastRowCurrentAndTheHookRuns) {
    int clicks = 0;
    net.SetAfterShow([&] { ++clicks; });
    netStore.SetRowCount(2);
    netStore.SetColCount(65);
    pages.setCurrentWidget(netPage);
    net.ShowInGrid(netStore, 1, true, true);
    net.SetCurrentRow(60);
    EXPECT_EQ(net.CurrentMeterText(), "60");
    netStore.SetColCount(17);
    net.ShowInGrid(netStore, 1, true, true);
    EXPECT_EQ(net.CurrentRow(), 16);
    EXPECT_EQ(net.CurrentMeterText(), "16");
    EXPECT_EQ(clicks, 2);
}

TEST_F(ViewsTest, ElapsedColumnFollowsTheClockOnRedraw) {
    netStore.SetRowCount(2);
    netStore.SetColCount(17);
    netStore.PutMeterRecord(Packet(3, 0x01, meterdata::DaysFromDateTime(clock.now.addSecs(-5))), 3, 1);
    pages.setCurrentWidget(netPage);
    net.ShowInGrid(netStore, 1, false, true);
    const QString first = net.Model().Cell(7, 1);
    EXPECT_TRUE(first.endsWith(" !!!")) << first.toStdString();
    clock.now = clock.now.addSecs(60);
    net.ShowInGrid(netStore, 1, false, true);
    const QString later = net.Model().Cell(7, 1);
    EXPECT_FALSE(later.endsWith(" !!!")) << later.toStdString();
    EXPECT_NE(first, later);
}

TEST_F(ViewsTest, CopyGivesHeaderAndRowsAsTabSeparatedLines) {
    packetStore.SetRowCount(9);
    packetStore.SetColCount(11);
    for (int slot = 1; slot <= 3; ++slot) {
        packetStore.PutMeterRecord(Packet(7, 0x40, At(slot)), slot, 7);
    }
    pages.setCurrentWidget(packetPage);
    packets.ShowInGrid(packetStore, 7, false, false);
    const QString text = TableText(packets.Model());
    const QStringList lines = text.split("\r\n");
    ASSERT_EQ(lines.size(), 5);  // four lines, each ended by CR LF
    EXPECT_EQ(lines.last(), "");
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(lines[i].count('\t'), 6) << i;
        EXPECT_FALSE(lines[i].contains('\n') || lines[i].contains('\r'));
    }
    EXPECT_TRUE(lines[0].startsWith("Сч.#\tПакет\tТекущее"));
    EXPECT_TRUE(lines[0].endsWith("\tВремя"));
    EXPECT_TRUE(lines[1].startsWith("7\t"));
}

TEST_F(ViewsTest, SortRemovesDuplicatesAndOrdersByTypeThenNewestFirst) {
    packetStore.SetRowCount(3);
    packetStore.SetColCount(6);
    const MeterRecord a = Packet(2, 0x40, At(10)), b = Packet(2, 0x01, At(9)), c = Packet(2, 0x40, At(11));
    packetStore.PutMeterRecord(a, 1, 2);
    packetStore.PutMeterRecord(b, 2, 2);
    packetStore.PutMeterRecord(c, 3, 2);
    packetStore.PutMeterRecord(a, 4, 2);  // duplicate of slot 1
    // Row 1 has a gap: the records move around the empty slot.
    packetStore.PutMeterRecord(Packet(1, 0x05, At(1)), 1, 1);
    packetStore.PutMeterRecord(Packet(1, 0x02, At(2)), 3, 1);

    SortStore(packetStore);

    auto at = [&](int slot, int row) {
        MeterRecord r;
        packetStore.GetMeterRecord(r, slot, row);
        return r;
    };
    EXPECT_EQ(at(1, 2), b);
    EXPECT_EQ(at(2, 2), c);
    EXPECT_EQ(at(3, 2), a);
    EXPECT_EQ(at(4, 2), MeterRecord{});
    EXPECT_EQ(at(5, 2), MeterRecord{});
    EXPECT_EQ(at(1, 1).Type, 0x02);
    EXPECT_EQ(at(2, 1), MeterRecord{});
    EXPECT_EQ(at(3, 1).Type, 0x05);
}

// A duplicate has both the same type and the same time. Packets of different types stamped at the
// same moment (the readings a meter sends together, a month buffer's midnight values) all stay.
TEST_F(ViewsTest, SortClearsOnlyRecordsOfTheSameTypeAndTime) {
    struct Case {
        const char* name;
        std::vector<std::pair<int, double>> before;  // type and time of slots 1, 2, ...
        std::vector<std::pair<int, double>> after;   // type 0: an empty slot
    };
    const Case cases[] = {
        {"two types, one time", {{0x40, At(10)}, {0x01, At(10)}}, {{0x01, At(10)}, {0x40, At(10)}}},
        {"three types, one time",
         {{0x42, At(0)}, {0x41, At(0)}, {0x40, At(0)}},
         {{0x40, At(0)}, {0x41, At(0)}, {0x42, At(0)}}},
        {"same type, same time", {{0x40, At(10)}, {0x40, At(10)}}, {{0x40, At(10)}, {0, 0}}},
        {"same type, another time", {{0x40, At(10)}, {0x40, At(11)}}, {{0x40, At(11)}, {0x40, At(10)}}},
        {"a duplicate beside another type at its time",
         {{0x41, At(9)}, {0x40, At(9)}, {0x41, At(9)}},
         {{0x40, At(9)}, {0x41, At(9)}, {0, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        packetStore.Reset();
        packetStore.SetRowCount(2);
        packetStore.SetColCount(static_cast<int>(c.before.size()) + 1);
        for (std::size_t i = 0; i < c.before.size(); ++i) {
            packetStore.PutMeterRecord(Packet(1, c.before[i].first, c.before[i].second),
                                       static_cast<int>(i) + 1, 1);
        }
        SortStore(packetStore);
        for (std::size_t i = 0; i < c.after.size(); ++i) {
            MeterRecord r;
            packetStore.GetMeterRecord(r, static_cast<int>(i) + 1, 1);
            const MeterRecord expected =
                c.after[i].first == 0 ? MeterRecord{} : Packet(1, c.after[i].first, c.after[i].second);
            EXPECT_EQ(r, expected) << "slot " << i + 1;
        }
    }
}

TEST_F(ViewsTest, SortSurvivesHostileTimes) {
    packetStore.SetRowCount(2);
    packetStore.SetColCount(40);
    const double odd[] = {std::numeric_limits<double>::quiet_NaN(), -0.0,   0.0,
                          std::numeric_limits<double>::infinity(),  -1e308, 3.0};
    for (int slot = 1; slot < 40; ++slot) {
        packetStore.PutMeterRecord(Packet(1, slot % 3, odd[slot % 6]), slot, 1);
    }
    SortStore(packetStore);
    int previousType = -1;
    for (int slot = 1; slot < 40; ++slot) {
        MeterRecord r;
        packetStore.GetMeterRecord(r, slot, 1);
        if (r.Valid != 0) {
            EXPECT_GE(r.Type, previousType);
            previousType = r.Type;
        }
    }
}

}  // namespace
}  // namespace lumvaris::views
