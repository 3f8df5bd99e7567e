#pragma once

#include <QWidget>

// One key of the on-screen keypad: a 40 x 40 area over the keypad picture that draws nothing
// of its own but a shade while held. It reports a press of any mouse button and a click (left
// button pressed and released over it) separately, because some back keys act on the one and
// some on the other. Disabled, it receives no mouse events and so reports nothing.
class KeypadHotSpot : public QWidget
{
    Q_OBJECT

public:
    static constexpr int Size = 40;

    explicit KeypadHotSpot(QWidget* parent = nullptr);

Q_SIGNALS:
    void pressed();
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_leftDown = false;
};
