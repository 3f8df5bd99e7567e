#include "ui/history/HistoryPlot.h"

#include "ui/charts/TrendPlot.h"
#include "ui/history/TimeAxis.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <optional>

struct HistoryPlot::Line
{
    int period;
    int series;
    std::vector<history::DrawPoint> points;
};

namespace {

// One wheel notch zooms in or out by this much.
constexpr double WheelZoom = 0.8;
// A drag shorter than this is a click, not a box.
constexpr int BoxMinimum = 5;

QString valueText(double v)
{
    return std::isnan(v) ? QStringLiteral("Empty") : QLocale::system().toString(v, 'g', 7);
}

QString seriesName(int series)
{
    return QStringLiteral("%1%2")
        .arg(series % 2 ? QStringLiteral("SV") : QStringLiteral("PV"))
        .arg(series / 2 + 1);
}

// The lines' rectangle in `target`: the value labels to the left, a legend line above, two
// label lines (the time, and the date where it changes) below.
QRect plotArea(const QFontMetrics& fm, const QRect& target)
{
    const int line = fm.height();
    const int left = fm.horizontalAdvance(QStringLiteral("-00000.0")) + line / 2;
    return target.adjusted(left, line * 2, -line, -line * 3);
}

} // namespace

HistoryPlot::HistoryPlot(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ChartHistory"));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(400, 240);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void HistoryPlot::setPeriod(int which, std::shared_ptr<const history::MonitorHistory> data,
                            qint64 fromUtcMs)
{
    const size_t i = size_t(which);
    m_data[i] = std::move(data);
    m_origin[i] = m_data[i] && m_data[i]->rowCount() > 0 ? m_data[i]->timeAt(0) : fromUtcMs;
    reset();
}

void HistoryPlot::setSlotShown(int slot, bool shown)
{
    m_slots[size_t(slot - 1)] = shown;
    update();
}

void HistoryPlot::setSvShown(bool shown)
{
    m_svShown = shown;
    update();
}

qint64 HistoryPlot::fullEnd() const
{
    qint64 end = 0;
    for (int p = 0; p < Periods; ++p) {
        const auto& d = m_data[size_t(p)];
        if (d && d->rowCount() > 0)
            end = std::max(end, d->timeAt(d->rowCount() - 1) - m_origin[size_t(p)]);
    }
    return end;
}

qint64 HistoryPlot::minSpan() const
{
    const qint64 step = m_data[0] ? m_data[0]->sampleStepMs() : 0;
    return std::max<qint64>(5 * step, 2000);
}

void HistoryPlot::reset()
{
    m_fixedY.reset();
    const qint64 end = fullEnd();
    m_x0 = 0;
    m_x1 = std::max(end, minSpan());
    update();
    Q_EMIT viewChanged();
}

void HistoryPlot::setView(qint64 x0, qint64 x1)
{
    if (x1 - x0 < minSpan()) {
        const qint64 mid = x0 / 2 + x1 / 2;
        x0 = mid - minSpan() / 2;
        x1 = x0 + minSpan();
    }
    m_x0 = x0;
    m_x1 = x1;
    update();
    Q_EMIT viewChanged();
}

void HistoryPlot::zoomAt(double px, double factor)
{
    const auto [x0, x1] = historyview::zoomAround(m_x0, m_x1, xAt(px), factor, minSpan());
    setView(x0, x1);
}

void HistoryPlot::panBy(double fraction)
{
    const qint64 shift = qint64(std::llround(double(m_x1 - m_x0) * fraction));
    setView(m_x0 + shift, m_x1 + shift);
}

QRect HistoryPlot::plotRectIn(const QRect& target) const
{
    return plotArea(QFontMetrics(font()), target);
}

double HistoryPlot::xPixel(qint64 x) const
{
    const QRect plot = plotRect();
    return plot.left() + double(x - m_x0) * plot.width() / double(std::max<qint64>(m_x1 - m_x0, 1));
}

