// lumvaris-cli in its own process against the simulator in its own: each command with what it
// prints and its exit status, the database files it leaves, bad input that sends nothing, and the
// libraries it links.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSysInfo>
#include <QTemporaryDir>

#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include "CliProcess.h"
#include "MqttTestSupport.h"
#include "keys/KeyFile.h"
#include "link/QtSerialPort.h"
#include "meterdata/MeterDatabase.h"
#include "meterdata/SystemClock.h"
#include "session/Connection.h"
#include "session/QtTimerFactory.h"
#include "session/ReadAll.h"

namespace lumvaris::cli {
namespace {

// As root, a program runs as "nobody", whom exclusive use of a terminal binds (root it does not).
QStringList Unprivileged(const QString& program, const QStringList& arguments) {
    if (geteuid() != 0) {
        return QStringList{program} + arguments;
    }
    return QStringList{QStringLiteral("setpriv"), QStringLiteral("--reuid=nobody"),
                       QStringLiteral("--regid=nogroup"), QStringLiteral("--clear-groups"), program} +
           arguments;
}

// Hands a file or directory to "nobody" when this process is root.
void GiveToNobody(const QString& path) {
    if (geteuid() != 0) {
        return;
    }
    const passwd* nobody = getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    ASSERT_EQ(chown(QFile::encodeName(path).constData(), nobody->pw_uid, nobody->pw_gid), 0)
        << path.toStdString();
}

// The concentrator's buffers as they stand at a fixed clock, with nothing heard meanwhile.
const QStringList kQuietBuffers = {QStringLiteral("--meters"),   QStringLiteral("256"),
                                   QStringLiteral("--config"),   QStringLiteral("00"),
                                   QStringLiteral("--interval"), QStringLiteral("86400"),
                                   QStringLiteral("--clock"),    QStringLiteral("2024-03-15 09:00")};

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(CliTest, EachCommandPrintsWhatTheWindowShowsAndEndsWithItsStatus) {
    QTemporaryDir data;
    const QString received = data.filePath(QStringLiteral("fw.out"));
    const QString link =
        QStringLiteral("/tmp/lumvaris-sim-cli-test-%1").arg(QCoreApplication::applicationPid());
    Simulator sim({QStringLiteral("--version-text"), QStringLiteral("SIM 2.5"),
                   QStringLiteral("--billing-day"), QStringLiteral("-3"), QStringLiteral("--firmware-file"),
                   received, QStringLiteral("--link"), link});
    ASSERT_FALSE(sim.Port().isEmpty());
    const QString firmware = data.filePath(QStringLiteral("new.hex"));
    QFile hex(firmware);
    ASSERT_TRUE(hex.open(QIODevice::WriteOnly));
    hex.write(":020000040000FA\r\n:0400000001020304F2\r\n:00000001FF\r\n");
    hex.close();
    const QStringList port = {QStringLiteral("--port"), sim.Port(), QStringLiteral("--data-dir"), data.path(),
                              QStringLiteral("--json")};
    const struct {
        QStringList arguments;
        std::vector<std::pair<const char*, QJsonValue>> fields;
    } cases[] = {
        {{"info"},
         {{"version", "SIM 2.5"},
          {"network_size", 256},
          {"uart_id", "2FFF"},
          {"billing_day", -3},
          {"baud_rate", 38400},
          {"operating_mode", "MAIN"},
          {"forward_packets", true}}},
        {{"send", "BillingDayWrite", "F6"},
         {{"status", "OK"}, {"billing_day", -10}, {"request_frame", QJsonValue()}}},
        {{"send", "PacketBufferRead", "0100"}, {{"status", "OK"}, {"records", QJsonValue()}}},
        {{"send", "0x89"},
         {{"status", "OK"},
          {"billing_day", -10},
          {"request", "BillingDayRead"},
          {"reply_frame", QJsonValue()}}},
        {{"send", "RegisterRead", "3412 0100 02"}, {{"status", "OK"}, {"registers", QJsonValue()}}},
        {{"firmware", firmware}, {{"lines", 3}, {"acknowledged", 3}, {"complete", true}}},
        {{"key", "Подстанция 5"}, {{"key_name", "Подстанция 5"}, {"key_source", "computed"}, {"sent", true}}},
        {{"key", "Подстанция 5"}, {{"key_source", "stored"}, {"sent", true}}},
    };
    for (const auto& c : cases) {
        const Outcome run = Cli(c.arguments + port);
        EXPECT_EQ(run.status, 0) << c.arguments.join(' ').toStdString() << ": " << run.err.toStdString();
        const QJsonObject json = run.Json();
        for (const auto& [key, value] : c.fields) {
            ASSERT_TRUE(json.contains(QLatin1String(key))) << key << " in " << run.out.toStdString();
            if (!value.isNull()) {
                EXPECT_EQ(json.value(QLatin1String(key)), value)
                    << key << " of " << c.arguments.join(' ').toStdString();
            }
        }
    }
    EXPECT_EQ(FileBytes(received), ":020000040000FA\n:0400000001020304F2\n:00000001FF\n");
    EXPECT_EQ(keys::KeyFile(data.filePath(QStringLiteral("Keys.ini"))).KeyNames(),
              QStringList{QStringLiteral("Подстанция 5")});

    // The simulator's link in the port list, described as the window's list describes it.
    const Outcome ports = Cli({QStringLiteral("ports"), QStringLiteral("--json")});
    EXPECT_EQ(ports.status, 0);
    EXPECT_TRUE(
        ports.out.contains(QStringLiteral("{\"description\":\"Симулятор концентратора (lumvaris-sim) → %1\","
                                          "\"name\":\"%2\"")
                               .arg(sim.Port(), link)))
        << ports.out.toStdString();

    // The clock set to the workstation's and read back; in text, the window's offset words.
    const Outcome clock = Cli(QStringList{QStringLiteral("clock"), QStringLiteral("--set")} + port);
    EXPECT_EQ(clock.status, 0) << clock.err.toStdString();
    EXPECT_LE(std::abs(clock.Json().value(QStringLiteral("clock_offset_seconds")).toInt(99)), 2);
    const Outcome text = Cli({QStringLiteral("clock"), QStringLiteral("--port"), sim.Port(),
                              QStringLiteral("--data-dir"), data.path()});
    EXPECT_TRUE(text.out.contains(QStringLiteral("Отклонение от часов компьютера: откл. ")))
        << text.out.toStdString();
}

TEST(CliTest, TheStatusOfAPortThatIsNotThereASilentConcentratorAndARefusal) {
    Simulator silent({QStringLiteral("--silent-after-requests"), QStringLiteral("1")});
    Simulator refusing({QStringLiteral("--refuse"), QStringLiteral("81"), QStringLiteral("--password"),
                        QStringLiteral("secret")});
    QTemporaryDir data;
    const struct {
        QStringList arguments;
        int status;
        const char* said;
    } cases[] = {
        {{"info", "--port", "/dev/ttyLUMVARIS-none"}, 2, "ВНИМАНИЕ! При открытии порта произошла ошибка!\n"},
        // The system's English (ENOTTY, EISDIR) said in the engineer's words.
        {{"info", "--port", "/dev/null"}, 2, "«/dev/null» - не последовательный порт."},
        {{"info", "--port", "/tmp"}, 2, "«/tmp» - это каталог, а не последовательный порт."},
        {{"info", "--port", silent.Port(), "--timeout", "1"}, 3, "Нет ответа на ConfigRead за 1 с: Ошибка!"},
        {{"read-all", "--port", silent.Port(), "--to", "3", "--timeout", "1", "--pace", "reply"}, 3, ""},
        {{"clock", "--port", refusing.Port()}, 4, "Команда недоступна, введите пароль!"},
        {{"send", "BillingDayWrite", "01", "--port", refusing.Port(), "--password", "wrong"},
         4,
         "Пароль неверный!"},
        {{"send", "BillingDayWrite", "01", "--port", refusing.Port()},
         4,
         "Команда недоступна, введите пароль!"},
        {{"send", "BillingDayWrite", "01", "--port", refusing.Port(), "--password", "secret"}, 0, ""},
    };
    for (const auto& c : cases) {
        const Outcome run = Cli(c.arguments + QStringList{QStringLiteral("--data-dir"), data.path()});
        EXPECT_EQ(run.status, c.status)
            << c.arguments.join(' ').toStdString() << ": " << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.said))) << run.err.toStdString();
    }
    // The password from a file (its first line) or the environment, out of sight of ps; a file
    // that cannot be read is a file error.
    QTemporaryDir files;
    const QString passwordFile = files.filePath(QStringLiteral("password"));
    QFile password(passwordFile);
    ASSERT_TRUE(password.open(QIODevice::WriteOnly));
    password.write("secret\r\nsecond line\n");
    password.close();
    QProcessEnvironment withPassword = QProcessEnvironment::systemEnvironment();
    withPassword.insert(QStringLiteral("LUMVARIS_PASSWORD"), QStringLiteral("secret"));
    QProcessEnvironment wrongPassword = QProcessEnvironment::systemEnvironment();
    wrongPassword.insert(QStringLiteral("LUMVARIS_PASSWORD"), QStringLiteral("wrong"));
    const QStringList write = {QStringLiteral("send"),
                               QStringLiteral("BillingDayWrite"),
                               QStringLiteral("01"),
                               QStringLiteral("--port"),
                               refusing.Port(),
                               QStringLiteral("--data-dir"),
                               data.path()};
    const struct {
        const char* what;
        QStringList arguments;
        QProcessEnvironment environment;
        int status;
        const char* said;
    } passwords[] = {
        {"file", {"--password-file", passwordFile}, QProcessEnvironment::systemEnvironment(), 0, ""},
        {"variable", {}, withPassword, 0, ""},
        {"wrong variable", {}, wrongPassword, 4, "Пароль неверный!"},
        {"the option before the variable", {"--password", "secret"}, wrongPassword, 0, ""},
        {"a directory", {"--password-file", files.path()}, withPassword, 5, "это каталог, а не файл"},
        {"no such file", {"--password-file", files.filePath("none")}, withPassword, 5, "не найден"},
    };
    for (const auto& c : passwords) {
        const Outcome run = Cli(write + c.arguments, 30000, c.environment);
        EXPECT_EQ(run.status, c.status) << c.what << ": " << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.said))) << c.what << ": " << run.err.toStdString();
    }
    const Outcome mqttDirectory =
        Cli({QStringLiteral("listen"), QStringLiteral("--port"), refusing.Port(), QStringLiteral("--mqtt"),
             QStringLiteral("mqtt://127.0.0.1/plc"), QStringLiteral("--mqtt-password-file"), files.path()});
    EXPECT_EQ(mqttDirectory.status, 5) << mqttDirectory.err.toStdString();
    EXPECT_TRUE(mqttDirectory.err.contains(QStringLiteral("это каталог"))) << mqttDirectory.err.toStdString();

    // A port lost under listen: the terminal's words, not the window's advice to choose a port.
    Simulator hangingUp({QStringLiteral("--hangup-after"), QStringLiteral("1")});
    const Outcome lost = Cli({QStringLiteral("listen"), QStringLiteral("--port"), hangingUp.Port(),
                              QStringLiteral("--data-dir"), data.path()});
    EXPECT_EQ(lost.status, 2) << lost.err.toStdString();
    EXPECT_TRUE(lost.err.contains(QStringLiteral("потеряна"))) << lost.err.toStdString();
    EXPECT_TRUE(lost.err.contains(QStringLiteral("Проверьте кабель и адаптер концентратора.")));
    EXPECT_FALSE(lost.err.contains(QStringLiteral("выберите порт"))) << lost.err.toStdString();

    // The port's files held by another copy of the program (the window): refused as the window is.
    QTemporaryDir heldDirectory;
    meterdata::SystemClock clock;
    meterdata::MeterDatabase held(heldDirectory.path() + QLatin1Char('/'), clock);
    ASSERT_TRUE(held.Open(QFileInfo(refusing.Port()).fileName()));
    const Outcome inUse = Cli({QStringLiteral("read-all"), QStringLiteral("--port"), refusing.Port(),
                               QStringLiteral("--data-dir"), heldDirectory.path()});
    EXPECT_EQ(inUse.status, 2);
    EXPECT_TRUE(inUse.err.contains(QStringLiteral("уже используются другой копией программы")))
        << inUse.err.toStdString();
    held.Close();

    // The network size answered, then silence: a partial read is never a plain "OK".
    Simulator silentAfterConfig({QStringLiteral("--silent-after-requests"), QStringLiteral("1")});
    const Outcome partial =
        Cli({QStringLiteral("read-all"), QStringLiteral("--port"), silentAfterConfig.Port(),
             QStringLiteral("--to"), QStringLiteral("2"), QStringLiteral("--timeout"), QStringLiteral("1"),
             QStringLiteral("--data-dir"), data.path()});
    EXPECT_EQ(partial.status, 3);
    EXPECT_EQ(partial.out, QStringLiteral("Все 2: без ответа 2, записи 0, без данных 0\n"));
}

