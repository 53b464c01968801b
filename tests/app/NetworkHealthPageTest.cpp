// The page "Состояние сети": counts, rates, levels and the not-heard mark from live packets under
// the window's clock, the sort by any column, and the copy.
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QSpinBox>

#include "WindowFixture.h"
#include "app/NetworkHealthPage.h"
#include "views/HealthTableModel.h"

namespace lumvaris::testing {
namespace {

class NetworkHealthPageTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        Connect();
        F().PageControl->setCurrentWidget(F().TabSheetHealth);
    }
    void At(int hour, int minute, int second = 0) {
        clock_.now = QDateTime(QDate(2026, 12, 7), QTime(hour, minute, second));
    }
    // A live packet of the meter with this level byte, at the clock's time.
    void Packet(int meter, int level) {
        Reply(QString::asprintf("40 34 12 01 D4 %02X", level).toStdString(),
              static_cast<std::uint16_t>(0x1000 + meter));
    }
    views::HealthTableModel& Model() { return window_->Health().Model(); }
    // The rows after the next TimerRefresh, cells joined by "|".
    QStringList Rows() {
        window_->TimerRefreshTimer();
        QStringList rows;
        for (int r = 0; r < Model().rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < Model().columnCount(); ++c) {
                cells << Model().index(r, c).data().toString();
            }
            rows << cells.join(QLatin1Char('|'));
        }
        return rows;
    }
    void ClickHeader(int column) {
        QHeaderView* header = F().StringGridHealth->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
    }
};

TEST_F(NetworkHealthPageTest, CountsRatesAndLevelsOfAScriptedHour) {
    EXPECT_EQ(Rows(), QStringList{});
    At(10, 0);
    Packet(3, 0x23);  // 75 % on phase A
    At(10, 0, 30);
    Packet(3, 0x41);  // 25 % on B
    At(10, 1);
    Packet(7, 0x84);    // 100 % on C
    Packet(300, 0x22);  // beyond the 256 meters of the network store
    At(10, 50);
    Packet(3, 0x22);
    At(11, 0, 10);
    Packet(3, 0x24);

    At(11, 0, 20);  // the hour back to 10:00:20 holds three of meter 3's four packets
    EXPECT_EQ(Rows(), (QStringList{"3|4|3|0:00:10|100% (A)|25%|100%|", "7|1|1|0:59:20|100% (C)|100%|100%|"}));
    At(11, 1, 0);
    EXPECT_EQ(Rows(), (QStringList{"3|4|2|0:00:50|100% (A)|25%|100%|", "7|1|0|1:00:00|100% (C)|100%|100%|"}))
        << "a second later every elapsed time has counted on, and the hour has moved";

    // The threshold: not heard for longer than it.
    F().SpinEditHealthThreshold->setValue(60);
    EXPECT_EQ(Rows()[1], "7|1|0|1:00:00|100% (C)|100%|100%|") << "exactly the threshold is not longer";
    At(11, 1, 1);
    EXPECT_EQ(Rows()[1], "7|1|0|1:00:01|100% (C)|100%|100%|не слышен");
    EXPECT_EQ(Model().index(1, 0).data(Qt::ForegroundRole).value<QBrush>().color(), ui::kHighlightColour);
    F().SpinEditHealthThreshold->setValue(61);
    EXPECT_EQ(Model().index(1, views::HealthTableModel::kMark).data().toString(), "")
        << "a new threshold redraws at once";
    At(13, 1, 1);
    EXPECT_EQ(Rows()[0], "3|4|0|2:00:51|100% (A)|25%|100%|не слышен");

    // A new connection starts afresh.
    Connect();
    F().PageControl->setCurrentWidget(F().TabSheetHealth);
    EXPECT_EQ(Rows(), QStringList{});
}

TEST_F(NetworkHealthPageTest, SortsByAnyColumnTheSelectionFollowingItsMeter) {
    At(10, 0);
    for (int meter : {5, 2, 9, 2, 9, 9}) {
        clock_.now = clock_.now.addSecs(10);
        Packet(meter, meter == 5 ? 0x24 : 0x21);
    }
    const auto meters = [this] {
        Rows();
        QString order;
        for (int r = 0; r < Model().rowCount(); ++r) {
            order += QString::number(Model().MeterOfRow(r));
        }
        return order;
    };
    EXPECT_EQ(meters(), "259");
    F().StringGridHealth->selectRow(0);  // meter 2

    const struct {
        int column;
        const char* order;  // after one click, then after a second click
        const char* reversed;
    } cases[] = {
        {views::HealthTableModel::kPackets, "529", "925"},
        {views::HealthTableModel::kElapsed, "925", "529"},  // 9 was heard last
        {views::HealthTableModel::kLevel, "295", "529"},    // ties by meter number both ways
        {views::HealthTableModel::kMeter, "259", "952"},
    };
    for (const auto& c : cases) {
        ClickHeader(c.column);
        EXPECT_EQ(meters(), c.order) << c.column;
        EXPECT_EQ(Model().MeterOfRow(F().StringGridHealth->currentIndex().row()), 2) << c.column;
        ClickHeader(c.column);
        EXPECT_EQ(meters(), c.reversed) << c.column;
        EXPECT_EQ(Model().MeterOfRow(F().StringGridHealth->currentIndex().row()), 2) << c.column;
    }
    // Sorted by elapsed time, a new packet moves its meter and the table stays sorted.
    ClickHeader(views::HealthTableModel::kElapsed);
    clock_.now = clock_.now.addSecs(10);
    Packet(5, 0x24);
    EXPECT_EQ(meters(), "592");
}

TEST_F(NetworkHealthPageTest, CopiesTheTableAsTheOtherTablesDo) {
    At(10, 0);
    Packet(3, 0x23);
    Rows();
    F().PageControl->setCurrentWidget(F().TabSheetNET);
    F().PageControl->setCurrentWidget(F().TabSheetHealth);
    EXPECT_TRUE(F().NMainEditToExcel->isEnabled());
    F().NMainEditToExcel->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(),
              "Сч.#\tПакетов\tЗа час\tПрошло\tУровень\tМин.\tМакс.\tОтметка\r\n"
              "3\t1\t1\t0:00:00\t75% (A)\t75%\t75%\t\r\n");
}

}  // namespace
}  // namespace lumvaris::testing
