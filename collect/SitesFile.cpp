#include "collect/SitesFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonObject>
#include <QRegularExpression>

#include <toml++/toml.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <sstream>
#include <string_view>

#include "commands/AddressRules.h"
#include "link/NetworkAddress.h"
#include "mqtt/MqttAddress.h"
#include "session/SiteName.h"
#include "sinks/SinkUrl.h"

namespace lumvaris::collect {
namespace {

constexpr std::string_view kCallsIn = "calls-in";
constexpr int kSerialTimeoutSeconds = 2;
// A mobile network's round trip alone takes up to 3 s.
constexpr int kNetworkTimeoutSeconds = 5;

// The keys [defaults] may give every site; a site's own value wins.
struct Settings {
    std::optional<int> baudRate;
    std::optional<int> timeoutSeconds;
    std::optional<QString> passwordFile;
    std::optional<QStringList> databases;
    std::optional<QStringList> mqtt;
    std::optional<bool> localFiles;
    std::optional<bool> listen;
    std::optional<int> readPacketsEveryHours;
    std::optional<int> readMonthsOnDay;
    std::optional<bool> clockCheck;
    std::optional<int> clockSetWhenOffBySeconds;
};

QString TypeName(const toml::node& node) {
    switch (node.type()) {
        case toml::node_type::string:
            return QCoreApplication::translate("collect::SitesFile", "строка");
        case toml::node_type::integer:
            return QCoreApplication::translate("collect::SitesFile", "целое число");
        case toml::node_type::floating_point:
            return QCoreApplication::translate("collect::SitesFile", "дробное число");
        case toml::node_type::boolean:
            return QCoreApplication::translate("collect::SitesFile", "true или false");
        case toml::node_type::array:
            return QCoreApplication::translate("collect::SitesFile", "список");
        case toml::node_type::table:
            return QCoreApplication::translate("collect::SitesFile", "таблица");
        case toml::node_type::date:
        case toml::node_type::time:
        case toml::node_type::date_time:
            return QCoreApplication::translate("collect::SitesFile", "дата или время");
        default:
            return QCoreApplication::translate("collect::SitesFile", "пустое значение");
    }
}

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The first byte that is not part of well-formed UTF-8 (no overlong forms, no surrogates, nothing
// beyond U+10FFFF), or -1.
qsizetype FirstBadUtf8(const QByteArray& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype size = bytes.size();
    qsizetype i = 0;
    while (i < size) {
        const unsigned char c = p[i];
        int extra = 0;
        unsigned int low = 0x80;
        unsigned int high = 0xBF;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            low = c == 0xE0 ? 0xA0 : 0x80;
            high = c == 0xED ? 0x9F : 0xBF;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            low = c == 0xF0 ? 0x90 : 0x80;
            high = c == 0xF4 ? 0x8F : 0xBF;
        } else {
            return i;
        }
        if (i + extra >= size) {
            return i;
        }
        for (int k = 1; k <= extra; ++k) {
            const unsigned char next = p[i + k];
            if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) {
                return i;
            }
        }
        i += extra + 1;
    }
    return -1;
}

// The serial port's device as the system names it, so that "ttyUSB0", "/dev/ttyUSB0" and a
// by-id link to it count as one port; a network address by its host (in any letter case) and port,
// whichever protocol it is reached by.
QString PortIdentity(const QString& port, PortKind kind) {
    if (kind == PortKind::Network) {
        const auto address = link::ParseNetworkAddress(port.toStdString());
        return address ? QString::fromStdString(link::HostAndPort(*address)).toLower() : port;
    }
    const QString path = port.contains(QLatin1Char('/')) ? port : QStringLiteral("/dev/") + port;
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

class Reader {
  public:
    explicit Reader(QString directory) : directory_(std::move(directory)) {}

    SitesFileResult Read(const toml::table& root) {
        Settings defaults;
        const toml::array* sites = nullptr;
        for (auto&& [key, value] : root) {
            if (key.str() == "defaults") {
                if (const toml::table* table = value.as_table()) {
                    defaults = ReadSettings(*table, false);
                } else {
                    Error(value, QCoreApplication::translate("collect::SitesFile",
                                                             "«defaults» задаётся таблицей [defaults]."));
                }
            } else if (key.str() == "site") {
                sites = value.as_array();
                if (sites == nullptr || !sites->is_array_of_tables()) {
                    Error(value, QCoreApplication::translate(
                                     "collect::SitesFile",
                                     "концентраторы задаются записями [[site]] (в двойных скобках)."));
                    sites = nullptr;
                }
            } else if (key.str() == "collector") {
                if (const toml::table* table = value.as_table()) {
                    ReadLimits(*table);
                } else {
                    Error(value, QCoreApplication::translate("collect::SitesFile",
                                                             "«collector» задаётся таблицей [collector]."));
                }
            } else {
                Error(key, QCoreApplication::translate(
                               "collect::SitesFile",
                               "неизвестный раздел «%1»: в файле бывают только [defaults], [[site]] "
                               "и [collector].")
                               .arg(Text(key.str())));
            }
        }
        if (sites == nullptr && root.find("site") == root.end()) {
            Error(
                1, 1,
                QCoreApplication::translate(
                    "collect::SitesFile", "в файле нет ни одного концентратора: добавьте запись [[site]]."));
        }
        if (sites != nullptr) {
            for (const toml::node& node : *sites) {
                ReadSite(*node.as_table(), defaults);
            }
        }
        // The parser's tables keep their keys sorted, not in the file's order.
        std::stable_sort(errors_.begin(), errors_.end(),
                         [](const SitesFileError& a, const SitesFileError& b) {
                             return std::pair(a.line, a.column) < std::pair(b.line, b.column);
                         });
        SitesFileResult result;
        result.limits = limits_;
        result.errors = std::move(errors_);
        if (result.errors.empty()) {
            result.sites = std::move(sites_);
        }
        return result;
    }

  private:
    void Error(int line, int column, QString message) {
        errors_.push_back({line, column, std::move(message)});
    }
    void Error(const toml::source_region& region, QString message) {
        Error(static_cast<int>(region.begin.line), static_cast<int>(region.begin.column), std::move(message));
    }
    void Error(const toml::node& node, QString message) { Error(node.source(), std::move(message)); }
    void Error(const toml::key& key, QString message) { Error(key.source(), std::move(message)); }

    void WrongType(const toml::node& node, std::string_view key, const QString& expected) {
        Error(node, QCoreApplication::translate("collect::SitesFile", "«%1» — %2, а записано: %3.")
                        .arg(Text(key), expected, TypeName(node)));
    }

    std::optional<bool> Bool(const toml::node& node, std::string_view key) {
        if (const auto* value = node.as_boolean()) {
            return value->get();
        }
        WrongType(node, key, QCoreApplication::translate("collect::SitesFile", "true или false"));
        return std::nullopt;
    }

    // An integer in [low, high]; `meaning` says what the number is, for the message.
    std::optional<int> Int(const toml::node& node, std::string_view key, int low, int high,
                           const QString& meaning) {
        const auto* value = node.as_integer();
        if (value == nullptr) {
            WrongType(node, key, meaning);
            return std::nullopt;
        }
        if (value->get() < low || value->get() > high) {
            Error(node, QCoreApplication::translate("collect::SitesFile", "«%1» = %2: ожидается %3.")
                            .arg(Text(key))
                            .arg(value->get())
                            .arg(meaning));
            return std::nullopt;
        }
        return static_cast<int>(value->get());
    }

    std::optional<QString> String(const toml::node& node, std::string_view key, const QString& meaning) {
        if (const auto* value = node.as_string()) {
            return Text(value->get());
        }
        WrongType(node, key, meaning);
        return std::nullopt;
    }

    // A list of destination addresses, each checked by `parse`; a single address is taken as a
    // list of one.
    template <typename Parse>
    std::optional<QStringList> Addresses(const toml::node& node, std::string_view key, Parse parse) {
        std::vector<const toml::node*> items;
        if (const toml::array* array = node.as_array()) {
            for (const toml::node& item : *array) {
                items.push_back(&item);
            }
        } else {
            items.push_back(&node);
        }
        QStringList list;
        bool ok = true;
        for (const toml::node* item : items) {
            const auto* text = item->as_string();
            if (text == nullptr) {
                WrongType(*item, key,
                          QCoreApplication::translate("collect::SitesFile", "список адресов в кавычках"));
                ok = false;
                continue;
            }
            const QString address = Text(text->get());
            QString error;
            if (!parse(address, error)) {
                Error(*item, error);
                ok = false;
                continue;
            }
            list << address;
        }
        return ok ? std::optional<QStringList>(list) : std::nullopt;
    }

    // The keys [defaults] and [[site]] share; `inSite` accepts (and leaves to the caller) the
    // site's own keys.
    Settings ReadSettings(const toml::table& table, bool inSite) {
        Settings s;
        for (auto&& [key, value] : table) {
            const std::string_view name = key.str();
            if (name == "name" || name == "port" || name == "uart_id") {
                if (!inSite) {
                    Error(key, QCoreApplication::translate(
                                   "collect::SitesFile",
                                   "«%1» у каждого концентратора свой: он задаётся в [[site]], не в "
                                   "[defaults].")
                                   .arg(Text(name)));
                }
            } else if (name == "password") {
                Error(key, QCoreApplication::translate(
                               "collect::SitesFile",
                               "пароля в файле концентраторов быть не должно: этот файл читают и "
                               "правят многие, он попадает в копии и в системы версий. Укажите "
                               "password_file — файл с паролем, доступный только сборщику."));
            } else if (name == "baud") {
                if (const auto* number = value.as_integer(); number != nullptr && number->get() != 38400 &&
                                                             number->get() != 19200 &&
                                                             number->get() != 9600) {
                    Error(value,
                          QCoreApplication::translate("collect::SitesFile",
                                                      "Скорости «%1» нет: допустимы 38400, 19200 и 9600.")
                              .arg(number->get()));
                } else {
                    s.baudRate = Int(
                        value, name, 9600, 38400,
                        QCoreApplication::translate("collect::SitesFile", "скорость 38400, 19200 или 9600"));
                }
            } else if (name == "timeout") {
                s.timeoutSeconds =
                    Int(value, name, 1, 600,
                        QCoreApplication::translate("collect::SitesFile", "целое число секунд от 1 до 600"));
            } else if (name == "password_file") {
                s.passwordFile = PasswordFile(value);
            } else if (name == "db") {
                s.databases = Addresses(value, name, [](const QString& url, QString& error) {
                    sinks::SinkAddress address;
                    return sinks::ParseSinkUrl(url, address, error);
                });
            } else if (name == "mqtt") {
                s.mqtt = Addresses(value, name, [](const QString& url, QString& error) {
                    mqtt::MqttAddress address;
                    return mqtt::ParseMqttUrl(url, address, error);
                });
            } else if (name == "local_files") {
                s.localFiles = Bool(value, name);
            } else if (name == "listen") {
                s.listen = Bool(value, name);
            } else if (name == "read_packets_every") {
                s.readPacketsEveryHours =
                    Int(value, name, 0, 8760,
                        QCoreApplication::translate("collect::SitesFile",
                                                    "целое число часов от 0 до 8760 (0 — никогда)"));
            } else if (name == "read_months_on_day") {
                // The 28th is the last day every month has.
                s.readMonthsOnDay = Int(value, name, 0, 28,
                                        QCoreApplication::translate("collect::SitesFile",
                                                                    "день месяца от 1 до 28 (0 — никогда)"));
            } else if (name == "clock_check") {
                s.clockCheck = Bool(value, name);
            } else if (name == "clock_set_when_off_by") {
                s.clockSetWhenOffBySeconds =
                    Int(value, name, 0, 86400,
                        QCoreApplication::translate("collect::SitesFile",
                                                    "целое число секунд от 0 до 86400 (0 — никогда)"));
            } else {
                Error(key, QCoreApplication::translate("collect::SitesFile", "неизвестный ключ «%1».")
                               .arg(Text(name)));
            }
        }
        return s;
    }

    void ReadLimits(const toml::table& table) {
        for (auto&& [key, value] : table) {
            const std::string_view name = key.str();
            if (name == "max_connecting") {
                limits_.maxConnecting =
                    Int(value, name, 1, 1000,
                        QCoreApplication::translate("collect::SitesFile", "целое число от 1 до 1000"))
                        .value_or(limits_.maxConnecting);
            } else if (name == "connects_per_second") {
                limits_.connectsPerSecond =
                    Int(value, name, 1, 1000,
                        QCoreApplication::translate("collect::SitesFile", "целое число от 1 до 1000"))
                        .value_or(limits_.connectsPerSecond);
            } else if (name == "unhealthy_when_silent") {
                limits_.unhealthyWhenSilentSeconds =
                    Int(value, name, 0, 7 * 86400,
                        QCoreApplication::translate("collect::SitesFile",
                                                    "число секунд от 0 (никогда) до 604800"))
                        .value_or(limits_.unhealthyWhenSilentSeconds);
            } else {
                Error(key, QCoreApplication::translate("collect::SitesFile", "неизвестный ключ «%1».")
                               .arg(Text(name)));
            }
        }
    }

    std::optional<QString> PasswordFile(const toml::node& node) {
        const auto text =
            String(node, "password_file",
                   QCoreApplication::translate("collect::SitesFile", "путь к файлу в кавычках"));
        if (!text) {
            return std::nullopt;
        }
        if (text->isEmpty()) {
            Error(node, QCoreApplication::translate(
                            "collect::SitesFile",
                            "«password_file» пуст: укажите файл с паролем или уберите ключ."));
            return std::nullopt;
        }
        const QString path = QDir::cleanPath(QDir(directory_).absoluteFilePath(*text));
        QFile file(path);
        if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
            Error(node, QCoreApplication::translate("collect::SitesFile", "Файл пароля «%1» не читается: %2.")
                            .arg(path, QFileInfo::exists(path)
                                           ? file.errorString()
                                           : QCoreApplication::translate("collect::SitesFile", "его нет")));
            return std::nullopt;
        }
        return path;
    }

    void ReadSite(const toml::table& table, const Settings& defaults) {
        const std::size_t errorsBefore = errors_.size();
        const Settings own = ReadSettings(table, true);
        Site site;
        site.line = static_cast<int>(table.source().begin.line);

        const toml::node* nameNode = table.get("name");
        if (nameNode == nullptr) {
            Error(table, QCoreApplication::translate("collect::SitesFile",
                                                     "у концентратора нет имени: name = \"...\"."));
        } else if (const auto name =
                       String(*nameNode, "name",
                              QCoreApplication::translate("collect::SitesFile", "имя в кавычках"))) {
            if (const QString error = session::SiteNameError(*name); !error.isEmpty()) {
                Error(*nameNode, error);
            } else {
                site.name = *name;
            }
        }
        const QString who =
            site.name.isEmpty()
                ? QCoreApplication::translate("collect::SitesFile", "концентратора")
                : QCoreApplication::translate("collect::SitesFile", "концентратора «%1»").arg(site.name);

        const toml::node* portNode = table.get("port");
        if (portNode == nullptr) {
            Error(table,
                  QCoreApplication::translate("collect::SitesFile",
                                              "у %1 не указан порт: port = \"ttyUSB0\", \"tcp://УЗЕЛ:ПОРТ\", "
                                              "\"rfc2217://УЗЕЛ:ПОРТ\" или \"calls-in\".")
                      .arg(who));
        } else if (const auto port = String(
                       *portNode, "port",
                       QCoreApplication::translate("collect::SitesFile", "имя порта или адрес в кавычках"))) {
            if (port->trimmed().isEmpty()) {
                Error(*portNode,
                      QCoreApplication::translate("collect::SitesFile", "порт не может быть пустым."));
            } else if (*port == Text(kCallsIn)) {
                site.port = *port;
                site.portKind = PortKind::CallsIn;
            } else if (link::IsNetworkName(port->toStdString())) {
                const char* reason = nullptr;
                if (link::ParseNetworkAddress(port->toStdString(), nullptr, &reason)) {
                    site.port = *port;
                    site.portKind = PortKind::Network;
                } else {
                    Error(*portNode, QCoreApplication::translate("link::NetworkAddress", reason).arg(*port));
                }
            } else {
                site.port = *port;
            }
        }

        const toml::node* uartNode = table.get("uart_id");
        if (uartNode != nullptr) {
            site.uartId = UartId(*uartNode);
        } else if (site.portKind == PortKind::CallsIn) {
            Error(
                *portNode,
                QCoreApplication::translate("collect::SitesFile",
                                            "%1 звонит сам (calls-in): нужен его uart_id = \"2A3F\", по нему "
                                            "узнаётся звонок.")
                    .arg(site.name.isEmpty()
                             ? QCoreApplication::translate("collect::SitesFile", "Концентратор")
                             : QCoreApplication::translate("collect::SitesFile", "Концентратор «%1»")
                                   .arg(site.name)));
        }

        const auto pick = [](const auto& mine, const auto& common, auto fallback) {
            return mine ? *mine : common ? *common : fallback;
        };
        site.baudRate = pick(own.baudRate, defaults.baudRate, 38400);
        site.timeoutSeconds =
            pick(own.timeoutSeconds, defaults.timeoutSeconds,
                 site.portKind == PortKind::Serial ? kSerialTimeoutSeconds : kNetworkTimeoutSeconds);
        site.passwordFile = pick(own.passwordFile, defaults.passwordFile, QString());
        site.databases = pick(own.databases, defaults.databases, QStringList());
        site.mqtt = pick(own.mqtt, defaults.mqtt, QStringList());
        site.localFiles = pick(own.localFiles, defaults.localFiles, false);
        site.schedule.listen = pick(own.listen, defaults.listen, true);
        site.schedule.readPacketsEveryHours =
            pick(own.readPacketsEveryHours, defaults.readPacketsEveryHours, 0);
        site.schedule.readMonthsOnDay = pick(own.readMonthsOnDay, defaults.readMonthsOnDay, 0);
        site.schedule.clockCheck = pick(own.clockCheck, defaults.clockCheck, false);
        site.schedule.clockSetWhenOffBySeconds =
            pick(own.clockSetWhenOffBySeconds, defaults.clockSetWhenOffBySeconds, 0);

        if (!site.name.isEmpty()) {
            const QString key = site.name.toCaseFolded();
            if (const auto first = names_.find(key); first != names_.end()) {
                Error(*nameNode, QCoreApplication::translate(
                                     "collect::SitesFile",
                                     "имя «%1» уже носит концентратор в строке %2 (большие и малые "
                                     "буквы не различаются).")
                                     .arg(site.name)
                                     .arg(first->second));
            } else {
                names_.emplace(key, site.line);
            }
        }
        if (!site.port.isEmpty() && site.portKind != PortKind::CallsIn) {
            const QString key = PortIdentity(site.port, site.portKind);
            if (const auto first = ports_.find(key); first != ports_.end()) {
                Error(*portNode,
                      QCoreApplication::translate(
                          "collect::SitesFile",
                          "порт «%1» уже у концентратора «%2» (строка %3): один порт — один концентратор.")
                          .arg(site.port, first->second.first)
                          .arg(first->second.second));
            } else {
                ports_.emplace(key, std::make_pair(site.name, site.line));
            }
        }
        if (site.uartId && site.portKind == PortKind::CallsIn) {
            if (const auto first = callsIn_.find(*site.uartId); first != callsIn_.end()) {
                Error(*uartNode, QCoreApplication::translate(
                                     "collect::SitesFile",
                                     "UART-ID %1 уже у концентратора «%2» (строка %3), который тоже "
                                     "звонит сам: по звонку их не различить.")
                                     .arg(QString::asprintf("%04X", *site.uartId), first->second.first)
                                     .arg(first->second.second));
            } else {
                callsIn_.emplace(*site.uartId, std::make_pair(site.name, site.line));
            }
        }
        if (errors_.size() == errorsBefore) {
            sites_.push_back(std::move(site));
        }
    }

    std::optional<std::uint16_t> UartId(const toml::node& node) {
        static const QRegularExpression kHex(QStringLiteral("^[0-9A-Fa-f]{1,4}$"));
        const auto* text = node.as_string();
        if (text == nullptr) {
            Error(node, node.is_integer()
                            ? QCoreApplication::translate(
                                  "collect::SitesFile",
                                  "«uart_id» пишется строкой шестнадцатеричных цифр в кавычках: "
                                  "uart_id = \"2A3F\".")
                            : QCoreApplication::translate(
                                  "collect::SitesFile",
                                  "«uart_id» — строка шестнадцатеричных цифр в кавычках, а записано: %1.")
                                  .arg(TypeName(node)));
            return std::nullopt;
        }
        const QString hex = Text(text->get());
        if (!kHex.match(hex).hasMatch()) {
            Error(node, QCoreApplication::translate("collect::SitesFile",
                                                    "UART-ID «%1» - не шестнадцатеричное число из 1-4 цифр.")
                            .arg(hex));
            return std::nullopt;
        }
        const auto id = static_cast<std::uint16_t>(hex.toUInt(nullptr, 16));
        if (const QString reason = commands::UnreachableAddressReason(id); !reason.isEmpty()) {
            Error(node, QCoreApplication::translate("collect::SitesFile", "UART-ID %1 не годится: %2")
                            .arg(hex.toUpper(), reason));
            return std::nullopt;
        }
        return id;
    }

    QString directory_;
    std::vector<SitesFileError> errors_;
    std::vector<Site> sites_;
    CollectorLimits limits_;
    std::map<QString, int> names_;                      // case-folded name → line
    std::map<QString, std::pair<QString, int>> ports_;  // port identity → site, line
    std::map<std::uint16_t, std::pair<QString, int>> callsIn_;
};

// Line and column (from 1, in characters) of a byte offset.
std::pair<int, int> Place(const QByteArray& bytes, qsizetype offset) {
    int line = 1;
    int column = 1;
    for (qsizetype i = 0; i < offset; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == '\n') {
            ++line;
            column = 1;
        } else if ((c & 0xC0) != 0x80) {
            ++column;
        }
    }
    return {line, column};
}

}  // namespace

