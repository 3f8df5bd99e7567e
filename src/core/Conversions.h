#pragma once

#include <QLocale>
#include <QString>

namespace core {

// A typed text as a 32-bit integer: optional sign and decimal digits, nothing else. Raises
// QuillmereError "'<text>' is not a valid integer value" otherwise (empty text included).
int toInteger(const QString& text);

// A typed text as a floating-point number in the locale's format (its decimal separator only,
// no group separators); blanks around it are allowed. Raises QuillmereError "'<text>' is not a
// valid floating point value" otherwise.
double toFloat(const QString& text, const QLocale& locale = QLocale::system());

} // namespace core