qint64 HistoryPlot::xAt(double px) const
{
    const QRect plot = plotRect();
    return m_x0 + qint64(std::llround((px - plot.left()) * double(m_x1 - m_x0) /
                                      double(std::max(plot.width(), 1))));
}

std::vector<HistoryPlot::Line> HistoryPlot::collectLines(qint64 x0, qint64 x1, int columns) const
{
    std::vector<Line> lines;
    for (int p = 0; p < Periods; ++p) {
        const auto& d = m_data[size_t(p)];
        if (!d)
            continue;
        for (int slot = 1; slot <= history::Slots; ++slot) {
            if (!m_slots[size_t(slot - 1)])
                continue;
            for (bool sv : {false, true}) {
                if (sv && !m_svShown)
                    continue;
                Line line{p, history::seriesIndex(slot, sv), {}};
                d->drawPoints(line.series, m_origin[size_t(p)] + x0, m_origin[size_t(p)] + x1,
                              columns, line.points);
                lines.push_back(std::move(line));
            }
        }
    }
    return lines;
}

charts::Range HistoryPlot::rangeOf(const std::vector<Line>& lines) const
{
    if (m_fixedY)
        return *m_fixedY;
    double low = qInf();
    double high = -qInf();
    for (const Line& line : lines)
        for (const history::DrawPoint& pt : line.points)
            if (!std::isnan(pt.min)) {
                low = std::min(low, double(pt.min));
                high = std::max(high, double(pt.max));
            }
    return low > high ? charts::Range{0, 100} : charts::niceRange(low, high);
}

charts::Range HistoryPlot::valueRange() const
{
    const QRect plot = plotRect();
    return rangeOf(collectLines(m_x0, m_x1, std::max(plot.width(), 1)));
}

void HistoryPlot::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    draw(p, rect());
    const QRect plot = plotRect();
    if (m_drag == Drag::Box) {
        p.setPen(QPen(Qt::black, 1, Qt::DashLine));
        p.setBrush(QColor(0, 120, 215, 40));
        p.drawRect(QRect(m_pressAt, m_dragAt).normalized().intersected(plot));
    }
    if (m_cursor >= 0) {
        p.setPen(QPen(QColor(80, 80, 80), 1));
        p.drawLine(m_cursor, plot.top(), m_cursor, plot.bottom());
        const QFontMetrics fm(font());
        const QRect text = fm.boundingRect(QRect(0, 0, 1000, 1000), Qt::AlignLeft, cursorText());
        QRect box(m_cursor + 8, plot.top() + 4, text.width() + 10, text.height() + 6);
        if (box.right() > plot.right())
            box.moveRight(m_cursor - 8);
        p.setBrush(QColor(255, 255, 240, 230));
        p.setPen(Qt::gray);
        p.drawRect(box);
        p.setPen(Qt::black);
        p.drawText(box.adjusted(5, 3, -5, -3), Qt::AlignLeft | Qt::AlignTop, cursorText());
    }
}

