#pragma once

#include <QTimer>
#include <QWidget>

// A magnifying glass circling a small computer screen: the "looking for controllers" picture,
// drawn in eight frames. It runs only between start() and stop(), so a hidden dialog costs
// nothing.
class BusyIndicator : public QWidget
{
    Q_OBJECT

public:
    static constexpr int FrameCount = 8;
    static constexpr int FrameIntervalMs = 125;

    explicit BusyIndicator(QWidget* parent = nullptr);

    void start();
    void stop();
    bool isRunning() const { return m_timer.isActive(); }
    int frame() const { return m_frame; }

    QSize sizeHint() const override { return {72, 56}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void advance();

    QTimer m_timer;
    int m_frame = 0;
};
