#pragma once

#include "ui/charts/ChartScale.h"
#include "ui/charts/TrendBuffer.h"

#include <QColor>
#include <QString>
#include <QWidget>
#include <array>

// One trend chart: twenty lines (PV and SV of ten slots) over a running x with the time of
// day of each tick below. The points stay in a TrendBuffer; drawing reduces each line to what
// the plot's pixel columns can show (the lowest and highest value of each column), so a full
// chart costs the same to draw whatever its length, and adding a point rebuilds nothing.
class TrendPlot : public QWidget
{
    Q_OBJECT

public:
    static constexpr int SeriesCount = TrendBuffer::SeriesCount;

    TrendPlot(const QString& title, QWidget* parent = nullptr);

    QString title() const { return m_title; }
    // "PV01", "SV01", "PV02", ..: PV of slot k at 2(k-1), its SV right after.
    static QString seriesTitle(int series);
    static QColor slotColour(int slot);

    const TrendBuffer& points() const { return m_points; }
    void addSample(const TrendBuffer::Values& values, int msecsOfDay);
    void clear();

    int length() const { return m_length; } // ChartLength<A|B|C>
    void setLength(int length) { m_length = length; }

    // The left axis. While it scales itself its bounds are those of the lines shown.
    bool leftAxisAutomatic() const { return m_automatic; }
    void setLeftAxisAutomatic(bool automatic);
    double leftMinimum() const { return leftRange().min; }
    double leftMaximum() const { return leftRange().max; }
    // A fixed range, both ends at once: a range wholly below or above the one shown (a cold
    // room's -40..-10) is as good as any other. Raises the axis error when max < min.
    void setLeftRange(double min, double max);

    bool view3D() const { return m_view3D; }
    void setView3D(bool on);
    bool isSeriesShown(int series) const { return m_shown[size_t(series)]; }
    void setSvShown(bool shown); // the ten SV lines; PV lines are always shown

    // The whole chart drawn into `target` (the widget's own paint, and printing).
    void draw(QPainter& painter, const QRect& target) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    charts::Range leftRange() const;
    void drawLines(QPainter& p, const QRect& plot, const charts::Range& y, QPoint offset,
                   bool shadow) const;

    QString m_title;
    TrendBuffer m_points;
    int m_length = 1000;
    bool m_automatic = true;
    charts::Range m_fixed{0, 100};
    bool m_view3D = false;
    std::array<bool, SeriesCount> m_shown{};
};