void HistoryPlot::draw(QPainter& p, const QRect& target) const
{
    p.save();
    p.fillRect(target, Qt::white);
    const QFontMetrics fm(p.font(), p.device());
    const int line = fm.height();
    const QRect plot = plotArea(fm, target);
    // One pixel on screen, whatever the chart's size; on paper as wide as a screen pixel looks.
    const double unit = std::max(1.0, p.device()->logicalDpiY() / 96.0);

    const std::vector<Line> lines = collectLines(m_x0, m_x1, std::max(plot.width(), 1));
    const charts::Range y = rangeOf(lines);
    const double ySpan = y.max > y.min ? y.max - y.min : 1;
    const auto yPixel = [&](double v) {
        return plot.bottom() - (v - y.min) * plot.height() / ySpan;
    };
    const double xSpan = double(std::max<qint64>(m_x1 - m_x0, 1));
    const auto xPx = [&](qint64 x) {
        return plot.left() + double(x - m_x0) * plot.width() / xSpan;
    };

    p.setPen(QPen(QColor(225, 225, 225), unit));
    const QList<double> yTicks = charts::ticks(y, std::max(2, plot.height() / (line * 3)));
    for (double v : yTicks) {
        const double py = yPixel(v);
        p.drawLine(QPointF(plot.left(), py), QPointF(plot.right(), py));
    }
    const bool elapsed = comparing();
    const QList<historyview::TimeTick> xTicks = historyview::timeTicks(
        m_x0, m_x1, m_origin[0], elapsed,
        std::max(2, plot.width() / (fm.horizontalAdvance(QStringLiteral("00:00:00")) * 2)));
    for (const historyview::TimeTick& t : xTicks) {
        const double px = xPx(t.x);
        p.drawLine(QPointF(px, plot.top()), QPointF(px, plot.bottom()));
    }
    p.setPen(QPen(Qt::gray, unit));
    p.drawRect(plot);
    p.setPen(Qt::black);
    for (double v : yTicks)
        p.drawText(
            QRectF(target.left(), yPixel(v) - line / 2.0, plot.left() - target.left() - 4, line),
            Qt::AlignRight | Qt::AlignVCenter, QLocale::system().toString(v, 'g', 6));
    for (const historyview::TimeTick& t : xTicks) {
        // Centred under its tick, but kept inside the chart at both ends.
        const double w = fm.boundingRect(QRect(), 0, t.label).width() + 4;
        const double left = std::clamp(xPx(t.x) - w / 2, double(target.left()), target.right() - w);
        p.drawText(QRectF(left, plot.bottom() + 2, w, line * 2.5), Qt::AlignHCenter | Qt::AlignTop,
                   t.label);
    }

    p.save();
    p.setClipRect(plot.adjusted(1, 1, 0, 0));
    for (const Line& l : lines) {
        QColor colour = TrendPlot::slotColour(l.series / 2 + 1);
        // One pixel on screen: wider or fractional pens leave the raster engine's fast path
        // and cost many times more per segment. The compared period is told by its lighter
        // colour there; on paper it is also thinner.
        double width = unit;
        if (l.period == 1) {
            colour = colour.lighter(160);
            width = unit > 1 ? unit * 0.6 : unit;
        }
        QPen pen(colour, width, l.series % 2 ? Qt::DashLine : Qt::SolidLine);
        pen.setCapStyle(Qt::FlatCap);
        p.setPen(pen);
        const qint64 origin = m_origin[size_t(l.period)];
        QPolygonF run;
        const auto flush = [&] {
            if (run.size() == 1)
                p.drawPoint(run.first());
            else if (run.size() > 1)
                p.drawPolyline(run);
            run.clear();
        };
        bool rising = true;
        // A solid line's column extents are filled as bars a pen wide, each reaching the one
        // before it: a filled rectangle is written row by row, where a stroked vertical line
        // is blended pixel by pixel (a month of noisy rows: most of the redraw).
        const bool bars = l.series % 2 == 0;
        std::optional<QRectF> bar; // the last bar drawn, while the line goes on from it
        for (const history::DrawPoint& pt : l.points) {
            if (std::isnan(pt.min)) {
                flush();
                bar.reset();
                continue;
            }
            const double px = xPx(pt.t - origin);
            if (bars && pt.max != pt.min) {
                double top = yPixel(pt.max);
                double bottom = yPixel(pt.min);
                if (!run.isEmpty()) {
                    top = std::min(top, run.last().y());
                    bottom = std::max(bottom, run.last().y());
                    run << QPointF(px, run.last().y());
                    flush();
                } else if (bar) {
                    top = std::min(top, bar->bottom());
                    bottom = std::max(bottom, bar->top());
                }
                // Across too: from the right edge of the bar before, so that columns that
                // round to pixels one apart leave no gap between them.
                double left = px - width / 2;
                if (bar && bar->right() < left && left - bar->right() < 3 * width)
                    left = bar->right();
                bar = QRectF(left, top, px + width / 2 - left, bottom - top + width);
                // On screen whole pixels: a rectangle off the pixel grid is rasterised as a
                // shape, not filled row by row.
                p.fillRect(width <= 1 ? QRectF(bar->toRect()) : *bar, colour);
                continue;
            }
            if (bar && run.isEmpty())
                run << QPointF(bar->center().x(),
                               std::clamp(yPixel(pt.min), bar->top(), bar->bottom()));
            bar.reset();
            if (pt.max != pt.min) {
                // A column's extent: drawn up and down in turn, so that the stroke from one
                // column to the next is short (max to max, min to min), not across the band.
                const double low = yPixel(pt.min);
                const double high = yPixel(pt.max);
                run << QPointF(px, rising ? low : high) << QPointF(px, rising ? high : low);
                rising = !rising;
                continue;
            }
            const double y0 = yPixel(pt.min);
            // A level stretch (an SV, mostly) is one segment, not one a column: the middle
            // point of three on one pixel row goes.
            if (run.size() >= 2 && pt.max == pt.min && qRound(run.last().y()) == qRound(y0) &&
                qRound(run[run.size() - 2].y()) == qRound(y0))
                run.last().setX(px);
            else
                run << QPointF(px, y0);
        }
        flush();
    }
    p.restore();

    // The legend above: a piece of each shown slot's line, then which period is which.
    double x = plot.left();
    for (int slot = 1; slot <= history::Slots; ++slot) {
        if (!m_slots[size_t(slot - 1)])
            continue;
        p.setPen(QPen(TrendPlot::slotColour(slot), 2 * unit));
        p.drawLine(QPointF(x, target.top() + line), QPointF(x + line * 1.5, target.top() + line));
        p.setPen(Qt::black);
        const QString name = QStringLiteral("%1").arg(slot);
        p.drawText(QPointF(x + line * 1.8, target.top() + line + fm.ascent() / 2.5), name);
        x += line * 2.2 + fm.horizontalAdvance(name);
    }
    const QString legend = elapsed ? QStringLiteral("PV solid, SV dashed; A %1, B %2 (lighter)")
                                         .arg(historyview::momentText(m_origin[0]),
                                              historyview::momentText(m_origin[1]))
                                   : QStringLiteral("PV solid, SV dashed");
    p.drawText(QPointF(x + line, target.top() + line + fm.ascent() / 2.5), legend);
    p.restore();
}