TEST(CliTest, BadInputIsRefusedBeforeAnythingIsSentOrOpened) {
    Simulator sim;
    QTemporaryDir data;
    QTemporaryDir files;
    const QString notHex = files.filePath(QStringLiteral("image.txt"));
    QFile file(notHex);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("image\r\n");
    file.close();
    const QStringList port = {QStringLiteral("--port"), sim.Port(), QStringLiteral("--data-dir"),
                              data.path()};
    const struct {
        QStringList arguments;
        const char* said;
    } cases[] = {
        {{"frobnicate"}, "Неизвестная команда: frobnicate."},
        {{"info", "--verbose"}, "Неизвестный параметр: --verbose."},
        {{"info", "--set"}, "Параметр --set не относится к команде info."},
        {{"send", "ClockRead", "0G"}, "Поле «0G» - не шестнадцатеричные байты"},
        {{"send", "PacketBufferRead", "010"}, "не шестнадцатеричные байты"},
        {{"send", "PacketBufferRead", "01"}, "Запрос PacketBufferRead несёт 2 байт после кода типа, дано 1."},
        {{"send", "NoSuchRead"}, "Запроса «NoSuchRead» нет в каталоге"},
        {{"info", "--uart-id", "1ABC"}, "UART-ID 1ABC не годится"},
        {{"info", "--uart-id", "FFFF"}, "UART-ID FFFF не годится"},
        {{"info", "--uart-id", "2FFG"}, "не шестнадцатеричное число"},
        {{"info", "--baud", "57600"}, "Скорости «57600» нет"},
        {{"key", "=x"}, "«=»"},
        {{"send", "PasswordSend", "--password", "пароль日"}, "日"},
        {{"read-all", "--db", "mysql://x"}, "Адрес «mysql://x» не распознан."},
        {{"listen", "--mqtt", "mqtt://user:pw@host/plc"}, "пароль"},
        {{"read-all", "--from", "9", "--to", "3"}, "первый номер больше последнего"},
        {{"firmware", notHex}, "строка 1: нет двоеточия в начале"},
        // send: the window's and the other commands' refusals for the same request made by hand.
        {{"send", "AddressWrite", "FF1F"}, "Адрес 1FFF не может быть адресом концентратора"},
        {{"send", "AddressWrite", "FFFF"}, "Адрес не изменён."},
        {{"send", "FirmwareBegin", "0100"}, "команда firmware ФАЙЛ"},
        {{"send", "FirmwareLine", "3A3030"}, "команда firmware ФАЙЛ"},
        {{"send", "KeyWrite", QString(64, QLatin1Char('0'))}, "команда key ИМЯ"},
        {{"send", "BillingDayWrite", "0B"}, "Расчётный день 11 вне допустимого диапазона -10..10"},
        {{"send", "ClockTrimWrite", "85"}, "Калибровка часов -123 вне"},
        {{"send", "ConfigWrite", "0F0001"}, "Размер сети 15 вне"},
        {{"send", "PacketBufferRead", "0000"}, "Номер счётчика 0 вне"},
        {{"key", ""}, "Имя ключа пустое"},
        {{"key", "  "}, "Имя ключа пустое"},
        {{"send", "ClockRead", "--password", "a", "--password-file", notHex}, "не обоими"},
        // A site is one MQTT topic level, and two names never the same level.
        {{"listen", "--site", "a/b"}, "«/»"},
        {{"listen", "--site", "a+b"}, "«+»"},
        {{"read-all", "--site", "plc#"}, "«#»"},
        {{"listen", "--site", "$SYS"}, "начинается с «$»"},
        {{"listen", "--site", "a\tb"}, "управляющий символ"},
        {{"listen", "--site", QString(101, QLatin1Char('x'))}, "длиннее 100 символов"},
        // A language the program does not have: refused in Russian, before anything else is read.
        {{"info", "--lang", "de"}, "--lang: язык «de» программе не известен; известны: en, ru."},
        {{"info", "--lang=en_US"}, "язык «en_US»"},
    };
    for (const auto& c : cases) {
        const Outcome run = Cli(c.arguments + port);
        EXPECT_EQ(run.status, 1) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.said))) << run.err.toStdString();
    }
    // Bytes that are not UTF-8 would become U+FFFD unseen (two such site names one site).
    QProcess raw;
    raw.start(QStringLiteral("/bin/sh"),
              {QStringLiteral("-c"),
               QStringLiteral("exec \"$0\" listen --port \"$1\" --site \"$(printf 'a\\377')\""),
               QStringLiteral(LUMVARIS_CLI_PATH), sim.Port()});
    ASSERT_TRUE(raw.waitForFinished(10000));
    EXPECT_EQ(raw.exitCode(), 1);
    EXPECT_TRUE(
        QString::fromUtf8(raw.readAllStandardError()).contains(QStringLiteral("не текст в кодировке UTF-8")));

    EXPECT_TRUE(sim.LogLines(QStringLiteral("client opened the port")).isEmpty()) << "the port was opened";
    EXPECT_TRUE(QDir(data.path()).isEmpty()) << "a file was written";
}

