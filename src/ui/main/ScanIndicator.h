#pragma once

#include <QWidget>

// The small bar above a tile that turns red while its slot is the last one read successfully.
class ScanIndicator : public QWidget
{
    Q_OBJECT

public:
    static constexpr int IndicatorWidth = 17;
    static constexpr int IndicatorHeight = 5;

    explicit ScanIndicator(QWidget* parent = nullptr);

    // Red when active, white otherwise. The engine reports every successful read, so setting
    // the state it already has costs nothing.
    void setActive(bool active);
    bool isActive() const { return m_active; }
    QColor colour() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_active = false;
};
