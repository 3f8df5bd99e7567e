#include "ui/main/StatusLine.h"

#include "ui/Fonts.h"

#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>

QString statusLineText(const EngineStatistics& stats, const StatusSegments& segments)
{
    QStringList parts;
    for (int m = 1; m <= int(stats.lines.size()); ++m) {
        const LineStatistics& line = stats.line(m);
        QString part = QStringLiteral("Monitor%1 %2/%3")
                           .arg(m)
                           .arg(line.answeringSlots())
                           .arg(line.slotStatistics.size());
        // Lines on one port share its error; a long one, such as the hint to join the dialout
        // group, is said once and named after that.
        int same = 1;
        while (same < m && stats.line(same).portError != line.portError)
            ++same;
        if (!line.portError.isEmpty())
            part += same < m ? QStringLiteral(" (port error: as Monitor%1)").arg(same)
                             : QStringLiteral(" (port error: %1)").arg(line.portError);
        parts << part;
    }
    for (const auto& [key, text] : segments)
        parts << text;
    return parts.join(QStringLiteral("  "));
}

StatusLine::StatusLine(QWidget* parent) : QLabel(parent)
{
    setObjectName(QStringLiteral("StatusLine"));
    setFont(fonts::sans(12));
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setContentsMargins(4, 0, 4, 0);
    // A long line is cut at the window's edge rather than widening the window.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setToolTip(QStringLiteral("Line Statistics"));
    showText();
}

void StatusLine::setStatistics(const EngineStatistics& stats)
{
    m_stats = stats;
    showText();
}

void StatusLine::setSegment(const QString& key, const QString& text)
{
    const auto it = std::find_if(m_segments.begin(), m_segments.end(),
                                 [&key](const auto& s) { return s.first == key; });
    if (text.isEmpty()) {
        if (it != m_segments.end())
            m_segments.erase(it);
    } else if (it != m_segments.end()) {
        it->second = text;
    } else {
        m_segments.append({key, text});
    }
    showText();
}

QString StatusLine::segment(const QString& key) const
{
    for (const auto& [k, text] : m_segments)
        if (k == key)
            return text;
    return {};
}

void StatusLine::showText()
{
    const QString text = statusLineText(m_stats, m_segments);
    // Refreshed at every tick of the main window: unchanged, it is not laid out again.
    if (text == this->text())
        return;
    setText(text);
    // The line is as wide as the window: a long message reads whole under the pointer.
    setToolTip(text);
}

void StatusLine::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}

void StatusLine::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
        event->key() == Qt::Key_Space) {
        Q_EMIT clicked();
        return;
    }
    QLabel::keyPressEvent(event);
}
