#include "sinks/SqlSink.h"

#include <QCoreApplication>
#include "sinks/CsvSink.h"
#include "sinks/SqlSchema.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringEncoder>
#include <QVariant>

#include <libpq-fe.h>
#include <sqlite3.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <vector>

namespace lumvaris::sinks {

namespace {

// Rows of one insert statement: 15 parameters a row stay well below SQLite's limit of 32766.
constexpr int kRowsPerStatement = 100;
// Batches from this size on take the engines' own paths.
constexpr std::size_t kCopyRows = 200;

// One result of libpq, freed when it goes.
struct PgResult {
    PGresult* result;
    explicit PgResult(PGresult* r) : result(r) {}
    ~PgResult() { PQclear(result); }
    PgResult(const PgResult&) = delete;
    PgResult& operator=(const PgResult&) = delete;
    bool Ok() const {
        const ExecStatusType status = PQresultStatus(result);
        return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    }
    QString Why() const { return QString::fromUtf8(PQresultErrorMessage(result)).trimmed(); }
    QByteArray State() const {
        const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
        return state != nullptr ? QByteArray(state) : QByteArray();
    }
};

// Runs COPY ... FROM STDIN with the data; the final result.
std::unique_ptr<PgResult> CopyIn(PGconn* connection, const QByteArray& statement, const QByteArray& data) {
    auto started = std::make_unique<PgResult>(PQexec(connection, statement.constData()));
    if (PQresultStatus(started->result) != PGRES_COPY_IN) {
        return started;
    }
    constexpr qsizetype kChunk = 1 << 20;
    bool sent = true;
    for (qsizetype at = 0; sent && at < data.size(); at += kChunk) {
        const auto size = static_cast<int>(std::min(kChunk, data.size() - at));
        sent = PQputCopyData(connection, data.constData() + at, size) == 1;
    }
    PQputCopyEnd(connection, sent ? nullptr : "the data could not be sent");
    std::unique_ptr<PgResult> result = std::make_unique<PgResult>(PQgetResult(connection));
    // The connection is ready again only once every result has been taken.
    while (PGresult* more = PQgetResult(connection)) {
        PQclear(more);
    }
    return result;
}

QByteArray ColumnList() {
    QByteArray columns;
    for (int i = 0; i < kReadingFieldCount; ++i) {
        columns += (i == 0 ? "" : ", ");
        columns += kReadingFields[i];
    }
    return columns;
}

std::atomic<int> connectionCount{0};

// A value in libpq's "keyword='value'" form.
QString ConninfoValue(const QString& value) {
    QString quoted = value;
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    quoted.replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// The engine's own words where it gave any, else the driver's.
QString Why(const QSqlError& error) {
    const QString text = error.databaseText().trimmed();
    return text.isEmpty() ? error.driverText().trimmed() : text;
}

// Texts are never NULL in the table; a null QString would be bound as NULL.
QVariant Text(const QString& text) {
    return text.isNull() ? QVariant(QString(QLatin1String(""))) : QVariant(text);
}

}  // namespace

SqlSink::SqlSink(SinkAddress address)
    : address_(std::move(address)),
      postgres_(address_.Kind == SinkKind::Postgres),
      connectionName_(QStringLiteral("lumvaris-sink-%1").arg(connectionCount.fetch_add(1))) {}

SqlSink::~SqlSink() {
    Close();
}

bool SqlSink::Fail(const QString& message, const QSqlError& error) {
    lastError_ = message.arg(address_.Url, Why(error));
    return false;
}

bool SqlSink::Open() {
    Close();
    lastError_.clear();
    const QString driver = postgres_ ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE");
    if (!QSqlDatabase::isDriverAvailable(driver)) {
        lastError_ =
            QCoreApplication::translate(
                "sinks::SqlSink",
                "Драйвер базы данных %1 не установлен (пакет %2): запись в «%3» невозможна.")
                .arg(driver,
                     postgres_ ? QStringLiteral("libqt6sql6-psql") : QStringLiteral("libqt6sql6-sqlite"),
                     address_.Url);
        return false;
    }
    db_ = QSqlDatabase::addDatabase(driver, connectionName_);
    if (postgres_) {
        QStringList options;
        for (const auto& [keyword, value] : address_.Parameters) {
            options << keyword + QLatin1Char('=') + ConninfoValue(value);
        }
        db_.setConnectOptions(options.join(QLatin1Char(';')));
    } else {
        db_.setDatabaseName(address_.Path);
    }
    aborted_ = false;
    refused_ = false;
    if (!db_.open()) {
        const QSqlError error = db_.lastError();
        Close();
        if (postgres_) {
            ClassifyOpenFailure(error);
            return false;
        }
        return Fail(
            QCoreApplication::translate("sinks::SqlSink", "Не удалось открыть базу данных SQLite «%1»: %2"),
            error);
    }
    if (postgres_) {
        const QVariant handle = db_.driver()->handle();
        if (qstrcmp(handle.typeName(), "pg_conn*") == 0 || qstrcmp(handle.typeName(), "PGconn*") == 0) {
            std::lock_guard lock(socketMutex_);
            socket_ = PQsocket(*static_cast<PGconn* const*>(handle.constData()));
        }
    }
    if (!postgres_) {
        // Write-ahead logging: readers of the file (a report, the sqlite3 shell) and this writer do
        // not block each other, and a commit costs no flush to the disk; a power cut may take the
        // last commits back, never the file's consistency, and the port's own files still hold
        // those records. Where the file system cannot have it (a network share), the file keeps
        // its rollback journal.
        QSqlQuery pragma(db_);
        pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        pragma.finish();
        pragma.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    }
    if (!CreateSchema()) {
        const QString message = lastError_;
        Close();
        lastError_ = message;
        return false;
    }
    return true;
}

bool SqlSink::CreateSchema() {
    const QString failed =
        QCoreApplication::translate("sinks::SqlSink", "Не удалось подготовить таблицы показаний в «%1»: %2");
    const QStringList tables = db_.tables();
    if (tables.contains(QLatin1String(SqlSchema::kReadingsTable)) &&
        tables.contains(QLatin1String(SqlSchema::kVersionTable))) {
        // Present: nothing is created, so a role that may only write rows is enough.
    } else {
        // Two writers that both find the tables missing: the lock (PostgreSQL) or the write
        // transaction (SQLite) lets one create them; the other then finds them.
        if (!db_.transaction()) {
            return Fail(failed, db_.lastError());
        }
        QSqlQuery query(db_);
        bool ok = !postgres_ || query.exec(QStringLiteral("SELECT pg_advisory_xact_lock(7452153)"));
        for (const QString& statement : SqlSchema::CreateStatements(postgres_)) {
            ok = ok && query.exec(statement);
        }
        if (ok) {
            ok = query.exec(QStringLiteral("SELECT count(*) FROM readings_schema")) && query.next();
            if (ok && query.value(0).toInt() == 0) {
                ok = query.exec(QStringLiteral("INSERT INTO readings_schema (version) VALUES (%1)")
                                    .arg(SqlSchema::kVersion));
            }
        }
        if (!ok) {
            const QSqlError error = query.lastError();
            Rollback();
            return Fail(failed, error);
        }
        if (!db_.commit()) {
            const QSqlError error = db_.lastError();
            Rollback();
            return Fail(failed, error);
        }
    }
    QSqlQuery version(db_);
    if (!version.exec(QStringLiteral("SELECT max(version) FROM readings_schema")) || !version.next()) {
        return Fail(failed, version.lastError());
    }
    const int found = version.value(0).toInt();
    if (found > SqlSchema::kVersion) {
        lastError_ = QCoreApplication::translate(
                         "sinks::SqlSink",
                         "Таблицы показаний в «%1» устроены по версии %2, а эта программа знает только "
                         "версию %3: обновите программу.")
                         .arg(address_.Url)
                         .arg(found)
                         .arg(SqlSchema::kVersion);
        return false;
    }
    return true;
}

void SqlSink::Rollback() {
    // A connection the server ended has nothing to roll back.
    if (db_.isOpen()) {
        db_.rollback();
    }
}

void SqlSink::ClassifyOpenFailure(const QSqlError& error) {
    // libpq reports a failed connection in words only (the server's, in its language); the
    // causes that waiting will not mend are told apart by them.
    const QString why = Why(error);
    const QString lower = why.toLower();
    // The server's own words (a Russian server speaks Russian): never translated.
    const bool login =
        lower.contains(QLatin1String("password authentication failed")) ||
        lower.contains(QLatin1String("no password supplied")) ||
        lower.contains(QLatin1String("authentication failed")) ||
        lower.contains(QLatin1String("no pg_hba.conf entry")) ||
        lower.contains(QStringLiteral("проверку подлинности")) ||
        (lower.contains(QLatin1String("role")) && lower.contains(QLatin1String("does not exist"))) ||
        (lower.contains(QStringLiteral("роль")) && lower.contains(QStringLiteral("не существует")));
    const bool noDatabase =
        (lower.contains(QLatin1String("database")) && lower.contains(QLatin1String("does not exist"))) ||
        (lower.contains(QStringLiteral("база данных")) && lower.contains(QStringLiteral("не существует")));
    refused_ = login || noDatabase;
    if (noDatabase) {
        lastError_ =
            QCoreApplication::translate("sinks::SqlSink", "Базы данных в «%1» нет на сервере PostgreSQL: %2")
                .arg(address_.Url, why);
    } else if (login) {
        lastError_ = QCoreApplication::translate(
                         "sinks::SqlSink",
                         "Сервер PostgreSQL «%1» отказал во входе: %2. Проверьте пользователя в адресе и "
                         "пароль (~/.pgpass, PGPASSFILE или PGPASSWORD).")
                         .arg(address_.Url, why);
    } else if (aborted_) {
        lastError_ =
            QCoreApplication::translate("sinks::SqlSink",
                                        "Нет соединения с базой данных PostgreSQL «%1»: сервер не отвечает.")
                .arg(address_.Url);
    } else {
        lastError_ =
            QCoreApplication::translate("sinks::SqlSink", "Нет соединения с базой данных PostgreSQL «%1»: %2")
                .arg(address_.Url, why);
    }
}

void SqlSink::Abort() {
    aborted_ = true;
    std::lock_guard lock(socketMutex_);
    if (socket_ >= 0) {
        ::shutdown(socket_, SHUT_RDWR);
    }
}

void SqlSink::Close() {
    {
        std::lock_guard lock(socketMutex_);
        socket_ = -1;
    }
    stagingMade_ = false;
    sqlite3_finalize(sqliteInsert_);  // before the driver closes the connection
    sqliteInsert_ = nullptr;
    many_.reset();
    one_.reset();
    if (db_.isValid()) {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName_);
    }
}

QSqlQuery* SqlSink::Statement(int rows) {
    std::unique_ptr<QSqlQuery>& query = rows == 1 ? one_ : many_;
    if (!query) {
        auto prepared = std::make_unique<QSqlQuery>(db_);
        if (!prepared->prepare(SqlSchema::InsertStatement(rows))) {
            Fail(QCoreApplication::translate("sinks::SqlSink", "Не удалось записать показания в «%1»: %2"),
                 prepared->lastError());
            return nullptr;
        }
        query = std::move(prepared);
    }
    return query.get();
}

bool SqlSink::Insert(std::span<const Reading> readings, qint64& added) {
    const int rows = static_cast<int>(readings.size());
    QSqlQuery* query = Statement(rows);
    if (query == nullptr) {
        return false;
    }
    const QVariant noValue(QMetaType::fromType<double>());
    int at = 0;
    for (const Reading& r : readings) {
        query->bindValue(at++, Text(r.Site));
        query->bindValue(at++, Text(r.UartId));
        query->bindValue(at++, r.Meter);
        query->bindValue(at++, r.Type);
        query->bindValue(at++, r.WordA);
        query->bindValue(at++, r.WordB);
        query->bindValue(at++, r.Level);
        query->bindValue(at++, Text(r.Phase));
        query->bindValue(at++, TimeText(r.Time));
        query->bindValue(at++, Text(r.Source));
        query->bindValue(at++, Text(r.Family));
        query->bindValue(at++, Text(r.Current));
        query->bindValue(at++, Text(r.Snapshot));
        query->bindValue(at++, r.Value ? QVariant(*r.Value) : noValue);
        query->bindValue(at++, Text(r.Unit));
    }
    if (!query->exec()) {
        return Fail(QCoreApplication::translate("sinks::SqlSink", "Не удалось записать показания в «%1»: %2"),
                    query->lastError());
    }
    added += std::max(0, query->numRowsAffected());
    return true;
}

bool SqlSink::Copy(std::span<const Reading> readings, qint64& added) {
    const QString failed =
        QCoreApplication::translate("sinks::SqlSink", "Не удалось записать показания в «%1»: %2");
    const QVariant handle = db_.driver()->handle();
    // The driver declares the handle as "pg_conn*" (PGconn is its typedef) or "PGconn*".
    if (qstrcmp(handle.typeName(), "pg_conn*") != 0 && qstrcmp(handle.typeName(), "PGconn*") != 0) {
        lastError_ =
            failed.arg(address_.Url, QCoreApplication::translate("sinks::SqlSink", "нет соединения libpq"));
        return false;
    }
    PGconn* connection = *static_cast<PGconn* const*>(handle.constData());
    text_.resize(0);
    for (const Reading& r : readings) {
        CsvSink::AppendLine(r, text_);
    }
    const QByteArray data = text_.toUtf8();
    static const QByteArray columns = ColumnList();
    auto exec = [&](const QByteArray& statement) {
        PgResult result(PQexec(connection, statement.constData()));
        if (!result.Ok()) {
            lastError_ = failed.arg(address_.Url, result.Why());
        }
        return result.Ok();
    };

    if (!exec("SAVEPOINT lumvaris_copy")) {
        return false;
    }
    const std::unique_ptr<PgResult> direct =
        CopyIn(connection, "COPY readings (" + columns + ") FROM STDIN WITH (FORMAT csv)", data);
    if (direct->Ok()) {
        added += static_cast<qint64>(readings.size());
        return exec("RELEASE SAVEPOINT lumvaris_copy");
    }
    if (direct->State() != "23505") {  // anything but unique_violation
        lastError_ = failed.arg(address_.Url, direct->Why());
        return false;
    }
    if (!exec("ROLLBACK TO SAVEPOINT lumvaris_copy")) {
        return false;
    }
    if (!stagingMade_) {
        if (!exec("CREATE TEMPORARY TABLE readings_incoming (LIKE readings) ON COMMIT DELETE ROWS")) {
            return false;
        }
        stagingMade_ = true;
    }
    const std::unique_ptr<PgResult> staged =
        CopyIn(connection, "COPY readings_incoming (" + columns + ") FROM STDIN WITH (FORMAT csv)", data);
    if (!staged->Ok()) {
        lastError_ = failed.arg(address_.Url, staged->Why());
        return false;
    }
    PgResult inserted(PQexec(connection, "INSERT INTO readings (" + columns + ") SELECT " + columns +
                                             " FROM readings_incoming ON CONFLICT DO NOTHING"));
    if (!inserted.Ok()) {
        lastError_ = failed.arg(address_.Url, inserted.Why());
        return false;
    }
    added += QByteArray(PQcmdTuples(inserted.result)).toLongLong();
    return exec("TRUNCATE readings_incoming");
}

bool SqlSink::SqliteInsert(std::span<const Reading> readings, qint64& added) {
    const QString failed =
        QCoreApplication::translate("sinks::SqlSink", "Не удалось записать показания в «%1»: %2");
    if (sqliteInsert_ == nullptr) {
        const QVariant handle = db_.driver()->handle();
        if (qstrcmp(handle.typeName(), "sqlite3*") != 0) {
            lastError_ = failed.arg(address_.Url,
                                    QCoreApplication::translate("sinks::SqlSink", "нет соединения SQLite"));
            return false;
        }
        sqlite3* connection = *static_cast<sqlite3* const*>(handle.constData());
        if (sqlite3_prepare_v2(connection, SqlSchema::InsertStatement(1).toUtf8().constData(), -1,
                               &sqliteInsert_, nullptr) != SQLITE_OK) {
            lastError_ = failed.arg(address_.Url, QString::fromUtf8(sqlite3_errmsg(connection)));
            sqlite3_finalize(sqliteInsert_);
            sqliteInsert_ = nullptr;
            return false;
        }
    }
    sqlite3_stmt* insert = sqliteInsert_;
    QString time;
    // The texts of a row in UTF-8, one buffer for the whole batch: SQLite would convert UTF-16
    // itself, allocating for each value.
    QStringEncoder utf8(QStringEncoder::Utf8);
    std::vector<char> bytes;
    for (const Reading& r : readings) {
        time.resize(0);
        AppendTimeText(r.Time, time);
        const QString* texts[] = {&r.Site,   &r.UartId,  &r.Phase,    &time,  &r.Source,
                                  &r.Family, &r.Current, &r.Snapshot, &r.Unit};
        const int columns[] = {1, 2, 8, 9, 10, 11, 12, 13, 15};
        qsizetype need = 0;
        for (const QString* text : texts) {
            need += utf8.requiredSpace(text->size());
        }
        bytes.resize(static_cast<std::size_t>(need));
        char* at = bytes.data();
        for (int i = 0; i < 9; ++i) {
            char* end = utf8.appendToBuffer(at, *texts[i]);
            sqlite3_bind_text(insert, columns[i], at, static_cast<int>(end - at), SQLITE_STATIC);
            at = end;
        }
        int column = 3;
        for (int number : {r.Meter, r.Type, r.WordA, r.WordB, r.Level}) {
            sqlite3_bind_int(insert, column++, number);
        }
        if (r.Value) {
            sqlite3_bind_double(insert, 14, *r.Value);
        } else {
            sqlite3_bind_null(insert, 14);
        }
        const int stepped = sqlite3_step(insert);
        sqlite3_reset(insert);
        if (stepped == SQLITE_DONE) {
            added += sqlite3_changes(sqlite3_db_handle(insert));
        }
        if (stepped != SQLITE_DONE) {
            lastError_ =
                failed.arg(address_.Url, QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(insert))));
            return false;
        }
    }
    return true;
}

