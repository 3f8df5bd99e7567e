#include "ui/dialogs/TFmAlmDlg.h"

#include "ui/Fonts.h"
#include "ui/Handled.h"

#include <QCloseEvent>
#include <QHideEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>

namespace {

// The warning sign beside the count: drawn, so that no picture file has to ship with it.
QPixmap warningPicture()
{
    QPixmap picture(48, 48);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(QColor(255, 200, 0));
    const QPointF triangle[] = {{24, 3}, {45, 44}, {3, 44}};
    p.drawPolygon(triangle, 3);
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(28);
    p.setFont(font);
    p.drawText(QRect(0, 12, 48, 32), Qt::AlignCenter, QStringLiteral("!"));
    return picture;
}

} // namespace

TFmAlmDlg::TFmAlmDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FmAlmDlg"));
    setWindowTitle(QStringLiteral("Alarm Message"));
    setModal(false);
    setFixedSize(520, 220); // a fixed dialog border

    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1"));
    image->setPixmap(warningPicture());
    image->setGeometry(14, 10, 48, 48);

    m_count = new QLabel(QStringLiteral("0"), this);
    m_count->setObjectName(QStringLiteral("STxtAlmCount"));
    m_count->setStyleSheet(QStringLiteral("color: yellow; background: black;"));
    m_count->setFont(fonts::sans(16, true));
    m_count->setAlignment(Qt::AlignCenter);
    m_count->setGeometry(76, 20, 48, 28);

    auto* label = new QLabel(QStringLiteral("Message"), this);
    label->setObjectName(QStringLiteral("Label1"));
    label->setFont(fonts::sans(14));
    label->setGeometry(132, 20, 120, 28);

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("LstAlarm"));
    QFont listFont(QStringLiteral("Arial"), 10);
    listFont.setBold(true);
    m_list->setFont(listFont);
    m_list->setGeometry(14, 64, 492, 96); // about four lines in view

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("BtnOK"));
    ok->setGeometry(218, 172, 84, 32);
    connect(ok, &QPushButton::clicked, this, handled(this, &TFmAlmDlg::BtnOKClick));
}

void TFmAlmDlg::addAlarm(const QString& line)
{
    m_list->addItem(QStringLiteral("Message%1, ").arg(m_list->count() + 1) + line);
    m_count->setText(QString::number(m_list->count()));
    show();
}

void TFmAlmDlg::BtnOKClick()
{
    emit acknowledged(shownLines(), QStringLiteral("OK"));
    hide();
}

void TFmAlmDlg::forgetLines()
{
    m_count->setText(QStringLiteral("0"));
    m_list->clear();
}

void TFmAlmDlg::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    // A minimised main window takes the dialog with it: that is no acknowledgement.
    if (!event->spontaneous())
        forgetLines();
}

QStringList TFmAlmDlg::shownLines() const
{
    QStringList lines;
    for (int i = 0; i < m_list->count(); ++i)
        lines << m_list->item(i)->text();
    return lines;
}

void TFmAlmDlg::closeEvent(QCloseEvent* event)
{
    if (m_list->count() > 0)
        emit acknowledged(shownLines(), QStringLiteral("window closed"));
    forgetLines();
    QDialog::closeEvent(event);
}
