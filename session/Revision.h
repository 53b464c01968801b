#pragma once

#include <QString>

namespace lumvaris::session {

class TVersionInfo;

// Process-wide values fixed once at program start and kept for the whole run.
struct RevisionValues {
    QString programPath;  // full path of the running executable
    QString
        programDirectory;  // its directory with a trailing '/'; the key, help and database files live there
    QString programFileName;
    QString versionCaption;    // product name + " Rev." + short version
    QString revisionCopyName;  // program directory + product name + ".Rev." + short version + suffix
    // Where the database and key files live, with a trailing '/': the program directory when it
    // takes files (a portable copy, a build folder), otherwise the user's data directory
    // (~/.local/share/Lumvaris/ on Linux), for a program installed under /usr.
    QString dataDirectory;
};

// Whether the program's own directory takes its files: writable by this user, and not a system
// directory of installed programs (where even the superuser's program must not write).
bool ProgramDirectoryTakesFiles(const QString& programDirectory);
// The user's data directory of the program, with a trailing '/'.
QString UserDataDirectory();
// Where a program in this directory keeps its database and key files: the directory itself when it
// takes files, otherwise the user's data directory (made when missing). Both programs, the window
// and the command-line program, decide it so, and so share their files.
QString DataDirectoryOf(const QString& programDirectory);

// The platform's executable suffix: ".exe" on Windows, none elsewhere.
QString ExecutableSuffix();

// Directory part of a path with one trailing '/' (none added if there is one; empty stays empty).
QString ProgramDirectoryOf(const QString& programPath);

RevisionValues MakeRevisionValues(const QString& programPath, const TVersionInfo& version);

// Leaves a copy of the program under the revision copy name: an older copy (even a read-only one)
// is replaced, the executable bit is kept, and a program started from its own revision copy leaves
// that file alone. The copy is written to a temporary file and renamed into place, so a failed
// copy never leaves a truncated one. Failures are ignored; returns whether a copy was written.
bool RefreshRevisionCopy(const QString& programPath, const QString& revisionCopyName);

// At program start, before any window: reads the version, fixes the values above, refreshes the
// revision copy when the program directory takes files and otherwise makes the user's data
// directory.
void RevisionStart(const QString& programPath);

// The values set by RevisionStart (empty before it ran).
const RevisionValues& Revision();

}  // namespace lumvaris::session
