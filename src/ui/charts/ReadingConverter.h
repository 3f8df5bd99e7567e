#pragma once

#include <QSet>
#include <QString>

// Turns the PV and SV texts of one tick into numbers for a chart: an empty text (no reading)
// is 0. A text that is not a number is 0 too, and its conversion error is raised once at the
// end of the tick that first met it -- not again on every tick while the same text stands,
// which would bury the operator in boxes twice a second.
class ReadingConverter
{
public:
    double value(const QString& text);
    // After the tick's values are in place: raises the first error not raised before.
    void finishTick();

private:
    QSet<QString> m_reported;
    QSet<QString> m_badThisTick;
    QString m_firstNew;
};
