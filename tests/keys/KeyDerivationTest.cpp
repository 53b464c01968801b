#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>

#include <array>
#include <string>
#include <vector>

#include "KeyTestFiles.h"
#include "keys/CryptoAPI.h"
#include "keys/GostHashUnit.h"
#include "keys/KeyDerivation.h"
#include "keys/KeyFile.h"
#include "support/GostReference.h"

namespace lumvaris::keys {
namespace {

using State = KeyDerivation::State;
using Source = KeyDerivation::KeySource;
using test::Cp1251;
using test::ReadBytes;
using test::WriteBytes;

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QString Hex(const BinaryKey& key) {
    return QString::fromStdString(BytesToHex(key.data(), key.size()));
}

const QString kZeroKey(64, QLatin1Char('0'));

// The oracle's chain as the 64 hex digits of each element.
std::vector<QString> ReferenceChain(const QByteArray& bytes) {
    std::vector<QString> chain;
    for (const BinaryKey& key : testing::ReferenceKeyChain(bytes)) {
        chain.push_back(Hex(key));
    }
    return chain;
}

const std::vector<QString>& CyrillicChain() {
    static const std::vector<QString> chain = ReferenceChain(Cp1251("Ключ шифрования №1"));
    return chain;
}

class KeyDerivationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        // What an earlier derivation left behind must not leak into this one.
        BinaryKeyBuffer().fill(0x5A);
    }

    QString Path() const { return dir_.filePath(QStringLiteral("Keys.ini")); }

    // Shows the window at 0 ms; TimerStart fires at 100 ms.
    void Show(const QString& text) {
        machine_.Begin(text);
        now_ = 100;
        machine_.Start(now_);
    }

    // Steps as the window's timer would, each step at the time the machine asks for.
    void RunToEnd() {
        for (int guard = 0; guard < 1000 && !machine_.IsFinished(); ++guard) {
            now_ += machine_.MsUntilNextStep(now_);
            machine_.Step(now_);
        }
    }

    void SettleAndStep(int steps) {
        now_ += KeyDerivation::kPauseMs;
        machine_.Step(now_);
        ASSERT_EQ(machine_.CurrentState(), State::Deriving);
        for (int p = 0; p < steps; ++p) {
            machine_.Step(now_);
        }
    }

    QTemporaryDir dir_;
    KeyFile keyFile_{dir_.filePath(QStringLiteral("Keys.ini"))};
    KeyDerivation machine_{keyFile_};
    std::int64_t now_ = 0;
};

// A new name: blanks stripped, derived in 100 visible steps matching the reference chain, stored
// after the closing pause behind the file's other lines, and taken from the file the next time.
TEST_F(KeyDerivationTest, DerivesANewNameAsTheReferenceAndTakesItFromTheFileNextTime) {
    const QByteArray old = Cp1251("; site 7\r\n[Other]\r\nX=1\r\n");
    ASSERT_TRUE(WriteBytes(Path(), old));
    const std::vector<QString>& chain = CyrillicChain();

    machine_.Begin(U(" \tКлюч шифрования №1 \t"));
    EXPECT_EQ(machine_.CurrentState(), State::Choosing);
    EXPECT_EQ(machine_.Source(), Source::Computed);
    EXPECT_EQ(machine_.KeyName(), U("Ключ шифрования №1"));
    EXPECT_EQ(machine_.Progress(), 1);
    EXPECT_EQ(machine_.LabelHash(), chain[0]);
    EXPECT_EQ(machine_.MsUntilNextStep(0), -1);
    machine_.Step(5000);  // nothing happens before TimerStart
    EXPECT_EQ(machine_.CurrentState(), State::Choosing);

    machine_.Start(100);
    EXPECT_EQ(machine_.MsUntilNextStep(100), 1000);
    machine_.Step(1099);
    EXPECT_EQ(machine_.CurrentState(), State::Settling);
    EXPECT_EQ(machine_.LabelHash(), chain[0]);
    machine_.Step(1100);
    EXPECT_EQ(machine_.CurrentState(), State::Deriving);
    EXPECT_EQ(machine_.MsUntilNextStep(1100), 0);
    EXPECT_EQ(machine_.Progress(), 1);

    for (int p = 1; p <= 100; ++p) {
        ASSERT_EQ(machine_.CurrentState(), State::Deriving) << p;
        machine_.Step(1100 + p);
        ASSERT_EQ(machine_.Progress(), p);
        ASSERT_EQ(machine_.LabelHash(), chain[p]) << "step " << p;
    }
    EXPECT_EQ(machine_.CurrentState(), State::Storing);
    EXPECT_EQ(ReadBytes(Path()), old);
    EXPECT_EQ(machine_.MsUntilNextStep(1200), 1000);
    machine_.Step(2199);
    EXPECT_EQ(machine_.CurrentState(), State::Storing);
    EXPECT_EQ(ReadBytes(Path()), old);
    machine_.Step(2200);

    EXPECT_EQ(machine_.CurrentState(), State::Done);
    EXPECT_TRUE(machine_.ShouldSend());
    EXPECT_TRUE(machine_.EntryWritten());
    EXPECT_EQ(machine_.Progress(), 100);
    EXPECT_EQ(Hex(machine_.Key()), chain[100]);
    EXPECT_EQ(ReadBytes(Path()),
              old + Cp1251("[Keys]\r\nКлюч шифрования №1=") + chain[100].toLatin1() + "\r\n");
    EXPECT_EQ(keyFile_.KeyNames(), QStringList{U("Ключ шифрования №1")});

    // Again, typed in other letter case: taken from the file, closed after the settling pause.
    BinaryKeyBuffer().fill(0);
    Show(U("ключ шифрования №1"));
    EXPECT_EQ(machine_.Source(), Source::Stored);
    EXPECT_EQ(machine_.Progress(), 100);
    EXPECT_EQ(machine_.LabelHash(), chain[100]);
    machine_.Step(1099);
    EXPECT_FALSE(machine_.IsFinished());
    machine_.Step(1100);
    EXPECT_TRUE(machine_.ShouldSend());
    EXPECT_FALSE(machine_.EntryWritten());
    EXPECT_EQ(Hex(machine_.Key()), chain[100]);
    EXPECT_EQ(ReadBytes(Path()),
              old + Cp1251("[Keys]\r\nКлюч шифрования №1=") + chain[100].toLatin1() + "\r\n");
}

