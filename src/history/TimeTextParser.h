#pragma once

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <vector>

namespace history {

// A local date and time of day as a row's time text holds it.
struct LocalStamp
{
    int year = 0; // as written: two digits when the format has two; 0 without a date
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Reads the time texts of the rows (core::longTimeText, the time of day, in the recorder's
// locale; or that with the locale's short date and a blank before it) straight from the
// file's bytes. The locale's formats are turned once
// into a list of fields and literal bytes, so that a row costs a few byte compares and
// digit reads instead of a QString and QLocale's general parser; formats with parts that
// cannot be matched that way (native digits, for one) go through QLocale per text.
class TimeTextParser
{
public:
    // `withDate`: the short date, a blank, then the time; otherwise the time of day only, and
    // the stamp's date is left 0.
    TimeTextParser(const QLocale& locale, bool withDate);

    // Whether [p, end) is a whole time text; `stamp` is filled when it is.
    bool parse(const char* p, const char* end, LocalStamp& stamp) const;
    // Whether the year is written with two digits, to be put in a century by the reader.
    bool twoDigitYear() const { return m_twoDigitYear; }
    QString format() const { return m_format; }

private:
    enum class Kind {
        Literal,
        Day,
        Month,
        MonthName,
        WeekdayName,
        Year,
        Hour,
        Minute,
        Second,
        AmPm
    };
    struct Token
    {
        Kind kind;
        int minDigits = 1;
        int maxDigits = 2;
        QByteArray text;               // Literal
        std::vector<QByteArray> names; // MonthName (1..12), WeekdayName, AmPm (am, pm)
    };

    void tokenize(const QString& format);
    bool parseSlow(const char* p, const char* end, LocalStamp& stamp) const;

    QLocale m_locale;
    QString m_format;
    std::vector<Token> m_tokens;
    bool m_withDate;
    bool m_fast = true;
    bool m_twoDigitYear = false;
    bool m_twelveHour = false;
};

} // namespace history
