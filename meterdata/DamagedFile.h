#pragma once

#include <QString>

namespace lumvaris::meterdata {

// Renames a file that cannot be used to "<name>.damaged-<yyyyMMdd-hhmmss>" (with "-2", "-3", ...
// when that name is taken), so that nothing ever overwrites it. Returns the new name, or an empty
// text when the file could not be renamed.
QString RenameDamagedFile(const QString& fileName);

}  // namespace lumvaris::meterdata
