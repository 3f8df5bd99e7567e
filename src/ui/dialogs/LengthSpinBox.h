#pragma once

#include <QAbstractSpinBox>
#include <QLineEdit>

// An integer field 1..3600 that takes whatever is typed and judges it when the field is
// left (or read): a text that is not an integer counts as 1, a number outside the range as
// the nearest bound, and the field then shows the value it counts as.
class LengthSpinBox : public QAbstractSpinBox
{
    Q_OBJECT

public:
    static constexpr int Minimum = 1;
    static constexpr int Maximum = 3600;

    explicit LengthSpinBox(QWidget* parent = nullptr);

    // The value the text counts as; the field is brought to show it.
    int value();
    QString text() const { return lineEdit()->text(); }
    void setText(const QString& text) { lineEdit()->setText(text); }

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;

protected:
    StepEnabled stepEnabled() const override;
};
