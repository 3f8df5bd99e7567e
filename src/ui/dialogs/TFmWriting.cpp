#include "ui/dialogs/TFmWriting.h"

#include "ui/Fonts.h"
#include "ui/Handled.h"
#include "ui/dialogs/BusyIndicator.h"

#include <QHideEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>

TFmWriting::TFmWriting(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FmWriting"));
    setWindowTitle(QStringLiteral("Write Recipe"));
    setModal(false);
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setFixedSize(418, 161);

    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(166, 202, 240)); // sky blue
    setPalette(palette);
    setAutoFillBackground(true);

    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("LbTitle"));
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setFont(fonts::sans(18, true));
    m_title->setGeometry(8, 10, 402, 28);

    m_working = new BusyIndicator(this);
    m_working->setObjectName(QStringLiteral("AniWorking"));
    m_working->setGeometry(173, 40, 72, 56);

    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("Bar"));
    m_bar->setRange(0, 18);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    m_bar->setGeometry(16, 100, 386, 20);

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("BtnOK"));
    m_ok->setGeometry(171, 128, 76, 26);
    connect(m_ok, &QPushButton::clicked, this, handled(this, &TFmWriting::BtnOKClick));

    m_timer1.setObjectName(QStringLiteral("Timer1"));
    m_timer1.setParent(this);
    m_timer1.setInterval(TimerIntervalMs);
    connect(&m_timer1, &QTimer::timeout, this, handled(this, &TFmWriting::Timer1Timer));
}

void TFmWriting::beginWrite(const QString& title, int maximum)
{
    m_title->setText(title);
    m_outcome.clear();
    m_bar->setMaximum(maximum);
    m_bar->setValue(m_bar->minimum());
    if (isVisible())
        startWriting();
    show(); // on top of the other windows already
}

void TFmWriting::setBarPosition(int position)
{
    m_bar->setValue(position);
}

void TFmWriting::startWriting()
{
    m_ok->hide();
    m_timer1.start();
    m_working->start();
}

void TFmWriting::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // A spontaneous show is the window coming back from being minimised: nothing starts.
    if (!event->spontaneous())
        startWriting();
}

void TFmWriting::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    if (event->spontaneous())
        return;
    // Every way out passes here: OK, the close box, Escape.
    m_timer1.stop();
    m_working->stop();
    m_bar->setValue(m_bar->minimum());
}

void TFmWriting::Timer1Timer()
{
    if (m_bar->value() != m_bar->maximum() || m_outcome.isEmpty())
        return;
    m_ok->show();
    m_title->setText(m_outcome);
    m_working->stop();
}

void TFmWriting::BtnOKClick()
{
    close();
}
