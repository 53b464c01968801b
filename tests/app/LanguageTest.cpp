// The window in each language, as its user sees it: the program's own texts, and Qt's (the
// standard buttons of a question box, the file dialog with its overwrite question, a text field's
// context menu, the calendar's day names). Russian shows no English word, English no Russian one.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <memory>

#include "AppTestDoubles.h"
#include "app/Desktop.h"
#include "app/LanguageMenu.h"
#include "app/QtFileDialog.h"
#include "app/QtMessageBox.h"
#include "app/TFormMain.h"
#include "i18n/LanguageSetting.h"
#include "i18n/Translators.h"
#include "support/FakeSerialPort.h"
#include "ui_FormMain.h"

namespace lumvaris::testing {
namespace {

// Runs `handle` once on the next modal widget of type T: the box a click opens runs its own event
// loop, in which this timer goes on firing.
template <class T>
void WhenModal(std::function<void(T*)> handle) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, handle] {
        if (auto* widget = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            handle(widget);
        }
    });
    timer->start();
}

// Without the mnemonic's '&' and a menu action's shortcut after the tab.
QString Plain(QString text) {
    return text.remove(QLatin1Char('&')).section(QLatin1Char('\t'), 0, 0);
}

QStringList ButtonTexts(const QWidget* widget) {
    QStringList texts;
    for (const QAbstractButton* button : widget->findChildren<QAbstractButton*>()) {
        if (button->isVisible() && !button->text().isEmpty()) {
            texts << Plain(button->text());
        }
    }
    texts.sort();
    return texts;
}

// What a user reads in a window or dialog: labels, buttons, group titles, tabs, table headers, menus
// and tool tips; with `items`, the lists' entries too (a file dialog's are paths and file names).
// The languages' own names in "Язык" are no text of one language.
QStringList TextsIn(const QWidget& root, bool items) {
    QStringList texts{root.windowTitle()};
    for (const QWidget* widget : QList<const QWidget*>{&root} + root.findChildren<const QWidget*>()) {
        texts << widget->toolTip();
        if (auto* label = qobject_cast<const QLabel*>(widget)) {
            texts << label->text();
        } else if (auto* button = qobject_cast<const QAbstractButton*>(widget)) {
            texts << button->text();
        } else if (auto* group = qobject_cast<const QGroupBox*>(widget)) {
            texts << group->title();
        } else if (auto* tabs = qobject_cast<const QTabWidget*>(widget)) {
            for (int i = 0; i < tabs->count(); ++i) {
                texts << tabs->tabText(i);
            }
        } else if (auto* combo = qobject_cast<const QComboBox*>(widget); combo != nullptr && items) {
            for (int i = 0; i < combo->count(); ++i) {
                texts << combo->itemText(i);
            }
        } else if (auto* view = qobject_cast<const QAbstractItemView*>(widget); view && view->model()) {
            for (int column = 0; column < view->model()->columnCount(); ++column) {
                texts << view->model()->headerData(column, Qt::Horizontal).toString();
            }
        } else if (auto* menu = qobject_cast<const QMenu*>(widget)) {
            texts << menu->title();
            for (const QAction* action : menu->actions()) {
                if (action->data().isNull()) {
                    texts << Plain(action->text());
                }
            }
        }
    }
    texts.removeAll(QString());
    texts.removeDuplicates();
    return texts;
}

QStringList Matching(const QStringList& texts, const char* pattern) {
    return texts.filter(QRegularExpression(QString::fromUtf8(pattern)));
}
// An English word among texts meant to be Russian; "OK" is Russian usage too, and the version
// caption ("Lumvaris Rev.1.0") a name.
const char kEnglish[] = "(?!OK\\b|Lumvaris\\b|Rev\\b)\\b[A-Za-z]{2,}";
const char kRussian[] = "[\\x{0400}-\\x{04FF}]";

struct LanguageCase {
    const char* language;
    QStringList boxButtons;        // the memory test's question
    const char* boxTextStart;      // its text, the program's own
    QStringList overwriteButtons;  // the file dialog's "replace the file?"
    const char* captionPart;       // a text of the window's code
    const char* copyAction;        // a text field's context menu
    const char* monday;            // the calendar's day name
};

