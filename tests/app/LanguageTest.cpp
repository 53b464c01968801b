// The window in each language, as its user sees it: the program's own texts, and Qt's (the
// standard buttons of a question box, the file dialog with its overwrite question, a text field's
// context menu, the calendar's day names). Russian must show no English word, English the
// program's English.

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
#include <QTreeView>

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

QString Plain(QString text) {
    text.remove(QLatin1Char('&'));
    return text.section(QLatin1Char('\t'), 0, 0);  // the shortcut after a menu action's text
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

// Every text of a dialog that speaks the user's language: labels, buttons, tool tips and the
// file list's column names; not the file names and paths it shows.
QStringList DialogTexts(const QWidget* dialog) {
    QStringList texts;
    for (const QLabel* label : dialog->findChildren<QLabel*>()) {
        if (label->isVisible()) {
            texts << Plain(label->text());
        }
    }
    for (const QWidget* widget : dialog->findChildren<QWidget*>()) {
        if (widget->isVisible()) {
            texts << widget->toolTip();
        }
    }
    texts << ButtonTexts(dialog);
    for (const QTreeView* view : dialog->findChildren<QTreeView*>()) {
        for (int column = 0; view->model() != nullptr && column < view->model()->columnCount(); ++column) {
            if (!view->header()->isSectionHidden(column)) {
                texts << view->model()->headerData(column, Qt::Horizontal).toString();
            }
        }
    }
    texts.removeAll(QString());
    return texts;
}

// The English words among texts meant to be Russian ("OK" is Russian usage too).
QStringList EnglishIn(const QStringList& texts) {
    static const QRegularExpression kWord(QStringLiteral("[A-Za-z]{2,}"));
    QStringList english;
    for (const QString& text : texts) {
        for (auto it = kWord.globalMatch(text); it.hasNext();) {
            const QString word = it.next().captured();
            if (word != QLatin1String("OK")) {
                english << text;
                break;
            }
        }
    }
    return english;
}

struct LanguageCase {
    const char* language;
    QStringList boxButtons;        // the memory test's question
    const char* boxTextStart;      // its text, the program's own
    QStringList overwriteButtons;  // the file dialog's "replace the file?"
    const char* optionsMenu;       // a text of the forms
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
        translators_.Install(QString::fromLatin1(GetParam().language));
        app::MainWindowPlatform platform{port_,
                                         pause_,
                                         keys_,
                                         messageBox_,
                                         timers_,
                                         dir_.path() + QStringLiteral("/"),
                                         QStringLiteral("Lumvaris Rev.1.0"),
                                         {},
                                         [](const QString&) { return QStringList(); }};
        platform.language = QString::fromLatin1(GetParam().language);
        window_ = std::make_unique<app::TFormMain>(platform);
        window_->show();
    }
    void TearDown() override { window_.reset(); }

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

TEST_P(WindowLanguageTest, QuestionBoxAndTheWindowSpeakTheLanguage) {
    const LanguageCase& c = GetParam();
    QStringList buttons;
    QString text;
    QStringList texts;
    WhenModal<QMessageBox>([&](QMessageBox* box) {
        buttons = ButtonTexts(box);
        text = box->text();
        texts = DialogTexts(box);
        box->reject();
    });
    F().ButtonSRAMtest->click();
    EXPECT_EQ(buttons, c.boxButtons);
    EXPECT_TRUE(text.startsWith(QString::fromUtf8(c.boxTextStart))) << text.toStdString();
    EXPECT_TRUE(port_.writes.empty()) << "cancelled: no memory test";

    EXPECT_EQ(F().NMainOptions->title(), QString::fromUtf8(c.optionsMenu));
    EXPECT_TRUE(window_->windowTitle().contains(QString::fromUtf8(c.captionPart)))
        << window_->windowTitle().toStdString();
    const std::unique_ptr<QMenu> menu(F().EditAddress->createStandardContextMenu());
    QStringList actions;
    for (const QAction* action : menu->actions()) {
        actions << Plain(action->text());
    }
    EXPECT_TRUE(actions.contains(QString::fromUtf8(c.copyAction))) << actions.join(", ").toStdString();
    EXPECT_EQ(F().Calendar->locale().dayName(1, QLocale::ShortFormat), QString::fromUtf8(c.monday));
    if (QLatin1String(c.language) == QLatin1String("ru")) {
        EXPECT_EQ(EnglishIn(texts + actions), QStringList());
    }
}

TEST_P(WindowLanguageTest, FileDialogAndItsOverwriteQuestion) {
    const LanguageCase& c = GetParam();
    const QString existing = dir_.filePath(QStringLiteral("readings.sqlite"));
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    app::QtFileDialog dialog = app::QtFileDialog::ExportFile();
    QStringList dialogTexts;
    QStringList overwrite;
    WhenModal<QFileDialog>([&](QFileDialog* fileDialog) {
        fileDialog->setDirectory(dir_.path());
        dialogTexts = DialogTexts(fileDialog);
        WhenModal<QMessageBox>([&](QMessageBox* box) {
            overwrite = ButtonTexts(box);
            box->button(QMessageBox::No)->click();
        });
        fileDialog->selectFile(existing);
        // As the Save button does: asks first, and stays open on "No".
        QMetaObject::invokeMethod(fileDialog, "accept", Qt::DirectConnection);
        fileDialog->reject();
    });
    EXPECT_EQ(dialog.Execute(window_.get()), QString()) << "refused to replace, then cancelled";
    EXPECT_EQ(overwrite, c.overwriteButtons);
    ASSERT_FALSE(dialogTexts.isEmpty());
    if (QLatin1String(c.language) == QLatin1String("ru")) {
        EXPECT_EQ(EnglishIn(dialogTexts), QStringList());
    } else {
        EXPECT_TRUE(dialogTexts.contains(QStringLiteral("Cancel"))) << dialogTexts.join(", ").toStdString();
    }
}

TEST_P(WindowLanguageTest, LanguageChosenForTheNextStart) {
    const QString running = QString::fromLatin1(GetParam().language);
    const QString other = running == QLatin1String("ru") ? QStringLiteral("en") : QStringLiteral("ru");
    app::LanguageMenu& menu = window_->Language();
    ASSERT_NE(menu.Action(running), nullptr);
    EXPECT_TRUE(menu.Action(running)->isChecked());
    EXPECT_EQ(menu.Action(QStringLiteral("ru"))->text(), QStringLiteral("Русский"));
    EXPECT_EQ(menu.Action(QStringLiteral("en"))->text(), QStringLiteral("English"));

    QString notice;
    QStringList buttons;
    WhenModal<QMessageBox>([&](QMessageBox* box) {
        notice = box->text();
        buttons = ButtonTexts(box);
        box->accept();
    });
    menu.Action(other)->trigger();
    EXPECT_EQ(i18n::SavedLanguage(dir_.path() + QStringLiteral("/")), other);
    EXPECT_TRUE(menu.Action(other)->isChecked());
    // Said in the language chosen, which the user reads; the box itself is still the running one's.
    EXPECT_EQ(
        notice,
        other == QLatin1String("en")
            ? QStringLiteral("The window will speak the new language from the next start of the program on.")
            : QStringLiteral("Язык окна сменится при следующем запуске программы."));
    EXPECT_EQ(buttons, QStringList{QStringLiteral("OK")});

    // Back to the running language: kept, and nothing to restart for.
    notice.clear();
    menu.Action(running)->trigger();
    EXPECT_EQ(i18n::SavedLanguage(dir_.path() + QStringLiteral("/")), running);
    EXPECT_TRUE(notice.isEmpty());
}

// The short commands' list names each command's DDDD at the end of its text ("... = 02/44"), and
// that is what choosing it fills in: a translation that moved or added a '/' would send another command.
TEST_P(WindowLanguageTest, ShortCommandPresetsFillTheSameCodes) {
    const char* const kCodes[] = {"00/00", "00/10", "00/20", "00/30", "01/00", "01/01",
                                  "02/40", "02/41", "02/42", "02/43", "02/44", "02/45",
                                  "02/46", "02/48", "02/49", "02/4F", "02/FE", "02/FF"};
    QComboBox* presets = F().ComboBoxFill;
    ASSERT_EQ(presets->count(), int(std::size(kCodes)));
    for (int i = 0; i < presets->count(); ++i) {
        SCOPED_TRACE(presets->itemText(i).toStdString());
        presets->setCurrentIndex(i);
        emit presets->activated(i);
        EXPECT_EQ((F().EditDDLhex->text() + QLatin1Char('/') + F().EditDDHhex->text()).toStdString(),
                  kCodes[i]);
    }
}

// Every text the window shows at its start, menus and tables included: what an engineer who reads
// no Russian would be left with. The languages' own names in "Язык" are the one exception.
QStringList RussianInWindow(QWidget& window) {
    static const QRegularExpression kCyrillic(QStringLiteral("[\\x{0400}-\\x{04FF}]"));
    QStringList texts{window.windowTitle()};
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        const QString name = widget->objectName() + QStringLiteral(": ");
        texts << name + widget->toolTip();
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            texts << name + label->text();
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            texts << name + button->text();
        } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
            texts << name + group->title();
        } else if (auto* tabs = qobject_cast<QTabWidget*>(widget)) {
            for (int i = 0; i < tabs->count(); ++i) {
                texts << name + tabs->tabText(i);
            }
        } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            for (int i = 0; i < combo->count(); ++i) {
                texts << name + combo->itemText(i);
            }
        } else if (auto* view = qobject_cast<QAbstractItemView*>(widget); view != nullptr && view->model()) {
            for (int column = 0; column < view->model()->columnCount(); ++column) {
                texts << name + view->model()->headerData(column, Qt::Horizontal).toString();
            }
        } else if (auto* menu = qobject_cast<QMenu*>(widget)) {
            texts << name + menu->title();
            for (const QAction* action : menu->actions()) {
                if (action->data().toString() != QLatin1String("ru")) {
                    texts << name + action->text();
                }
            }
        }
    }
    QStringList russian;
    for (const QString& text : texts) {
        if (text.contains(kCyrillic)) {
            russian << text;
        }
    }
    russian.removeDuplicates();
    return russian;
}

