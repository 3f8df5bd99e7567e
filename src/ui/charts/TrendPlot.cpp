#include "ui/charts/TrendPlot.h"

#include "core/LocaleText.h"
#include "core/QuillmereError.h"

#include <QPainter>
#include <QPolygonF>
#include <QTime>
#include <algorithm>
#include <limits>

namespace {

constexpr int Depth = 8; // of the 3D view, in pixels
constexpr std::array<QRgb, 10> SlotColours = {
    qRgb(255, 0, 0),    qRgb(0, 128, 0),     qRgb(128, 255, 0), qRgb(0, 255, 255),
    qRgb(0, 128, 192),  qRgb(128, 128, 192), qRgb(255, 0, 255), qRgb(128, 64, 64),
    qRgb(255, 128, 64), qRgb(0, 128, 128)};

QString numberText(double v)
{
    return QString::number(v, 'g', 6);
}

// The axis's ends lie this far inside the plot frame, so that a line at either end (an SV at
// the top of a self-scaling axis, which ends exactly at the largest value) is drawn clear of
// the frame instead of under it.
constexpr int EndMargin = 4;

double yPixel(double v, const charts::Range& y, const QRect& plot)
{
    const double span = y.max - y.min > 0 ? y.max - y.min : 1;
    const int height = plot.height() - 1 - 2 * EndMargin;
    return plot.bottom() - EndMargin - (v - y.min) / span * height;
}

} // namespace

