#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "KeyTestFiles.h"
#include "keys/KeyFile.h"
#include "keys/KeyFileText.h"
#include "keys/KeyName.h"

#ifdef __unix__
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace lumvaris::keys {
namespace {

using test::Cp1251;
using test::ReadBytes;
using test::WriteBytes;

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// Bytes of a literal that may hold NUL bytes.
template <std::size_t N>
QByteArray Bytes(const char (&literal)[N]) {
    return QByteArray(literal, N - 1);
}

TEST(KeyFileText, FindsTheValueOfAKeyName) {
    const struct {
        const char* image;
        const char* name;
        const char* value;
    } cases[] = {
        {"[Keys]\r\nAlpha=0011\r\n", "Alpha", "0011"},
        {"[Keys]\r\nAlpha=0011\r\n", "ALPHA", "0011"},
        {"[Keys]\r\nКлюч=AB\r\n", "ключ", "AB"},
        {"[Keys]\r\nключ=AB\r\n", "КЛЮЧ", "AB"},
        {"[Keys]\r\nЁлка=AB\r\n", "ёЛКА", "AB"},
        {"[Keys]\r\n  \tКлюч 1 \t=  ab cd  \r\n", "Ключ 1", "ab cd"},
        {"[ keys ]\nA=1\n", "A", "1"},
        {"[KEYS] anything after the bracket\nA=1", "A", "1"},
        {"[Keys]\nA=x=y\n", "A", "x=y"},
        {"[Keys]\nA = 1\r\r\n", "A", "1"},
        {"[Keys]\n\u0098A\u0098=\u0098 1\n", "A", "1"},  // 0x98 is undefined in the page: a control
        {"[Keys]\nA=1\nA=2\na=3\n", "a", "1"},
        {"[Keys]\nA=1\n[Other]\nB=2\n[keys]\nB=3\n", "B", "3"},
        // not entries of the section
        {"[Other]\nA=1\n", "A", ""},
        {"A=1\n[Keys]\n", "A", ""},
        {"[Keys]\n;A=1\n  ;B=2\n", "A", ""},
        {"[Keys]\nA\n", "A", ""},
        {"[Keys]\nA=\n", "A", ""},
        {"[Keys\nA=1\n", "A", ""},
        {"[Keys]\nAB=1\n", "A", ""},
        {"", "A", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KeyFileText(Cp1251(c.image)).Value(U(c.name)), U(c.value)) << c.image << " / " << c.name;
    }
}

TEST(KeyFileText, ListsEachKeyNameOnceInFileOrder) {
    const struct {
        const char* image;
        QStringList names;
    } cases[] = {
        {"[Keys]\r\nBeta=1\r\nAlpha=2\r\n", {"Beta", "Alpha"}},
        {"; Keys of site 7\r\n[Other]\r\nX=1\r\n[Keys]\r\n  Gamma  =\r\n;Delta=1\r\njunk\r\n=9\r\n"
         "Ключ=1\r\n[Other]\r\nY=2\r\n[KEYS]\r\nКЛЮЧ=2\r\nЕщё=3",
         {"Gamma", U("Ключ"), U("Ещё")}},
        {"[Other]\nA=1\n", {}},
        {"", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KeyFileText(Cp1251(c.image)).KeyNames(), c.names) << c.image;
    }
}

TEST(KeyFileText, WritingChangesOrAddsOneLineOnly) {
    const struct {
        const char* before;
        const char* name;
        const char* after;
    } cases[] = {
        {"", "Ключ", "[Keys]\r\nКлюч=AB\r\n"},
        {"[Other]\nx=1", "Ключ", "[Other]\nx=1\n[Keys]\nКлюч=AB\n"},
        {"[Other]\r\nКлюч=1\r\n", "Ключ", "[Other]\r\nКлюч=1\r\n[Keys]\r\nКлюч=AB\r\n"},
        {"[Keys]\r\nA=1\r\n\r\n[Other]\r\nB=2\r\n", "New",
         "[Keys]\r\nA=1\r\nNew=AB\r\n\r\n[Other]\r\nB=2\r\n"},
        {"[Keys]\r\n; comment\r\n[Other]\r\n", "New", "[Keys]\r\nNew=AB\r\n; comment\r\n[Other]\r\n"},
        {"[Keys]\r\n  КЛЮЧ  =   \r\n", "ключ", "[Keys]\r\n  КЛЮЧ  =AB\r\n"},
        {"[Keys]\nA=old value\nB=2\n", "a", "[Keys]\nA=AB\nB=2\n"},
        {"[Keys]\nA=1", "B", "[Keys]\nA=1\nB=AB\n"},
        {"[Keys]", "B", "[Keys]\r\nB=AB\r\n"},
        {"[keys]\nA=1\n[Other]\n[Keys]\nC=1\n", "B", "[keys]\nA=1\nB=AB\n[Other]\n[Keys]\nC=1\n"},
    };
    for (const auto& c : cases) {
        KeyFileText text(Cp1251(c.before));
        EXPECT_TRUE(text.SetValue(U(c.name), QStringLiteral("AB"))) << c.before;
        EXPECT_EQ(text.Image(), Cp1251(c.after)) << c.before;
        EXPECT_EQ(text.Value(U(c.name)), QStringLiteral("AB")) << c.before;
    }
}

// Lines that are not text, not INI, or end oddly pass through a write untouched.
TEST(KeyFileText, KeepsEveryOtherByteOfAFileWhateverItHolds) {
    const QByteArray head = Bytes("\xEF\xBB\xBF; header\r\n") + Bytes("bin\x00\x98\xFF\x01 data\r\n") +
                            "lone\rCR=1\r\n" + "[Keys]\n" + "A=1\n";
    const QByteArray tail = Bytes("junk line without equals\n") + Bytes("\x00=\x00\n") + "[Other]\r\n" +
                            "Z=\xFE\xFD\n" + "last line without end \x7F";
    KeyFileText text(head + tail);
    EXPECT_EQ(text.KeyNames(), QStringList{"A"});
    ASSERT_TRUE(text.SetValue(U("Ключ"), QStringLiteral("AB")));
    EXPECT_EQ(text.Image(), head + Cp1251("Ключ=AB\r\n") + tail);
    ASSERT_TRUE(text.SetValue(U("ключ"), QStringLiteral("CD")));
    EXPECT_EQ(text.Image(), head + Cp1251("Ключ=CD\r\n") + tail);
    EXPECT_EQ(text.KeyNames(), (QStringList{"A", U("Ключ")}));
}

// What a name may hold is exactly what reads back as the same identifier.
TEST(KeyFileText, EveryAcceptedNameReadsBackAndEveryRefusedOneLeavesTheFile) {
    const char* accepted[] = {"Ключ шифрования №1",     "a]b", "x;y",         "tab\tinside",
                              "€ and \u00A0nbsp\u00A0", "a[b", "in\u0098ner", "Z"};
    for (const char* name : accepted) {
        ASSERT_TRUE(KeyNameError(U(name)).isEmpty()) << name;
        KeyFileText text(Cp1251("[Keys]\r\nOther=1\r\n"));
        ASSERT_TRUE(text.SetValue(U(name), QStringLiteral("AB"))) << name;
        EXPECT_EQ(text.KeyNames(), (QStringList{"Other", U(name)})) << name;
        EXPECT_EQ(KeyFileText(text.Image()).Value(U(name)), QStringLiteral("AB")) << name;
    }
    const struct {
        const char* name;
        const char* value;
    } refused[] = {
        {"", "AB"},     {" A", "AB"}, {"a=b", "AB"}, {"[a", "AB"}, {";a", "AB"},
        {"a\nb", "AB"}, {"ä", "AB"},  {"A", "1\n2"}, {"A", "ä"},
    };
    for (const auto& c : refused) {
        const QByteArray image = Cp1251("[Keys]\r\nOther=1\r\n");
        KeyFileText text(image);
        EXPECT_FALSE(text.SetValue(U(c.name), U(c.value))) << c.name;
        EXPECT_EQ(text.Image(), image) << c.name;
    }
}

TEST(KeyName, TrimsBlanksAndControlCharactersAtTheEnds) {
    const struct {
        const char* text;
        const char* name;
    } cases[] = {
        {" \t Ключ \r\n", "Ключ"},
        {"\x01\x7F\u0085 a  b \u009F\x1F", "a  b"},
        {"a\tb", "a\tb"},
        {"\u00A0a\u00A0", "\u00A0a\u00A0"},  // the no-break space is a character of the page, not a blank
        {"   ", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KeyNameFromText(U(c.text)), U(c.name)) << c.text;
    }
}

TEST(KeyName, RefusesWhatTheKeyFileCannotHold) {
    const struct {
        const char* name;
        const char* message;
    } cases[] = {
        {"", ""},
        {"Ключ шифрования", ""},
        {"€‰", ""},
        {"a;[b]", ""},
        {"a=b", "Имя ключа не может содержать знак «=»."},
        {"a\nb", "Имя ключа не может содержать перевод строки."},
        {"a\rb", "Имя ключа не может содержать перевод строки."},
        {"[a", "Имя ключа не может начинаться со знака «[»."},
        {";a", "Имя ключа не может начинаться со знака «;»."},
        {"Schlüssel", "Имя ключа содержит знак «ü», которого нет в кодовой странице 1251."},
        {"ключ 😀", "Имя ключа содержит знак «😀», которого нет в кодовой странице 1251."},
        {"Ключ после отказа", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KeyNameError(U(c.name)), U(c.message)) << c.name;
    }
}

class KeyFileTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString Path(const QString& name = QStringLiteral("Keys.ini")) const { return dir_.filePath(name); }
    QStringList Entries() const {
        return QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    QTemporaryDir dir_;
};

TEST_F(KeyFileTest, AMissingFileHasNoEntriesAndIsCreatedByTheFirstWrite) {
    KeyFile keyFile(Path());
    EXPECT_TRUE(keyFile.KeyNames().isEmpty());
    EXPECT_TRUE(keyFile.ReadEntry(U("Ключ")).isEmpty());
    ASSERT_TRUE(keyFile.WriteEntry(U("Ключ"), QStringLiteral("00AA"))) << keyFile.LastError().toStdString();
    ASSERT_TRUE(keyFile.WriteEntry(QStringLiteral("Second"), QStringLiteral("11BB")));
    EXPECT_EQ(ReadBytes(Path()), Cp1251("[Keys]\r\nКлюч=00AA\r\nSecond=11BB\r\n"));
    EXPECT_EQ(keyFile.KeyNames(), (QStringList{U("Ключ"), "Second"}));
    EXPECT_EQ(keyFile.ReadEntry(U("ключ")), QStringLiteral("00AA"));
    EXPECT_EQ(Entries(), QStringList{"Keys.ini"});
}

// The keys stand in clear: a new file, and an old one readable by all once it is rewritten, are
// the owner's alone.
TEST_F(KeyFileTest, TheFileIsReadableByItsOwnerAlone) {
    const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    KeyFile keyFile(Path());
    ASSERT_TRUE(keyFile.WriteEntry(QStringLiteral("A"), QStringLiteral("00AA")));
    EXPECT_EQ(QFileInfo(Path()).permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser), ownerOnly);
    ASSERT_TRUE(QFile::setPermissions(Path(), ownerOnly | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    ASSERT_TRUE(keyFile.WriteEntry(QStringLiteral("B"), QStringLiteral("11BB")));
    EXPECT_EQ(QFileInfo(Path()).permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser), ownerOnly);
    EXPECT_EQ(keyFile.KeyNames(), (QStringList{"A", "B"}));
}

TEST_F(KeyFileTest, AFileThatCannotBeOpenedReadsEmptyAndIsNotReplaced) {
    ASSERT_TRUE(QDir(dir_.path()).mkdir("Keys.ini"));
    KeyFile keyFile(Path());
    EXPECT_TRUE(keyFile.KeyNames().isEmpty());
    EXPECT_TRUE(keyFile.ReadEntry("A").isEmpty());
    EXPECT_FALSE(keyFile.WriteEntry("A", "00"));
    EXPECT_TRUE(keyFile.LastError().startsWith(U("Не удалось прочитать файл ключей «")))
        << keyFile.LastError().toStdString();
    EXPECT_TRUE(QFileInfo(Path()).isDir());

    KeyFile nowhere(dir_.filePath("missing/Keys.ini"));
    EXPECT_FALSE(nowhere.WriteEntry("A", "00"));
    EXPECT_TRUE(nowhere.LastError().startsWith(U("Не удалось записать файл ключей «")))
        << nowhere.LastError().toStdString();

    KeyFile refused(Path("Other.ini"));
    EXPECT_FALSE(refused.WriteEntry("a=b", "00"));
    EXPECT_EQ(refused.LastError(), U("Имя ключа не может содержать знак «=»."));
    EXPECT_FALSE(QFileInfo::exists(Path("Other.ini")));
}

#ifdef __unix__
// The disk fills up in the middle of a write (the file size limit stands in for it): the old file
// stays whole and no temporary file is left behind.
TEST_F(KeyFileTest, AFailedWriteLeavesTheOldFileWhole) {
    QByteArray old = Cp1251("[Keys]\r\nA=1\r\n[Other]\r\n");
    old += QByteArray(64 * 1024, 'x');
    ASSERT_TRUE(WriteBytes(Path(), old));

    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit small = saved;
    small.rlim_cur = 16 * 1024;
    const sighandler_t previous = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    KeyFile keyFile(Path());
    const bool written = keyFile.WriteEntry("B", "00");
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previous);

    EXPECT_FALSE(written);
    EXPECT_TRUE(keyFile.LastError().startsWith(U("Не удалось записать файл ключей «")))
        << keyFile.LastError().toStdString();
    EXPECT_EQ(ReadBytes(Path()), old);
    EXPECT_EQ(Entries(), QStringList{"Keys.ini"});
}

// Starts the key file child; its standard output is the stream returned (null on failure).
FILE* SpawnChild(const std::vector<std::string>& arguments, pid_t& pid) {
    std::vector<char*> argv{const_cast<char*>(LUMVARIS_KEY_FILE_CHILD)};
    for (const std::string& a : arguments) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    int out[2];
    if (pipe(out) != 0) {
        return nullptr;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const int spawned = posix_spawn(&pid, LUMVARIS_KEY_FILE_CHILD, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        close(out[0]);
        return nullptr;
    }
    return fdopen(out[0], "r");
}

// A key file the user may not read, in a folder the user may write: replacing it would lose every
// entry, so the write is refused. (Run as root, the child drops to "nobody" first.)
TEST_F(KeyFileTest, AnExistingFileThatCannotBeReadIsNotReplaced) {
    const QByteArray old = Cp1251("[Keys]\r\nKept=1\r\n");
    ASSERT_TRUE(WriteBytes(Path(), old));
    ASSERT_EQ(chmod(QFile::encodeName(dir_.path()).constData(), 0777), 0);
    ASSERT_EQ(chmod(QFile::encodeName(Path()).constData(), 0), 0);

    pid_t pid = 0;
    FILE* out = SpawnChild({"write", QFile::encodeName(Path()).toStdString(), "New", "00"}, pid);
    ASSERT_NE(out, nullptr);
    std::string output;
    char line[512];
    while (std::fgets(line, sizeof line, out) != nullptr) {
        output += line;
    }
    std::fclose(out);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << output;
    EXPECT_EQ(output.rfind(U("Не удалось прочитать файл ключей «").toStdString(), 0), 0u) << output;
    chmod(QFile::encodeName(Path()).constData(), 0644);
    EXPECT_EQ(ReadBytes(Path()), old);
}

#ifdef __linux__
// Whether process `pid` holds a file of `folder` open for writing (an unnamed temporary file counts:
// its link reads "<folder>/#<inode> (deleted)").
bool WritesIntoFolder(pid_t pid, const QByteArray& folder) {
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
    DIR* dir = opendir(fds.c_str());
    if (dir == nullptr) {
        return false;
    }
    bool writing = false;
    while (const dirent* entry = readdir(dir)) {
        char target[4096];
        const std::string link = fds + "/" + entry->d_name;
        const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
        if (n <= 0 || !QByteArrayView(target, n).startsWith(folder + '/')) {
            continue;
        }
        const std::string info = "/proc/" + std::to_string(pid) + "/fdinfo/" + entry->d_name;
        if (FILE* f = std::fopen(info.c_str(), "r")) {
            char line[128];
            unsigned flags = 0;
            while (std::fgets(line, sizeof line, f) != nullptr) {
                std::sscanf(line, "flags: %o", &flags);
            }
            std::fclose(f);
            writing = writing || (flags & O_ACCMODE) != O_RDONLY;
        }
    }
    closedir(dir);
    return writing;
}

// A child stores an entry again and again in a 16 MB key file and is killed in the middle of
// writing it: as soon as it holds a file of the folder open for writing. The key file must then be
// whole: the last save that finished or the one under way, with every other line as it was.
TEST_F(KeyFileTest, AKillDuringAWriteLeavesAWholeFile) {
    const QByteArray head = Cp1251("; site 7\r\n[Keys]\r\nКлюч=");
    QByteArray tail = "\r\n[Other]\r\n";
    for (int i = 0; i < 200000; ++i) {
        tail += QByteArray::number(i).rightJustified(8, '0') + "=" +
                QByteArray(70, static_cast<char>('a' + i % 26)) + "\r\n";
    }
    auto image = [&](int k) { return head + QByteArray::number(k, 16).rightJustified(64, '0') + tail; };
    ASSERT_TRUE(WriteBytes(Path(), image(0)));
    const QByteArray folder = QFile::encodeName(QFileInfo(dir_.path()).canonicalFilePath());

    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(testing::Message() << "round " << round);
        pid_t pid = 0;
        FILE* lines = SpawnChild({"loop", QFile::encodeName(Path()).toStdString()}, pid);
        ASSERT_NE(lines, nullptr);

        // Two saves finish; the third is killed once it writes.
        int begun = 0, ended = 0;
        bool seenWriting = false;
        char line[512];
        while (std::fgets(line, sizeof line, lines) != nullptr) {
            int k = 0;
            if (std::sscanf(line, "begin %d", &k) == 1) {
                begun = k;
                if (k == 3) {
                    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
                    while (!(seenWriting = WritesIntoFolder(pid, folder)) &&
                           std::chrono::steady_clock::now() < deadline) {
                    }
                    kill(pid, SIGKILL);
                    break;
                }
            } else if (std::sscanf(line, "end %d", &k) == 1) {
                ended = k;
            } else {
                ADD_FAILURE() << "child: " << line;
                kill(pid, SIGKILL);
                break;
            }
        }
        while (std::fgets(line, sizeof line, lines) != nullptr) {
            int k = 0;
            if (std::sscanf(line, "begin %d", &k) == 1) {
                begun = k;
            } else if (std::sscanf(line, "end %d", &k) == 1) {
                ended = k;
            }
        }
        std::fclose(lines);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));
        EXPECT_TRUE(seenWriting);

        const QByteArray now = ReadBytes(Path());
        EXPECT_TRUE(now == image(ended) || now == image(begun))
            << "size " << now.size() << " of " << image(0).size() << ", saves " << ended << "/" << begun;
    }
}
#endif  // __linux__
#endif

}  // namespace
}  // namespace lumvaris::keys
