#include "engine/DeviationEvaluation.h"

#include "engine/WriteConversion.h"

namespace engine {

namespace {

constexpr int Scale = 9;

QString alarmLine(int monitor, int slot, bool high, const QString& timeText)
{
    return QStringLiteral("Monitor:%1,Controller:%2").arg(monitor).arg(slot) +
           (high ? QStringLiteral("-->Deviation High Alarm!")
                 : QStringLiteral("-->Deviation Low Alarm!")) +
           QStringLiteral("   Time:") + timeText;
}

} // namespace

std::optional<qint64> exactValue(const QString& text, const QLocale& locale)
{
    QString mantissa = text.trimmed();
    int exponent = 0;
    const qsizetype e = mantissa.indexOf(QLatin1Char('E'), 0, Qt::CaseInsensitive);
    if (e >= 0) {
        bool ok = false;
        exponent = mantissa.mid(e + 1).toInt(&ok);
        if (!ok || exponent > 9 || exponent < -Scale)
            return std::nullopt;
        mantissa.truncate(e);
    }
    const auto v = convertWriteValue(mantissa, Scale, locale);
    if (!v)
        return std::nullopt;
    qint64 value = v->integer;
    for (; exponent > 0; --exponent) {
        if (qAbs(value) > std::numeric_limits<qint64>::max() / 10)
            return std::nullopt;
        value *= 10;
    }
    for (; exponent < 0; ++exponent)
        value /= 10;
    return value;
}

QString alarmCountText(int count)
{
    return count < 10 ? QStringLiteral("0") + QString::number(count) : QString::number(count);
}

QList<RaisedAlarm> EvaluateDeviation(StationRecord& record, int monitor, int slot,
                                     const QString& pvText, const QString& svText,
                                     const QString& timeText, const QLocale& locale)
{
    QList<RaisedAlarm> raised;
    if (pvText.isEmpty() || svText.isEmpty() || record.HighLimitText.isEmpty())
        return raised;
    const auto pv = exactValue(pvText, locale);
    const auto sv = exactValue(svText, locale);
    const auto low = exactValue(record.LowLimitText, locale);
    const auto high = exactValue(record.HighLimitText, locale);
    if (!pv || !sv || !low || !high)
        return raised;

    const auto check = [&](bool outside, bool& latched, bool highSide) {
        if (!outside) {
            latched = false;
            return;
        }
        if (latched)
            return;
        latched = true;
        // One counter for both directions: excursions are counted whether reported or not.
        ++record.DeviationCount;
        if (record.AlarmAtFirst || record.DeviationCount >= 2) {
            // Without AlarmAtFirst the first excursion is never reported, so the count of
            // alarms raised is one less than the excursions.
            const int alarms =
                record.AlarmAtFirst ? record.DeviationCount : record.DeviationCount - 1;
            raised.append({alarmLine(monitor, slot, highSide, timeText), alarmCountText(alarms)});
        }
    };
    check(*pv < *sv - *low, record.LowLatched, false);
    check(*pv > *sv + *high, record.HighLatched, true);
    return raised;
}

} // namespace engine
