#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QString>
#include <QStringList>

#include <vector>

#include "collect/Site.h"

namespace lumvaris::collect {

// The largest sites file read: a thousand sites take some 200 KiB.
inline constexpr qint64 kMaxSitesFileBytes = 1024 * 1024;

// One mistake of a sites file; line and column count from 1, 0 when the mistake has no place
// (the file is missing).
struct SitesFileError {
    int line = 0;
    int column = 0;
    QString message;  // Russian, without the place
};

struct SitesFileResult {
    std::vector<Site> sites;  // empty when there is any error
    CollectorLimits limits;
    std::vector<SitesFileError> errors;  // in the order of the file

    bool Ok() const { return errors.empty(); }
    // "sites.toml:12:5: message", one per error, as a compiler writes them; "sites:3: message"
    // when the place has no column (a row of the sites table).
    QStringList Messages(const QString& fileName) const;
};

// Reads a sites file (TOML): a [defaults] table, [[site]] entries and a [collector] table. Every mistake of
// the file is reported at once. A relative password_file is taken from the file's own directory.
SitesFileResult ReadSitesFile(const QString& path);

// The same for a file's bytes; `directory` is where relative password files are looked for.
SitesFileResult ParseSitesFile(const QByteArray& bytes, const QString& directory);

// Sites given as rows (one JSON object each, keys as in [[site]], null for a value not given),
// with every check of the file and the defaults of an empty [defaults]. An error's line is the
// row's number from 1, without a column; its message names the site and the key.
SitesFileResult ParseSiteRows(const QJsonArray& rows, const QString& directory);

}  // namespace lumvaris::collect
