// The service pages "Калибровка часов" and "Тесты" and the "Состояние линии" tab: every button
// writes its frame, the memory test asks first, the replies fill the pages, the automatic line-state
// reading runs only on its own tab and never stacks requests, and the picture copy is the group.
#include <QCategoryAxis>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineSeries>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTableWidget>
#include <QValueAxis>

#include "WindowFixture.h"
#include "app/LineStatePage.h"
#include "app/ProtectedPage.h"
#include "app/ServicePage.h"

namespace lumvaris::testing {
namespace {

using Frames = std::vector<std::string>;

class ServicePagesTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        Connect();
    }
    void ShowServicePage(QWidget* page) {
        window_->SetTabVisible(F().TabSheetService, true);
        F().PageControl->setCurrentWidget(F().TabSheetService);
        F().PageControlService->setCurrentWidget(page);
    }
    void ShowLineState() { F().PageControl->setCurrentWidget(F().TabSheetLineState); }
    // A line-state reply: level 40 + 10 * phase + 3 * k at 20 + 5k kHz, then the corrections.
    static std::string LineStateReply(int correction0, int correction1, int correction2) {
        std::string hex = "87";
        const int corrections[3] = {correction0, correction1, correction2};
        for (int g = 0; g < 3; ++g) {
            for (int k = 0; k < 16; ++k) {
                const int v = 40 + 10 * g + 3 * k + (g == 2 && k == 15 ? 1000 : 0);
                hex += QString::asprintf(" %02X %02X", v & 0xFF, v >> 8).toStdString();
            }
            hex += QString::asprintf(" %02X %02X", corrections[g] & 0xFF, corrections[g] >> 8).toStdString();
        }
        return hex;
    }
    QString Cell(int row, int column) { return F().StringGridLineState->item(row, column)->text(); }
};

