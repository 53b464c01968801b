#pragma once

#include "sinks/ISink.h"
#include "sinks/SinkUrl.h"

#include <QSqlDatabase>

#include <atomic>
#include <memory>
#include <mutex>

class QSqlError;
struct sqlite3_stmt;
class QSqlQuery;

namespace lumvaris::sinks {

// Readings in a SQLite file or a PostgreSQL database through Qt SQL (drivers QSQLITE and QPSQL).
// Both hold the same table "readings" and the version of its layout in "readings_schema"; both are
// created when missing (the statements are in SqlSchema). Each Write is one transaction of
// multi-row inserts through prepared statements; a reading already present is skipped
// (ON CONFLICT DO NOTHING on the unique key site, meter, type, time, word_a, word_b).
//
// Large batches (an export) take the engines' own paths on the driver's connection, since binding
// each value through Qt SQL costs more than the database's whole work: to SQLite the same insert
// prepared once through its C interface, each row bound and stepped; to PostgreSQL COPY, five
// times faster than the inserts: straight into the table, and when a reading of the batch is
// already there (unique_violation), the batch is rolled back to a savepoint and copied into a
// temporary table instead, from which INSERT ... ON CONFLICT DO NOTHING takes the new ones.
class SqlSink final : public ISink {
  public:
    explicit SqlSink(SinkAddress address);
    ~SqlSink() override;

    const QString& Url() const override { return address_.Url; }
    bool Open() override;
    bool Write(std::span<const Reading> readings, qint64* added = nullptr) override;
    bool Finish() override { return true; }
    void Close() override;
    bool IsOpen() const override { return db_.isOpen(); }
    const QString& LastError() const override { return lastError_; }
    bool Refused() const override { return refused_; }
    // Shuts the connection's socket, so a statement waiting for a server that stopped answering
    // returns at once with a failure.
    void Abort() override;

    // The connection while open, for the bulk path and for tests.
    QSqlDatabase Database() const { return db_; }

  private:
    bool Fail(const QString& message, const QSqlError& error);
    bool CreateSchema();
    void Rollback();
    bool Insert(std::span<const Reading> readings, qint64& added);
    bool Copy(std::span<const Reading> readings, qint64& added);
    bool SqliteInsert(std::span<const Reading> readings, qint64& added);
    void ClassifyOpenFailure(const QSqlError& error);
    QSqlQuery* Statement(int rows);

    SinkAddress address_;
    bool postgres_ = false;
    QString connectionName_;
    QSqlDatabase db_;
    std::unique_ptr<QSqlQuery> many_;       // kRowsPerStatement rows
    std::unique_ptr<QSqlQuery> one_;        // the remainder, row by row
    sqlite3_stmt* sqliteInsert_ = nullptr;  // one row, prepared on the driver's connection
    bool stagingMade_ = false;              // the session's temporary table of the COPY path exists
    QString text_;
    QString lastError_;
    bool refused_ = false;
    std::mutex socketMutex_;
    int socket_ = -1;  // PostgreSQL: the connection's socket while open
    std::atomic<bool> aborted_{false};
};

}  // namespace lumvaris::sinks
