#pragma once

#include <QList>
#include <QPair>
#include <QString>

#include <memory>

namespace lumvaris::sinks {

class ISink;

enum class SinkKind { Sqlite, Postgres, Csv, JsonLines };

// A sink address taken apart:
//   sqlite:PATH                      a SQLite database file (created when missing)
//   postgresql://user@host:port/db   a PostgreSQL server, in libpq's URI form (also postgres://,
//                                    and parameters such as ?host=/socket/dir&sslmode=require);
//                                    the password comes from ~/.pgpass or PGPASSWORD, never from
//                                    the address
//   csv:PATH                         a CSV file
//   jsonl:PATH, jsonl:-              a JSON Lines file, or standard output
struct SinkAddress {
    SinkKind Kind = SinkKind::Sqlite;
    QString Url;   // as given
    QString Path;  // the file of sqlite:, csv:, jsonl: ("-" for standard output)
    // PostgreSQL: libpq's connection parameters (keyword, value) as its own parser read the URI.
    QList<QPair<QString, QString>> Parameters;
};

// False with the message for the user when the address cannot be used.
bool ParseSinkUrl(const QString& url, SinkAddress& address, QString& error);

// How a file sink writes its file: appended to as readings arrive (the live feed), or written
// whole and put in place at the end (an export). Databases take no notice.
enum class FileWrite { Append, Whole };

// A sink for the address, not yet opened (a database sink must be opened in the thread that will
// write to it).
std::unique_ptr<ISink> CreateSink(const SinkAddress& address, FileWrite write = FileWrite::Append);

// Parses, creates and opens for an export: the open sink, or null and the message for the user.
std::unique_ptr<ISink> OpenSink(const QString& url, QString& error, FileWrite write = FileWrite::Whole);

}  // namespace lumvaris::sinks
