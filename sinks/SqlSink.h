#pragma once

#include "sinks/ISink.h"
#include "sinks/SinkUrl.h"

#include <QSqlDatabase>

#include <memory>

class QSqlError;
class QSqlQuery;

namespace lumvaris::sinks {

// Readings in a SQLite file or a PostgreSQL database through Qt SQL (drivers QSQLITE and QPSQL).
// Both hold the same table "readings" and the version of its layout in "readings_schema"; both are
// created when missing (the statements are in SqlSchema). Each Write is one transaction of
// multi-row inserts through prepared statements; a reading already present is skipped
// (ON CONFLICT DO NOTHING on the unique key site, meter, type, time, word_a, word_b).
class SqlSink final : public ISink {
  public:
    explicit SqlSink(SinkAddress address);
    ~SqlSink() override;

    const QString& Url() const override { return address_.Url; }
    bool Open() override;
    bool Write(std::span<const Reading> readings) override;
    bool Finish() override { return true; }
    void Close() override;
    bool IsOpen() const override { return db_.isOpen(); }
    const QString& LastError() const override { return lastError_; }

    // The connection while open, for the bulk path and for tests.
    QSqlDatabase Database() const { return db_; }

  private:
    bool Fail(const QString& message, const QSqlError& error);
    bool CreateSchema();
    void Rollback();
    bool Insert(std::span<const Reading> readings);
    QSqlQuery* Statement(int rows);

    SinkAddress address_;
    bool postgres_ = false;
    QString connectionName_;
    QSqlDatabase db_;
    std::unique_ptr<QSqlQuery> many_;  // kRowsPerStatement rows
    std::unique_ptr<QSqlQuery> one_;   // the remainder, row by row
    QString lastError_;
};

}  // namespace lumvaris::sinks