void PrintTo(const LanguageCase& c, std::ostream* os) {
    *os << c.language;
}

class WindowLanguageTest : public ::testing::TestWithParam<LanguageCase> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        translators_.Install(Language());
        app::MainWindowPlatform platform{
            port_, pause_, keys_, messageBox_, timers_, dir_.path() + "/", "Lumvaris Rev.1.0", {}, {}};
        platform.language = Language();
        window_ = std::make_unique<app::TFormMain>(platform);
        window_->show();
    }
    QString Language() const { return QString::fromLatin1(GetParam().language); }
    bool Russian() const { return Language() == QLatin1String("ru"); }
    Ui::TFormMain& F() { return window_->Form(); }

    QTemporaryDir dir_;
    i18n::Translators translators_;
    FakeSerialPort port_;
    FakePause pause_;
    FakeModifierKeys keys_;
    app::QtMessageBox messageBox_{QStringLiteral("Lumvaris Rev.1.0")};
    FakeTimerFactory timers_;
    std::unique_ptr<app::TFormMain> window_;
};

TEST_P(WindowLanguageTest, QtsOwnTextsAndTheProgramsSpeakTheLanguage) {
    const LanguageCase& c = GetParam();
    QStringList buttons;
    QString text;
    QStringList seen;
    WhenModal<QMessageBox>([&](QMessageBox* box) {
        buttons = ButtonTexts(box);
        text = box->text();
        seen << TextsIn(*box, true);
        box->reject();
    });
    F().ButtonSRAMtest->click();
    EXPECT_EQ(buttons, c.boxButtons);
    EXPECT_TRUE(text.startsWith(QString::fromUtf8(c.boxTextStart))) << text.toStdString();
    EXPECT_TRUE(port_.writes.empty()) << "cancelled: no memory test";

    // The export's dialog over an existing file: "replace it?" answered "No", then cancelled.
    const QString existing = dir_.filePath(QStringLiteral("readings.sqlite"));
    ASSERT_TRUE(QFile(existing).open(QIODevice::WriteOnly));
    QStringList overwrite;
    WhenModal<QFileDialog>([&](QFileDialog* dialog) {
        dialog->setDirectory(dir_.path());
        seen << TextsIn(*dialog, false);
        WhenModal<QMessageBox>([&](QMessageBox* box) {
            overwrite = ButtonTexts(box);
            box->button(QMessageBox::No)->click();
        });
        dialog->selectFile(existing);
        QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);  // as its Save button
        dialog->reject();
    });
    EXPECT_EQ(app::QtFileDialog::ExportFile().Execute(window_.get()), QString());
    EXPECT_EQ(overwrite, c.overwriteButtons);

    const std::unique_ptr<QMenu> menu(F().EditAddress->createStandardContextMenu());
    seen << TextsIn(*menu, true);
    EXPECT_TRUE(seen.contains(QString::fromUtf8(c.copyAction))) << seen.join(", ").toStdString();
    EXPECT_TRUE(window_->windowTitle().contains(QString::fromUtf8(c.captionPart)));
    EXPECT_EQ(F().Calendar->locale().dayName(1, QLocale::ShortFormat), QString::fromUtf8(c.monday));
    EXPECT_EQ(Matching(seen, Russian() ? kEnglish : kRussian), QStringList());
}

TEST_P(WindowLanguageTest, EnglishWindowHasNoRussianText) {
    if (Russian()) {
        GTEST_SKIP() << "the window has Latin names of its own (UART-ID, MAIN, PLC)";
    }
    EXPECT_EQ(Matching(TextsIn(*window_, true), kRussian), QStringList());
}

