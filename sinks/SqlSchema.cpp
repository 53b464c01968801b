#include "sinks/SqlSchema.h"

#include "sinks/Reading.h"

namespace lumvaris::sinks::SqlSchema {

QStringList CreateStatements(bool postgres) {
    const QString time = postgres ? QStringLiteral("TIMESTAMPTZ") : QStringLiteral("TEXT");
    const QString real = postgres ? QStringLiteral("DOUBLE PRECISION") : QStringLiteral("REAL");
    return {
        QStringLiteral("CREATE TABLE IF NOT EXISTS readings_schema (version INTEGER NOT NULL)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS readings ("
                       "site TEXT NOT NULL, "
                       "uart_id TEXT NOT NULL, "
                       "meter INTEGER NOT NULL, "
                       "type INTEGER NOT NULL, "
                       "word_a INTEGER NOT NULL, "
                       "word_b INTEGER NOT NULL, "
                       "level INTEGER NOT NULL, "
                       "phase TEXT NOT NULL, "
                       "time %1 NOT NULL, "
                       "source TEXT NOT NULL, "
                       "family TEXT NOT NULL, "
                       "current_text TEXT NOT NULL, "
                       "snapshot_text TEXT NOT NULL, "
                       "value %2, "
                       "unit TEXT NOT NULL, "
                       "UNIQUE (site, meter, type, time, word_a, word_b))")
            .arg(time, real),
    };
}

QString InsertStatement(int rows) {
    QString columns;
    QString row = QStringLiteral("(");
    for (int i = 0; i < kReadingFieldCount; ++i) {
        columns += (i == 0 ? QString() : QStringLiteral(", ")) + QLatin1String(kReadingFields[i]);
        row += i == 0 ? QStringLiteral("?") : QStringLiteral(", ?");
    }
    row += QLatin1Char(')');
    QString text = QStringLiteral("INSERT INTO readings (%1) VALUES ").arg(columns);
    for (int r = 0; r < rows; ++r) {
        text += (r == 0 ? QString() : QStringLiteral(", ")) + row;
    }
    return text + QStringLiteral(" ON CONFLICT DO NOTHING");
}

}  // namespace lumvaris::sinks::SqlSchema
