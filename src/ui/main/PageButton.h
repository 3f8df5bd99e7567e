#pragma once

#include <QLabel>

// A picture that acts as a button: the page buttons along the bottom of the main window.
class PageButton : public QLabel
{
    Q_OBJECT

public:
    explicit PageButton(QWidget* parent = nullptr);

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};
