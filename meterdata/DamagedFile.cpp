#include "meterdata/DamagedFile.h"

#include <QDateTime>
#include <QFile>

namespace lumvaris::meterdata {

QString RenameDamagedFile(const QString& fileName) {
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    const QString base = fileName + QStringLiteral(".damaged-") + stamp;
    // QFile::rename never replaces an existing file, so a free name is found without a race.
    for (int attempt = 1; attempt <= 1000; ++attempt) {
        const QString candidate = attempt == 1 ? base : base + QLatin1Char('-') + QString::number(attempt);
        if (QFile::exists(candidate)) {
            continue;
        }
        if (QFile::rename(fileName, candidate)) {
            return candidate;
        }
        break;
    }
    return {};
}

}  // namespace lumvaris::meterdata
