#include "record/DataRecorder.h"

#include "core/LocaleText.h"

#include <QDir>
#include <QTimer>
#include <limits>

namespace record {

DataRecorder::DataRecorder(Values values, QObject* parent)
    : QObject(parent), m_values(std::move(values)),
      m_clock([] { return QDateTime::currentDateTime(); })
{
    setObjectName(QStringLiteral("DataRecorder"));
    m_settings.RecordFolder = QDir::homePath() + QStringLiteral("/Quillmere Data");
    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("TmrRecord"));
    m_timer->setInterval(5000); // until the first OK
    connect(m_timer, &QTimer::timeout, this, &DataRecorder::TmrRecordTimer);
}

void DataRecorder::setSampleInterval(qint64 ms)
{
    // A zero interval would make a timer fire without pause; a negative one is refused by
    // QTimer. Both mean: no rows.
    const bool fires = ms > 0;
    m_timer->setInterval(fires ? int(qMin<qint64>(ms, std::numeric_limits<int>::max())) : 0);
    if (!fires)
        m_timer->stop();
}

int DataRecorder::interval() const
{
    return m_timer->interval();
}

void DataRecorder::switchTimer(bool on)
{
    if (on && m_timer->interval() > 0) {
        m_timer->start();
        return;
    }
    m_timer->stop();
    // A failure stays in sight while rows wait for their folder.
    if (!m_failing)
        setState({});
}

bool DataRecorder::isActive() const
{
    return m_timer->isActive();
}

void DataRecorder::TmrRecordTimer()
{
    const QDateTime at = m_clock();
    const QString time = core::longTimeText(at.time(), m_locale);
    const RecordValues values = m_values ? m_values() : RecordValues{};
    std::array<QByteArray, 3> rows;
    for (std::size_t m = 0; m < rows.size(); ++m)
        rows[m] = rowLine(time, values[m]);
    QString folder = m_folder ? m_folder() : m_settings.RecordFolder;
    // A trailing separator would make "F/" and "F" two folders to the checks below.
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);

    const std::optional<RecordFailure> failure = m_files.writeTick(
        folder, fileName(at, m_settings.RecordSaveUnit, m_settings.RecordFileType, m_locale),
        m_settings.RecordFileType, rows);
    m_failing = failure.has_value();
    if (!failure) {
        setState(QStringLiteral("Recording"));
        return;
    }
    QString text = QStringLiteral("Recording failed: %1: %2 (%3 rows waiting)")
                       .arg(failure->reason, QDir::toNativeSeparators(failure->path))
                       .arg(m_files.waitingRows());
    if (m_files.droppedRows() > 0)
        text += QStringLiteral(", %1 rows lost").arg(m_files.droppedRows());
    setState(text);
}

void DataRecorder::setState(const QString& text)
{
    if (text == m_state)
        return;
    m_state = text;
    stateChanged(text);
}

} // namespace record
