#include "cli/Options.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <set>

#include "commands/AddressRules.h"
#include "commands/Text1251.h"
#include "keys/KeyName.h"
#include "link/NetworkAddress.h"
#include "link/NetworkPort.h"
#include "mqtt/MqttAddress.h"
#include "session/SiteName.h"
#include "sinks/SinkUrl.h"

namespace lumvaris::cli {
namespace {

using commands::RequestType;

struct CommandName {
    Command command;
    const char* name;
    // The options of this command beside those of every command.
    std::set<QString> options;
};

const CommandName kCommands[] = {
    {Command::Ports, "ports", {}},
    {Command::Info, "info", {}},
    {Command::Clock, "clock", {"set"}},
    {Command::ReadAll,
     "read-all",
     {"months", "from", "to", "pace", "db", "mqtt", "mqtt-ca", "mqtt-password-file"}},
    {Command::Listen,
     "listen",
     {"for", "db", "mqtt", "mqtt-ca", "mqtt-password-file", "accept", "allow", "ident", "max-calls"}},
    {Command::Firmware, "firmware", {"legacy", "force"}},
    {Command::Key, "key", {}},
    {Command::Send, "send", {}},
    {Command::Export, "export", {"db"}},
    {Command::Collect, "collect", {"sites", "metrics", "accept", "claim", "collector", "max-sites"}},
    {Command::Sites, "sites", {"claim"}},
};

// One text, so that a translation can lay out its columns as a whole.
const char* const kHelp = QT_TRANSLATE_NOOP("cli::Options", R"(Использование: lumvaris-cli КОМАНДА [ПАРАМЕТРЫ]

Концентратор PLC-сети из терминала, сценария или службы. Данные выводятся на стандартный вывод
(текстом, или по одному объекту JSON в строке с --json), сообщения - на стандартный поток ошибок.

Команды:
  ports                      список портов, как в окне программы (имя, описание, серийный номер)
  info                       версия, конфигурация, UART-ID, часы и их отклонение, расчётный день,
                             калибровка часов, скорость порта, отпечаток ключа
  clock [--set]              часы концентратора и их отклонение от часов компьютера; с --set
                             установить часы компьютера и прочитать их обратно
  read-all [--months] [--from N] [--to M] [--pace reply]
                             прочитать буферы 'последних пакетов' (с --months - 'последних
                             месяцев') счётчиков N..M (по умолчанию 1..размер сети) в локальную базу
                             данных порта, как окно программы; затем итог
  listen [--for СЕКУНДЫ]     записывать каждый пакет счётчика в локальную базу данных порта
                             (сохраняется каждую минуту и в конце) до SIGINT, SIGTERM или истечения
                             времени; для службы. Порта ещё нет - ждать его появления (проверка
                             каждую секунду)
  listen --accept [АДРЕС:]ПОРТ --allow HEX[,HEX...]|all [--ident ВЫРАЖЕНИЕ] [--max-calls N]
         [--for СЕКУНДЫ]
                             то же для концентраторов, чьи модемы сами звонят программе: ждать
                             их подключений на ПОРТ (адрес по умолчанию 127.0.0.1; IPv6 в
                             скобках: [::]:4001), принимать только разрешённые UART-ID (all -
                             любой); концентратор опознаётся по ответу на AddressRead или по
                             тексту модема (--ident: выражение с одной группой - UART-ID из
                             четырёх шестнадцатеричных цифр, например 'ID:([0-9A-F]{4})').
                             Звонки разных концентраторов принимаются одновременно (не
                             больше N, по умолчанию 256), у каждого свои файлы порта:
                             tcp-uart-UARTID-ПОРТ. Связь потеряна - ждать следующего звонка
  firmware ФАЙЛ [--legacy] [--force]
                             загрузить новую прошивку (--legacy: устаревший способ; --force: и файл,
                             не прошедший проверку формата Intel-HEX)
  key ИМЯ                    вычислить ключ закрытой сети по непустому имени (хранится в Keys.ini)
                             и загрузить
  send ТИП [HEX...]          один запрос по имени (ClockRead) или коду (81) с байтами после кода
                             типа; вывести ответ, как его показывает окно (с --json - и его байты).
                             Те же проверки, что в окне: адрес, пароль, диапазоны значений; ключ и
                             прошивку загружают команды key и firmware
  export --db АДРЕС          записать всю локальную базу данных порта (без связи с концентратором)
  collect --sites ФАЙЛ [--accept [АДРЕС:]ПОРТ] [--metrics [АДРЕС:]ПОРТ] [--data-dir КАТАЛОГ]
                             сборщик для парка концентраторов: все участки файла (TOML) в одном
                             процессе - порт каждого открыт всё время, показания всех участков -
                             в одном хранилище КАТАЛОГ/readings.sqlite и оттуда в получатели
                             участков (db, mqtt); файлы порта - только у участков с local_files;
                             задания по расписанию участка (буферы, месяцы, часы).
                             Участки работают одновременно, у каждого один запрос за раз; сетевых
                             подключений не больше max_connecting сразу и connects_per_second в
                             секунду (таблица [collector] файла участков; 8 и 20).
                             Участки calls-in звонят на --accept. SIGHUP - перечитать файл (файл с
                             ошибками не принимается, участки работают дальше), SIGTERM - сохранить
                             и выйти (0). --metrics: /metrics и /healthz для Prometheus (адрес по
                             умолчанию 127.0.0.1). Учёт выполненных заданий - в памяти: после
                             перезапуска задания, которые уже пора выполнять, выполняются сразу
  collect --claim postgresql://... [--sites ФАЙЛ] [--collector ИМЯ] [--max-sites N]
                             парк, общий для нескольких сборщиков: каждый берёт свою долю участков
                             (блокировки PostgreSQL) и опрашивает только их, участки умершего
                             сборщика берут другие и читают их буферы; без --sites - участки из
                             таблицы sites этой базы
  sites --claim postgresql://...
                             участки парка, общего для нескольких сборщиков: какой сборщик
                             какой участок держит и с какого времени (UTC), затем участки,
                             которые не держит никто

Параметры всех команд:
  --port ИМЯ                 порт: ttyUSB0, полный путь, имя из /dev/serial/by-id; или сетевой
                             адрес: tcp://УЗЕЛ:ПОРТ (сервер последовательных портов, модем),
                             rfc2217://УЗЕЛ:ПОРТ (Telnet с управлением портом, RFC 2217)
  --baud 38400|19200|9600    скорость порта (38400)
  --uart-id HEX              адрес концентратора (2FFF)
  --timeout СЕКУНДЫ          таймаут ответа (2; для сетевого адреса 4)
  --password ТЕКСТ           пароль, отправляемый перед каждой 'защищённой' командой (виден всем
                             в ps: лучше --password-file или переменная LUMVARIS_PASSWORD)
  --password-file ФАЙЛ       пароль концентратора в первой строке файла
  --json                     по одному объекту JSON в строке на стандартный вывод
  --site ИМЯ                 имя концентратора в данных вне программы (по умолчанию - имя базы
                             данных порта и имя компьютера, например ttyUSB0@box17); без '/', '+',
                             '#', управляющих символов и '$' в начале, не длиннее 100 символов
  --data-dir КАТАЛОГ         каталог локальных баз данных и Keys.ini (по умолчанию - тот же, что у
                             окна программы: каталог программы или ~/.local/share/Lumvaris)
  --lang ru|en               язык сообщений (по умолчанию - LUMVARIS_LANG или язык системы)
  --help, --version

Параметры read-all, listen (и export):
  --db АДРЕС                 ещё и записывать показания: sqlite:ФАЙЛ,
                             postgresql://пользователь@сервер:порт/база, csv:ФАЙЛ, jsonl:ФАЙЛ,
                             jsonl:- (стандартный вывод); можно несколько раз
  --mqtt mqtt[s]://[пользователь@]сервер[:порт]/ПРЕФИКС
                             публиковать показания брокеру MQTT (пароль - из
                             LUMVARIS_MQTT_PASSWORD или --mqtt-password-file)
  --mqtt-ca ФАЙЛ             сертификаты центров сертификации для mqtts://
  --mqtt-password-file ФАЙЛ  пароль брокера MQTT в первой строке файла

Код завершения:
  0    выполнено
  1    неверный вызов или ввод (ничего не отправлено)
  2    порт не открывается (причина - как в окне программы) или потерян и не вернулся; для
       listen --accept - адрес для звонков занят или недоступен; для sites - база данных
       сборщиков не читается
  3    нет ответа за время таймаута
  4    отказ концентратора (40h) или неверный пароль
  5    файл не читается или не записывается (также файл-получатель, не принявший показаний)
  6    read-all, export: сервер базы данных или брокер принял не все показания (они ждут
       в очереди на диске рядом с файлами порта и уйдут при следующем запуске)
  130  прервано (Ctrl+C); 143 и 129 - прервано сигналом SIGTERM или SIGHUP (кроме listen: 0)
)");

bool ParseInt(const QString& text, int low, int high, int& value) {
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    if (!ok || v < low || v > high) {
        return false;
    }
    value = v;
    return true;
}

// Hex digits only, in pairs: "0100", "01 00".
bool ParseHexBytes(const QString& text, QByteArray& bytes) {
    QString digits = text;
    digits.remove(QLatin1Char(' '));
    static const QRegularExpression kHex(QStringLiteral("^([0-9A-Fa-f]{2})*$"));
    if (digits.isEmpty() || !kHex.match(digits).hasMatch()) {
        return false;
    }
    bytes += QByteArray::fromHex(digits.toLatin1());
    return true;
}

// A catalogue request by its name ("ClockRead", any letter case) or its code ("81", "0x81", "81h").
const commands::CommandInfo* FindRequest(const QString& text) {
    int count = 0;
    const commands::CommandInfo* rows = commands::Commands(count);
    for (int i = 0; i < count; ++i) {
        if (text.compare(QString::fromLatin1(rows[i].name), Qt::CaseInsensitive) == 0) {
            return &rows[i];
        }
    }
    QString code = text;
    if (code.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        code = code.mid(2);
    } else if (code.endsWith(QLatin1Char('h'), Qt::CaseInsensitive)) {
        code.chop(1);
    }
    static const QRegularExpression kCode(QStringLiteral("^[0-9A-Fa-f]{1,2}$"));
    if (!kCode.match(code).hasMatch()) {
        return nullptr;
    }
    return commands::FindCommand(static_cast<std::uint8_t>(code.toUInt(nullptr, 16)));
}

// What the window and the other commands refuse before they send, refused for the same request
// made by hand; empty when the body may go. The window's fields hold the same ranges.
QString SendRefusal(RequestType type, const QByteArray& body) {
    const auto byte = [&body](int at) { return static_cast<std::uint8_t>(body.at(at)); };
    const auto signedByte = [&body](int at) {
        return static_cast<int>(static_cast<std::int8_t>(body.at(at)));
    };
    const auto word = [&byte](int at) { return byte(at) | (byte(at + 1) << 8); };
    const auto outside = [](const char* what, int value, int low, int high) {
        return QCoreApplication::translate("cli::Options",
                                           "%1 %2 вне допустимого диапазона %3..%4: ничего не отправлено.")
            .arg(QCoreApplication::translate("cli::Options", what))
            .arg(value)
            .arg(low)
            .arg(high);
    };
    switch (type) {
        case RequestType::AddressWrite: {
            const QString reason = commands::UnreachableAddressReason(static_cast<std::uint16_t>(word(0)));
            return reason.isEmpty()
                       ? QString()
                       : reason + QCoreApplication::translate("cli::Options", "\nАдрес не изменён.");
        }
        case RequestType::PasswordSend:
        case RequestType::PasswordWrite: {
            // The bytes must be a text the window could have typed in code page 1251.
            const QString text =
                commands::FromCp1251(reinterpret_cast<const std::uint8_t*>(body.constData()), body.size());
            const commands::LinkText link =
                commands::TextForLink(text, QCoreApplication::translate("cli::Options", "Пароль"));
            if (link.Refused()) {
                return link.refusal;
            }
            return link.bytes == body
                       ? QString()
                       : QCoreApplication::translate("cli::Options",
                                                     "Пароль содержит байт, который не является символом "
                                                     "кодовой страницы 1251: ничего не отправлено.");
        }
        case RequestType::KeyWrite:
            return QCoreApplication::translate(
                "cli::Options",
                "Ключ закрытой сети загружает команда key ИМЯ: ключ вычисляется по имени "
                "и хранится в Keys.ini, как в окне программы.");
        case RequestType::FirmwareBegin:
        case RequestType::FirmwareBeginLegacy:
        case RequestType::FirmwareLine:
            // The start alone may make a concentrator erase its firmware.
            return QCoreApplication::translate(
                "cli::Options",
                "Прошивку загружает команда firmware ФАЙЛ, проверив файл прежде, чем "
                "что-либо отправить.");
        case RequestType::ConfigWrite:
            return word(0) < 16 || word(0) > 4096
                       ? outside(QT_TRANSLATE_NOOP("cli::Options", "Размер сети"), word(0), 16, 4096)
                       : QString();
        case RequestType::ClockTrimWrite:
            return signedByte(0) < -60 || signedByte(0) > 120
                       ? outside(QT_TRANSLATE_NOOP("cli::Options", "Калибровка часов"), signedByte(0), -60,
                                 120)
                       : QString();
        case RequestType::BillingDayWrite:
            return signedByte(0) < -10 || signedByte(0) > 10
                       ? outside(QT_TRANSLATE_NOOP("cli::Options", "Расчётный день"), signedByte(0), -10, 10)
                       : QString();
        case RequestType::UartRateWrite:
            return byte(0) > 2 ? outside(QT_TRANSLATE_NOOP("cli::Options", "Номер скорости"), byte(0), 0, 2)
                               : QString();
        case RequestType::PacketBufferRead:
        case RequestType::MonthBufferRead:
        case RequestType::MonthRecordClear:
            return word(0) < 1 || word(0) > 4096
                       ? outside(QT_TRANSLATE_NOOP("cli::Options", "Номер счётчика"), word(0), 1, 4096)
                       : QString();
        case RequestType::RegisterRead:
            return byte(4) < 1 || byte(4) > 127
                       ? outside(QT_TRANSLATE_NOOP("cli::Options", "Число слов"), byte(4), 1, 127)
                       : QString();
        case RequestType::DebugModeWrite:
            return byte(0) > 3 ? outside(QT_TRANSLATE_NOOP("cli::Options", "Режим отладки"), byte(0), 0, 3)
                               : QString();
        default:
            return {};
    }
}

ParsedCommandLine Fail(const QString& message, ExitStatus status = ExitStatus::Usage) {
    ParsedCommandLine parsed;
    parsed.text =
        status == ExitStatus::Usage
            ? message + QCoreApplication::translate("cli::Options", "\nСправка: lumvaris-cli --help")
            : message;
    parsed.textIsError = true;
    parsed.status = status;
    return parsed;
}

const char* const kPasswordVariable = "LUMVARIS_PASSWORD";

// Why a file cannot be read, in words: missing, a directory, no permission.
QString FileProblem(const QString& path, const QString& what) {
    const QFileInfo info(path);
    if (!info.exists()) {
        return QCoreApplication::translate("cli::Options", "%1 «%2» не найден.").arg(what, path);
    }
    if (info.isDir()) {
        return QCoreApplication::translate("cli::Options", "%1 «%2» - это каталог, а не файл.")
            .arg(what, path);
    }
    return QCoreApplication::translate("cli::Options", "%1 «%2» не читается: нет доступа.").arg(what, path);
}

// A readable regular file (or a device such as a pipe), or why not.
QString ReadableFileProblem(const QString& path, const QString& what) {
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
        return FileProblem(path, what);
    }
    return {};
}

// The first line of a file without its line end (CR LF or LF).
std::optional<QString> FirstLineOf(const QString& path, const QString& what, QString& error) {
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
        error = FileProblem(path, what);
        return std::nullopt;
    }
    QByteArray line = file.readLine();
    if (line.endsWith('\n')) {
        line.chop(1);
    }
    if (line.endsWith('\r')) {
        line.chop(1);
    }
    return QString::fromUtf8(line);
}

// collect's own: every site's port, rate, timeout and password stand in the sites file.
std::optional<ParsedCommandLine> ParseCollect(const QCommandLineParser& parser, Options& o) {
    for (const char* name : {"port", "baud", "uart-id", "timeout", "password", "password-file", "site"}) {
        if (parser.isSet(QString::fromLatin1(name))) {
            return Fail(
                QCoreApplication::translate(
                    "cli::Options", "Параметр --%1 не относится к команде collect: его задаёт файл участков.")
                    .arg(QString::fromLatin1(name)));
        }
    }
    if (!parser.isSet(QStringLiteral("sites")) && !parser.isSet(QStringLiteral("claim"))) {
        return Fail(QCoreApplication::translate(
            "cli::Options",
            "Не указан файл участков: collect --sites ФАЙЛ (или --claim postgresql://... с "
            "таблицей sites)."));
    }
    o.sitesFile = parser.value(QStringLiteral("sites"));
    QString error;
    if (parser.isSet(QStringLiteral("claim"))) {
        sinks::SinkAddress address;
        if (!sinks::ParseSinkUrl(parser.value(QStringLiteral("claim")), address, error) ||
            address.Kind != sinks::SinkKind::Postgres) {
            return Fail(QStringLiteral("--claim: %1")
                            .arg(error.isEmpty() ? QCoreApplication::translate(
                                                       "cli::Options",
                                                       "участки делятся через PostgreSQL: postgresql://...")
                                                 : error));
        }
        o.claimUrl = parser.value(QStringLiteral("claim"));
        o.collectorName = parser.value(QStringLiteral("collector"));
        if (parser.isSet(QStringLiteral("max-sites")) &&
            !ParseInt(parser.value(QStringLiteral("max-sites")), 1, 100000, o.maxSites)) {
            return Fail(
                QCoreApplication::translate("cli::Options", "--max-sites: «%1» - не число от 1 до 100000.")
                    .arg(parser.value(QStringLiteral("max-sites"))));
        }
    } else if (parser.isSet(QStringLiteral("collector")) || parser.isSet(QStringLiteral("max-sites"))) {
        return Fail(QCoreApplication::translate(
            "cli::Options", "Параметры --collector и --max-sites действуют только с --claim."));
    }
    if (parser.isSet(QStringLiteral("accept"))) {
        o.accept = session::ParseListenAddress(parser.value(QStringLiteral("accept")), &error);
        if (!o.accept) {
            return Fail(QStringLiteral("--accept: ") + error);
        }
    }
    if (parser.isSet(QStringLiteral("metrics"))) {
        o.metrics = session::ParseListenAddress(parser.value(QStringLiteral("metrics")), &error);
        if (!o.metrics) {
            return Fail(QStringLiteral("--metrics: ") + error);
        }
    }
    return std::nullopt;
}

}  // namespace

