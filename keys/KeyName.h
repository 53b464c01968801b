#pragma once

#include <QString>

namespace lumvaris::keys {

// The key name: the text of the key field without leading and trailing blanks and control
// characters (every character up to U+0020, DEL and the C1 controls). It is both the pass phrase
// that is hashed and the identifier of its entry in the key file.
QString KeyNameFromText(const QString& text);

// Why a key name cannot be used, as the message the user sees; empty when it can. A name must fit
// in code page 1251 and must read back from the key file as the same identifier: so no "=" and no
// line break anywhere, and no "[" (a section header) or ";" (a comment line) at its start. The
// empty name is allowed: it stands for the all-zero key.
QString KeyNameError(const QString& keyName);

}  // namespace lumvaris::keys