TEST_P(WindowLanguageTest, EnglishWindowHasNoRussianText) {
    if (QLatin1String(GetParam().language) != QLatin1String("en")) {
        GTEST_SKIP() << "Russian is the sources' language";
    }
    EXPECT_EQ(RussianInWindow(*window_), QStringList());
}

const LanguageCase kLanguages[] = {
    {"ru",
     {"OK", "Отмена"},
     "Внимание! Проверка памяти",
     {"Да", "Нет"},
     "Настройки",
     "Сч.#",
     "Копировать",
     "пн"},
    {"en",
     {"Cancel", "OK"},
     "Attention! The concentrator memory test",
     {"No", "Yes"},
     "Settings",
     "Meter #",
     "Copy",
     "Mon"},
};

INSTANTIATE_TEST_SUITE_P(Languages, WindowLanguageTest, ::testing::ValuesIn(kLanguages),
                         [](const ::testing::TestParamInfo<LanguageCase>& info) {
                             return std::string(info.param.language);
                         });

TEST(WindowLanguageSetting, UnwritableSettingIsSaidAndTheChoiceStays) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A directory where the settings file would be: it cannot be written.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Lumvaris.ini")));
    QMenu options;
    FakeMessageBox messages;
    app::LanguageMenu menu(options, dir.path() + QStringLiteral("/"), QStringLiteral("ru"), messages,
                           nullptr);
    menu.Action(QStringLiteral("en"))->trigger();
    ASSERT_EQ(messages.errors.size(), 1);
    EXPECT_TRUE(messages.errors[0].contains(QStringLiteral("Язык не сохранён")))
        << messages.errors[0].toStdString();
    EXPECT_TRUE(messages.notices.isEmpty());
    EXPECT_TRUE(menu.Action(QStringLiteral("ru"))->isChecked());
}

TEST(HelpDocument, TheManualOfTheWindowsLanguage) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QDir root(dir.path());
    const QString bin = dir.filePath(QStringLiteral("bin/"));
    const QString installed = dir.filePath(QStringLiteral("share/doc/lumvaris/manual/"));
    const auto make = [&](const QString& path) {
        ASSERT_TRUE(root.mkpath(QFileInfo(path).path()));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    };
    make(installed + QStringLiteral("index.html"));
    make(installed + QStringLiteral("en/index.html"));
    make(bin + QStringLiteral("Lumvaris.chm"));
    ASSERT_TRUE(root.mkpath(QStringLiteral("bin")));
    const struct {
        const char* language;
        QString opened;
    } cases[] = {
        {"ru", bin + QStringLiteral("Lumvaris.chm")},
        // The Russian help file is no help to a user of English.
        {"en", installed + QStringLiteral("en/index.html")},
        // A language without a manual of its own gets the Russian help.
        {"zh", bin + QStringLiteral("Lumvaris.chm")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(app::HelpDocument(bin, QString::fromLatin1(c.language)),
                  QFileInfo(c.opened).absoluteFilePath())
            << c.language;
    }
}

}  // namespace
}  // namespace lumvaris::testing