QString HelpText() {
    return QCoreApplication::translate("cli::Options", kHelp);
}

ParsedCommandLine ParseCommandLine(const QStringList& arguments, const QString& versionCaption) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const auto valued = [](const char* name) {
        return QCommandLineOption(QString::fromLatin1(name), {}, "x");
    };
    const auto flag = [](const char* name) { return QCommandLineOption(QString::fromLatin1(name)); };
    parser.addOptions({valued("port"),
                       valued("baud"),
                       valued("uart-id"),
                       valued("timeout"),
                       valued("password"),
                       flag("json"),
                       valued("site"),
                       valued("data-dir"),
                       flag("help"),
                       flag("version"),
                       flag("set"),
                       flag("months"),
                       valued("from"),
                       valued("to"),
                       valued("pace"),
                       valued("for"),
                       valued("db"),
                       valued("mqtt"),
                       valued("mqtt-ca"),
                       valued("mqtt-password-file"),
                       flag("legacy"),
                       flag("force"),
                       valued("password-file"),
                       valued("accept"),
                       valued("allow"),
                       valued("ident"),
                       valued("max-calls"),
                       valued("sites"),
                       valued("metrics"),
                       valued("claim"),
                       valued("collector"),
                       valued("max-sites"),
                       valued("lang")});
    parser.addOption(QCommandLineOption(QStringLiteral("h")));
    if (!parser.parse(arguments)) {
        if (!parser.unknownOptionNames().isEmpty()) {
            return Fail(QCoreApplication::translate("cli::Options", "Неизвестный параметр: --%1.")
                            .arg(parser.unknownOptionNames().first()));
        }
        return Fail(
            QCoreApplication::translate("cli::Options", "Неверный вызов: %1").arg(parser.errorText()));
    }
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("h"))) {
        ParsedCommandLine parsed;
        parsed.text = HelpText();
        return parsed;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        ParsedCommandLine parsed;
        parsed.text = versionCaption + QLatin1Char('\n');
        return parsed;
    }

    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        return Fail(QCoreApplication::translate("cli::Options", "Не указана команда."));
    }
    const QString commandName = positional.takeFirst();
    const CommandName* command = nullptr;
    for (const CommandName& c : kCommands) {
        if (commandName == QLatin1String(c.name)) {
            command = &c;
        }
    }
    if (command == nullptr) {
        return Fail(QCoreApplication::translate("cli::Options", "Неизвестная команда: %1.").arg(commandName));
    }
    const std::set<QString> common = {"port", "baud", "uart-id",  "timeout",       "password",
                                      "json", "site", "data-dir", "password-file", "lang"};
    for (const QString& name : parser.optionNames()) {
        if (!common.contains(name) && !command->options.contains(name)) {
            return Fail(
                QCoreApplication::translate("cli::Options", "Параметр --%1 не относится к команде %2.")
                    .arg(name, commandName));
        }
    }

    Options o;
    o.command = command->command;
    const auto value = [&parser](const char* name) { return parser.value(QString::fromLatin1(name)); };
    const auto isSet = [&parser](const char* name) { return parser.isSet(QString::fromLatin1(name)); };

    // Every command's options.
    o.port = value("port");
    if (o.command == Command::Collect) {
        if (const std::optional<ParsedCommandLine> refused = ParseCollect(parser, o)) {
            return *refused;
        }
    } else if (isSet("accept")) {
        if (isSet("port")) {
            return Fail(QCoreApplication::translate("cli::Options",
                                                    "Порт задаётся или --port, или --accept, но не обоими."));
        }
        QString error;
        o.accept = session::ParseListenAddress(value("accept"), &error);
        if (!o.accept) {
            return Fail(error);
        }
        if (!isSet("allow")) {
            return Fail(QCoreApplication::translate(
                "cli::Options",
                "Не указано, чьи звонки принимать: --allow HEX[,HEX...] (UART-ID) или --allow all."));
        }
        if (value("allow") == QLatin1String("all")) {
            o.allowAll = true;
        } else {
            static const QRegularExpression kUartId(QStringLiteral("^[0-9A-Fa-f]{1,4}$"));
            for (const QString& text : value("allow").split(QLatin1Char(','))) {
                if (!kUartId.match(text).hasMatch()) {
                    return Fail(QCoreApplication::translate(
                                    "cli::Options",
                                    "--allow: «%1» - не UART-ID (шестнадцатеричное число из 1-4 цифр).")
                                    .arg(text));
                }
                const auto id = static_cast<std::uint16_t>(text.toUInt(nullptr, 16));
                if (const QString reason = commands::UnreachableAddressReason(id); !reason.isEmpty()) {
                    return Fail(
                        QCoreApplication::translate("cli::Options", "--allow: UART-ID %1 не годится: %2")
                            .arg(text.toUpper(), reason));
                }
                o.allowed.insert(id);
            }
        }
        if (isSet("uart-id")) {
            return Fail(QCoreApplication::translate(
                "cli::Options", "С --accept UART-ID называет сам звонок: вместо --uart-id - --allow."));
        }
        // A call comes over a mobile network as often as not.
        if (!isSet("timeout")) {
            o.timeoutSeconds = kNetworkTimeoutSeconds;
        }
        o.ident = value("ident");
        if (const QString error = session::CallInServer::IdentPatternError(o.ident); !error.isEmpty()) {
            return Fail(QStringLiteral("--ident: ") + error);
        }
        if (isSet("max-calls") && !ParseInt(value("max-calls"), 1, kMaxCallsLimit, o.maxCalls)) {
            return Fail(
                QCoreApplication::translate("cli::Options", "--max-calls: «%1» - не число от 1 до %2.")
                    .arg(value("max-calls"))
                    .arg(kMaxCallsLimit));
        }
    } else if (isSet("allow") || isSet("ident") || isSet("max-calls")) {
        return Fail(QCoreApplication::translate(
            "cli::Options", "Параметры --allow, --ident и --max-calls действуют только с --accept."));
    }
    if (o.command == Command::Sites) {
        if (!isSet("claim")) {
            return Fail(QCoreApplication::translate(
                "cli::Options", "Не указана база данных сборщиков: sites --claim postgresql://..."));
        }
        sinks::SinkAddress address;
        QString error;
        if (!sinks::ParseSinkUrl(value("claim"), address, error) ||
            address.Kind != sinks::SinkKind::Postgres) {
            return Fail(QStringLiteral("--claim: %1")
                            .arg(error.isEmpty() ? QCoreApplication::translate(
                                                       "cli::Options",
                                                       "участки делятся через PostgreSQL: postgresql://...")
                                                 : error));
        }
        o.claimUrl = value("claim");
    } else if (o.command != Command::Ports && o.command != Command::Collect && o.port.isEmpty() &&
               !o.accept) {
        return Fail(QCoreApplication::translate(
            "cli::Options", "Не указан порт: --port ИМЯ (список портов: lumvaris-cli ports)."));
    }
    if (isSet("baud") && !ParseInt(value("baud"), 0, 1000000, o.baudRate)) {
        o.baudRate = -1;
    }
    if (isSet("baud") && o.baudRate != 38400 && o.baudRate != 19200 && o.baudRate != 9600) {
        return Fail(
            QCoreApplication::translate("cli::Options", "Скорости «%1» нет: допустимы 38400, 19200 и 9600.")
                .arg(value("baud")));
    }
    if (isSet("uart-id")) {
        static const QRegularExpression kUartId(QStringLiteral("^[0-9A-Fa-f]{1,4}$"));
        const QString text = value("uart-id");
        if (!kUartId.match(text).hasMatch()) {
            return Fail(QCoreApplication::translate("cli::Options",
                                                    "UART-ID «%1» - не шестнадцатеричное число из 1-4 цифр.")
                            .arg(text));
        }
        o.uartId = static_cast<std::uint16_t>(text.toUInt(nullptr, 16));
        o.uartIdGiven = true;
        const QString reason = commands::UnreachableAddressReason(o.uartId);
        if (!reason.isEmpty()) {
            return Fail(QCoreApplication::translate("cli::Options", "UART-ID %1 не годится: %2")
                            .arg(text.toUpper(), reason));
        }
    }
    if (isSet("timeout") && !ParseInt(value("timeout"), 1, 600, o.timeoutSeconds)) {
        return Fail(QCoreApplication::translate("cli::Options", "Таймаут «%1» - не число секунд от 1 до 600.")
                        .arg(value("timeout")));
    }
    if (link::IsNetworkName(o.port.toStdString())) {
        if (!link::ParseNetworkAddress(o.port.toStdString())) {
            return Fail(link::NetworkAddressReason(o.port.toStdString()));
        }
        // A mobile network's round trip alone takes up to 3 s.
        if (!isSet("timeout")) {
            o.timeoutSeconds = kNetworkTimeoutSeconds;
        }
        o.baudGiven = isSet("baud");
    }
    // The password from the file or the environment rather than the command line, which every
    // local user can read (ps, /proc/PID/cmdline).
    std::optional<QString> password;
    if (isSet("password") && isSet("password-file")) {
        return Fail(QCoreApplication::translate(
            "cli::Options", "Пароль задаётся или --password, или --password-file, но не обоими."));
    }
    if (isSet("password")) {
        password = value("password");
    } else if (isSet("password-file")) {
        QString error;
        password = FirstLineOf(value("password-file"),
                               QCoreApplication::translate("cli::Options", "Файл пароля"), error);
        if (!password) {
            return Fail(error, ExitStatus::FileError);
        }
    } else if (qEnvironmentVariableIsSet(kPasswordVariable)) {
        password = qEnvironmentVariable(kPasswordVariable);
    }
    if (password) {
        o.passwordText = *password;
        const commands::LinkText text =
            commands::TextForLink(o.passwordText, QCoreApplication::translate("cli::Options", "Пароль"));
        if (text.Refused()) {
            return Fail(text.refusal);
        }
        o.password = text.bytes;
    }
    o.json = isSet("json");
    if (isSet("site")) {
        o.site = value("site");
        if (const QString error = session::SiteNameError(o.site); !error.isEmpty()) {
            return Fail(QStringLiteral("--site: ") + error);
        }
        constexpr qsizetype kUartIdSuffix = 5;  // "-2A01", one per concentrator calling
        if (o.accept && o.site.size() > session::kMaxSiteNameLength - kUartIdSuffix) {
            return Fail(QCoreApplication::translate(
                            "cli::Options",
                            "--site: с --accept к имени добавляется «-UART-ID», поэтому оно не "
                            "длиннее %1 символов (%2).")
                            .arg(session::kMaxSiteNameLength - kUartIdSuffix)
                            .arg(o.site.size()));
        }
    }
    o.dataDirectory = value("data-dir");
    if (isSet("data-dir") && o.dataDirectory.isEmpty()) {
        return Fail(QCoreApplication::translate("cli::Options", "Не указан каталог данных (--data-dir)."));
    }

    // The command's own.
    o.setClock = isSet("set");
    if (isSet("months")) {
        o.buffer = RequestType::MonthBufferRead;
    }
    if (isSet("from") && !ParseInt(value("from"), 1, 4096, o.from)) {
        return Fail(
            QCoreApplication::translate("cli::Options", "Номер счётчика --from «%1» - не число от 1 до 4096.")
                .arg(value("from")));
    }
    if (isSet("to") && !ParseInt(value("to"), 1, 4096, o.to)) {
        return Fail(
            QCoreApplication::translate("cli::Options", "Номер счётчика --to «%1» - не число от 1 до 4096.")
                .arg(value("to")));
    }
    if (o.to != 0 && o.to < o.from) {
        return Fail(QCoreApplication::translate("cli::Options",
                                                "Счётчики --from %1 --to %2: первый номер больше последнего.")
                        .arg(o.from)
                        .arg(o.to));
    }
    if (isSet("pace")) {
        if (value("pace") == QLatin1String("reply")) {
            o.pace = session::ReadAllPace::Reply;
        } else if (value("pace") != QLatin1String("window")) {
            return Fail(
                QCoreApplication::translate("cli::Options", "Темп «%1» неизвестен: допустимы reply и window.")
                    .arg(value("pace")));
        }
    }
    if (isSet("for") && !ParseInt(value("for"), 1, 100000000, o.forSeconds)) {
        return Fail(
            QCoreApplication::translate("cli::Options", "Время --for «%1» - не положительное число секунд.")
                .arg(value("for")));
    }
    o.databases = parser.values(QStringLiteral("db"));
    for (const QString& url : o.databases) {
        sinks::SinkAddress address;
        QString error;
        if (!sinks::ParseSinkUrl(url, address, error)) {
            return Fail(error);
        }
    }
    if (o.command == Command::Export && o.databases.isEmpty()) {
        return Fail(QCoreApplication::translate("cli::Options",
                                                "Не указано, куда записать базу данных порта: --db АДРЕС."));
    }
    o.mqtt = value("mqtt");
    o.mqttCa = value("mqtt-ca");
    o.mqttPasswordFile = value("mqtt-password-file");
    if (isSet("mqtt")) {
        mqtt::MqttAddress address;
        QString error;
        if (!mqtt::ParseMqttUrl(o.mqtt, address, error)) {
            return Fail(error);
        }
    } else if (isSet("mqtt-ca") || isSet("mqtt-password-file")) {
        return Fail(QCoreApplication::translate(
            "cli::Options", "Параметры --mqtt-ca и --mqtt-password-file действуют только с --mqtt."));
    }
    if (isSet("mqtt-password-file")) {
        if (const QString problem = ReadableFileProblem(
                o.mqttPasswordFile, QCoreApplication::translate("cli::Options", "Файл пароля брокера MQTT"));
            !problem.isEmpty()) {
            return Fail(problem, ExitStatus::FileError);
        }
    }
    if (isSet("mqtt-ca")) {
        if (const QString problem = ReadableFileProblem(
                o.mqttCa, QCoreApplication::translate("cli::Options", "Файл сертификатов --mqtt-ca"));
            !problem.isEmpty()) {
            return Fail(problem, ExitStatus::FileError);
        }
    }
    o.legacy = isSet("legacy");
    o.force = isSet("force");

    // Positional arguments after the command.
    const auto noMore = [&]() -> std::optional<ParsedCommandLine> {
        if (!positional.isEmpty()) {
            return Fail(QCoreApplication::translate("cli::Options", "Лишний аргумент команды %1: %2.")
                            .arg(commandName, positional.first()));
        }
        return std::nullopt;
    };
    switch (o.command) {
        case Command::Firmware:
            if (positional.isEmpty()) {
                return Fail(QCoreApplication::translate(
                    "cli::Options", "Не указан файл прошивки: lumvaris-cli firmware ФАЙЛ."));
            }
            o.firmwareFile = positional.takeFirst();
            break;
        case Command::Key: {
            if (positional.isEmpty()) {
                return Fail(QCoreApplication::translate("cli::Options",
                                                        "Не указано имя ключа: lumvaris-cli key ИМЯ."));
            }
            o.keyName = keys::KeyNameFromText(positional.takeFirst());
            if (o.keyName.isEmpty()) {
                return Fail(QCoreApplication::translate(
                    "cli::Options", "Имя ключа пустое: укажите имя ключа (lumvaris-cli key ИМЯ)."));
            }
            const QString error = keys::KeyNameError(o.keyName);
            if (!error.isEmpty()) {
                return Fail(error);
            }
            break;
        }
        case Command::Send: {
            if (positional.isEmpty()) {
                return Fail(QCoreApplication::translate("cli::Options",
                                                        "Не указан запрос: lumvaris-cli send ТИП [HEX...]."));
            }
            const QString typeText = positional.takeFirst();
            const commands::CommandInfo* info = FindRequest(typeText);
            if (info == nullptr) {
                return Fail(QCoreApplication::translate(
                                "cli::Options",
                                "Запроса «%1» нет в каталоге (имя, например ClockRead, или код, "
                                "например 81).")
                                .arg(typeText));
            }
            if (info->destination == commands::Destination::Given &&
                info->type != RequestType::AddressWrite) {
                return Fail(QCoreApplication::translate(
                                "cli::Options",
                                "Запрос %1 адресуется счётчику, а не концентратору; send его не "
                                "отправляет.")
                                .arg(QString::fromLatin1(info->name)));
            }
            o.sendType = info->type;
            for (const QString& field : positional) {
                if (!ParseHexBytes(field, o.sendBody)) {
                    return Fail(
                        QCoreApplication::translate(
                            "cli::Options", "Поле «%1» - не шестнадцатеричные байты (пары цифр 0-9, A-F).")
                            .arg(field));
                }
            }
            positional.clear();
            const int body = static_cast<int>(o.sendBody.size());
            if (info->payloadLength == commands::kTextLength ? body > commands::kMaxBody
                                                             : body != info->payloadLength - 1) {
                return Fail(info->payloadLength == commands::kTextLength
                                ? QCoreApplication::translate("cli::Options",
                                                              "Запрос %1 несёт не более %2 байт, дано %3.")
                                      .arg(QString::fromLatin1(info->name))
                                      .arg(commands::kMaxBody)
                                      .arg(body)
                                : QCoreApplication::translate(
                                      "cli::Options", "Запрос %1 несёт %2 байт после кода типа, дано %3.")
                                      .arg(QString::fromLatin1(info->name))
                                      .arg(info->payloadLength - 1)
                                      .arg(body));
            }
            if (const QString refusal = SendRefusal(info->type, o.sendBody); !refusal.isEmpty()) {
                return Fail(refusal);
            }
            break;
        }
        default:
            break;
    }
    if (const std::optional<ParsedCommandLine> extra = noMore()) {
        return *extra;
    }
    ParsedCommandLine parsed;
    parsed.options = o;
    return parsed;
}

}  // namespace lumvaris::cli