void HistoryPlot::setCursorAt(int px)
{
    const QRect plot = plotRect();
    m_cursor = px >= plot.left() && px <= plot.right() ? px : -1;
    update();
}

QString HistoryPlot::cursorText() const
{
    if (m_cursor < 0)
        return {};
    const qint64 x = xAt(m_cursor);
    QStringList lines;
    std::array<qsizetype, Periods> rows{-1, -1};
    for (int p = 0; p < Periods; ++p) {
        const auto& d = m_data[size_t(p)];
        if (!d)
            continue;
        const qint64 t = m_origin[size_t(p)] + x;
        const qsizetype row = d->nearestRow(t);
        // A row farther away than a gap is not the value at this moment.
        if (row >= 0 && std::abs(d->timeAt(row) - t) <= std::max(d->gapMs(), d->sampleStepMs()))
            rows[size_t(p)] = row;
    }
    // The times of the rows read, where there are rows; the cursor's own time elsewhere.
    const auto moment = [&](int p) {
        const qsizetype row = rows[size_t(p)];
        return row >= 0 ? m_data[size_t(p)]->timeAt(row) : m_origin[size_t(p)] + x;
    };
    if (comparing()) {
        lines << historyview::elapsedText(moment(0) - m_origin[0]);
        lines << QStringLiteral("A %1   B %2")
                     .arg(historyview::momentText(moment(0)), historyview::momentText(moment(1)));
    } else {
        lines << historyview::momentText(moment(0));
    }
    for (int slot = 1; slot <= history::Slots; ++slot) {
        if (!m_slots[size_t(slot - 1)])
            continue;
        QStringList parts;
        for (bool sv : {false, true}) {
            if (sv && !m_svShown)
                continue;
            const int series = history::seriesIndex(slot, sv);
            QStringList values;
            for (int p = 0; p < Periods; ++p) {
                if (!m_data[size_t(p)])
                    continue;
                const qsizetype row = rows[size_t(p)];
                const QString v = row < 0 ? QStringLiteral("-")
                                          : valueText(m_data[size_t(p)]->valueAt(row, series));
                values << (comparing() ? QStringLiteral("%1 %2").arg(p ? 'B' : 'A').arg(v) : v);
            }
            parts << seriesName(series) + QLatin1Char(' ') + values.join(QLatin1Char(' '));
        }
        lines << parts.join(QStringLiteral("   "));
    }
    return lines.join(QLatin1Char('\n'));
}

