#pragma once

#include <QString>

class QFileDevice;

namespace lumvaris::meterdata {

// Why a file cannot be written, in words the engineer can act on: a folder of that name, a
// missing folder, a write-protected file, a folder without write permission. Empty when a write
// would succeed. Found by opening the file the way a save does (a temporary file beside it) and
// discarding that, so the file itself is never touched.
QString WriteProblem(const QString& fileName);

// The reason after a write of fileName through `file` failed: the cause above when one is found,
// else what the device reports, in Russian (a full disk, an input/output error).
QString WriteFailure(const QString& fileName, const QFileDevice& file);

}  // namespace lumvaris::meterdata
