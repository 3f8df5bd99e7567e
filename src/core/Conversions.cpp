#include "core/Conversions.h"

#include "core/QuillmereError.h"

namespace core {

int toInteger(const QString& text)
{
    bool digitsOnly = !text.isEmpty();
    for (qsizetype i = 0; i < text.size() && digitsOnly; ++i) {
        const QChar c = text[i];
        digitsOnly =
            (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
            (i == 0 && (c == QLatin1Char('-') || c == QLatin1Char('+')) && text.size() > 1);
    }
    bool ok = false;
    const int value = digitsOnly ? text.toInt(&ok, 10) : 0;
    if (!ok)
        throw QuillmereError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return value;
}

double toFloat(const QString& text, const QLocale& locale)
{
    QLocale strict = locale;
    strict.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = strict.toDouble(text.trimmed(), &ok);
    if (!ok || !qIsFinite(value))
        throw QuillmereError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    return value;
}

} // namespace core
