// The sites file as its editor sees it: what a good file gives, and every mistake of a bad one
// with its line and column, all at once.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include "collect/SitesFile.h"
#include "i18n/Translators.h"

namespace lumvaris::collect {

void PrintTo(const Site& s, std::ostream* out) {
    *out << s.name.toStdString() << " port " << s.port.toStdString() << " kind " << int(s.portKind)
         << " uart " << (s.uartId ? int(*s.uartId) : -1) << " baud " << s.baudRate << " timeout "
         << s.timeoutSeconds << " password " << s.passwordFile.toStdString() << " db "
         << s.databases.join(',').toStdString() << " mqtt " << s.mqtt.join(',').toStdString() << " local "
         << s.localFiles << " schedule " << s.schedule.listen << '/' << s.schedule.readPacketsEveryHours
         << '/' << s.schedule.readMonthsOnDay << '/' << s.schedule.clockCheck << '/'
         << s.schedule.clockSetWhenOffBySeconds << " line " << s.line;
}

namespace {

QString Write(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    QFile file(dir.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return file.fileName();
}

std::string Joined(const SitesFileResult& result) {
    return result.Messages(QStringLiteral("sites.toml")).join(QLatin1Char('\n')).toStdString();
}

TEST(SitesFileTest, DefaultsFillEachSiteAndEachPortKindHasItsTimeout) {
    QTemporaryDir dir;
    Write(dir, QStringLiteral("north.pw"), "secret\n");
    const QString path = Write(dir, QStringLiteral("sites.toml"), R"(
# Подстанции северного района
[defaults]
db = ["sqlite:/var/lib/lumvaris/readings.db"]
read_packets_every = 6
clock_check = true
password_file = "north.pw"

[[site]]
name = "ТП-12"
port = "ttyUSB0"
read_months_on_day = 1

[[site]]
name = "РП-3"
port = "rfc2217://10.0.0.7:4001"
baud = 9600
mqtt = "mqtt://broker.local/plc"
db = []
clock_set_when_off_by = 30

[[site]]
name = "КТП-40 поле"
port = "calls-in"
uart_id = "2a3f"
timeout = 20
listen = false
local_files = true
)");
    const SitesFileResult result = ReadSitesFile(path);
    ASSERT_TRUE(result.Ok()) << Joined(result);
    ASSERT_EQ(result.sites.size(), 3u);

    // Each site as written, the rest from the defaults.
    const auto site = [&](const char* name, const char* port, PortKind kind, int timeout,
                          SiteSchedule schedule, int line) {
        Site s;
        s.name = QString::fromUtf8(name);
        s.port = QString::fromUtf8(port);
        s.portKind = kind;
        s.timeoutSeconds = timeout;
        s.passwordFile = dir.filePath(QStringLiteral("north.pw"));
        s.databases = QStringList{QStringLiteral("sqlite:/var/lib/lumvaris/readings.db")};
        s.schedule = schedule;
        s.line = line;
        return s;
    };
    EXPECT_EQ(result.sites[0], site("ТП-12", "ttyUSB0", PortKind::Serial, 2, {true, 6, 1, true, 0}, 9));
    Site second = site("РП-3", "rfc2217://10.0.0.7:4001", PortKind::Network, 5, {true, 6, 0, true, 30}, 14);
    second.baudRate = 9600;
    second.mqtt = QStringList{QStringLiteral("mqtt://broker.local/plc")};
    second.databases.clear();
    EXPECT_EQ(result.sites[1], second);
    Site third = site("КТП-40 поле", "calls-in", PortKind::CallsIn, 20, {false, 6, 0, true, 0}, 22);
    third.uartId = 0x2A3F;
    third.localFiles = true;
    EXPECT_EQ(result.sites[2], third);
}

TEST(SitesFileTest, EveryMistakeOfTheFileIsToldAtOnceWithItsPlace) {
    QTemporaryDir dir;
    const QByteArray file = R"([defaults]
port = "ttyUSB9"
timeout = 0
db = ["ftp://x"]

[[site]]
name = "ТП-1"
port = "ttyUSB0"
password = "1234"
baud = 115200
uart_id = 0x2A3F

[[site]]
name = "тп-1"
port = "/dev/ttyUSB0"
read_months_on_day = 31
clock_check = "yes"
speed = 9600

[[site]]
name = "РП/2"
port = "tcp://10.0.0.7"
password_file = "missing.pw"
uart_id = "1234"

[[site]]
name = "КТП-5"
port = "calls-in"
uart_id = "00AB"

[[site]]
name = "КТП-6"
port = "calls-in"
uart_id = "ab"
timeout = 2.5
mqtt = ["mqtt://broker/plc", 7]

[[site]]
port = "calls-in"
read_packets_every = -1

[[site]]
name = "КТП-7"
port = "TCP://Gateway.local:4001"

[[site]]
name = "КТП-8"
port = "rfc2217://gateway.LOCAL:4001"
)";
    const SitesFileResult result = ParseSitesFile(file, dir.path());
    const QStringList expected = {
        "sites.toml:2:1: «port» у каждого концентратора свой",
        "sites.toml:3:11: «timeout» = 0: ожидается целое число секунд от 1 до 600.",
        "sites.toml:4:7: ",  // the sink address's own message
        "sites.toml:9:1: пароля в файле концентраторов быть не должно",
        "sites.toml:10:8: Скорости «115200» нет: допустимы 38400, 19200 и 9600.",
        "sites.toml:11:11: «uart_id» пишется строкой шестнадцатеричных цифр в кавычках",
        "sites.toml:14:8: имя «тп-1» уже носит концентратор в строке 6",
        "sites.toml:15:8: порт «/dev/ttyUSB0» уже у концентратора «ТП-1» (строка 6)",
        "sites.toml:16:22: «read_months_on_day» = 31: ожидается день месяца от 1 до 28",
        "sites.toml:17:15: «clock_check» — true или false, а записано: строка.",
        "sites.toml:18:1: неизвестный ключ «speed».",
        "sites.toml:21:8: Имя концентратора «РП/2» содержит «/»",
        "sites.toml:22:8: В адресе «tcp://10.0.0.7» не указан порт",
        "sites.toml:23:17: Файл пароля «" + dir.filePath("missing.pw") + "» не читается: его нет.",
        "sites.toml:24:11: UART-ID 1234 не годится: Адрес 1234 не может быть адресом концентратора",
        "sites.toml:34:11: UART-ID 00AB уже у концентратора «КТП-5» (строка 26)",
        "sites.toml:35:11: «timeout» — целое число секунд от 1 до 600, а записано: дробное число.",
        "sites.toml:36:30: «mqtt» — список адресов в кавычках, а записано: целое число.",
        "sites.toml:38:1: у концентратора нет имени",
        "sites.toml:39:8: Концентратор звонит сам (calls-in): нужен его uart_id",
        "sites.toml:40:22: «read_packets_every» = -1: ожидается целое число часов от 0 до 8760",
        "sites.toml:48:8: порт «rfc2217://gateway.LOCAL:4001» уже у концентратора «КТП-7» (строка 42)",
    };
    const QStringList messages = result.Messages(QStringLiteral("sites.toml"));
    EXPECT_TRUE(result.sites.empty());
    ASSERT_EQ(messages.size(), expected.size()) << Joined(result);
    for (int i = 0; i < expected.size(); ++i) {
        EXPECT_TRUE(messages[i].startsWith(expected[i])) << messages[i].toStdString();
    }
}

// A table's rows become a file, whose messages name lines; in every language the line another site
// stands on is told as its row.
TEST(SitesFileTest, TheRowsOfATableAreNamedByRowInEachLanguage) {
    const auto row = [](const char* name, const char* port) {
        return QJsonObject{{QStringLiteral("name"), QString::fromUtf8(name)},
                           {QStringLiteral("port"), QString::fromUtf8(port)}};
    };
    const QJsonArray rows = {row("ТП-1", "ttyUSB0"), row("ТП-2", "ttyUSB1"), row("тп-1", "ttyUSB1")};
    const struct {
        const char* language;
        const char* name;
        const char* port;
    } cases[] = {
        {"ru", "«тп-1», name: имя «тп-1» уже носит концентратор в строке 1",
         "порт «ttyUSB1» уже у концентратора «ТП-2» (строка 2)"},
        {"en", "«тп-1», name: the name «тп-1» is already taken by the concentrator on line 1",
         "the port «ttyUSB1» already belongs to the concentrator «ТП-2» (line 2)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        i18n::Translators translators;
        translators.Install(QString::fromLatin1(c.language));
        const SitesFileResult result = ParseSiteRows(rows, QStringLiteral("/tmp"));
        QStringList messages;
        for (const SitesFileError& error : result.errors) {
            EXPECT_EQ(error.line, 3) << error.message.toStdString();
            messages << error.message;
        }
        const QString all = messages.join(QLatin1Char('\n'));
        EXPECT_TRUE(all.contains(QString::fromUtf8(c.name))) << all.toStdString();
        EXPECT_TRUE(all.contains(QString::fromUtf8(c.port))) << all.toStdString();
    }
}

TEST(SitesFileTest, AFileThatIsNoSitesFileIsRefusedWithOneMessage) {
    QTemporaryDir dir;
    QByteArray big = "[[site]]\nname = \"a\"\nport = \"ttyS0\"\n";
    big += QByteArray(kMaxSitesFileBytes, '#');
    const struct {
        const char* what;
        QByteArray bytes;
        QString message;
    } cases[] = {
        {"over 1 MiB", big, "sites.toml: файл больше 1024 КиБ"},
        {"code page 1251 in a name", "[[site]]\nport = \"ttyS0\"\nname = \"\xD2\xCF-1\"\n",
         "sites.toml:3:9: файл не в кодировке UTF-8 (байт D2h)"},
        {"an overlong encoding of '/'", "[[site]]\nname = \"a\xC0\xAF\"\n",
         "sites.toml:2:10: файл не в кодировке UTF-8 (байт C0h)"},
        {"a truncated character at the end", "[[site]]\nname = \"\xD0",
         "sites.toml:2:9: файл не в кодировке UTF-8 (байт D0h)"},
        {"TOML syntax", "[[site]]\nname = \"a\"\nport = ttyS0\n", "sites.toml:3:9: ошибка в записи TOML: "},
        {"a key given twice", "[[site]]\nname = \"a\"\nname = \"b\"\n",
         "sites.toml:3:8: ошибка в записи TOML: "},
        {"no site", "[defaults]\nbaud = 9600\n", "sites.toml:1:1: в файле нет ни одного концентратора"},
        {"[site] as one table", "[site]\nname = \"a\"\nport = \"ttyS0\"\n",
         "sites.toml:1:1: концентраторы задаются записями [[site]]"},
        {"a section of its own", "[sites]\n[[site]]\nname = \"a\"\nport = \"ttyS0\"\n",
         "sites.toml:1:2: неизвестный раздел «sites»"},
        {"a limit of the collector out of range",
         "[collector]\nmax_connecting = 0\n[[site]]\nname = \"a\"\nport = \"ttyS0\"\n",
         "sites.toml:2:18: «max_connecting» = 0: ожидается целое число от 1 до 1000."},
    };
    for (const auto& c : cases) {
        const QString path = Write(dir, QStringLiteral("sites.toml"), c.bytes);
        const QStringList messages = ReadSitesFile(path).Messages(QStringLiteral("sites.toml"));
        ASSERT_EQ(messages.size(), 1) << c.what << ": " << messages.join('\n').toStdString();
        EXPECT_TRUE(messages[0].startsWith(c.message)) << c.what << ": " << messages[0].toStdString();
    }
    EXPECT_EQ(ReadSitesFile(dir.filePath(QStringLiteral("none.toml"))).Messages(QStringLiteral("none.toml")),
              QStringList{QStringLiteral("none.toml: файла концентраторов нет.")});
}

}  // namespace
}  // namespace lumvaris::collect