bool SqlSink::Write(std::span<const Reading> readings, qint64* addedOut) {
    lastError_.clear();
    if (addedOut != nullptr) {
        *addedOut = 0;
    }
    if (!db_.isOpen()) {
        lastError_ =
            QCoreApplication::translate("sinks::SqlSink", "Соединение с «%1» не открыто.").arg(address_.Url);
        return false;
    }
    if (readings.empty()) {
        return true;
    }
    if (!db_.transaction()) {
        return Fail(QCoreApplication::translate("sinks::SqlSink", "Не удалось записать показания в «%1»: %2"),
                    db_.lastError());
    }
    bool ok = true;
    qint64 added = 0;
    std::size_t at = 0;
    if (readings.size() >= kCopyRows) {
        ok = postgres_ ? Copy(readings, added) : SqliteInsert(readings, added);
        at = readings.size();
    }
    for (; ok && readings.size() - at >= kRowsPerStatement; at += kRowsPerStatement) {
        ok = Insert(readings.subspan(at, kRowsPerStatement), added);
    }
    for (; ok && at < readings.size(); ++at) {
        ok = Insert(readings.subspan(at, 1), added);
    }
    if (ok && !db_.commit()) {
        ok = Fail(QCoreApplication::translate("sinks::SqlSink", "Не удалось записать показания в «%1»: %2"),
                  db_.lastError());
    }
    if (!ok) {
        if (aborted_) {
            lastError_ =
                QCoreApplication::translate("sinks::SqlSink",
                                            "Нет соединения с базой данных «%1»: сервер не ответил вовремя.")
                    .arg(address_.Url);
        }
        Rollback();
    } else if (addedOut != nullptr) {
        *addedOut = added;
    }
    return ok;
}

}  // namespace lumvaris::sinks