// The short commands' list names each command's DDDD at the end of its text ("... = 02/44"), and
// that is what choosing it fills in: a translation that moved or added a '/' would send another one.
TEST_P(WindowLanguageTest, ShortCommandPresetsFillTheSameCodes) {
    const char* const kCodes[] = {"00/00", "00/10", "00/20", "00/30", "01/00", "01/01",
                                  "02/40", "02/41", "02/42", "02/43", "02/44", "02/45",
                                  "02/46", "02/48", "02/49", "02/4F", "02/FE", "02/FF"};
    QComboBox* presets = F().ComboBoxFill;
    ASSERT_EQ(presets->count(), int(std::size(kCodes)));
    for (int i = 0; i < presets->count(); ++i) {
        emit presets->activated(i);
        EXPECT_EQ(F().EditDDLhex->text() + "/" + F().EditDDHhex->text(), kCodes[i])
            << presets->itemText(i).toStdString();
    }
}

TEST_P(WindowLanguageTest, LanguageChosenForTheNextStartIsSaidInThatLanguage) {
    const QString other = Russian() ? QStringLiteral("en") : QStringLiteral("ru");
    app::LanguageMenu& menu = window_->Language();
    EXPECT_TRUE(menu.Action(Language())->isChecked());
    EXPECT_EQ(menu.Action("ru")->text() + " " + menu.Action("en")->text(), "Русский English");

    QString notice;
    WhenModal<QMessageBox>([&](QMessageBox* box) {
        notice = box->text();
        box->accept();
    });
    menu.Action(other)->trigger();
    EXPECT_EQ(i18n::SavedLanguage(dir_.path() + "/"), other);
    EXPECT_TRUE(menu.Action(other)->isChecked());
    EXPECT_EQ(notice, Russian()
                          ? "The window will speak the new language from the next start of the program on."
                          : "Язык окна сменится при следующем запуске программы.");

    // Back to the running language: kept, and nothing to restart for.
    notice.clear();
    menu.Action(Language())->trigger();
    EXPECT_EQ(i18n::SavedLanguage(dir_.path() + "/"), Language());
    EXPECT_TRUE(notice.isEmpty());
}

// English first: a process speaks one language, and the few tables a library builds once (the
// traffic monitor's column names) keep the language of the first window.
const LanguageCase kLanguages[] = {
    {"en",
     {"Cancel", "OK"},
     "Attention! The concentrator memory test",
     {"No", "Yes"},
     "Meter #",
     "Copy",
     "Mon"},
    {"ru", {"OK", "Отмена"}, "Внимание! Проверка памяти", {"Да", "Нет"}, "Сч.#", "Копировать", "пн"},
};
INSTANTIATE_TEST_SUITE_P(Languages, WindowLanguageTest, ::testing::ValuesIn(kLanguages),
                         [](const auto& info) { return std::string(info.param.language); });

TEST(WindowLanguageSetting, UnwritableSettingIsSaidAndTheChoiceStays) {
    QTemporaryDir dir;
    // A directory where the settings file would be: it cannot be written.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Lumvaris.ini")));
    QMenu options;
    FakeMessageBox messages;
    app::LanguageMenu menu(options, dir.path() + "/", QStringLiteral("ru"), messages, nullptr);
    menu.Action("en")->trigger();
    EXPECT_EQ(messages.errors.value(0).left(16), "Язык не сохранён");
    EXPECT_TRUE(messages.notices.isEmpty());
    EXPECT_TRUE(menu.Action("ru")->isChecked());
}

TEST(HelpDocument, TheManualOfTheWindowsLanguageBeforeTheRussianHelpFile) {
    QTemporaryDir dir;
    const QString bin = dir.filePath(QStringLiteral("bin/"));
    const QString english = dir.filePath(QStringLiteral("share/doc/lumvaris/manual/en/index.html"));
    for (const QString& path : {bin + "Lumvaris.chm", english}) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
        ASSERT_TRUE(QFile(path).open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(app::HelpDocument(bin, "ru"), QFileInfo(bin + "Lumvaris.chm").absoluteFilePath());
    EXPECT_EQ(app::HelpDocument(bin, "en"), QFileInfo(english).absoluteFilePath());
    // A language without a manual of its own gets the Russian help.
    EXPECT_EQ(app::HelpDocument(bin, "zh"), QFileInfo(bin + "Lumvaris.chm").absoluteFilePath());
}

}  // namespace
}  // namespace lumvaris::testing
