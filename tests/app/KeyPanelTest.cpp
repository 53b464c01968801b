// The key panel and the computation window under driven timers: the panel follows its box, the
// key field's two keys, the fingerprint, and a key set by name (stored, empty, new, cancelled,
// refused), with the KeyWrite frame held against libgcrypt's GOST R 34.11-94 as the oracle.

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStringEncoder>

#include <array>
#include <cstring>
#include <functional>
#include <set>
#include <vector>

#include "WindowFixture.h"
#include "support/GostReference.h"
#include "app/KeyPanel.h"
#include "ui_FormHashCalculate.h"

namespace lumvaris::testing {
namespace {

using Frames = std::vector<std::string>;

QByteArray Cp1251(const QString& text) {
    QStringEncoder encode("windows-1251");
    return encode(text);
}

std::string HexOf(const std::uint8_t* bytes, std::size_t count) {
    return ToHex(std::vector<std::uint8_t>(bytes, bytes + count));
}

// The oracle's chain as the 64 hex digits of each element.
std::vector<QString> ReferenceChain(const QByteArray& bytes) {
    std::vector<QString> chain;
    for (const auto& key : ReferenceKeyChain(bytes)) {
        chain.push_back(QString::fromStdString(HexOf(key.data(), key.size())).remove(QLatin1Char(' ')));
    }
    return chain;
}

// "0D" and the key's 32 bytes, as the frames are written: the 64 digits in pairs.
std::string KeyWrite(const QString& digits) {
    std::string frame = "to 2FFF: 0D";
    for (int i = 0; i + 1 < digits.size(); i += 2) {
        frame += ' ' + digits.mid(i, 2).toStdString();
    }
    return frame;
}

const QString kStoredEntry = QStringLiteral(
    "ab cd ef 01 23 45 67 89 ab cd ef 01 23 45 67 89 ab cd ef 01 23 45 67 89 ab cd ef 01 23 45 67 89");

// The concentrator's answer to KeyWrite: N = 33, the key not repeated.
const std::string kKeyWriteReply = [] {
    std::string reply = "0D";
    for (int i = 0; i < 32; ++i) {
        reply += " 00";
    }
    return reply;
}();

class KeyPanelTest : public WindowTest {
  protected:
    void SetUp() override {
        // The key file the window lists at start: a comment, another section, a lower-case entry
        // with blanks around its parts.
        keysSection_ = Cp1251(QStringLiteral("; объект 7\r\n[Keys]\r\n  КЛЮЧ 7  =  ") + kStoredEntry +
                              QStringLiteral("  \r\n"));
        otherSection_ = Cp1251(QStringLiteral("[Other]\r\nX=1\r\nAlpha=00\r\n"));
        keyFile_ = keysSection_ + otherSection_;
        QFile file(KeyFilePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(keyFile_), keyFile_.size());
        file.close();
        WindowTest::SetUp();
        Connect();
        F().CheckBoxUseCrypto->setChecked(true);
    }

