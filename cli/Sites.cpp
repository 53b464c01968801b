#include <QJsonObject>

#include <QCoreApplication>
#include "cli/Commands.h"
#include "collect/Claims.h"

namespace lumvaris::cli {

ExitStatus RunSites(const Options& options, Output& output) {
    std::vector<collect::ClaimRow> rows;
    QString why;
    if (!collect::ReadClaims(options.claimUrl, rows, why)) {
        output.Message(
            QCoreApplication::translate("cli::Sites", "Занятые участки не прочитаны: %1").arg(why));
        return ExitStatus::PortNotOpened;
    }
    if (output.Json()) {
        for (const collect::ClaimRow& row : rows) {
            QJsonObject object{{"site", row.site}};
            object.insert(QStringLiteral("collector"),
                          row.collector.isEmpty() ? QJsonValue() : row.collector);
            object.insert(QStringLiteral("since"), row.since.isEmpty() ? QJsonValue() : row.since);
            output.Object(object);
        }
        return ExitStatus::Done;
    }
    for (const QString& line : collect::ClaimsText(rows)) {
        output.Text(line);
    }
    return ExitStatus::Done;
}

}  // namespace lumvaris::cli
