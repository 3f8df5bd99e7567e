#pragma once

#include "history/MonitorHistory.h"
#include "ui/charts/ChartScale.h"

#include <QPoint>
#include <QRect>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>

// The history chart: PV solid and SV dashed of the chosen slots in the slots' colours, a
// second period overlaid in lighter, thinner lines. Positions along the time axis are
// milliseconds from each period's first row, so overlaid periods start together at the left
// edge. Each redraw asks the reading library for about one point per pixel column, so it costs
// the same for an hour or a month.
//
// Zoom with the wheel (around the mouse) or by dragging a box with the left button; pan by
// dragging with the middle or right button (or with Shift and the left button) and with the
// arrow keys; Home or reset() shows everything again. A cursor line follows the mouse and
// reads every shown series at the nearest row.
class HistoryPlot : public QWidget
{
    Q_OBJECT

public:
    static constexpr int Periods = 2; // 0: the period chosen; 1: the one compared with it

    explicit HistoryPlot(QWidget* parent = nullptr);

    // `data` null: no such period (the compared one is then switched off). `fromUtcMs` is the
    // period's start, the origin when it holds no row. Shows everything.
    void setPeriod(int which, std::shared_ptr<const history::MonitorHistory> data,
                   qint64 fromUtcMs);
    const history::MonitorHistory* data(int which) const { return m_data[size_t(which)].get(); }
    bool comparing() const { return m_data[1] != nullptr; }
    // Milliseconds since the epoch (UTC) at which the period's axis starts.
    qint64 origin(int which) const { return m_origin[size_t(which)]; }

    void setSlotShown(int slot, bool shown);
    bool slotShown(int slot) const { return m_slots[size_t(slot - 1)]; }
    void setSvShown(bool shown);

    // The part of the axis shown, in ms from the origins.
    qint64 viewStart() const { return m_x0; }
    qint64 viewEnd() const { return m_x1; }
    void setView(qint64 x0, qint64 x1);
    // Everything held, the vertical axis scaling itself again.
    void reset();
    // Zooms the time axis by `factor` (< 1: in) keeping the moment under pixel `px` in place.
    void zoomAt(double px, double factor);
    // Moves the view by `fraction` of its width (positive: later).
    void panBy(double fraction);

    // The rectangle of the lines in widget coordinates, and the mapping of the time axis.
    QRect plotRect() const { return plotRectIn(rect()); }
    double xPixel(qint64 x) const;
    qint64 xAt(double px) const;
    charts::Range valueRange() const;

    // The cursor at the widget's pixel column `px` (none when outside the plot).
    void setCursorAt(int px);
    // What the cursor's label says: the time, then each shown series' value at the nearest row.
    QString cursorText() const;

    // The whole chart drawn into `target` (the widget's own paint, and the printed report).
    void draw(QPainter& painter, const QRect& target) const;

Q_SIGNALS:
    // The shown part of the time axis changed (zoom, pan, reset, a new period).
    void viewChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    struct Line;
    QRect plotRectIn(const QRect& target) const;
    std::vector<Line> collectLines(qint64 x0, qint64 x1, int columns) const;
    charts::Range rangeOf(const std::vector<Line>& lines) const;
    qint64 fullEnd() const;
    qint64 minSpan() const;

    std::array<std::shared_ptr<const history::MonitorHistory>, Periods> m_data;
    std::array<qint64, Periods> m_origin{};
    std::array<bool, history::Slots> m_slots{};
    bool m_svShown = true;

    qint64 m_x0 = 0;
    qint64 m_x1 = 3600 * 1000;
    std::optional<charts::Range> m_fixedY; // set by a box zoom, cleared by reset

    int m_cursor = -1; // pixel column, -1 when none
    enum class Drag { None, Box, Pan } m_drag = Drag::None;
    QPoint m_pressAt;
    QPoint m_dragAt;
    qint64 m_pressX0 = 0;
    qint64 m_pressX1 = 0;
    std::optional<charts::Range> m_pressY;
};