    QString KeyFilePath() const { return dir_.filePath(QStringLiteral("Keys.ini")); }
    QByteArray KeyFileBytes() const {
        QFile file(KeyFilePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QStringList ListedKeys() {
        QStringList names;
        for (int i = 0; i < F().ComboBoxKey->count(); ++i) {
            names << F().ComboBoxKey->itemText(i);
        }
        return names;
    }
    QLineEdit* KeyField() { return F().ComboBoxKey->lineEdit(); }
    void SetKey(const QString& text) {
        port_.writes.clear();
        F().ComboBoxKey->setEditText(text);
        QTest::mouseClick(F().ButtonSetKey, Qt::LeftButton);
    }
    Ui::TFormHashCalculate& H() { return hash_.Form(); }
    int Progress() { return H().ProgressBar->value(); }
    QString LabelHash() { return H().LabelHash->text(); }
    // TimerStart and the settling pause: the window then closes or starts deriving.
    void Settle() {
        shownAt_ = timers_.Now();
        timers_.Advance(1099);
        ASSERT_TRUE(hash_.isVisible());
        ASSERT_TRUE(timers_.FireNext("TimerPause"));
        ASSERT_EQ(timers_.Now(), shownAt_ + 1100);
    }
    bool Stepping() {
        return timers_.Find("TimerStart")->IsActive() || timers_.Find("TimerStep")->IsActive() ||
               timers_.Find("TimerPause")->IsActive();
    }

    long long shownAt_ = 0;
    QByteArray keysSection_;
    QByteArray otherSection_;
    QByteArray keyFile_;
};

TEST_F(KeyPanelTest, ThePanelFollowsItsBoxAndListsTheKeyFile) {
    F().CheckBoxUseCrypto->setChecked(false);
    EXPECT_FALSE(F().PanelKey->isVisibleTo(F().TabSheetSystem));
    for (bool shown : {true, false, true}) {
        // On the box itself: the check box is as wide as the page, its text is not.
        QTest::mouseClick(F().CheckBoxUseCrypto, Qt::LeftButton, {},
                          QPoint(6, F().CheckBoxUseCrypto->height() / 2));
        EXPECT_EQ(F().PanelKey->isVisibleTo(F().TabSheetSystem), shown);
    }
    EXPECT_EQ(ListedKeys(), (QStringList{QStringLiteral("КЛЮЧ 7")}));
    EXPECT_EQ(F().ComboBoxKey->currentIndex(), -1);
    EXPECT_TRUE(F().ComboBoxKey->currentText().isEmpty());
    EXPECT_EQ(F().LabelFP->text(), QStringLiteral("***"));
}

// The keypad plus appends one of the 62 letters and digits, each of them in time, and is not
// typed; "=" is swallowed unless Shift, Ctrl or Alt is held; other fields are left alone.
TEST_F(KeyPanelTest, TheKeyFieldTakesThePlusAndTheEqualsKey) {
    F().ComboBoxKey->setEditText(QStringLiteral("ab"));
    std::set<QChar> drawn;
    for (int i = 1; i <= 3000; ++i) {
        QTest::keyClick(KeyField(), Qt::Key_Plus, Qt::KeypadModifier);
        const QString text = KeyField()->text();
        ASSERT_EQ(text.size(), 2 + i);
        ASSERT_TRUE(text.startsWith(QStringLiteral("ab")));
        const QChar c = text.back();
        ASSERT_TRUE(c.isDigit() || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                    (c >= QLatin1Char('a') && c <= QLatin1Char('z')))
            << int(c.unicode());
        ASSERT_EQ(KeyField()->cursorPosition(), text.size());
        drawn.insert(c);
    }
    // A character missing from 3000 fair draws of 62 has a chance of about 1e-21.
    EXPECT_EQ(drawn.size(), 62u);

    const struct {
        const char* what;
        QLineEdit* field;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* text;
        bool taken;
        const char* typed;  // null: what the field does with it is its own affair
    } cases[] = {
        {"=", KeyField(), Qt::Key_Equal, Qt::NoModifier, "=", true, ""},
        {"Shift+=", KeyField(), Qt::Key_Equal, Qt::ShiftModifier, "=", false, "="},
        {"Ctrl+=", KeyField(), Qt::Key_Equal, Qt::ControlModifier, "=", false, nullptr},
        {"Alt+=", KeyField(), Qt::Key_Equal, Qt::AltModifier, "=", false, nullptr},
        {"main-keyboard plus", KeyField(), Qt::Key_Plus, Qt::ShiftModifier, "+", false, "+"},
        {"keypad minus", KeyField(), Qt::Key_Minus, Qt::KeypadModifier, "-", false, "-"},
        {"keypad plus in the port field", F().ComboBoxPortName->lineEdit(), Qt::Key_Plus, Qt::KeypadModifier,
         "+", false, "+"},
        {"= in the port field", F().ComboBoxPortName->lineEdit(), Qt::Key_Equal, Qt::NoModifier, "=", false,
         "="},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QKeyEvent press(QEvent::KeyPress, c.key, c.modifiers, QString::fromLatin1(c.text));
        EXPECT_EQ(window_->Key().ComboBoxKeyKeyDown(c.field, press), c.taken);
        if (c.typed != nullptr) {
            c.field->clear();
            QTest::keyClick(c.field, c.key, c.modifiers);
            EXPECT_EQ(c.field->text(), QString::fromLatin1(c.typed));
        }
    }
}

TEST_F(KeyPanelTest, TheFingerprintShowsHighByteFirst) {
    const struct {
        const char* reply;  // empty: none within the port timeout
        const char* label;
        const char* status;
    } cases[] = {
        {"8B 78 56 34 12", "12.34.56.78", " OK"},
        {"8B 01 02 03", "12.34.56.78", " Ошибка!"},
        {"", "12.34.56.78", " Ошибка!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        Click(F().ButtonGetFP);
        EXPECT_EQ(Written(), Frames{"to 2FFF: 8B"});
        if (*c.reply != '\0') {
            Reply(c.reply);
        } else {
            timers_.Advance(window_->PortTimeoutSeconds() * 1000 + 200);
        }
        EXPECT_EQ(F().LabelFP->text(), QString::fromUtf8(c.label));
        EXPECT_EQ(Status(), QString::fromUtf8(c.status));
    }
}

// A name in the key file, in any letter case and with blanks around it, and the empty name: the
// window shows the key at once, closes 1.1 s after the click and the key goes out as it stands;
// the file and the list stay as they were.
TEST_F(KeyPanelTest, AStoredOrEmptyNameSendsItsKeyAfterTheSettlingPause) {
    const QString zeros(64, QLatin1Char('0'));
    const struct {
        const char* typed;
        QString label;
        std::string frame;
    } cases[] = {
        {"  ключ 7 ", kStoredEntry, KeyWrite(kStoredEntry.toUpper().remove(QLatin1Char(' ')))},
        {"", zeros, KeyWrite(zeros)},
        {" \t ", zeros, KeyWrite(zeros)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        SetKey(QString::fromUtf8(c.typed));
        ASSERT_TRUE(hash_.isVisible());
        EXPECT_EQ(QApplication::activeModalWidget(), &hash_) << "the main window is not reachable";
        EXPECT_EQ(LabelHash(), c.label);
        EXPECT_EQ(Progress(), 100);
        timers_.Advance(1099);
        EXPECT_TRUE(hash_.isVisible());
        EXPECT_TRUE(Written().empty());
        timers_.Advance(1);
        EXPECT_FALSE(hash_.isVisible());
        EXPECT_EQ(Written(), Frames{c.frame});
        EXPECT_EQ(KeyFileBytes(), keyFile_);
        EXPECT_EQ(ListedKeys(), (QStringList{QStringLiteral("КЛЮЧ 7")}));
        Reply(kKeyWriteReply);
        EXPECT_EQ(Status(), QStringLiteral(" OK"));
    }
    EXPECT_TRUE(messages_.errors.isEmpty());
}

// A new Cyrillic name with blanks: 100 visible steps, each showing the chain of the reference,
// the closing pause, the entry without the blanks behind the file's other lines, the list entry
// and the KeyWrite frame with H(1,000,000) of the name's code page 1251 bytes. The same name again,
// in other letter case, is taken from the file.
TEST_F(KeyPanelTest, ANewNameIsDerivedStoredListedAndSent) {
    const QString name = QStringLiteral("Ключ шифрования №1");
    const std::vector<QString> chain = ReferenceChain(Cp1251(name));

    SetKey(QStringLiteral(" \t") + name + QStringLiteral("  "));
    ASSERT_TRUE(hash_.isVisible());
    EXPECT_EQ(LabelHash(), chain[0]);
    EXPECT_EQ(Progress(), 1);
    Settle();
    EXPECT_EQ(Progress(), 1) << "the settling pause is over, no step yet";
    for (int p = 1; p <= 100; ++p) {
        ASSERT_TRUE(timers_.FireNext("TimerStep")) << "step " << p;
        ASSERT_EQ(Progress(), p);
        ASSERT_EQ(LabelHash(), chain[p]) << "step " << p;
        ASSERT_EQ(timers_.Now(), shownAt_ + 1100) << "no time passes between steps";
    }
    EXPECT_TRUE(hash_.isVisible());
    timers_.Advance(999);
    EXPECT_TRUE(hash_.isVisible());
    EXPECT_EQ(KeyFileBytes(), keyFile_) << "written after the closing pause";
    EXPECT_TRUE(Written().empty());
    timers_.Advance(1);

    EXPECT_FALSE(hash_.isVisible());
    EXPECT_EQ(Written(), Frames{KeyWrite(chain[100])});
    EXPECT_EQ(KeyFileBytes(), keysSection_ +
                                  Cp1251(name + QStringLiteral("=") + chain[100] + QStringLiteral("\r\n")) +
                                  otherSection_);
    EXPECT_EQ(ListedKeys(), (QStringList{QStringLiteral("КЛЮЧ 7"), name}));
    EXPECT_TRUE(messages_.errors.isEmpty());

    SetKey(QStringLiteral("КЛЮЧ ШИФРОВАНИЯ №1"));
    EXPECT_EQ(LabelHash(), chain[100]);
    EXPECT_EQ(Progress(), 100);
    timers_.Advance(1100);
    EXPECT_FALSE(hash_.isVisible());
    EXPECT_EQ(Written(), Frames{KeyWrite(chain[100])});
    EXPECT_EQ(ListedKeys().size(), 2);
}

// Cancel, Esc or the close box between two steps: nothing sent, written or listed; the next try
// with the same name starts again from the name's own hash.
TEST_F(KeyPanelTest, CancelSendsAndWritesNothingAndTheNextTryStartsAfresh) {
    const QString name = QStringLiteral("Ключ шифрования №2");
    const struct {
        const char* how;
        std::function<void()> cancel;
    } cases[] = {
        {"Cancel", [this] { QTest::mouseClick(H().ButtonCancel, Qt::LeftButton); }},
        {"Esc", [this] { QTest::keyClick(H().ButtonCancel, Qt::Key_Escape); }},
        {"close box", [this] { hash_.close(); }},
    };
    QString first;
    QString third;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        SetKey(name);
        ASSERT_TRUE(hash_.isVisible());
        if (first.isEmpty()) {
            first = LabelHash();
        }
        EXPECT_EQ(LabelHash(), first) << "afresh from the hash of the name";
        EXPECT_EQ(Progress(), 1);
        Settle();
        for (int p = 1; p <= 3; ++p) {
            ASSERT_TRUE(timers_.FireNext("TimerStep"));
        }
        if (third.isEmpty()) {
            third = LabelHash();
        }
        EXPECT_EQ(LabelHash(), third);
        c.cancel();
        EXPECT_FALSE(hash_.isVisible());
        EXPECT_FALSE(Stepping()) << "no step or pause left running";
        timers_.Advance(5000);
        EXPECT_TRUE(Written().empty());
        EXPECT_EQ(KeyFileBytes(), keyFile_);
        EXPECT_EQ(ListedKeys().size(), 1);
    }
    EXPECT_TRUE(messages_.errors.isEmpty());
}

// A name the key file could not hold (the reasons are the key name's own tests) is refused before
// the window shows; a key file that cannot be written is reported once the key is derived. Neither sends,
// writes or lists anything.
TEST_F(KeyPanelTest, NothingIsSentForARefusedNameOrAKeyFileThatCannotBeWritten) {
    const struct {
        const char* typed;
        bool unreadableFile;
        const char* message;
    } cases[] = {
        {"a=b", false, "Имя ключа "},
        {"Новый ключ", true, "Не удалось прочитать файл ключей «"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        messages_.errors.clear();
        if (c.unreadableFile) {
            // A directory in the file's place: it reads as no entry, and the write is refused.
            ASSERT_TRUE(QFile::remove(KeyFilePath()));
            ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("Keys.ini")));
        }
        SetKey(QString::fromUtf8(c.typed));
        if (c.unreadableFile) {
            ASSERT_TRUE(hash_.isVisible());
            EXPECT_TRUE(messages_.errors.isEmpty());
            timers_.Advance(2100);
        }
        EXPECT_FALSE(hash_.isVisible());
        ASSERT_EQ(messages_.errors.size(), 1);
        EXPECT_TRUE(messages_.errors[0].startsWith(QString::fromUtf8(c.message)))
            << messages_.errors[0].toStdString();
        EXPECT_TRUE(Written().empty());
        EXPECT_EQ(ListedKeys().size(), 1);
        if (!c.unreadableFile) {
            EXPECT_EQ(KeyFileBytes(), keyFile_);
        }
    }
}

}  // namespace
}  // namespace lumvaris::testing
