#include "session/Revision.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include "session/TVersionInfo.h"

namespace lumvaris::session {
namespace {

RevisionValues& Values() {
    static RevisionValues values;
    return values;
}

constexpr qint64 kCopyChunk = 1 << 20;

}  // namespace

QString ExecutableSuffix() {
#ifdef Q_OS_WIN
    return QStringLiteral(".exe");
#else
    return QString();
#endif
}

QString ProgramDirectoryOf(const QString& programPath) {
    const qsizetype slash = programPath.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) {
        return QString();
    }
    return programPath.left(slash + 1);
}

RevisionValues MakeRevisionValues(const QString& programPath, const TVersionInfo& version) {
    RevisionValues v;
    v.programPath = QDir::fromNativeSeparators(programPath);
    v.programDirectory = ProgramDirectoryOf(v.programPath);
    v.programFileName = v.programPath.mid(v.programDirectory.size());
    v.versionCaption = version.ProductName() + QStringLiteral(" Rev.") + version.FileShortVersion();
    v.revisionCopyName = v.programDirectory + version.ProductName() + QStringLiteral(".Rev.") +
                         version.FileShortVersion() + ExecutableSuffix();
    v.dataDirectory = v.programDirectory;
    return v;
}

bool RefreshRevisionCopy(const QString& programPath, const QString& revisionCopyName) {
    const QFileInfo program(programPath);
    const QFileInfo copy(revisionCopyName);
    if (copy.exists() && copy.canonicalFilePath() == program.canonicalFilePath()) {
        return false;  // started from its own revision copy
    }
    QFile source(programPath);
    if (!source.open(QIODevice::ReadOnly)) {
        return false;
    }
    if (copy.exists()) {
        // A read-only copy is made writable first so that it can be replaced.
        QFile::setPermissions(revisionCopyName,
                              QFile::permissions(revisionCopyName) | QFile::WriteOwner | QFile::WriteUser);
    }
    QSaveFile target(revisionCopyName);
    if (!target.open(QIODevice::WriteOnly)) {
        return false;
    }
    while (!source.atEnd()) {
        const QByteArray chunk = source.read(kCopyChunk);
        if (chunk.isEmpty() || target.write(chunk) != chunk.size()) {
            target.cancelWriting();
            target.commit();
            return false;
        }
    }
    if (!target.commit()) {
        return false;
    }
    QFile::setPermissions(revisionCopyName, source.permissions());
    return true;
}

bool ProgramDirectoryTakesFiles(const QString& programDirectory) {
#ifdef Q_OS_UNIX
    const QString canonical = QFileInfo(programDirectory).canonicalFilePath() + QLatin1Char('/');
    for (const char* system : {"/usr/", "/bin/", "/sbin/", "/lib/", "/opt/"}) {
        if (canonical.startsWith(QLatin1String(system))) {
            return false;
        }
    }
#endif
    const QFileInfo directory(programDirectory.isEmpty() ? QStringLiteral(".") : programDirectory);
    return directory.isDir() && directory.isWritable();
}

QString UserDataDirectory() {
    QString directory = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (directory.isEmpty()) {
        directory = QDir::homePath() + QStringLiteral("/.local/share/Lumvaris");
    }
    return QDir::fromNativeSeparators(directory) + QLatin1Char('/');
}

void RevisionStart(const QString& programPath) {
    const TVersionInfo version(programPath);
    Values() = MakeRevisionValues(programPath, version);
    RevisionValues& v = Values();
    v.dataDirectory = DataDirectoryOf(v.programDirectory);
    if (v.dataDirectory == v.programDirectory) {
        RefreshRevisionCopy(v.programPath, v.revisionCopyName);
    }
}

QString DataDirectoryOf(const QString& programDirectory) {
    if (ProgramDirectoryTakesFiles(programDirectory)) {
        return programDirectory;
    }
    const QString directory = UserDataDirectory();
    QDir().mkpath(directory);
    return directory;
}

const RevisionValues& Revision() {
    return Values();
}

}  // namespace lumvaris::session