void HistoryPlot::wheelEvent(QWheelEvent* event)
{
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0)
        return;
    zoomAt(event->position().x(), std::pow(WheelZoom, notches));
    event->accept();
}

void HistoryPlot::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    m_pressAt = m_dragAt = event->position().toPoint();
    m_pressX0 = m_x0;
    m_pressX1 = m_x1;
    m_pressY = m_fixedY;
    const bool pan =
        event->button() == Qt::MiddleButton || event->button() == Qt::RightButton ||
        (event->button() == Qt::LeftButton && event->modifiers().testFlag(Qt::ShiftModifier));
    if (pan) {
        m_drag = Drag::Pan;
        // Panning up and down needs an axis that stays put.
        if (!m_fixedY)
            m_pressY = valueRange();
        setCursor(Qt::ClosedHandCursor);
    } else if (event->button() == Qt::LeftButton) {
        m_drag = Drag::Box;
    }
}

void HistoryPlot::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    m_dragAt = at;
    if (m_drag == Drag::Pan) {
        const QRect plot = plotRect();
        const double msPerPixel = double(m_pressX1 - m_pressX0) / std::max(plot.width(), 1);
        const qint64 shift = qint64(std::llround((m_pressAt.x() - at.x()) * msPerPixel));
        m_x0 = m_pressX0 + shift;
        m_x1 = m_pressX1 + shift;
        if (m_pressY && at.y() != m_pressAt.y()) {
            const double perPixel = (m_pressY->max - m_pressY->min) / std::max(plot.height(), 1);
            const double dy = (at.y() - m_pressAt.y()) * perPixel;
            m_fixedY = charts::Range{m_pressY->min + dy, m_pressY->max + dy};
        }
        Q_EMIT viewChanged();
    }
    setCursorAt(at.x());
}

void HistoryPlot::mouseReleaseEvent(QMouseEvent* event)
{
    const Drag drag = std::exchange(m_drag, Drag::None);
    unsetCursor();
    if (drag != Drag::Box) {
        update();
        return;
    }
    const QRect plot = plotRect();
    const QRect box = QRect(m_pressAt, event->position().toPoint()).normalized().intersected(plot);
    if (box.width() < BoxMinimum) {
        update();
        return;
    }
    if (box.height() >= BoxMinimum) {
        const charts::Range y = valueRange();
        const double perPixel = (y.max - y.min) / std::max(plot.height(), 1);
        m_fixedY = charts::Range{y.min + (plot.bottom() - box.bottom()) * perPixel,
                                 y.min + (plot.bottom() - box.top()) * perPixel};
    }
    setView(xAt(box.left()), xAt(box.right()));
}

void HistoryPlot::keyPressEvent(QKeyEvent* event)
{
    const QRect plot = plotRect();
    switch (event->key()) {
    case Qt::Key_Left:
        panBy(-0.1);
        break;
    case Qt::Key_Right:
        panBy(0.1);
        break;
    case Qt::Key_Plus:
    case Qt::Key_Up:
        zoomAt(plot.center().x(), WheelZoom);
        break;
    case Qt::Key_Minus:
    case Qt::Key_Down:
        zoomAt(plot.center().x(), 1 / WheelZoom);
        break;
    case Qt::Key_Home:
        reset();
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void HistoryPlot::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    if (m_drag == Drag::None)
        setCursorAt(-1);
}
