#include "record/DataRecorder.h"

#include "core/LocaleText.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTimer>
#include <algorithm>
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
    m_catchUp = new QTimer(this);
    m_catchUp->setObjectName(QStringLiteral("RecordCatchUp"));
    m_catchUp->setSingleShot(true);
    m_catchUp->setInterval(0);
    connect(m_catchUp, &QTimer::timeout, this, &DataRecorder::writeWaiting);
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
        m_paused = false;
        m_recording = true;
        return;
    }
    m_timer->stop();
    // No catch-up either while the dialog may be changing the folder; a failure and the
    // rows waiting stay in sight.
    m_catchUp->stop();
    m_paused = true;
    m_recording = false;
    showState();
}

bool DataRecorder::isActive() const
{
    return m_timer->isActive();
}

bool DataRecorder::catchingUp() const
{
    return m_catchUp->isActive();
}

QString DataRecorder::folder() const
{
    QString folder = m_folder ? m_folder() : m_settings.RecordFolder;
    // A trailing separator would make "F/" and "F" two folders to the checks of the files.
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

void DataRecorder::TmrRecordTimer()
{
    const QDateTime at = m_clock();
    const QString time = core::longTimeText(at.time(), m_locale);
    const RecordValues values = m_values ? m_values() : RecordValues{};
    std::array<QByteArray, 3> rows;
    for (std::size_t m = 0; m < rows.size(); ++m)
        rows[m] = rowLine(time, values[m]);
    m_files.queue(fileName(at, m_settings.RecordSaveUnit, m_settings.RecordFileType, m_locale),
                  m_settings.RecordFileType, at, rows);
    m_paused = false;
    m_recording = true;
    writeWaiting();
}

void DataRecorder::writeWaiting()
{
    const std::size_t before = m_files.waitingRows();
    m_failure = m_files.write(folder(), SliceMs);
    const std::size_t after = m_files.waitingRows();
    // Slice after slice while they get somewhere; rows that only fail wait for the next tick.
    if (after > 0 && after < before && !m_paused)
        m_catchUp->start();
    else
        m_catchUp->stop();
    showState();
}

void DataRecorder::finish()
{
    m_timer->stop();
    m_catchUp->stop();
    m_paused = true;
    m_recording = false;
    if (m_files.waitingRows() > 0)
        m_failure = m_files.write(folder(), -1);
    QString error;
    if (!m_keepFile.isEmpty() && !m_files.keep(m_keepFile, &error)) {
        m_failure =
            RecordFailure{QStringLiteral("the rows waiting cannot be kept: ") + error, m_keepFile};
        // The window is going: stderr is the last place left to say it.
        qWarning("%s", qPrintable(m_failure->reason));
    }
    showState();
}

void DataRecorder::takeBack()
{
    QString error;
    if (m_keepFile.isEmpty())
        return;
    if (!m_files.takeBack(m_keepFile, &error)) {
        // Put aside, not overwritten by the next close: the rows in it are not given up.
        const QString aside =
            m_keepFile + QDateTime::currentDateTime().toString(QStringLiteral(".yyyyMMddhhmmss"));
        QFile::rename(m_keepFile, aside);
        m_failure = RecordFailure{
            QStringLiteral("the rows kept at the last close cannot be read (%1)").arg(error),
            aside};
        showState();
        return;
    }
    if (m_files.waitingRows() > 0) {
        m_paused = false;
        m_catchUp->start();
    }
    showState();
}

void DataRecorder::acknowledgeLoss()
{
    m_files.clearLostRows();
    showState();
}

void DataRecorder::showState()
{
    const std::size_t waiting = m_files.waitingRows();
    QString text;
    if (m_failure)
        text = QStringLiteral("Recording failed: %1: %2 (%3 rows waiting)")
                   .arg(m_failure->reason, QDir::toNativeSeparators(m_failure->path))
                   .arg(waiting);
    else if (m_recording)
        text = waiting == 0 ? QStringLiteral("Recording")
                            : QStringLiteral("Recording (%1 rows waiting)").arg(waiting);
    else if (waiting > 0)
        text = QStringLiteral("Recording stopped (%1 rows waiting)").arg(waiting);

    // Monitors that lost the same rows (a whole folder away) share one entry, and the end
    // of the span drops its date when it is the day of the start: the line stays short.
    QStringList lost;
    const auto when = [this](const QDateTime& at) {
        return m_locale.toString(at.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
               core::longTimeText(at.time(), m_locale);
    };
    const std::array<LostRows, 3>& rows = m_files.lostRows();
    for (std::size_t m = 0; m < 3; ++m) {
        const LostRows& l = rows[m];
        const auto same = [&l](const LostRows& o) {
            return o.count == l.count && o.first == l.first && o.last == l.last;
        };
        if (l.count == 0 || std::any_of(rows.begin(), rows.begin() + std::ptrdiff_t(m), same))
            continue;
        QStringList monitors{QStringLiteral("Monitor%1").arg(m + 1)};
        for (std::size_t o = m + 1; o < 3; ++o)
            if (same(rows[o]))
                monitors << QString::number(o + 1);
        const QString end = l.last.date() == l.first.date()
                                ? core::longTimeText(l.last.time(), m_locale)
                                : when(l.last);
        lost << QStringLiteral("%1: %2 rows lost%3, %4 to %5")
                    .arg(monitors.join(QStringLiteral(", ")))
                    .arg(l.count)
                    .arg(monitors.size() > 1 ? QStringLiteral(" each") : QString())
                    .arg(when(l.first), end);
    }
    // First, so that a long failure after it cannot push it out of sight: a click clears it.
    if (!lost.isEmpty())
        text = lost.join(QStringLiteral("; ")) + QStringLiteral(" (click to clear)") +
               (text.isEmpty() ? QString() : QStringLiteral("; ") + text);
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