QStringList SitesFileResult::Messages(const QString& fileName) const {
    QStringList list;
    for (const SitesFileError& e : errors) {
        if (e.line > 0 && e.column > 0) {
            list << QStringLiteral("%1:%2:%3: %4").arg(fileName).arg(e.line).arg(e.column).arg(e.message);
        } else if (e.line > 0) {
            list << QStringLiteral("%1:%2: %3").arg(fileName).arg(e.line).arg(e.message);
        } else {
            list << QStringLiteral("%1: %2").arg(fileName, e.message);
        }
    }
    return list;
}

SitesFileResult ReadSitesFile(const QString& path) {
    SitesFileResult result;
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
        result.errors.push_back(
            {0, 0,
             QFileInfo::exists(path)
                 ? QCoreApplication::translate("collect::SitesFile", "файл концентраторов не читается: %1.")
                       .arg(file.errorString())
                 : QCoreApplication::translate("collect::SitesFile", "файла концентраторов нет.")});
        return result;
    }
    // Read one byte past the limit rather than trust the size: a pipe or a device has none.
    const QByteArray bytes = file.read(kMaxSitesFileBytes + 1);
    if (bytes.size() > kMaxSitesFileBytes) {
        result.errors.push_back(
            {0, 0,
             QCoreApplication::translate("collect::SitesFile",
                                         "файл больше %1 КиБ: файл концентраторов не бывает таким большим.")
                 .arg(kMaxSitesFileBytes / 1024)});
        return result;
    }
    return ParseSitesFile(bytes, QFileInfo(path).absolutePath());
}