TEST_F(KeyDerivationTest, AnEmptyOrBlankNameGivesTheZeroKeyAndWritesNothing) {
    for (const char* text : {"", "   ", "\t\r\n ", "\x01\x7F"}) {
        SCOPED_TRACE(text);
        BinaryKeyBuffer().fill(0x5A);
        Show(U(text));
        EXPECT_EQ(machine_.Source(), Source::None);
        EXPECT_EQ(machine_.Progress(), 100);
        EXPECT_EQ(machine_.LabelHash(), kZeroKey);
        EXPECT_EQ(machine_.Key(), BinaryKey{});
        machine_.Step(1099);
        EXPECT_FALSE(machine_.IsFinished());
        machine_.Step(1100);
        EXPECT_TRUE(machine_.ShouldSend());
        EXPECT_FALSE(machine_.EntryWritten());
        EXPECT_EQ(machine_.Key(), BinaryKey{});
        EXPECT_FALSE(QFileInfo::exists(Path()));
    }
}

// A stored entry is used as it stands, whatever its letter case, spaces or length; LabelHash shows
// it as stored.
TEST_F(KeyDerivationTest, AStoredEntryIsUsedAsItStands) {
    const struct {
        const char* line;
        const char* typed;
        const char* label;
        std::vector<std::uint8_t> keyStart;
    } cases[] = {
        {"  КЛЮЧ 7  =  ab cd ef 01 23 45 67 89 ab cd ef 01 23 45 67 89 ab cd ef 01 23 45 67 89 ab cd ef 01 "
         "23 45 "
         "67 89  ",
         " ключ 7 ",
         "ab cd ef 01 23 45 67 89 ab cd ef 01 23 45 67 89 ab cd ef 01 23 45 67 89 ab cd ef 01 23 45 67 89",
         {0xAB, 0xCD, 0xEF, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0x01, 0x23, 0x45, 0x67, 0x89,
          0xAB, 0xCD, 0xEF, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0x01, 0x23, 0x45, 0x67, 0x89}},
        {"Short=12 34", "short", "12 34", {0x12, 0x34}},
        {"Odd=123", "Odd", "123", {0x12, 0x30}},
        {"Junk=zz1Я", "junk", "zz1Я", {0x00, 0x10}},
        {"Long="
         "000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1FFFFF",
         "Long",
         "000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1FFFFF",
         {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F,
          0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const QByteArray image = Cp1251("[Keys]\r\n") + Cp1251(c.line) + "\r\n";
        ASSERT_TRUE(WriteBytes(Path(), image));
        BinaryKeyBuffer().fill(0x5A);
        Show(U(c.typed));
        EXPECT_EQ(machine_.Source(), Source::Stored);
        EXPECT_EQ(machine_.LabelHash(), U(c.label));
        EXPECT_EQ(machine_.Progress(), 100);
        RunToEnd();
        EXPECT_EQ(now_, 1100);
        EXPECT_TRUE(machine_.ShouldSend());
        EXPECT_FALSE(machine_.EntryWritten());
        BinaryKey expected{};
        std::copy(c.keyStart.begin(), c.keyStart.end(), expected.begin());
        EXPECT_EQ(machine_.Key(), expected);
        EXPECT_EQ(ReadBytes(Path()), image);
    }
}

// Cancel (or Esc, or the close box) at any point before the end: nothing to send, nothing written,
// and the next try derives from the start.
TEST_F(KeyDerivationTest, CancelSendsAndWritesNothingAndTheNextTryStartsAfresh) {
    const QByteArray old = Cp1251("[Keys]\r\nOther=00\r\n");
    ASSERT_TRUE(WriteBytes(Path(), old));
    const std::vector<QString>& chain = CyrillicChain();
    const QString name = U("Ключ шифрования №1");

    const struct {
        const char* when;
        int steps;  // -2: before TimerStart, -1: while settling
    } cases[] = {{"before TimerStart", -2}, {"while settling", -1}, {"after step 1", 1}, {"after step 3", 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.when);
        machine_.Begin(name);
        if (c.steps >= -1) {
            machine_.Start(100);
            now_ = 100;
        }
        if (c.steps >= 0) {
            SettleAndStep(c.steps);
            EXPECT_EQ(machine_.LabelHash(), chain[c.steps]);
        }
        machine_.Cancel();
        EXPECT_EQ(machine_.CurrentState(), State::Cancelled);
        EXPECT_TRUE(machine_.IsFinished());
        EXPECT_FALSE(machine_.ShouldSend());
        EXPECT_EQ(machine_.MsUntilNextStep(now_), -1);
        machine_.Step(now_ + 5000);
        machine_.Step(now_ + 10000);
        EXPECT_EQ(machine_.CurrentState(), State::Cancelled);
        EXPECT_EQ(ReadBytes(Path()), old);
    }

    Show(name);
    EXPECT_EQ(machine_.Source(), Source::Computed);
    EXPECT_EQ(machine_.Progress(), 1);
    EXPECT_EQ(machine_.LabelHash(), chain[0]);
    SettleAndStep(2);
    EXPECT_EQ(machine_.LabelHash(), chain[2]);
    EXPECT_EQ(machine_.Progress(), 2);
}

// A name the key file cannot hold is refused before any hash; the message is for the user.
TEST_F(KeyDerivationTest, ARefusedNameEndsBeforeAnyHash) {
    for (const char* text : {"a=b", "  [Section", ";comment", "Schlüssel", "two\nlines"}) {
        SCOPED_TRACE(text);
        BinaryKeyBuffer().fill(0x5A);
        Show(U(text));
        EXPECT_EQ(machine_.CurrentState(), State::Failed);
        EXPECT_TRUE(machine_.ErrorText().startsWith(U("Имя ключа "))) << machine_.ErrorText().toStdString();
        EXPECT_FALSE(machine_.ShouldSend());
        EXPECT_EQ(machine_.Key(), BinaryKey{});
        EXPECT_EQ(machine_.MsUntilNextStep(now_), -1);
        EXPECT_FALSE(QFileInfo::exists(Path()));
    }
}

// Cancel in the closing pause, and a key file that cannot be written: either way nothing is sent
// and the file stays as it was.
TEST_F(KeyDerivationTest, NothingIsSentWhenTheEntryIsNotStored) {
    const QByteArray old = Cp1251("[Keys]\r\nOther=00\r\n");
    ASSERT_TRUE(WriteBytes(Path(), old));
    Show(U("Ключ шифрования №1"));
    SettleAndStep(100);
    ASSERT_EQ(machine_.CurrentState(), State::Storing);
    machine_.Cancel();
    RunToEnd();
    EXPECT_EQ(machine_.CurrentState(), State::Cancelled);
    EXPECT_EQ(ReadBytes(Path()), old);

    KeyFile unwritable(dir_.filePath(QStringLiteral("missing/Keys.ini")));
    KeyDerivation machine(unwritable);
    machine.Begin(U("Ключ шифрования №1"));
    machine.Start(100);
    for (std::int64_t now = 100; !machine.IsFinished(); now += 10) {
        machine.Step(now);
    }
    EXPECT_EQ(machine.CurrentState(), State::Failed);
    EXPECT_FALSE(machine.ShouldSend());
    EXPECT_FALSE(machine.EntryWritten());
    EXPECT_TRUE(machine.ErrorText().startsWith(U("Не удалось записать файл ключей «")))
        << machine.ErrorText().toStdString();
    EXPECT_EQ(Hex(machine.Key()), CyrillicChain()[100]);
}

}  // namespace
}  // namespace lumvaris::keys
