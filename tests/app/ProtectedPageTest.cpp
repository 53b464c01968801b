// The "'Защищённые' команды" page and the clock group of the tests page: every button writes its
// frame (or refuses a text it cannot send), the replies fill the page, the access control opens
// exactly one protected command per accepted password, and the calendar shows the date sent.
#include <QCalendarWidget>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QSpinBox>

#include "WindowFixture.h"
#include "app/ProtectedPage.h"

namespace lumvaris::testing {
namespace {

using Frames = std::vector<std::string>;

class ProtectedPageTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        Connect();
        F().PageControl->setCurrentWidget(F().TabSheetSystemProtected);
    }
    void ChooseDate(const QDate& date, int hour, int minute) {
        F().SpinEditYear->setValue(date.year());
        F().ComboBoxMonth->setCurrentIndex(date.month() - 1);
        F().Calendar->setSelectedDate(date);
        F().SpinEditHour->setValue(hour);
        F().SpinEditMin->setValue(minute);
    }
    bool SetButtonsEnabled() {
        const QList<QPushButton*> buttons = window_->Protected().ProtectedSetButtons();
        const auto enabled =
            std::count_if(buttons.begin(), buttons.end(), [](auto* b) { return b->isEnabled(); });
        EXPECT_TRUE(enabled == 0 || enabled == 4) << "the four set buttons move together";
        return enabled == 4;
    }
};

TEST_F(ProtectedPageTest, StartsOpenWithTodayInTheClockGroup) {
    EXPECT_FALSE(F().CheckBoxPasswordProtection->isChecked());
    EXPECT_FALSE(F().GroupBoxPassword->isVisibleTo(F().TabSheetSystemProtected));
    EXPECT_TRUE(SetButtonsEnabled());
    // The workstation's clock of the window.
    EXPECT_EQ(F().SpinEditYear->value(), 2026);
    EXPECT_EQ(F().ComboBoxMonth->currentIndex(), 11);
    EXPECT_EQ(F().Calendar->selectedDate(), QDate(2026, 12, 7));
}

