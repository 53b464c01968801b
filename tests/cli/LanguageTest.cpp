// lumvaris-cli in Russian and in English: what the user reads changes with the language, what goes
// to the concentrator and into the key file does not.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "CliProcess.h"

namespace lumvaris::cli {
namespace {

QProcessEnvironment Language(const QString& language) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LUMVARIS_LANG"), language);
    return environment;
}

bool HasCyrillic(const QString& text) {
    return text.contains(QRegularExpression(QStringLiteral("[\\x{0400}-\\x{04FF}]")));
}

TEST(CliLanguageTest, HelpAndRefusalsInTheLanguageOfTheRun) {
    const QString missing = QStringLiteral("/dev/lumvaris-no-such-port");
    const struct {
        const char* language;
        QStringList arguments;
        int status;
        const char* said;  // on standard error; for --help on standard output
    } cases[] = {
        {"ru", {"--help"}, 0, "Использование: lumvaris-cli КОМАНДА [ПАРАМЕТРЫ]\n"},
        {"en", {"--help"}, 0, "Usage: lumvaris-cli COMMAND [OPTIONS]\n"},
        {"ru", {"frobnicate"}, 1, "Неизвестная команда: frobnicate.\nСправка: lumvaris-cli --help"},
        {"en", {"frobnicate"}, 1, "Unknown command: frobnicate.\nHelp: lumvaris-cli --help"},
        // A refusal made of the command line's words and a library's reason.
        {"ru",
         {"info", "--uart-id", "FFFF", "--port", "x"},
         1,
         "UART-ID FFFF не годится: Адрес FFFF — адрес самой программы"},
        {"en",
         {"info", "--uart-id", "FFFF", "--port", "x"},
         1,
         "UART-ID FFFF is not valid: Address FFFF is the address of the program"},
        // The port's own reason, made in the link library as a byte string.
        {"ru", {"info", "--port", missing}, 2, "Устройство «/dev/lumvaris-no-such-port» не найдено."},
        {"en", {"info", "--port", missing}, 2, "Device «/dev/lumvaris-no-such-port» not found."},
        {"en", {"info", "--port", "tcp://host"}, 1, "The address «tcp://host» has no port: tcp://HOST:PORT."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.language) + " " + c.arguments.join(' ').toStdString());
        const Outcome run = Cli(c.arguments, 30000, Language(QString::fromLatin1(c.language)));
        EXPECT_EQ(run.status, c.status) << run.err.toStdString();
        const QString& text = c.arguments.first() == QStringLiteral("--help") ? run.out : run.err;
        EXPECT_TRUE(text.contains(QString::fromUtf8(c.said))) << text.toStdString();
        if (QLatin1String(c.language) == QLatin1String("en")) {
            EXPECT_FALSE(HasCyrillic(text)) << text.toStdString();
        }
    }
    // --lang before the environment: the option says what this run speaks.
    const Outcome english = Cli({QStringLiteral("--help"), QStringLiteral("--lang"), QStringLiteral("en")},
                                30000, Language(QStringLiteral("ru")));
    EXPECT_TRUE(english.out.startsWith(QStringLiteral("Usage: lumvaris-cli"))) << english.out.toStdString();
    // The English help keeps the Russian one's columns: every description starts where it does.
    const Outcome russian = Cli({QStringLiteral("--help")}, 30000, Language(QStringLiteral("ru")));
    const auto columns = [](const QString& help) {
        QList<int> starts;
        for (const QString& line : help.split(QLatin1Char('\n'))) {
            static const QRegularExpression kItem(QStringLiteral("^  (--?\\S.*?|\\S.*?)\\s{2,}(\\S)"));
            const auto match = kItem.match(line);
            if (match.hasMatch() && match.capturedStart(2) > 20) {
                starts << static_cast<int>(match.capturedStart(2));
            }
        }
        return QSet<int>(starts.begin(), starts.end());
    };
    EXPECT_EQ(columns(english.out), columns(russian.out));
}

// The frames the simulator received (its "RX" lines), without their times: what the commands sent.
// What it sends by itself (meter packets) depends on timing and is left out.
QStringList Received(const Simulator& sim) {
    QStringList frames;
    static const QRegularExpression kTime(QStringLiteral("^\\s*[0-9.]+ "));
    for (QString line : sim.LogLines(QStringLiteral(" RX "))) {
        frames << line.remove(kTime);
    }
    return frames;
}

TEST(CliLanguageTest, TheBytesSentTheKeyFileAndTheJsonAreTheSameInEveryLanguage) {
    struct Run {
        QStringList frames;
        QByteArray keyFile;
        QString status;      // send's status as printed
        QString statusJson;  // and in its JSON
    };
    const auto run = [](const QString& language) {
        // No meters: a packet heard during a slow send would be printed among its lines.
        Simulator sim({QStringLiteral("--meters"), QStringLiteral("0")});
        QTemporaryDir data;
        const QStringList common = {QStringLiteral("--port"), sim.Port(), QStringLiteral("--data-dir"),
                                    data.path()};
        const QProcessEnvironment environment = Language(language);
        // A key derived from a Russian name, a password in code page 1251 before a protected command.
        EXPECT_EQ(Cli(QStringList{QStringLiteral("key"), QStringLiteral("Подстанция №7")} + common, 60000,
                      environment)
                      .status,
                  0);
        EXPECT_EQ(
            Cli(QStringList{QStringLiteral("send"), QStringLiteral("BillingDayWrite"), QStringLiteral("05"),
                            QStringLiteral("--password"), QStringLiteral("Пароль")} +
                    common,
                30000, environment)
                .status,
            0);
        QFile keys(data.filePath(QStringLiteral("Keys.ini")));
        EXPECT_TRUE(keys.open(QIODevice::ReadOnly));
        // A request whose reply ends the wait with the error status.
        const QStringList clear =
            QStringList{QStringLiteral("send"), QStringLiteral("PacketBufferClear")} + common;
        const Outcome text = Cli(clear, 30000, environment);
        const Outcome json = Cli(clear + QStringList{QStringLiteral("--json")}, 30000, environment);
        return Run{Received(sim), keys.readAll(), text.out.trimmed(),
                   json.Json().value(QStringLiteral("status")).toString()};
    };
    const Run russian = run(QStringLiteral("ru"));
    const Run english = run(QStringLiteral("en"));
    ASSERT_FALSE(russian.frames.isEmpty());
    EXPECT_EQ(english.frames, russian.frames);
    EXPECT_EQ(english.keyFile, russian.keyFile);
    // The status words are the user's in the text and the same for every program in the JSON.
    EXPECT_EQ(russian.status, QStringLiteral("Ошибка!"));
    EXPECT_EQ(english.status, QStringLiteral("Error!"));
    EXPECT_EQ(russian.statusJson, QStringLiteral("Ошибка!"));
    EXPECT_EQ(english.statusJson, QStringLiteral("Ошибка!"));
    // The password went in code page 1251 ("Пароль", also a text the program translates, is CF E0 F0 EE EB
    // FC), the key name too.
    EXPECT_TRUE(russian.frames.join(QLatin1Char('\n'))
                    .contains(QStringLiteral("CF E0 F0 EE EB FC"), Qt::CaseInsensitive))
        << russian.frames.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(
        russian.keyFile.contains(QByteArray("\xCF\xEE\xE4\xF1\xF2\xE0\xED\xF6\xE8\xFF \xB9"
                                            "7")))
        << russian.keyFile.toStdString();
}

}  // namespace
}  // namespace lumvaris::cli
