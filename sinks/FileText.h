#pragma once

#include <QString>

class QFileDevice;

namespace lumvaris::sinks {

// What the system says of an error number, in Russian for the causes an engineer meets (a full
// disk, no permission, a directory, a pipe without a reader); the system's own text otherwise.
QString SystemErrorText(int errorNumber);

// Why the last operation on `file` failed, in the same words: taken from errno where it still
// tells, from the device's error kind otherwise.
QString FileErrorText(const QFileDevice& file);

}  // namespace lumvaris::sinks