// A client killed while it held the port (QSerialPort claims it with TIOCEXCL) leaves it free:
// the next user opens it without the simulator being restarted.
TEST(CliTest, AClientKilledWhileItHeldThePortLeavesItFreeForTheNext) {
    Simulator sim({QStringLiteral("--meters"), QStringLiteral("5"), QStringLiteral("--interval"),
                   QStringLiteral("0.5")});
    ASSERT_FALSE(sim.Port().isEmpty());
    GiveToNobody(sim.Port());
    QTemporaryDir data;
    GiveToNobody(data.path());
    const QStringList port = {QStringLiteral("--port"), sim.Port(), QStringLiteral("--data-dir"),
                              data.path()};
    for (int round = 0; round < 2; ++round) {
        QProcess listen;
        const QStringList command =
            Unprivileged(QStringLiteral(LUMVARIS_CLI_PATH), QStringList{QStringLiteral("listen")} + port);
        listen.start(command.first(), command.mid(1));
        ASSERT_TRUE(listen.waitForStarted());
        QElapsedTimer time;
        time.start();
        while (sim.LogLines(QStringLiteral("client opened the port")).size() <= round &&
               time.elapsed() < 10000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        ASSERT_EQ(sim.LogLines(QStringLiteral("client opened the port")).size(), round + 1);
        listen.kill();
        ASSERT_TRUE(listen.waitForFinished(5000));
    }
    QProcess info;
    const QStringList command =
        Unprivileged(QStringLiteral(LUMVARIS_CLI_PATH), QStringList{QStringLiteral("info")} + port);
    info.start(command.first(), command.mid(1));
    ASSERT_TRUE(info.waitForFinished(30000));
    EXPECT_EQ(info.exitCode(), 0) << info.readAllStandardError().toStdString();
    EXPECT_TRUE(info.readAllStandardOutput().contains("LUMVARIS-SIM"));
}

// Runs the event loop for a while (the child processes' pipes are read meanwhile).
void RunFor(int milliseconds) {
    QElapsedTimer time;
    time.start();
    while (time.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

// A stop signal in the middle of a command: a read-all says how far it came and keeps what it
// read, a one-shot command ends with 128 + the signal, listen outlives a QTimer's 24.8 days of
// milliseconds (--for) until Ctrl+C.
TEST(CliTest, AStopSignalEndsACommandInProgressWithItsSummaryAndStatus) {
    Simulator quiet(kQuietBuffers);
    Simulator slow({QStringLiteral("--delay"), QStringLiteral("3000")});
    const struct {
        const char* what;
        QStringList arguments;
        int afterMs;
        int signal;
        int status;
        const char* printed;
    } cases[] = {
        {"read-all, Ctrl+C", {"read-all", "--port", quiet.Port()}, 1500, SIGINT, 130, "Стоп "},
        {"read-all, SIGTERM", {"read-all", "--port", quiet.Port()}, 1500, SIGTERM, 143, "Стоп "},
        {"info, Ctrl+C", {"info", "--port", slow.Port(), "--timeout", "10"}, 1000, SIGINT, 130, ""},
        {"info, SIGTERM", {"info", "--port", slow.Port(), "--timeout", "10"}, 1000, SIGTERM, 143, ""},
        {"listen --for 4294970 s, past 2^32 ms",
         {"listen", "--port", quiet.Port(), "--for", "4294970"},
         3600,
         SIGINT,
         130,
         "Пакетов принято: "},
    };
    for (const auto& c : cases) {
        QTemporaryDir data;
        QProcess cli;
        cli.start(QStringLiteral(LUMVARIS_CLI_PATH), c.arguments + QStringList{"--data-dir", data.path()});
        ASSERT_TRUE(cli.waitForStarted());
        RunFor(c.afterMs);
        ASSERT_EQ(cli.state(), QProcess::Running)
            << c.what << ": " << cli.readAllStandardError().toStdString();
        ::kill(static_cast<pid_t>(cli.processId()), c.signal);
        ASSERT_TRUE(cli.waitForFinished(20000)) << c.what;
        EXPECT_EQ(cli.exitCode(), c.status) << c.what << ": " << cli.readAllStandardError().toStdString();
        EXPECT_TRUE(cli.readAllStandardOutput().startsWith(c.printed)) << c.what;
        if (c.arguments.first() != QLatin1String("info")) {
            const QString base = QFileInfo(quiet.Port()).fileName();
            EXPECT_GT(QFileInfo(data.filePath(base + QLatin1String(meterdata::MeterDatabase::kPacketsSuffix)))
                          .size(),
                      0)
                << c.what << ": the database saved";
        }
    }
}

// A service started before its adapter is plugged in waits for the port, then records; the
// readings carry the concentrator's own UART-ID (asked first) and a site that tells two machines'
// ttyUSB0 apart.
TEST(CliTest, ListenWaitsForAPortThatIsNotThereYetAndStampsTheConcentratorsAddress) {
    Simulator sim({QStringLiteral("--meters"), QStringLiteral("5"), QStringLiteral("--interval"),
                   QStringLiteral("0.2")});
    QTemporaryDir data;
    const QString link = data.filePath(QStringLiteral("ttyLATE0"));
    const QString readings = data.filePath(QStringLiteral("readings.jsonl"));
    QProcess listen;
    listen.start(QStringLiteral(LUMVARIS_CLI_PATH),
                 {QStringLiteral("listen"), QStringLiteral("--port"), link, QStringLiteral("--data-dir"),
                  data.path(), QStringLiteral("--for"), QStringLiteral("5"), QStringLiteral("--db"),
                  QStringLiteral("jsonl:") + readings});
    ASSERT_TRUE(listen.waitForStarted());
    RunFor(2500);
    ASSERT_EQ(listen.state(), QProcess::Running) << listen.readAllStandardError().toStdString();
    EXPECT_TRUE(sim.LogLines(QStringLiteral("client opened")).isEmpty());
    ASSERT_TRUE(QFile::link(sim.Port(), link));
    ASSERT_TRUE(listen.waitForFinished(20000));
    const QString err = QString::fromUtf8(listen.readAllStandardError());
    EXPECT_EQ(listen.exitCode(), 0) << err.toStdString();
    EXPECT_EQ(err.count(QStringLiteral("не найден: ожидание его появления")), 1) << err.toStdString();
    EXPECT_FALSE(sim.LogLines(QStringLiteral("AddressRead to 2FFF")).isEmpty());

    QString host = QSysInfo::machineHostName();
    host = host.left(host.indexOf(QLatin1Char('.')) < 0 ? host.size() : host.indexOf(QLatin1Char('.')));
    const QList<QByteArray> lines = FileBytes(readings).split('\n');
    ASSERT_GT(lines.size(), 3) << "packets heard once the port came";
    const QJsonObject first = QJsonDocument::fromJson(lines.first()).object();
    EXPECT_EQ(first.value(QStringLiteral("site")).toString(), QStringLiteral("ttyLATE0@") + host);
    EXPECT_EQ(first.value(QStringLiteral("uart_id")).toString(), QStringLiteral("2FFF"));
}

// The window's pace on a slow line (each reply 700 ms late, several requests out at once): the
// last replies are awaited for the whole timeout and counted; a range of one meter reads that one.
TEST(CliTest, ReadAllCountsTheLastRepliesOfASlowLineAndReadsExactlyTheMetersAsked) {
    Simulator slow(kQuietBuffers + QStringList{QStringLiteral("--delay"), QStringLiteral("700")});
    Simulator quick(kQuietBuffers);
    const struct {
        const Simulator& sim;
        QStringList range;
        const char* summary;
        int requests;
    } cases[] = {
        {slow, {"--from", "1", "--to", "3"}, "Все 3: без ответа 0, записи 3, без данных 0\n", 3},
        {quick, {"--from", "5", "--to", "5"}, "Все 1: без ответа 0, записи 0, без данных 1\n", 1},
        {quick, {"--from", "4", "--to", "4"}, "Все 1: без ответа 0, записи 1, без данных 0\n", 1},
    };
    for (const auto& c : cases) {
        QTemporaryDir data;
        const qsizetype before =
            c.sim.LogLines(QStringLiteral("RX")).filter(QStringLiteral("PacketBufferRead")).size();
        const Outcome run = Cli(QStringList{QStringLiteral("read-all"), QStringLiteral("--port"),
                                            c.sim.Port(), QStringLiteral("--data-dir"), data.path()} +
                                c.range);
        EXPECT_EQ(run.status, 0) << c.range.join(' ').toStdString() << ": " << run.err.toStdString();
        EXPECT_EQ(run.out, QString::fromUtf8(c.summary)) << c.range.join(' ').toStdString();
        const QStringList asked =
            c.sim.LogLines(QStringLiteral("RX")).filter(QStringLiteral("PacketBufferRead"));
        EXPECT_EQ(asked.size() - before, c.requests) << c.range.join(' ').toStdString();
    }
}

// On a terminal the progress bar is wiped before a message: the message line shows nothing of it.
TEST(CliTest, TheProgressBarIsClearedBeforeAMessageOnATerminal) {
    Simulator sim(kQuietBuffers +
                  QStringList{QStringLiteral("--hangup-after-requests"), QStringLiteral("30")});
    QTemporaryDir data;
    QProcess terminal;  // script(1) gives the program a pseudo-terminal as its output and error
    terminal.start(QStringLiteral("script"),
                   {QStringLiteral("-qec"),
                    QStringLiteral("'%1' read-all --port '%2' --data-dir '%3'")
                        .arg(QStringLiteral(LUMVARIS_CLI_PATH), sim.Port(), data.path()),
                    QStringLiteral("/dev/null")});
    ASSERT_TRUE(terminal.waitForFinished(30000));
    const QString screen = QString::fromUtf8(terminal.readAllStandardOutput());
    EXPECT_EQ(terminal.exitCode(), 2) << screen.toStdString();
    ASSERT_TRUE(screen.contains(QStringLiteral("] 10/256"))) << "the bar was drawn: " << screen.toStdString();
    bool seen = false;
    for (QString line : screen.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r'))) {
            line.chop(1);  // the terminal's own line end
        }
        if (!line.contains(QStringLiteral("потеряна"))) {
            continue;
        }
        seen = true;
        // What a terminal shows of the line: what follows its last carriage return and the
        // clearing of the rest of the line.
        QString shown = line.mid(line.lastIndexOf(QLatin1Char('\r')) + 1);
        if (shown.startsWith(QStringLiteral("\033[K"))) {
            shown = shown.mid(3);
        }
        EXPECT_TRUE(shown.startsWith(QStringLiteral("ВНИМАНИЕ!"))) << shown.toStdString();
    }
    EXPECT_TRUE(seen) << screen.toStdString();
}

TEST(CliTest, TheProgramLinksNeitherQtGuiNorQtWidgets) {
    QProcess readelf;
    readelf.start(QStringLiteral("readelf"), {QStringLiteral("-d"), QStringLiteral(LUMVARIS_CLI_PATH)});
    ASSERT_TRUE(readelf.waitForFinished());
    const QString needed = QString::fromUtf8(readelf.readAllStandardOutput());
    EXPECT_TRUE(needed.contains(QStringLiteral("libQt6Core.so"))) << needed.toStdString();
    EXPECT_TRUE(needed.contains(QStringLiteral("libQt6SerialPort.so")));
    EXPECT_FALSE(needed.contains(QStringLiteral("libQt6Gui")));
    EXPECT_FALSE(needed.contains(QStringLiteral("libQt6Widgets")));
}

// The window's read-all (its driver, on a connection as the window opens it) into one directory.
void WindowReadAll(const QString& port, const QString& directory) {
    link::QtSerialPort serial;
    link::ThreadPause pause;
    session::QtTimerFactory timers;
    meterdata::SystemClock clock;
    session::Connection connection({serial, pause, timers, clock, directory + QLatin1Char('/')});
    connection.Replies().Targets().intake = &connection.Database();
    ASSERT_TRUE(connection.Open(port, 38400));
    session::ReadAll readAll(connection.Sender(), connection.Requester(), connection.Replies(), connection,
                             timers);
    ASSERT_TRUE(readAll.Start(commands::RequestType::PacketBufferRead, 1, 256, session::ReadAllPace::Reply));
    QElapsedTimer time;
    time.start();
    while (readAll.Running() && time.elapsed() < 30000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    EXPECT_EQ(readAll.Loop().WithoutReply(), 0);
    connection.Close(session::CloseReason::Exit);
}

TEST(CliTest, AReadAllOf256MetersLeavesTheWindowsRecordsAndWritesTheReadingsToSQLite) {
    Simulator sim(kQuietBuffers);
    QTemporaryDir window;
    QTemporaryDir data;
    WindowReadAll(sim.Port(), window.path());

    const QString db = data.filePath(QStringLiteral("readings.db"));
    const Outcome run =
        Cli({QStringLiteral("read-all"), QStringLiteral("--port"), sim.Port(), QStringLiteral("--data-dir"),
             data.path(), QStringLiteral("--pace"), QStringLiteral("reply"), QStringLiteral("--db"),
             QStringLiteral("sqlite:") + db, QStringLiteral("--site"), QStringLiteral("ТП-17")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("Все 256: без ответа 0, записи 205, без данных 51\n"));
    const QString base = QFileInfo(sim.Port()).fileName();
    for (const char* suffix :
         {meterdata::MeterDatabase::kPacketsSuffix, meterdata::MeterDatabase::kDaysSuffix}) {
        const QByteArray cli = FileBytes(data.filePath(base + QLatin1String(suffix)));
        EXPECT_FALSE(cli.isEmpty());
        EXPECT_EQ(cli, FileBytes(window.filePath(base + QLatin1String(suffix)))) << suffix;
    }
    {
        QSqlDatabase sqlite = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        sqlite.setDatabaseName(db);
        ASSERT_TRUE(sqlite.open());
        QSqlQuery query(
            QStringLiteral("SELECT count(*), min(site), min(source), count(DISTINCT meter) FROM readings"),
            sqlite);
        ASSERT_TRUE(query.next());
        EXPECT_EQ(query.value(0).toInt(), 205);
        EXPECT_EQ(query.value(1).toString(), QStringLiteral("ТП-17"));
        EXPECT_EQ(query.value(2).toString(), QStringLiteral("buffer"));
        EXPECT_EQ(query.value(3).toInt(), 205);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));

    // The port's files, with no connection, to CSV: one reading per record, after the header.
    const QString csv = data.filePath(QStringLiteral("out.csv"));
    const Outcome exported =
        Cli({QStringLiteral("export"), QStringLiteral("--port"), sim.Port(), QStringLiteral("--data-dir"),
             data.path(), QStringLiteral("--db"), QStringLiteral("csv:") + csv, QStringLiteral("--json")});
    EXPECT_EQ(exported.status, 0) << exported.err.toStdString();
    EXPECT_EQ(exported.Json().value(QStringLiteral("written")).toInt(), 205);
    EXPECT_EQ(FileBytes(csv).count("\r\n"), 206);
}

TEST(CliTest, ListenStoppedBySigtermKeepsEveryPacketItReceived) {
    // The line falls silent before the stop, so that every packet sent has arrived.
    Simulator sim({QStringLiteral("--meters"), QStringLiteral("20"), QStringLiteral("--interval"),
                   QStringLiteral("0.05"), QStringLiteral("--silent-after"), QStringLiteral("2")});
    QTemporaryDir data;
    mqtt::test::Broker broker;
    QString why;
    const bool withBroker = mqtt::test::Broker::Installed() && broker.Start(why);
    std::unique_ptr<mqtt::test::Subscriber> subscriber;
    QStringList arguments = {QStringLiteral("listen"),
                             QStringLiteral("--port"),
                             sim.Port(),
                             QStringLiteral("--data-dir"),
                             data.path(),
                             QStringLiteral("--json"),
                             QStringLiteral("--site"),
                             QStringLiteral("S")};
    if (withBroker) {
        subscriber = std::make_unique<mqtt::test::Subscriber>(broker, QStringLiteral("plc/S/+"));
        arguments << QStringLiteral("--mqtt")
                  << broker.Url().replace(QStringLiteral("/lv"), QStringLiteral("/plc"));
    }
    QProcess listen;
    listen.start(QStringLiteral(LUMVARIS_CLI_PATH), arguments);
    ASSERT_TRUE(listen.waitForStarted());
    QElapsedTimer time;
    time.start();
    while (time.elapsed() < 2800) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    listen.terminate();
    ASSERT_TRUE(listen.waitForFinished(20000));
    EXPECT_EQ(listen.exitCode(), 0) << listen.readAllStandardError().toStdString();
    const qint64 heard =
        QJsonDocument::fromJson(listen.readAllStandardOutput()).object().value("packets").toInteger();
    const int sent = static_cast<int>(sim.LogLines(QStringLiteral("| meter packet")).size());
    EXPECT_GT(heard, 20);
    EXPECT_EQ(heard, sent) << "every packet the simulator sent was heard";

    // Every one is in the port's files.
    meterdata::SystemClock clock;
    meterdata::MeterDatabase database(data.path() + QLatin1Char('/'), clock);
    ASSERT_TRUE(database.Open(QFileInfo(sim.Port()).fileName()));
    int stored = 0;
    for (int meter = 1; meter <= 20; ++meter) {
        meterdata::MeterRecord record;
        for (int col = 1; database.PacketStore()->GetMeterRecord(record, col, meter) && record.Valid == 0xFF;
             ++col) {
            ++stored;
        }
    }
    EXPECT_EQ(stored, sent);
    if (withBroker) {
        // Each reading on its meter's topic, besides "online" and "offline" on the status topic.
        const QStringList messages = subscriber->Messages(sent + 2, std::chrono::seconds(5));
        EXPECT_EQ(messages.filter(QStringLiteral(" plc/S/status ")).size(), 2);
        EXPECT_EQ(messages.size() - 2, sent) << "published to the broker";
    }
}

}  // namespace
}  // namespace lumvaris::cli

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
