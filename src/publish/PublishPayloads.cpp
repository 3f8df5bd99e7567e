#include "publish/PublishPayloads.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <cmath>

namespace publish {

namespace {

// The model holds texts in the operator's locale; a subscriber wants numbers.
QJsonValue numberOrNull(const QString& text, double scale = 1.0, int decimals = -1)
{
    if (text.isEmpty())
        return QJsonValue::Null;
    bool ok = false;
    double value = QLocale::system().toDouble(text.trimmed(), &ok);
    if (!ok)
        value = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok)
        return QJsonValue::Null;
    value *= scale;
    if (decimals >= 0) {
        const double f = std::pow(10.0, decimals);
        value = std::round(value * f) / f;
    }
    return value;
}

} // namespace

SlotState slotState(const StationRecord& record, const QString& title)
{
    // The engine holds a PV only from a good reply on and clears it when the slot is lost.
    const bool heard = !record.LinkLost && !record.PvText.isEmpty();
    return {record.PvText, record.SvText, record.OutText, heard, record.StationId, title};
}

QString isoTime(const QDateTime& time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

QByteArray slotPayload(const SlotState& state, const QDateTime& time)
{
    QJsonObject o;
    o.insert(QStringLiteral("pv"), numberOrNull(state.pv));
    o.insert(QStringLiteral("sv"), numberOrNull(state.sv));
    // The controller reports its output on 0..1000.
    o.insert(QStringLiteral("out"), numberOrNull(state.out, 0.1, 1));
    o.insert(QStringLiteral("link"), state.link);
    o.insert(QStringLiteral("station"), state.station);
    o.insert(QStringLiteral("title"), state.title);
    o.insert(QStringLiteral("time"), isoTime(time));
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray alarmPayload(int monitor, int slot, const QString& line, const QString& count,
                        const QDateTime& time, const QString& id)
{
    QJsonObject o;
    o.insert(QStringLiteral("monitor"), monitor);
    o.insert(QStringLiteral("slot"), slot);
    o.insert(QStringLiteral("kind"),
             line.contains(QLatin1String("High")) ? QStringLiteral("high") : QStringLiteral("low"));
    o.insert(QStringLiteral("line"), line);
    o.insert(QStringLiteral("count"), count);
    o.insert(QStringLiteral("time"), isoTime(time));
    o.insert(QStringLiteral("id"), id);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray linePayload(const LineStatistics& line, const QDateTime& since, const QDateTime& time)
{
    QJsonObject o;
    o.insert(QStringLiteral("com"), line.comPort);
    o.insert(QStringLiteral("transactions"), double(line.transactions));
    o.insert(QStringLiteral("good"), double(line.goodReplies));
    o.insert(QStringLiteral("timeouts"), double(line.timeouts));
    o.insert(QStringLiteral("malformed"), double(line.malformed));
    o.insert(QStringLiteral("portErrors"), double(line.portErrors));
    o.insert(QStringLiteral("writes"), double(line.writes));
    o.insert(QStringLiteral("portError"),
             line.portError.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(line.portError));
    o.insert(QStringLiteral("lastCycleMs"), line.lastCycleMs);
    o.insert(QStringLiteral("averageCycleMs"), line.averageCycleMs);
    o.insert(QStringLiteral("cycles"), double(line.cycles));
    o.insert(QStringLiteral("answering"), line.answeringSlots());
    QJsonArray slotList;
    for (const SlotStatistics& s : line.slotStatistics) {
        QJsonObject so;
        so.insert(QStringLiteral("station"), s.stationId);
        so.insert(QStringLiteral("answering"), s.answering);
        so.insert(QStringLiteral("failures"), double(s.failures));
        so.insert(QStringLiteral("lastGoodReply"), s.lastGoodReply.isValid()
                                                       ? QJsonValue(isoTime(s.lastGoodReply))
                                                       : QJsonValue(QJsonValue::Null));
        slotList.append(so);
    }
    o.insert(QStringLiteral("slots"), slotList);
    o.insert(QStringLiteral("since"), isoTime(since));
    o.insert(QStringLiteral("time"), isoTime(time));
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray droppedPayload(quint64 dropped, const QDateTime& time)
{
    QJsonObject o;
    o.insert(QStringLiteral("dropped"), double(dropped));
    o.insert(QStringLiteral("time"), isoTime(time));
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

} // namespace publish
