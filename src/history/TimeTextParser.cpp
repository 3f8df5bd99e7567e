#include "history/TimeTextParser.h"

#include "core/LocaleText.h"

#include <QDateTime>
#include <cstring>

namespace history {
namespace {

// The longest of `names` that [p, end) starts with: its index, or -1.
int matchName(const std::vector<QByteArray>& names, const char* p, const char* end)
{
    int best = -1;
    qsizetype bestSize = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const QByteArray& n = names[i];
        if (n.size() > bestSize && n.size() <= end - p && std::memcmp(p, n.data(), n.size()) == 0) {
            best = int(i);
            bestSize = n.size();
        }
    }
    return best;
}

} // namespace

TimeTextParser::TimeTextParser(const QLocale& locale, bool withDate)
    : m_locale(locale), m_withDate(withDate)
{
    m_format = core::longTimeFormat(locale);
    if (withDate)
        m_format = locale.dateFormat(QLocale::ShortFormat) + QLatin1Char(' ') + m_format;
    // Digits other than 0-9 would need the locale's own reading of them.
    m_fast = locale.zeroDigit() == QLatin1String("0");
    tokenize(m_format);
}

void TimeTextParser::tokenize(const QString& format)
{
    const auto literal = [this](const QString& text) {
        const QByteArray bytes = text.toLocal8Bit();
        if (!m_tokens.empty() && m_tokens.back().kind == Kind::Literal)
            m_tokens.back().text += bytes;
        else
            m_tokens.push_back(Token{Kind::Literal, 0, 0, bytes, {}});
    };
    qsizetype i = 0;
    while (i < format.size()) {
        const QChar c = format[i];
        if (c == QLatin1Char('\'')) {
            // Quoted text, where '' is one quote.
            qsizetype j = i + 1;
            QString text;
            while (j < format.size()) {
                if (format[j] == QLatin1Char('\'')) {
                    if (j + 1 < format.size() && format[j + 1] == QLatin1Char('\'')) {
                        text += QLatin1Char('\'');
                        j += 2;
                        continue;
                    }
                    break;
                }
                text += format[j++];
            }
            literal(i + 1 == j && j < format.size() ? QStringLiteral("'") : text);
            i = j + 1;
            continue;
        }
        qsizetype run = 1;
        while (i + run < format.size() && format[i + run] == c)
            ++run;
        const char l = c.toLatin1();
        Token t{Kind::Literal, 1, 2, {}, {}};
        switch (l) {
        case 'd':
            if (run >= 3) {
                t.kind = Kind::WeekdayName;
                for (int d = 1; d <= 7; ++d)
                    t.names.push_back(
                        m_locale.toString(QDate(2001, 1, d), format.mid(i, run)).toLocal8Bit());
            } else {
                t.kind = Kind::Day;
            }
            break;
        case 'M':
            if (run >= 3) {
                t.kind = Kind::MonthName;
                for (int m = 1; m <= 12; ++m)
                    t.names.push_back(
                        m_locale.toString(QDate(2001, m, 1), format.mid(i, run)).toLocal8Bit());
            } else {
                t.kind = Kind::Month;
            }
            break;
        case 'y':
            if (run == 2 || run == 4) {
                t.kind = Kind::Year;
                t.minDigits = t.maxDigits = run;
                m_twoDigitYear = run == 2;
            }
            break;
        case 'h':
        case 'H':
            t.kind = Kind::Hour;
            break;
        case 'm':
            t.kind = Kind::Minute;
            break;
        case 's':
            t.kind = Kind::Second;
            break;
        case 'A':
        case 'a': {
            // "AP", "ap", "A" and "a" all write the designator; the case is Qt's.
            qsizetype n = 1;
            if (i + 1 < format.size() && format[i + 1].toLower() == QLatin1Char('p'))
                n = 2;
            const QString token = format.mid(i, n);
            t.kind = Kind::AmPm;
            t.names = {m_locale.toString(QTime(1, 0), token).toLocal8Bit(),
                       m_locale.toString(QTime(13, 0), token).toLocal8Bit()};
            m_twelveHour = true;
            i += n;
            m_tokens.push_back(t);
            continue;
        }
        case 'z':
        case 't':
        case 'g':
            m_fast = false; // not written by the recorder's formats; leave them to QLocale
            break;
        default:
            break;
        }
        if (t.kind == Kind::Literal)
            literal(format.mid(i, run));
        else
            m_tokens.push_back(t);
        i += run;
    }
}

bool TimeTextParser::parse(const char* p, const char* end, LocalStamp& stamp) const
{
    if (!m_fast)
        return parseSlow(p, end, stamp);
    int pm = -1;
    stamp = LocalStamp{};
    for (const Token& t : m_tokens) {
        switch (t.kind) {
        case Kind::Literal:
            if (end - p < t.text.size() || std::memcmp(p, t.text.data(), t.text.size()) != 0)
                return false;
            p += t.text.size();
            break;
        case Kind::MonthName:
        case Kind::WeekdayName:
        case Kind::AmPm: {
            const int k = matchName(t.names, p, end);
            if (k < 0)
                return false;
            p += t.names[std::size_t(k)].size();
            if (t.kind == Kind::MonthName)
                stamp.month = k + 1;
            else if (t.kind == Kind::AmPm)
                pm = k;
            break;
        }
        default: {
            int value = 0;
            int digits = 0;
            while (p < end && digits < t.maxDigits && unsigned(*p - '0') < 10) {
                value = value * 10 + (*p++ - '0');
                ++digits;
            }
            if (digits < t.minDigits)
                return false;
            switch (t.kind) {
            case Kind::Day:
                stamp.day = value;
                break;
            case Kind::Month:
                stamp.month = value;
                break;
            case Kind::Year:
                stamp.year = value;
                break;
            case Kind::Hour:
                stamp.hour = value;
                break;
            case Kind::Minute:
                stamp.minute = value;
                break;
            default:
                stamp.second = value;
                break;
            }
        }
        }
    }
    if (p != end)
        return false;
    if (pm >= 0) {
        if (stamp.hour < 1 || stamp.hour > 12)
            return false;
        stamp.hour = stamp.hour % 12 + (pm == 1 ? 12 : 0);
    }
    if (!m_withDate)
        return stamp.hour < 24 && stamp.minute < 60 && stamp.second < 60;
    if (stamp.month < 1 || stamp.month > 12 || stamp.day < 1)
        return false;
    static constexpr int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    // 29 February is checked against the year once the reader knows the century.
    return stamp.day <= days[stamp.month - 1] && stamp.hour < 24 && stamp.minute < 60 &&
           stamp.second < 60;
}

bool TimeTextParser::parseSlow(const char* p, const char* end, LocalStamp& stamp) const
{
    const QString text = QString::fromLocal8Bit(p, qsizetype(end - p));
    const QDateTime at = m_withDate ? m_locale.toDateTime(text, m_format)
                                    : QDateTime(QDate(2000, 1, 1), m_locale.toTime(text, m_format));
    if (!at.isValid())
        return false;
    const QDate date = m_withDate ? at.date() : QDate();
    const QTime time = at.time();
    // QLocale puts two-digit years in 19xx; the reader chooses the century.
    stamp = LocalStamp{m_twoDigitYear ? date.year() % 100 : date.year(),
                       m_withDate ? date.month() : 0,
                       m_withDate ? date.day() : 0,
                       time.hour(),
                       time.minute(),
                       time.second()};
    return true;
}

} // namespace history
