// The traffic monitor in its window over the main window: the rows of what passes the link, the
// filters, the pause, the clear and the saved file.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QPushButton>

#include "WindowFixture.h"
#include "app/TFormLinkMonitor.h"
#include "monitor/TrafficModel.h"
#include "ui_FormLinkMonitor.h"
#include "views/TableText.h"

namespace lumvaris::testing {
namespace {

class LinkMonitorTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        Connect();
    }
    app::TFormLinkMonitor& Monitor() { return window_->LinkMonitor(); }
    Ui::TFormLinkMonitor& M() { return Monitor().Form(); }
    void Open() { F().NMainOptionsMonitor->trigger(); }
    void At(int ms) { clock_.now = QDateTime(QDate(2026, 12, 7), QTime(10, 0).addMSecs(ms)); }
    // Every row of the table, its cells joined by "|", after the monitor's next 100 ms.
    QStringList Rows() {
        timers_.Advance(app::TFormLinkMonitor::kPublishIntervalMs);
        QStringList rows;
        const monitor::TrafficModel& model = Monitor().Model();
        for (int r = 0; r < model.rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < model.columnCount(); ++c) {
                cells << model.index(r, c).data().toString();
            }
            rows << cells.join(QLatin1Char('|'));
        }
        return rows;
    }
    // A request, its reply, a meter packet, three garbage bytes and a frame with a bad checksum.
    void Traffic() {
        At(250);
        Click(F().ButtonAddress);
        At(400);
        Reply("86 FF 2F");
        At(500);
        Reply("40 34 12 01 D4 23", 0x1005);
        At(600);
        link::FrameBuffer bad{};
        link::FillHeader(bad, 0x2FFF, link::kWorkstationAddress, 2, 0x88);
        link::Payload(bad)[1] = 0x01;
        link::CompleteFrame(bad);
        bad[10] = 0x5A;  // the checksum is 0x88
        std::vector<std::uint8_t> bytes = Hex("00 13 FE");
        bytes.insert(bytes.end(), bad.begin(), bad.begin() + 11);
        port_.Feed(bytes);
        window_->Connection().TimerRXTimer();
    }
    static inline const QString kRequest = "10:00:00.250|→|FFFF|2FFF|1|86h AddressRead|86|";
    static inline const QString kReply = "10:00:00.400|←|2FFF|FFFF|3|86h AddressRead|86 FF 2F|";
    static inline const QString kPacket =
        "10:00:00.500|←|1005|FFFF|6|40h пакет счётчика 5|40 34 12 01 D4 23|";
    static inline const QString kGarbage = "10:00:00.600|←|||||00 13 FE|отброшено байт: 3";
    static inline const QString kBad =
        "10:00:00.600|←|2FFF|FFFF|2|88h UartRateRead|88 01|неверная КС: 5A вместо 88";
};

TEST_F(LinkMonitorTest, ShowsEveryFrameAndTheDroppedBytesFromTheFirstOpeningOn) {
    Click(F().ButtonAddress);
    Open();
    EXPECT_TRUE(M().StringGridMonitor->isVisible());
    EXPECT_EQ(Rows(), QStringList{}) << "nothing is recorded before the monitor first opens";

    Traffic();
    EXPECT_EQ(Rows(), (QStringList{kRequest, kReply, kPacket, kGarbage, kBad}));
    EXPECT_EQ(M().LabelMonitorCount->text(), "Строк: 5 из 5 записанных");

    // Closed, it goes on recording; opened again, it shows what came meanwhile.
    Monitor().close();
    At(700);
    Click(F().ButtonAddress);
    Open();
    EXPECT_EQ(Rows().size(), 6);
}

TEST_F(LinkMonitorTest, FiltersPauseAndClear) {
    Open();
    Traffic();
    const struct {
        const char* what;
        int direction;
        bool meterPackets;
        const char* types;
        QStringList rows;
    } cases[] = {
        {"sent", 1, true, "", {kRequest}},
        {"received", 2, true, "", {kReply, kPacket, kGarbage, kBad}},
        {"no meter packets", 0, false, "", {kRequest, kReply, kGarbage, kBad}},
        {"type 86", 0, true, "86", {kRequest, kReply}},
        {"types 40 and 88h", 0, true, "40, 88h", {kPacket, kBad}},
        {"everything again", 0, true, "", {kRequest, kReply, kPacket, kGarbage, kBad}},
    };
    for (const auto& c : cases) {
        M().ComboBoxMonitorDirection->setCurrentIndex(c.direction);
        M().CheckBoxMonitorMeterPackets->setChecked(c.meterPackets);
        M().EditMonitorTypes->setText(QString::fromUtf8(c.types));
        EXPECT_EQ(Rows(), c.rows) << c.what;
        EXPECT_FALSE(Maroon(M().EditMonitorTypes)) << c.what;
    }
    M().EditMonitorTypes->setText("86 8x");
    EXPECT_TRUE(Maroon(M().EditMonitorTypes)) << "a code that does not read";
    EXPECT_EQ(Rows(), (QStringList{kRequest, kReply})) << "the codes that read still filter";
    M().EditMonitorTypes->clear();

    QTest::mouseClick(M().ButtonMonitorPause, Qt::LeftButton);
    At(800);
    Click(F().ButtonAddress);
    EXPECT_EQ(Rows().size(), 5) << "paused: the table stands still";
    EXPECT_EQ(M().LabelMonitorCount->text(), "Строк: 5 из 6 записанных — пауза, запись идёт");
    QTest::mouseClick(M().ButtonMonitorPause, Qt::LeftButton);
    ASSERT_EQ(Rows().size(), 6);
    EXPECT_EQ(Rows().last(), "10:00:00.800|→|FFFF|2FFF|1|86h AddressRead|86|");

    QTest::mouseClick(M().ButtonMonitorClear, Qt::LeftButton);
    EXPECT_EQ(Rows(), QStringList{});
    Reply("86 FF 2F");
    EXPECT_EQ(Rows().size(), 1);
}

TEST_F(LinkMonitorTest, SavesTheRowsShownAsTabSeparatedLinesAndSaysWhenItCannot) {
    Open();
    Traffic();
    M().CheckBoxMonitorMeterPackets->setChecked(false);
    Rows();
    saveDialog_.path = dir_.path() + "/обмен.txt";
    QTest::mouseClick(M().ButtonMonitorSave, Qt::LeftButton);
    QFile file(saveDialog_.path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
    QStringList expected{
        "Время|Напр.|Источник|Получатель|N|Тип|Данные|Отметка", kRequest, kReply, kGarbage, kBad, ""};
    EXPECT_EQ(lines, expected.replaceInStrings("|", "\t"));
    EXPECT_TRUE(messages_.errors.isEmpty());

    saveDialog_.path = dir_.path() + "/no-such-folder/обмен.txt";
    QTest::mouseClick(M().ButtonMonitorSave, Qt::LeftButton);
    ASSERT_EQ(messages_.errors.size(), 1);
    EXPECT_TRUE(messages_.errors[0].startsWith("Не удалось сохранить файл " + saveDialog_.path))
        << messages_.errors[0].toStdString();

    saveDialog_.path.clear();  // cancelled
    QTest::mouseClick(M().ButtonMonitorSave, Qt::LeftButton);
    EXPECT_EQ(messages_.errors.size(), 1);
}

}  // namespace
}  // namespace lumvaris::testing