SitesFileResult ParseSitesFile(const QByteArray& bytes, const QString& directory) {
    SitesFileResult result;
    if (bytes.size() > kMaxSitesFileBytes) {
        result.errors.push_back(
            {0, 0,
             QCoreApplication::translate("collect::SitesFile",
                                         "файл больше %1 КиБ: файл концентраторов не бывает таким большим.")
                 .arg(kMaxSitesFileBytes / 1024)});
        return result;
    }
    if (const qsizetype bad = FirstBadUtf8(bytes); bad >= 0) {
        const auto [line, column] = Place(bytes, bad);
        result.errors.push_back(
            {line, column,
             QCoreApplication::translate("collect::SitesFile",
                                         "файл не в кодировке UTF-8 (байт %1h); сохраните его в UTF-8.")
                 .arg(QString::asprintf("%02X", static_cast<unsigned char>(bytes[bad])))});
        return result;
    }
    toml::table root;
    try {
        root = toml::parse(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    } catch (const toml::parse_error& error) {
        result.errors.push_back(
            {static_cast<int>(error.source().begin.line), static_cast<int>(error.source().begin.column),
             QCoreApplication::translate("collect::SitesFile", "ошибка в записи TOML: %1.")
                 .arg(Text(error.description()))});
        return result;
    }
    return Reader(directory).Read(root);
}

namespace {

// A JSON value as the TOML value a sites file would hold; false for null (the key is left out).
bool InsertToml(toml::table& table, const QString& key, const QJsonValue& value) {
    const std::string name = key.toStdString();
    switch (value.type()) {
        case QJsonValue::Bool:
            table.insert(name, value.toBool());
            return true;
        case QJsonValue::Double: {
            const double number = value.toDouble();
            // Beyond ±2^62 the conversion would be undefined; such a number is out of every range.
            if (std::abs(number) < 4.6e18 && number == std::trunc(number)) {
                table.insert(name, static_cast<std::int64_t>(number));
            } else {
                table.insert(name, number);
            }
            return true;
        }
        case QJsonValue::String:
            table.insert(name, value.toString().toStdString());
            return true;
        case QJsonValue::Array: {
            toml::array array;
            for (const QJsonValue& item : value.toArray()) {
                toml::table holder;
                if (InsertToml(holder, QStringLiteral("x"), item)) {
                    array.push_back(std::move(*holder.get("x")));
                }
            }
            table.insert(name, std::move(array));
            return true;
        }
        case QJsonValue::Object:
            table.insert(name, toml::table());
            return true;
        default:
            return false;
    }
}

}  // namespace

SitesFileResult ParseSiteRows(const QJsonArray& rows, const QString& directory) {
    // The rows become the file they stand for, so that they pass exactly the file's checks; each
    // error's line in that text is then turned back into its row and key.
    if (rows.isEmpty()) {
        SitesFileResult result;
        result.errors.push_back(
            {0, 0,
             QCoreApplication::translate("collect::SitesFile", "в таблице нет ни одного концентратора.")});
        return result;
    }
    toml::array sites;
    QStringList names;
    for (const QJsonValue& row : rows) {
        toml::table table;
        const QJsonObject object = row.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            InsertToml(table, it.key(), it.value());
        }
        names << object.value(QStringLiteral("name")).toString();
        sites.push_back(std::move(table));
    }
    toml::table root;
    root.insert("site", std::move(sites));
    std::ostringstream text;
    text << toml::toml_formatter(root);
    const std::string written = text.str();
    toml::table parsed;
    try {
        parsed = toml::parse(written);
    } catch (const toml::parse_error& error) {
        SitesFileResult result;
        result.errors.push_back(
            {0, 0,
             QCoreApplication::translate("collect::SitesFile", "строки таблицы не читаются: %1.")
                 .arg(Text(error.description()))});
        return result;
    }

    std::vector<std::pair<int, int>> rowLines;  // first line, row
    std::map<int, QString> keyLines;            // line → key
    if (const toml::array* array = parsed["site"].as_array()) {
        int row = 0;
        for (const toml::node& node : *array) {
            ++row;
            rowLines.emplace_back(static_cast<int>(node.source().begin.line), row);
            for (auto&& [key, value] : *node.as_table()) {
                keyLines[static_cast<int>(key.source().begin.line)] = Text(key.str());
            }
        }
    }
    SitesFileResult result = Reader(directory).Read(parsed);
    for (std::size_t i = 0; i < result.sites.size(); ++i) {
        result.sites[i].line = static_cast<int>(i) + 1;
    }
    // The messages that name another site's line mean its row (in the language of the messages).
    const QRegularExpression lineWords(QCoreApplication::translate(
        "collect::SitesFile", "(строк[еаи]) (\\d+)",
        "a regular expression: the word before a line number in this file's messages, then the number"));
    for (SitesFileError& error : result.errors) {
        int row = 0;
        for (const auto& [line, number] : rowLines) {
            if (line <= error.line) {
                row = number;
            }
        }
        const QString name = row > 0 ? names[row - 1] : QString();
        QString where = name.isEmpty() ? QCoreApplication::translate("collect::SitesFile", "строка без имени")
                                       : QStringLiteral("«%1»").arg(name);
        if (const auto key = keyLines.find(error.line); key != keyLines.end()) {
            where += QStringLiteral(", ") + key->second;
        }
        QString message = error.message;
        for (auto match = lineWords.match(message); match.hasMatch();
             match = lineWords.match(message, match.capturedStart() + 1)) {
            const int line = match.captured(2).toInt();
            int other = 0;
            for (const auto& [first, number] : rowLines) {
                if (first <= line) {
                    other = number;
                }
            }
            message.replace(match.capturedStart(2), match.capturedLength(2), QString::number(other));
        }
        error.message = where + QStringLiteral(": ") + message;
        error.line = row;
        error.column = 0;
    }
    return result;
}

}  // namespace lumvaris::collect
