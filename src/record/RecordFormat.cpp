#include "record/RecordFormat.h"

namespace record {

QString fileName(const QDateTime& at, int saveUnit, int fileType, const QLocale& locale)
{
    QString name = locale.toString(at.date(), QLocale::ShortFormat);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    if (saveUnit != 1) {
        const int hour = at.time().hour();
        name += QLatin1Char('_') + (hour < 12 ? locale.amText() : locale.pmText()) +
                QString::number(hour % 12 == 0 ? 12 : hour % 12) + QChar(0x6642);
    }
    return name + (fileType == 0 ? QLatin1String(".txt") : QLatin1String(".xls"));
}

QByteArray headerLine(int fileType)
{
    // The double TAB of the .txt files is how they have always been read back: keep it.
    QByteArray line = fileType == 0 ? "Time\t\t" : "Time\t";
    for (int k = 1; k <= Slots; ++k)
        line += "PV" + QByteArray::number(k) + "\tSV" + QByteArray::number(k) + '\t';
    return line + "\r\n";
}

QByteArray rowLine(const QString& timeText, const MonitorTexts& values)
{
    static const QString empty = QStringLiteral("Empty");
    QString line = timeText + QLatin1Char('\t');
    for (const SlotTexts& slot : values) {
        line += (slot.pv.isEmpty() ? empty : slot.pv) + QLatin1Char('\t');
        line += (slot.sv.isEmpty() ? empty : slot.sv) + QLatin1Char('\t');
    }
    line += QLatin1String("\r\n");
    return line.toLocal8Bit();
}

} // namespace record
