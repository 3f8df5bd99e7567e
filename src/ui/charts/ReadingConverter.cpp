#include "ui/charts/ReadingConverter.h"

#include "core/Conversions.h"
#include "core/QuillmereError.h"

#include <utility>

double ReadingConverter::value(const QString& text)
{
    if (text.isEmpty())
        return 0;
    try {
        return core::toFloat(text);
    } catch (const QuillmereError& error) {
        m_badThisTick.insert(text);
        if (m_firstNew.isEmpty() && !m_reported.contains(text))
            m_firstNew = error.message();
        return 0;
    }
}

void ReadingConverter::finishTick()
{
    // A text that went away and comes back later is worth another message.
    m_reported = std::exchange(m_badThisTick, {});
    const QString message = std::exchange(m_firstNew, QString());
    if (!message.isEmpty())
        throw QuillmereError(message);
}