TrendPlot::TrendPlot(const QString& title, QWidget* parent) : QWidget(parent), m_title(title)
{
    m_shown.fill(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QString TrendPlot::seriesTitle(int series)
{
    return QStringLiteral("%1%2")
        .arg(series % 2 ? QStringLiteral("SV") : QStringLiteral("PV"))
        .arg(series / 2 + 1, 2, 10, QLatin1Char('0'));
}

QColor TrendPlot::slotColour(int slot)
{
    return QColor(SlotColours[size_t(slot - 1)]);
}

void TrendPlot::addSample(const TrendBuffer::Values& values, int msecsOfDay)
{
    m_points.add(values, msecsOfDay, m_length);
}

void TrendPlot::clear()
{
    m_points.clear();
    update();
}

charts::Range TrendPlot::leftRange() const
{
    if (!m_automatic)
        return m_fixed;
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (int row = 0; row < m_points.count(); ++row)
        for (int s = 0; s < SeriesCount; ++s)
            if (m_shown[size_t(s)]) {
                low = std::min(low, m_points.y(row, s));
                high = std::max(high, m_points.y(row, s));
            }
    if (m_points.isEmpty())
        return {0, 100};
    return charts::niceRange(low, high);
}

void TrendPlot::setLeftAxisAutomatic(bool automatic)
{
    if (!automatic && m_automatic)
        m_fixed = leftRange(); // a fixed axis starts from what it showed
    m_automatic = automatic;
    update();
}

void TrendPlot::setLeftRange(double min, double max)
{
    if (max < min)
        throw QuillmereError(QStringLiteral("Axis Maximum Value must be >= Minimum"));
    m_fixed = {min, max};
    update();
}

void TrendPlot::setView3D(bool on)
{
    m_view3D = on;
    update();
}

void TrendPlot::setSvShown(bool shown)
{
    for (int s = 1; s < SeriesCount; s += 2)
        m_shown[size_t(s)] = shown;
    update();
}

void TrendPlot::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    draw(p, rect());
}

void TrendPlot::draw(QPainter& p, const QRect& target) const
{
    p.save();
    p.fillRect(target, Qt::white);
    QFont titleFont = font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(font().pointSizeF() * 1.2);
    const QFontMetrics fm(font());
    const int line = fm.height();
    const int depth = m_view3D ? Depth : 0;
    const int legendRows = 2;
    const QRect plot(target.left() + fm.horizontalAdvance(QStringLiteral("-0000.00")) + 10,
                     target.top() + line * 2 + depth,
                     target.width() - fm.horizontalAdvance(QStringLiteral("-0000.00")) - 30 - depth,
                     target.height() - line * (4 + legendRows) - depth);

    p.setFont(titleFont);
    p.setPen(Qt::blue);
    p.drawText(QRect(target.left(), target.top(), target.width(), line * 2), Qt::AlignCenter,
               m_title);
    p.setFont(font());

    if (depth) {
        // The depth look: a back wall behind the plot and a floor below it, the lines with a
        // lighter shadow behind them, as if the chart stood out of the page.
        const QPoint back(depth, -depth);
        p.setPen(QColor(160, 160, 160));
        p.setBrush(QColor(236, 236, 236));
        p.drawRect(plot.translated(back));
        const QPointF floor[] = {plot.bottomLeft(), plot.bottomRight(), plot.bottomRight() + back,
                                 plot.bottomLeft() + back};
        p.setBrush(QColor(210, 210, 210));
        p.drawPolygon(floor, 4);
    }
    p.setPen(Qt::gray);
    p.setBrush(Qt::NoBrush);
    p.drawRect(plot);

    const charts::Range y = leftRange();
    p.setPen(Qt::black);
    for (double v : charts::ticks(y, 6)) {
        const int py = qRound(yPixel(v, y, plot));
        p.setPen(QColor(225, 225, 225));
        p.drawLine(plot.left() + 1, py, plot.right() - 1, py);
        p.setPen(Qt::black);
        p.drawText(QRect(target.left(), py - line / 2, plot.left() - target.left() - 4, line),
                   Qt::AlignRight | Qt::AlignVCenter, numberText(v));
    }

    // Bottom axis: the time of day of a few ticks, spread over the points held.
    const int n = m_points.count();
    for (int k = 0; n > 0 && k < 5; ++k) {
        const int row = n == 1 ? 0 : k * (n - 1) / 4;
        const int px = plot.left() + (n == 1 ? 0 : int(double(row) / (n - 1) * plot.width()));
        const QString text =
            core::longTimeText(QTime::fromMSecsSinceStartOfDay(m_points.msecsOfDay(row)));
        const int w = fm.horizontalAdvance(text);
        const int left = std::clamp(px - w / 2, target.left(), target.right() - w);
        p.drawText(QRect(left, plot.bottom() + 3, w, line), Qt::AlignCenter, text);
        if (n == 1)
            break;
    }

    if (depth)
        drawLines(p, plot, y, QPoint(depth / 2, depth / 2), true);
    drawLines(p, plot, y, QPoint(0, 0), false);

    // Legend below: the twenty titles in two rows, each with a piece of its line.
    const int top = plot.bottom() + line * 2;
    const int cell = target.width() / 10;
    for (int s = 0; s < SeriesCount; ++s) {
        const int col = s / 2;
        const int row = s % 2;
        const QRect box(target.left() + col * cell, top + row * line, cell, line);
        QPen pen(slotColour(col + 1), 2, s % 2 ? Qt::DashDotDotLine : Qt::SolidLine);
        p.setPen(pen);
        p.drawLine(box.left() + 4, box.center().y(), box.left() + 22, box.center().y());
        p.setPen(m_shown[size_t(s)] ? Qt::black : Qt::gray);
        p.drawText(box.adjusted(26, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, seriesTitle(s));
    }
    p.restore();
}

void TrendPlot::drawLines(QPainter& p, const QRect& plot, const charts::Range& y, QPoint offset,
                          bool shadow) const
{
    const int n = m_points.count();
    if (n == 0)
        return;
    const int columns = std::max(plot.width(), 1);
    auto toY = [&](double v) { return yPixel(v, y, plot); };
    const bool reduce = n > 2 * columns;
    QPolygonF polyline;
    polyline.reserve(reduce ? 2 * columns : n);
    p.save();
    p.setClipRect(plot.adjusted(1, 1, 0, 0).translated(offset));
    p.translate(offset);
    for (int s = 0; s < SeriesCount; ++s) {
        if (!m_shown[size_t(s)])
            continue;
        polyline.clear();
        if (!reduce) {
            for (int row = 0; row < n; ++row)
                polyline << QPointF(plot.left() +
                                        (n == 1 ? 0.0 : double(row) / (n - 1) * plot.width()),
                                    toY(m_points.y(row, s)));
        } else {
            // Per pixel column its lowest and highest value, in the order they came.
            for (int c = 0; c < columns; ++c) {
                const int from = int(qint64(c) * n / columns);
                const int to = int(qint64(c + 1) * n / columns);
                double lo = m_points.y(from, s), hi = lo;
                bool lowFirst = true;
                for (int row = from + 1; row < to; ++row) {
                    const double v = m_points.y(row, s);
                    if (v < lo) {
                        lo = v;
                        lowFirst = false;
                    } else if (v > hi) {
                        hi = v;
                        lowFirst = true;
                    }
                }
                // The last extreme met comes last, so the line goes on from where it was.
                const double x = plot.left() + c + 0.5;
                polyline << QPointF(x, toY(lowFirst ? lo : hi)) << QPointF(x, toY(lowFirst ? hi : lo));
            }
        }
        QColor colour = slotColour(s / 2 + 1);
        if (shadow)
            colour = colour.lighter(170);
        QPen pen(colour, 1, s % 2 ? Qt::DashDotDotLine : Qt::SolidLine);
        // On screen one pixel wide by the fast cosmetic path (a stroked 1-pixel dash pattern
        // costs several times more); scaled for paper the line keeps its width in proportion.
        pen.setCosmetic(!p.transform().isScaling());
        p.setPen(pen);
        p.drawPolyline(polyline);
    }
    p.restore();
}
