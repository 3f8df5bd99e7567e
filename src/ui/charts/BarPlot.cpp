#include "ui/charts/BarPlot.h"

#include "ui/charts/ChartScale.h"

#include <QPainter>
#include <algorithm>

namespace {

constexpr std::array<QRgb, BarPlot::BarCount> Colours = {
    qRgb(255, 0, 0),   qRgb(128, 0, 0),    qRgb(0, 128, 0),   qRgb(128, 128, 0),
    qRgb(0, 0, 128),   qRgb(128, 0, 128),  qRgb(0, 128, 128), qRgb(255, 0, 255),
    qRgb(0, 255, 255), qRgb(192, 220, 192)};

} // namespace

BarPlot::BarPlot(const QString& title, QWidget* parent) : QWidget(parent), m_title(title)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QColor BarPlot::barColour(int bar)
{
    return QColor(Colours[size_t(bar)]);
}

void BarPlot::setValues(const std::array<double, BarCount>& values)
{
    if (values == m_values)
        return;
    m_values = values;
    update();
}

void BarPlot::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    const QFontMetrics fm(font());
    const int line = fm.height();
    QFont titleFont = font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(font().pointSizeF() * 1.2);
    p.setFont(titleFont);
    p.setPen(Qt::blue);
    p.drawText(QRect(0, 0, width(), line * 2), Qt::AlignCenter, m_title);
    p.setFont(font());

    const int axisWidth = fm.horizontalAdvance(QStringLiteral("-0000.00")) + 10;
    // Room above and below for the value marks.
    const QRect plot(axisWidth, line * 3, width() - axisWidth - 20, height() - line * 6);
    const auto [lo, hi] = std::minmax_element(m_values.begin(), m_values.end());
    const charts::Range y = charts::niceRange(std::min(0.0, *lo), std::max(0.0, *hi));
    const double span = y.max - y.min;
    auto toY = [&](double v) { return plot.bottom() - int((v - y.min) / span * plot.height()); };

    for (double v : charts::ticks(y, 6)) {
        const int py = toY(v);
        p.setPen(QColor(225, 225, 225));
        p.drawLine(plot.left(), py, plot.right(), py);
        p.setPen(Qt::black);
        p.drawText(QRect(0, py - line / 2, axisWidth - 4, line), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(v, 'g', 6));
    }
    const int zero = toY(0);
    p.setPen(Qt::black);
    p.drawLine(plot.left(), zero, plot.right(), zero);
    p.drawRect(plot);

    const double slot = double(plot.width()) / BarCount;
    for (int b = 0; b < BarCount; ++b) {
        const int left = plot.left() + int(b * slot + slot * 0.2);
        const int w = int(slot * 0.6);
        const int top = toY(m_values[size_t(b)]);
        const QRect bar =
            QRect(QPoint(left, std::min(top, zero)), QPoint(left + w, std::max(top, zero)));
        p.fillRect(bar, barColour(b));
        p.setPen(Qt::black);
        p.drawRect(bar);
        const QString mark = QString::number(m_values[size_t(b)]);
        const QRect markBox = m_values[size_t(b)] < 0
                                  ? QRect(left - 10, bar.bottom() + 2, w + 20, line)
                                  : QRect(left - 10, bar.top() - line - 2, w + 20, line);
        p.fillRect(markBox.adjusted(6, 0, -6, 0), QColor(255, 255, 225));
        p.drawText(markBox, Qt::AlignCenter, mark);
        p.drawText(QRect(int(plot.left() + b * slot), plot.bottom() + line + 4, int(slot), line),
                   Qt::AlignCenter, barLabel(b));
    }
}