TEST_F(ServicePagesTest, EachButtonWritesItsFrameInEachCaptionMode) {
    const Qt::KeyboardModifiers none = Qt::NoModifier;
    const struct {
        const char* what;
        QWidget* page;
        QAbstractButton* button;
        Qt::KeyboardModifiers keys;
        std::function<void()> setUp;
        Frames frames;
    } cases[] = {
        {"trim read", F().TabSheetRTC, F().ButtonRTC, none, nullptr, {"to 2FFF: 84"}},
        {"trim write -60 ppm",
         F().TabSheetRTC,
         F().ButtonRTC,
         Qt::ControlModifier,
         [this] { F().SpinEditRTCppm->setValue(-60); },
         {"to 2FFF: 04 C4"}},
        {"trim write 120 ppm",
         F().TabSheetRTC,
         F().ButtonRTC,
         Qt::ControlModifier,
         [this] { F().SpinEditRTCppm->setValue(120); },
         {"to 2FFF: 04 78"}},
        {"Shift leaves the read caption",
         F().TabSheetRTC,
         F().ButtonRTC,
         Qt::ShiftModifier,
         nullptr,
         {"to 2FFF: 84"}},
        {"restart, without a question", F().TabSheetTest, F().ButtonReset, none, nullptr, {"to 2FFF: 76"}},
        {"registers 0012.00F0, 3 words",
         F().TabSheetTest,
         F().ButtonGetReg,
         none,
         [this] {
             F().EditPage->setText(QStringLiteral("0012"));
             F().EditOffset->setText(QStringLiteral("00F0"));
             F().SpinEditWrdLen->setValue(3);
         },
         {"to 2FFF: 77 12 00 F0 00 03"}},
        {"registers: the lenient hex parse, 16 bits, 127 words",
         F().TabSheetTest,
         F().ButtonGetReg,
         none,
         [this] {
             F().EditPage->setText(QStringLiteral("12345"));
             F().EditOffset->setText(QStringLiteral("x1"));
             F().SpinEditWrdLen->setValue(127);
         },
         {"to 2FFF: 77 45 23 01 00 7F"}},
        {"line state", F().TabSheetLineState, F().ButtonGetLineState, none, nullptr, {"to 2FFF: 87"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Hold(Qt::NoModifier);
        if (c.page == F().TabSheetLineState) {
            ShowLineState();
        } else {
            ShowServicePage(c.page);
        }
        if (c.setUp) {
            c.setUp();
        }
        Click(c.button, c.keys);
        EXPECT_EQ(Written(), c.frames);
    }
    EXPECT_TRUE(messages_.errors.isEmpty());
}

TEST_F(ServicePagesTest, TheMemoryTestGoesOnlyAfterOkInItsWarning) {
    ShowServicePage(F().TabSheetTest);
    for (const bool ok : {false, true}) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        messages_.answer = ok;
        messages_.questions.clear();
        Click(F().ButtonSRAMtest);
        EXPECT_EQ(
            messages_.questions,
            QStringList{QStringLiteral("Внимание! Проверка памяти концентратора\r\nзанимает продолжительное "
                                       "время\r\nи приводит к полному уничтожению всех\r\nнакопленных "
                                       "данных! Продолжить?")});
        EXPECT_EQ(Written(), ok ? Frames{"to 2FFF: 79"} : Frames{});
    }
    Reply("79 00 08 FF FF 00 00");
    EXPECT_EQ(Status(), QStringLiteral(" Memory pages total: 2048, memory test OK"));
}

TEST_F(ServicePagesTest, RepliesFillTheServicePages) {
    ShowServicePage(F().TabSheetRTC);
    Click(F().ButtonRTC);
    Reply("84 C4");
    EXPECT_EQ(F().SpinEditRTCppm->value(), -60);
    for (QWidget* w : {static_cast<QWidget*>(F().SpinEditRTCppm), static_cast<QWidget*>(F().Label20),
                       static_cast<QWidget*>(F().Label24)}) {
        EXPECT_TRUE(Maroon(w)) << w->objectName().toStdString();
    }

    ShowServicePage(F().TabSheetTest);
    F().MemoReg->setPlainText(QStringLiteral("old lines"));
    F().EditPage->setText(QStringLiteral("0012"));
    F().EditOffset->setText(QStringLiteral("00F0"));
    F().SpinEditWrdLen->setValue(3);
    Click(F().ButtonGetReg);
    Reply("77 34 12 00 00 FF FF");
    EXPECT_EQ(F().MemoReg->toPlainText(),
              QStringLiteral("0012.00F0: 1234\n0012.00F1: 0000\n0012.00F2: FFFF"));
    EXPECT_EQ(Status(), QStringLiteral(" OK"));

    Click(F().ButtonReset);
    Reply("76");
    EXPECT_EQ(Status(), QStringLiteral(" Ошибка!")) << "a restart's reply has no rule";
}

TEST_F(ServicePagesTest, TheLineStateReplyFillsTheGridAndTheThreeLines) {
    ShowLineState();
    Click(F().ButtonGetLineState);
    Reply(LineStateReply(256, 255, 0));
    EXPECT_EQ(Status(), QStringLiteral(" OK"));
    const struct {
        int row, column;
        const char* text;
    } cells[] = {{0, 0, "20 kHz"}, {15, 0, "95 kHz"}, {16, 0, "Corr."}, {0, 1, "40"},
                 {15, 1, "85"},    {0, 2, "50"},      {5, 3, "75"},     {15, 3, "1105"},
                 {16, 1, "100%"},  {16, 2, "99%"},    {16, 3, "0%"}};
    for (const auto& c : cells) {
        EXPECT_EQ(Cell(c.row, c.column), QString::fromUtf8(c.text))
            << "row " << c.row << " column " << c.column;
    }
    const app::LineStateView& view = window_->LineStateTab().View();
    const QColor colours[3] = {Qt::red, Qt::green, Qt::blue};
    for (int phase = 0; phase < 3; ++phase) {
        SCOPED_TRACE(phase);
        const QLineSeries* series = view.Series(phase);
        EXPECT_EQ(series->color(), colours[phase]);
        ASSERT_EQ(series->count(), 16);
        for (int r = 0; r < 16; ++r) {
            EXPECT_EQ(series->at(r).x(), r);
            EXPECT_EQ(series->at(r), QPointF(r, Cell(r, phase + 1).toInt()));
        }
    }
    EXPECT_EQ(view.AxisX()->categoriesLabels().first(), QStringLiteral("20 kHz"));
    EXPECT_EQ(view.AxisX()->categoriesLabels().last(), QStringLiteral("95 kHz"));
    EXPECT_GE(view.AxisY()->max(), 1105) << "the highest level stays on the chart";

    // The next reply replaces the points rather than adding to them.
    Click(F().ButtonGetLineState);
    Reply(LineStateReply(0, 0, 0));
    EXPECT_EQ(view.Series(0)->count(), 16);
    EXPECT_EQ(Cell(16, 1), QStringLiteral("0%"));
}

TEST_F(ServicePagesTest, TheAxisTopsAreRoundAndHoldTheHighestLevel) {
    const struct {
        int highest, top;
    } cases[] = {{0, 100}, {100, 100}, {101, 250}, {760, 1000}, {1001, 2500}, {65535, 100000}};
    for (const auto& c : cases) {
        EXPECT_EQ(app::LineStateView::AxisTop(c.highest), c.top) << c.highest;
    }
}

TEST_F(ServicePagesTest, TheAutomaticReadingRunsOnItsOwnTabAndNeverStacksRequests) {
    ShowLineState();
    FakeTimer* timer = timers_.Find("TimerGetAutoFr");
    ASSERT_NE(timer, nullptr);
    EXPECT_FALSE(timer->IsActive());
    F().CheckBoxGetAutoFr->setChecked(true);
    EXPECT_TRUE(timer->IsActive());
    const auto tick = [this] {
        port_.writes.clear();
        timers_.Advance(app::LineStatePage::kAutoIntervalMs);
        return Written();
    };
    EXPECT_EQ(tick(), Frames{"to 2FFF: 87"});
    Reply(LineStateReply(256, 256, 256));
    EXPECT_EQ(tick(), Frames{"to 2FFF: 87"});
    Reply(LineStateReply(256, 256, 256));

    F().PageControl->setCurrentWidget(F().TabSheetSystemProtected);
    EXPECT_EQ(tick(), Frames{});
    EXPECT_EQ(tick(), Frames{});
    ShowLineState();
    EXPECT_EQ(tick(), Frames{"to 2FFF: 87"}) << "resumes at the next tick";
    Reply(LineStateReply(256, 256, 256));

    // Another request's reply is awaited: the ticks meanwhile send nothing.
    timers_.Advance(500);  // half-way between two ticks
    window_->Protected().ButtonTimeGetClick();
    EXPECT_EQ(tick(), Frames{});
    Reply("81 00 00 0A 00 06 0B 1A");
    EXPECT_EQ(tick(), Frames{"to 2FFF: 87"});
    Reply(LineStateReply(256, 256, 256));
    // One that is never answered holds the reading until its 2 s timeout.
    window_->Protected().ButtonTimeGetClick();
    EXPECT_EQ(tick(), Frames{});
    EXPECT_EQ(tick(), Frames{});
    EXPECT_EQ(tick(), Frames{"to 2FFF: 87"});

    F().CheckBoxGetAutoFr->setChecked(false);
    EXPECT_FALSE(timer->IsActive());
    EXPECT_EQ(tick(), Frames{});
    EXPECT_TRUE(messages_.errors.isEmpty());
}

TEST_F(ServicePagesTest, TheCopiedPictureIsTheLineStateGroup) {
    ShowLineState();
    Click(F().ButtonGetLineState);
    Reply(LineStateReply(256, 256, 256));
    Click(F().SpeedButtonCopy);
    const QImage picture = QGuiApplication::clipboard()->image();
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), F().GroupBoxLine->size() * F().GroupBoxLine->devicePixelRatio());
    // Not blank: the three lines are in it.
    bool red = false, green = false, blue = false;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QColor p = picture.pixelColor(x, y);
            red = red || (p.red() > 200 && p.green() < 80 && p.blue() < 80);
            green = green || (p.green() > 200 && p.red() < 80 && p.blue() < 80);
            blue = blue || (p.blue() > 200 && p.red() < 80 && p.green() < 80);
        }
    }
    EXPECT_TRUE(red && green && blue) << "red " << red << " green " << green << " blue " << blue;
}

}  // namespace
}  // namespace lumvaris::testing
