#pragma once

#include <QString>
#include <QStringList>

namespace lumvaris::sinks {

// The layout of the readings' tables, the same for SQLite and PostgreSQL but for the types of the
// time (timestamptz; ISO 8601 UTC text in SQLite) and of the value.
namespace SqlSchema {

inline constexpr int kVersion = 1;
inline constexpr const char* kReadingsTable = "readings";
inline constexpr const char* kVersionTable = "readings_schema";

// The statements that create both tables (each "IF NOT EXISTS").
QStringList CreateStatements(bool postgres);

// "INSERT INTO readings (site, ...) VALUES (?, ...), ... ON CONFLICT DO NOTHING" for `rows` rows.
QString InsertStatement(int rows);

}  // namespace SqlSchema

}  // namespace lumvaris::sinks
