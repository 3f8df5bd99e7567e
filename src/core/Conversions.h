#pragma once

#include <QString>

namespace core {

// A typed text as a 32-bit integer: optional sign and decimal digits, nothing else. Raises
// QuillmereError "'<text>' is not a valid integer value" otherwise (empty text included).
int toInteger(const QString& text);

} // namespace core