TEST_F(ProtectedPageTest, EachButtonWritesItsFrameAndTextsThatCannotGoAreRefused) {
    const struct {
        const char* what;
        QAbstractButton* button;
        std::function<void()> setUp;
        Frames frames;
        const char* error = nullptr;  // the start of the message box's text
    } cases[] = {
        {"clock read", F().ButtonTimeGet, nullptr, {"to 2FFF: 81"}},
        {"clock set from the workstation, Monday 7 December 2026 10:00:00",
         F().ButtonTimeSet,
         nullptr,
         {"to 2FFF: 01 00 00 0A 00 06 0B 1A"}},
        {"clock set on Thursday 31 December 2099 23:59:58",
         F().ButtonTimeSet,
         [this] { clock_.now = QDateTime(QDate(2099, 12, 31), QTime(23, 59, 58)); },
         {"to 2FFF: 01 3A 3B 17 03 1E 0B 63"}},
        {"rate read", F().ButtonBDRget, nullptr, {"to 2FFF: 88"}},
        {"rate 9600",
         F().ButtonBDRset,
         [this] { F().ComboBoxBaudrateNew->setCurrentIndex(2); },
         {"to 2FFF: 08 02"}},
        {"rate 38400",
         F().ButtonBDRset,
         [this] { F().ComboBoxBaudrateNew->setCurrentIndex(0); },
         {"to 2FFF: 08 00"}},
        {"billing day read", F().ButtonBDAYget, nullptr, {"to 2FFF: 89"}},
        {"billing day -10",
         F().ButtonBDAYset,
         [this] { F().SpinEditBDAY->setValue(-10); },
         {"to 2FFF: 09 F6"}},
        {"billing day 10", F().ButtonBDAYset, [this] { F().SpinEditBDAY->setValue(10); }, {"to 2FFF: 09 0A"}},
        {"password sent in code page 1251",
         F().ButtonPasswordSend,
         [this] { F().EditPasswordOld->setText(QStringLiteral("Пароль")); },
         {"to 2FFF: 0B CF E0 F0 EE EB FC"}},
        {"an empty password is the type code alone",
         F().ButtonPasswordSend,
         [this] { F().EditPasswordOld->clear(); },
         {"to 2FFF: 0B"}},
        {"a new password",
         F().ButtonPasswordSet,
         [this] { F().EditPasswordNew->setText(QStringLiteral("новый")); },
         {"to 2FFF: 0A ED EE E2 FB E9"}},
        {"an empty new password lifts the limits",
         F().ButtonPasswordSet,
         [this] { F().EditPasswordNew->clear(); },
         {"to 2FFF: 0A"}},
        {"a current password of 255 characters",
         F().ButtonPasswordSend,
         [this] { F().EditPasswordOld->setText(QString(255, QLatin1Char('a'))); },
         {},
         "Текущий пароль не отправлен"},
        {"a new password with a character outside code page 1251",
         F().ButtonPasswordSet,
         [this] { F().EditPasswordNew->setText(QStringLiteral("pass中")); },
         {},
         "Новый пароль не отправлен"},
        {"the chosen date, Monday 1 January 2024 12:12",
         F().ButtonExtraTimeDate,
         [this] { ChooseDate(QDate(2024, 1, 1), 12, 12); },
         {"to 2FFF: 01 00 0C 0C 00 00 00 18"}},
        {"the year 2100 goes as year byte 0, on its own weekday (a Friday)",
         F().ButtonExtraTimeDate,
         [this] { ChooseDate(QDate(2100, 1, 1), 12, 12); },
         {"to 2FFF: 01 00 0C 0C 04 00 00 00"}},
        {"the last start", F().ButtonLastResetTimeDate, nullptr, {"to 2FFF: 75"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        messages_.errors.clear();
        if (c.setUp) {
            c.setUp();
        }
        Click(c.button);
        EXPECT_EQ(Written(), c.frames);
        if (c.error != nullptr) {
            ASSERT_EQ(messages_.errors.size(), 1);
            EXPECT_TRUE(messages_.errors[0].startsWith(QString::fromUtf8(c.error)))
                << messages_.errors[0].toStdString();
        } else {
            EXPECT_TRUE(messages_.errors.isEmpty())
                << messages_.errors.join(QStringLiteral("; ")).toStdString();
        }
    }
}

TEST_F(ProtectedPageTest, RepliesShowTheConcentratorsValues) {
    const QLocale locale = QLocale::system();
    // The concentrator 12 minutes 30 seconds ahead of the workstation's 10:00:00.
    Click(F().ButtonTimeGet);
    Reply("81 1E 0C 0A 00 06 0B 1A");
    EXPECT_EQ(F().EditDate->text(), locale.toString(QDate(2026, 12, 7), QLocale::ShortFormat));
    EXPECT_TRUE(F().EditTime->text().startsWith(QStringLiteral("10:12:30")))
        << F().EditTime->text().toStdString();
    EXPECT_EQ(F().LabelWD->text(), QStringLiteral("Понедельник"));
    EXPECT_EQ(F().LabelSecOffset->text(), QStringLiteral("откл. 750 с"));
    for (QWidget* w : {static_cast<QWidget*>(F().EditDate), static_cast<QWidget*>(F().EditTime),
                       static_cast<QWidget*>(F().LabelWD)}) {
        EXPECT_TRUE(Maroon(w)) << w->objectName().toStdString();
    }
    EXPECT_EQ(Status(), QStringLiteral(" OK"));
    timers_.Advance(1000);
    EXPECT_TRUE(F().EditTime->text().startsWith(QStringLiteral("10:12:30")))
        << "the refresh leaves it while maroon";

    // A year byte of 0 is the year 2000.
    Click(F().ButtonExtraTimeDate);
    Reply("81 00 0C 0C 05 00 00 00");
    EXPECT_EQ(F().EditDate->text(), locale.toString(QDate(2000, 1, 1), QLocale::ShortFormat));
    EXPECT_EQ(F().LabelWD->text(), QStringLiteral("Суббота"));

    Click(F().ButtonBDAYget);
    Reply("89 F6");
    EXPECT_EQ(F().SpinEditBDAY->value(), -10);
    EXPECT_TRUE(Maroon(F().SpinEditBDAY));

    // The last start fills the clock group of the tests page: 28 February 2025, 17:45.
    Click(F().ButtonLastResetTimeDate);
    Reply("75 05 2D 11 04 1B 01 19");
    EXPECT_EQ(F().SpinEditYear->value(), 2025);
    EXPECT_EQ(F().ComboBoxMonth->currentIndex(), 1);
    EXPECT_EQ(F().Calendar->selectedDate(), QDate(2025, 2, 28));
    EXPECT_EQ(F().SpinEditHour->value(), 17);
    EXPECT_EQ(F().SpinEditMin->value(), 45);
    EXPECT_EQ(Status(), QStringLiteral(" OK"));
}

TEST_F(ProtectedPageTest, TheLocalPortFollowsTheRateTheConcentratorReports) {
    F().ComboBoxBaudrateNew->setCurrentIndex(2);
    Click(F().ButtonBDRset);
    ASSERT_EQ(Written(), Frames{"to 2FFF: 08 02"});
    EXPECT_EQ(port_.Settings().baudRate, 38400) << "not before the concentrator answers";
    Reply("88 02");
    EXPECT_EQ(F().ComboBoxBaudrateNew->currentIndex(), 2);
    EXPECT_TRUE(Maroon(F().ComboBoxBaudrateNew));
    EXPECT_EQ(F().ComboBoxBaudRate->currentIndex(), 2);
    QCoreApplication::processEvents();  // the port reopens once the reply has been handled
    EXPECT_TRUE(port_.IsOpen());
    EXPECT_EQ(port_.Settings().baudRate, 9600);
}

TEST_F(ProtectedPageTest, OneAcceptedPasswordOpensOneProtectedCommand) {
    const std::string secret = "73 65 63 72 65 74";  // "secret"
    // Without access control no request locks anything.
    Click(F().ButtonTimeGet);
    EXPECT_TRUE(SetButtonsEnabled());

    F().EditPasswordOld->setText(QStringLiteral("old"));
    F().EditPasswordNew->setText(QStringLiteral("new"));
    F().CheckBoxPasswordProtection->setChecked(true);
    EXPECT_TRUE(F().GroupBoxPassword->isVisibleTo(F().TabSheetSystemProtected));
    EXPECT_FALSE(SetButtonsEnabled());
    EXPECT_TRUE(F().EditPasswordOld->text().isEmpty());
    EXPECT_TRUE(F().EditPasswordNew->text().isEmpty());

    F().EditPasswordOld->setText(QStringLiteral("secret"));
    Click(F().ButtonPasswordSend);
    EXPECT_EQ(Written(), Frames{"to 2FFF: 0B " + secret});
    EXPECT_FALSE(SetButtonsEnabled()) << "the password itself opens nothing";
    Reply("0B " + secret);
    EXPECT_TRUE(SetButtonsEnabled());
    EXPECT_EQ(Status(), QStringLiteral(" OK"));

    Click(F().ButtonTimeSet);
    EXPECT_EQ(Written().size(), 1u);
    EXPECT_FALSE(SetButtonsEnabled()) << "locked again right after the protected command";

    // Any other request uses the access up too.
    Click(F().ButtonPasswordSend);
    Reply("0B " + secret);
    ASSERT_TRUE(SetButtonsEnabled());
    Click(F().ButtonBDAYget);
    EXPECT_FALSE(SetButtonsEnabled());

    // The concentrator accepted another text than the field holds now.
    Click(F().ButtonPasswordSend);
    F().EditPasswordOld->setText(QStringLiteral("secreT"));
    Reply("0B " + secret);
    EXPECT_FALSE(SetButtonsEnabled());

    // A wrong password, and a protected command without one.
    Click(F().ButtonPasswordSend);
    Reply("40");
    EXPECT_EQ(messages_.errors, QStringList{QStringLiteral("Пароль неверный!")});
    EXPECT_EQ(Status(), QStringLiteral(" OK"));
    EXPECT_FALSE(SetButtonsEnabled());
    F().EditPasswordOld->setText(QStringLiteral("secret"));
    Click(F().ButtonPasswordSend);
    Reply("0B " + secret);
    Click(F().ButtonBDAYset);
    Reply("40");
    EXPECT_EQ(messages_.errors.last(), QStringLiteral("Команда недоступна, введите пароль!"));

    F().CheckBoxPasswordProtection->setChecked(false);
    EXPECT_FALSE(F().GroupBoxPassword->isVisibleTo(F().TabSheetSystemProtected));
    EXPECT_TRUE(SetButtonsEnabled());
    EXPECT_EQ(F().EditPasswordOld->text(), QStringLiteral("secret")) << "clearing the box keeps the edits";
}

TEST_F(ProtectedPageTest, TheCalendarAndTheYearAndMonthFieldsShowOneDate) {
    ChooseDate(QDate(2024, 1, 31), 8, 30);
    F().ComboBoxMonth->setCurrentIndex(1);
    EXPECT_EQ(F().Calendar->selectedDate(), QDate(2024, 2, 29)) << "the day held within February";
    F().SpinEditYear->setValue(2025);
    EXPECT_EQ(F().Calendar->selectedDate(), QDate(2025, 2, 28));

    // A day of the next page picked in the calendar moves the fields along; that date is sent.
    F().Calendar->setSelectedDate(QDate(2026, 1, 2));
    EXPECT_EQ(F().SpinEditYear->value(), 2026);
    EXPECT_EQ(F().ComboBoxMonth->currentIndex(), 0);
    Click(F().ButtonExtraTimeDate);
    EXPECT_EQ(Written(), Frames{"to 2FFF: 01 00 1E 08 04 01 00 1A"});  // Friday 2 January 2026 08:30
}

}  // namespace
}  // namespace lumvaris::testing
