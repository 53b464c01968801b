#include "sinks/SinkUrl.h"

#include <QCoreApplication>
#include "sinks/CsvSink.h"
#include "sinks/ISink.h"
#include "sinks/JsonLinesSink.h"
#include "sinks/LineFileSink.h"
#include "sinks/SqlSink.h"

#include <libpq-fe.h>

#include <algorithm>

namespace lumvaris::sinks {

namespace {

QString Forms() {
    return QCoreApplication::translate(
        "sinks::SinkUrl",
        "Ожидается sqlite:ФАЙЛ, postgresql://пользователь@сервер:порт/база, csv:ФАЙЛ, jsonl:ФАЙЛ "
        "или jsonl:- (стандартный вывод).");
}

// A connection that hangs gives up after this many seconds unless the address says otherwise, so
// that an unreachable server is reported and retried instead of holding the writer for minutes.
const QString kDefaultConnectTimeout = QStringLiteral("10");

bool ParsePostgres(const QString& url, SinkAddress& address, QString& error) {
    char* message = nullptr;
    PQconninfoOption* options = PQconninfoParse(url.toUtf8().constData(), &message);
    if (options == nullptr) {
        const QString why = message != nullptr
                                ? QString::fromUtf8(message).trimmed()
                                : QCoreApplication::translate("sinks::SinkUrl", "недостаточно памяти");
        PQfreemem(message);
        error = QCoreApplication::translate("sinks::SinkUrl",
                                            "Адрес базы данных PostgreSQL «%1» не распознан: %2")
                    .arg(url, why);
        return false;
    }
    bool ok = true;
    bool timeoutGiven = false;
    for (PQconninfoOption* option = options; option->keyword != nullptr; ++option) {
        if (option->val == nullptr) {
            continue;
        }
        const QString keyword = QString::fromUtf8(option->keyword);
        const QString value = QString::fromUtf8(option->val);
        if (keyword == QLatin1String("password")) {
            error = QCoreApplication::translate(
                        "sinks::SinkUrl",
                        "Адрес «%1» содержит пароль. Пароль в адресе не принимается, чтобы он не попал в "
                        "файлы настроек: укажите его в файле ~/.pgpass или в переменной окружения "
                        "PGPASSWORD.")
                        .arg(url);
            ok = false;
            break;
        }
        if (value.contains(QLatin1Char(';'))) {
            // Qt's driver separates parameters by ';' before libpq sees them.
            error = QCoreApplication::translate(
                        "sinks::SinkUrl",
                        "Адрес «%1»: значение параметра «%2» содержит «;», что драйвер базы "
                        "данных не передаёт.")
                        .arg(url, keyword);
            ok = false;
            break;
        }
        if (keyword == QLatin1String("port")) {
            // libpq takes any text here and fails only when it connects; a port is a number.
            for (const QString& port : value.split(QLatin1Char(','))) {
                bool number = false;
                const int n = port.toInt(&number);
                if (!port.isEmpty() && (!number || n < 1 || n > 65535)) {
                    error = QCoreApplication::translate(
                                "sinks::SinkUrl",
                                "Адрес базы данных PostgreSQL «%1» не распознан: порт «%2» - не число "
                                "от 1 до 65535.")
                                .arg(url, port);
                    ok = false;
                }
            }
            if (!ok) {
                break;
            }
        }
        timeoutGiven = timeoutGiven || keyword == QLatin1String("connect_timeout");
        address.Parameters.append({keyword, value});
    }
    PQconninfoFree(options);
    if (ok && !timeoutGiven) {
        address.Parameters.append({QStringLiteral("connect_timeout"), kDefaultConnectTimeout});
    }
    // Over TCP, a server that vanished from the network (a cable cut, a black hole) is found by the
    // connection itself within about half a minute, unless the address says otherwise.
    const struct {
        const char* keyword;
        const char* value;
    } kAlive[] = {{"keepalives_idle", "10"},
                  {"keepalives_interval", "5"},
                  {"keepalives_count", "3"},
                  {"tcp_user_timeout", "30000"}};
    for (const auto& alive : kAlive) {
        const bool given =
            std::any_of(address.Parameters.begin(), address.Parameters.end(),
                        [&](const auto& p) { return p.first == QLatin1String(alive.keyword); });
        if (ok && !given) {
            address.Parameters.append({QString::fromLatin1(alive.keyword), QString::fromLatin1(alive.value)});
        }
    }
    return ok;
}

}  // namespace

bool ParseSinkUrl(const QString& url, SinkAddress& address, QString& error) {
    address = SinkAddress();
    address.Url = url;
    error.clear();
    if (url.trimmed().isEmpty()) {
        error =
            QCoreApplication::translate("sinks::SinkUrl", "Адрес для записи показаний не указан. ") + Forms();
        return false;
    }
    if (url.startsWith(QLatin1String("postgresql://")) || url.startsWith(QLatin1String("postgres://"))) {
        address.Kind = SinkKind::Postgres;
        return ParsePostgres(url, address, error);
    }
    struct FileScheme {
        const char* prefix;
        SinkKind kind;
    };
    const FileScheme schemes[] = {
        {"sqlite:", SinkKind::Sqlite}, {"csv:", SinkKind::Csv}, {"jsonl:", SinkKind::JsonLines}};
    for (const FileScheme& scheme : schemes) {
        const QLatin1String prefix(scheme.prefix);
        if (!url.startsWith(prefix)) {
            continue;
        }
        address.Kind = scheme.kind;
        address.Path = url.mid(prefix.size());
        if (address.Path.isEmpty()) {
            error = QCoreApplication::translate("sinks::SinkUrl", "В адресе «%1» не указан файл.").arg(url);
            return false;
        }
        if (address.Path == QLatin1String("-") && scheme.kind != SinkKind::JsonLines) {
            error = QCoreApplication::translate(
                        "sinks::SinkUrl", "В адресе «%1»: стандартный вывод («-») принимает только jsonl:-.")
                        .arg(url);
            return false;
        }
        return true;
    }
    error = QCoreApplication::translate("sinks::SinkUrl", "Адрес «%1» не распознан. ").arg(url) + Forms();
    return false;
}

std::unique_ptr<ISink> CreateSink(const SinkAddress& address, FileWrite write) {
    const LineFileSink::Mode mode =
        write == FileWrite::Whole ? LineFileSink::Mode::Whole : LineFileSink::Mode::Append;
    switch (address.Kind) {
        case SinkKind::Sqlite:
        case SinkKind::Postgres:
            return std::make_unique<SqlSink>(address);
        case SinkKind::Csv:
            return std::make_unique<CsvSink>(address, mode);
        case SinkKind::JsonLines:
            return std::make_unique<JsonLinesSink>(address, mode);
    }
    return nullptr;
}

std::unique_ptr<ISink> OpenSink(const QString& url, QString& error, FileWrite write) {
    SinkAddress address;
    if (!ParseSinkUrl(url, address, error)) {
        return nullptr;
    }
    std::unique_ptr<ISink> sink = CreateSink(address, write);
    if (!sink->Open()) {
        error = sink->LastError();
        return nullptr;
    }
    return sink;
}

}  // namespace lumvaris::sinks
