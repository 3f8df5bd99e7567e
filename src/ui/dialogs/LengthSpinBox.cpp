#include "ui/dialogs/LengthSpinBox.h"

#include "ui/Handled.h"

#include <QLineEdit>
#include <algorithm>

namespace {

int countsAs(const QString& text)
{
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok);
    if (!ok)
        return LengthSpinBox::Minimum;
    return int(std::clamp<qlonglong>(v, LengthSpinBox::Minimum, LengthSpinBox::Maximum));
}

} // namespace

LengthSpinBox::LengthSpinBox(QWidget* parent) : QAbstractSpinBox(parent)
{
    setText(QStringLiteral("1000"));
    connect(this, &QAbstractSpinBox::editingFinished, this, handled([this] { value(); }));
}

int LengthSpinBox::value()
{
    const int v = countsAs(text());
    if (text() != QString::number(v))
        setText(QString::number(v));
    return v;
}

void LengthSpinBox::stepBy(int steps)
{
    setText(QString::number(std::clamp(countsAs(text()) + steps, Minimum, Maximum)));
}

QValidator::State LengthSpinBox::validate(QString&, int&) const
{
    return QValidator::Acceptable; // judged when the field is left, not while typing
}

QAbstractSpinBox::StepEnabled LengthSpinBox::stepEnabled() const
{
    const int v = countsAs(text());
    StepEnabled enabled = StepNone;
    if (v > Minimum)
        enabled |= StepDownEnabled;
    if (v < Maximum)
        enabled |= StepUpEnabled;
    return enabled;
}
