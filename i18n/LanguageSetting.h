#pragma once

#include <QString>

namespace lumvaris::i18n {

// The window's choice of language, kept between runs in "Lumvaris.ini" of the data directory
// (beside Keys.ini). Empty: never chosen, or the file cannot be read.
QString SavedLanguage(const QString& dataDirectory);

// False when the file cannot be written.
bool SaveLanguage(const QString& dataDirectory, const QString& language);

}  // namespace lumvaris::i18n
