#pragma once

#include <QString>
#include <QWidget>
#include <array>

// One bar chart: the PV of ten slots as ten bars "PV1".."PV10" in the slots' colours, each
// value written at the end of its bar; the value axis always holds zero, so a negative value
// hangs below the zero line.
class BarPlot : public QWidget
{
    Q_OBJECT

public:
    static constexpr int BarCount = 10;

    BarPlot(const QString& title, QWidget* parent = nullptr);

    QString title() const { return m_title; }
    static QString barLabel(int bar) { return QStringLiteral("PV%1").arg(bar + 1); }
    static QColor barColour(int bar);

    double value(int bar) const { return m_values[size_t(bar)]; }
    // Redraws only when something changed.
    void setValues(const std::array<double, BarCount>& values);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_title;
    std::array<double, BarCount> m_values{};
};
