#include "ui/main/TController.h"

#include "ui/Fonts.h"
#include "ui/Handled.h"

#include <QEvent>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>
#include <limits>

namespace {

const QColor MoneyGreen(192, 220, 192);
const QColor Cream(255, 251, 240);
const QColor Lime(0, 255, 0);
const QColor LampOnBack(0, 206, 0);
const QColor LampOffBack(109, 167, 231);

constexpr int OutputMaximum = 1000;
// The digital font as laid out, and what a value box leaves to its text: its frame, the edit's
// own margin and a clear gap on either side. The longest texts a controller sends ("-199.9",
// "-1999": five cells, the point takes none) do not fit at the laid-out size, and an edit
// that is too narrow shows the end of its text, so "85.00" read "35.00".
constexpr int DigitalPixels = 25;
constexpr int ValueInset = 6;

void setColours(QWidget* widget, QPalette::ColorRole backRole, const QColor& back,
                QPalette::ColorRole textRole, const QColor& text)
{
    QPalette palette = widget->palette();
    palette.setColor(backRole, back);
    palette.setColor(textRole, text);
    widget->setPalette(palette);
}

void setTextColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

// ASCII digits after an optional minus. Saturates far beyond any range used here, so a long
// digit string still counts as "a large integer" rather than "not a number".
std::optional<qint64> parseInteger(const QString& text, bool allowMinus)
{
    constexpr qint64 Saturation = qint64(1) << 40;
    qsizetype i = 0;
    const bool negative = allowMinus && text.startsWith(u'-');
    if (negative) {
        i = 1;
    }
    if (i == text.size()) {
        return std::nullopt;
    }
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        value = std::min(value * 10 + (c - u'0'), Saturation);
    }
    return negative ? -value : value;
}

// The first picture of the link image list: two chain links in green. Drawn once for all tiles.
const QImage& linkImage()
{
    static const QImage image = [] {
        QImage picture(17, 17, QImage::Format_ARGB32_Premultiplied);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(8.5, 8.5);
        painter.rotate(-45);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor(0, 90, 0), 3.2));
        painter.drawRoundedRect(QRectF(-9.0, -3.2, 10.5, 6.4), 3.2, 3.2);
        painter.drawRoundedRect(QRectF(-1.5, -3.2, 10.5, 6.4), 3.2, 3.2);
        painter.setPen(QPen(QColor(40, 200, 40), 1.6));
        painter.drawRoundedRect(QRectF(-9.0, -3.2, 10.5, 6.4), 3.2, 3.2);
        painter.drawRoundedRect(QRectF(-1.5, -3.2, 10.5, 6.4), 3.2, 3.2);
        return picture;
    }();
    return image;
}

bool isIdKeyAllowed(const QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods = event->modifiers();
    const int key = event->key();
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        return !(mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    }
    // Editing and moving within the box, and leaving it with Tab. Alt and Meta combinations
    // belong to the window, not to the box.
    switch (key) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return !(mods & (Qt::AltModifier | Qt::MetaModifier));
    default:
        return false;
    }
}

QLabel* addLabel(QWidget* parent, const char* name, const QString& text, const QFont& font, int x,
                 int y)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(font);
    label->adjustSize();
    label->move(x, y);
    return label;
}

QLineEdit* addEdit(QWidget* parent, const char* name, const QRect& geometry, const QFont& font)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setFont(font);
    edit->setGeometry(geometry);
    return edit;
}

} // namespace

TController::TController(int tileWidth, QWidget* parent) : QFrame(parent)
{
    setFrameShape(QFrame::NoFrame);
    setFixedSize(tileWidth, TileHeight);
    m_linkPixmap = QPixmap::fromImage(linkImage());

    buildTitleAndValues();
    buildLampsAndOutput();
    buildIdRow();
}

void TController::buildTitleAndValues()
{
    // Created first so that it lies under every control of the value area.
    m_bevel = new QFrame(this);
    m_bevel->setObjectName(QStringLiteral("Bevel1"));
    m_bevel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    m_bevel->setLineWidth(1);
    m_bevel->setGeometry(0, 24, 137, 153);

    m_title = addEdit(this, "TxtUnitTitle", QRect(0, 0, 137, 24), fonts::cjk(16));
    setColours(m_title, QPalette::Base, MoneyGreen, QPalette::Text, Qt::black);
    m_title->setText(QStringLiteral("溫控點 01"));

    addLabel(this, "Label1", QStringLiteral("PV"), fonts::sans(16, true), 4, 29);
    m_pv = addEdit(this, "TxtPV", QRect(29, 29, 81, 36), fonts::digital(DigitalPixels));
    m_pv->setReadOnly(true);
    setColours(m_pv, QPalette::Base, Qt::black, QPalette::Text, Qt::red);

    setTextColour(addLabel(this, "Label4", QStringLiteral("LINK"), fonts::sans(11), 112, 48),
                  Qt::blue);
    m_link = new QLabel(this);
    m_link->setObjectName(QStringLiteral("ImgLink"));
    m_link->setGeometry(114, 64, 17, 17);
    m_link->setAttribute(Qt::WA_TranslucentBackground);

    addLabel(this, "Label2", QStringLiteral("SV"), fonts::sans(16, true), 4, 64);
    m_sv = addEdit(this, "TxtSV", QRect(29, 64, 81, 36), fonts::digital(DigitalPixels));
    m_sv->setReadOnly(true);
    setColours(m_sv, QPalette::Base, Qt::black, QPalette::Text, Lime);
}

void TController::buildLampsAndOutput()
{
    struct LampPlace
    {
        const char* name;
        const char* caption;
        QRect geometry;
    };
    static const std::array<LampPlace, 4> places{{
        {"Lab_OUT1", " OUT1", QRect(4, 100, 30, 14)},
        {"Lab_OUT2", " OUT2", QRect(38, 100, 30, 14)},
        {"Lab_AL1", "  AL1 ", QRect(72, 100, 28, 14)},
        {"Lab_AL2", "  AL2 ", QRect(104, 100, 28, 14)},
    }};
    for (size_t i = 0; i < places.size(); ++i) {
        auto* lamp = new QLabel(QLatin1String(places[i].caption), this);
        lamp->setObjectName(QLatin1String(places[i].name));
        lamp->setAutoFillBackground(true);
        lamp->setGeometry(places[i].geometry);
        // Arial 11 cut " OUT1" to "OUT:" in its 30 pixels: the narrow face keeps the size, and
        // a clear pixel stays on either side whichever face the system has.
        lamp->setFont(
            fonts::fitted(fonts::narrow(11, false), lamp->text(), places[i].geometry.width() - 2));
        m_lamps[i] = lamp;
        m_lampOn[i] = -1;
        paintLamp(int(i), false);
    }

    setTextColour(addLabel(this, "Label5", QStringLiteral("OUT%"), fonts::sans(11), 4, 120),
                  Qt::blue);
    m_out = new QProgressBar(this);
    m_out->setObjectName(QStringLiteral("PrgOut"));
    m_out->setGeometry(36, 120, 96, 17);
    m_out->setRange(0, OutputMaximum);
    m_out->setValue(0);
    m_out->setTextVisible(false);
}

void TController::buildIdRow()
{
    setTextColour(addLabel(this, "Label3", QStringLiteral("ID"), fonts::sans(16, true), 8, 144),
                  Qt::blue);

    m_id = addEdit(this, "TxtID", QRect(24, 144, 33, 20), fonts::terminal(13));
    // Only the active groups: a locked box greys its text like any disabled control.
    QPalette idPalette = m_id->palette();
    const QColor face = idPalette.color(QPalette::Button);
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        idPalette.setColor(group, QPalette::Base, face);
        idPalette.setColor(group, QPalette::Text, Qt::red);
    }
    m_id->setPalette(idPalette);
    m_id->setText(QStringLiteral("1"));
    // The key filter is the only way digits get checked on entry; input methods and drops
    // would go around it.
    m_id->setAttribute(Qt::WA_InputMethodEnabled, false);
    m_id->setInputMethodHints(Qt::ImhDigitsOnly);
    m_id->setAcceptDrops(false);
    m_id->installEventFilter(this);
    connect(m_id, &QLineEdit::textChanged, this, handled(this, &TController::onIdTextChanged));

    m_set = new QPushButton(QStringLiteral("SET"), this);
    m_set->setObjectName(QStringLiteral("BtnSET"));
    m_set->setFont(fonts::narrow(13));
    m_set->setGeometry(64, 144, 57, 25);
    QPalette setPalette = m_set->palette();
    setPalette.setColor(QPalette::Button, Cream);
    m_set->setPalette(setPalette);
    m_set->installEventFilter(this);

    m_slotNo = new QLabel(this);
    m_slotNo->setObjectName(QStringLiteral("STxtNO"));
    m_slotNo->hide();
}

QString TController::titleText() const
{
    return m_title->text();
}

void TController::setTitleText(const QString& text)
{
    m_title->setText(text);
}

QString TController::idText() const
{
    return m_id->text();
}

void TController::setIdText(const QString& text)
{
    m_id->setText(text);
}

std::optional<int> TController::stationId() const
{
    const std::optional<qint64> value = parseInteger(m_id->text(), false);
    if (!value || *value > std::numeric_limits<int>::max()) {
        return std::nullopt;
    }
    return int(*value);
}

void TController::setSlotNumber(int slot)
{
    m_slotNo->setText(QStringLiteral("%1").arg(slot, 2, 10, QLatin1Char('0')));
}

QString TController::slotNumberText() const
{
    return m_slotNo->text();
}

void TController::showValues(const QString& pv, const QString& sv, const QString& out)
{
    if (m_pv->text() != pv || m_sv->text() != sv) {
        // Both boxes at one size, the largest at which either text shows whole.
        const int room = m_pv->width() - 2 * ValueInset;
        const QFont forPv = fonts::fitted(fonts::digital(DigitalPixels), pv, room);
        const QFont forSv = fonts::fitted(fonts::digital(DigitalPixels), sv, room);
        const QFont& font = forPv.pixelSize() <= forSv.pixelSize() ? forPv : forSv;
        if (font != m_pv->font()) {
            m_pv->setFont(font);
            m_sv->setFont(font);
        }
        m_pv->setText(pv);
        m_sv->setText(sv);
    }
    const bool link = !pv.isEmpty();
    if (link != m_linkShown) {
        m_linkShown = link;
        if (link) {
            m_link->setPixmap(m_linkPixmap);
        } else {
            m_link->clear();
        }
    }
    setOutputText(out);
}

void TController::setOutputText(const QString& out)
{
    const std::optional<qint64> value = parseInteger(out, true);
    const qint64 position = value ? std::clamp<qint64>(*value, 0, OutputMaximum) : 0;
    m_out->setValue(int(position));
}

void TController::setLamps(int bits)
{
    static constexpr std::array<int, 4> masks{LampBitOut1, LampBitOut2, LampBitAl1, LampBitAl2};
    for (size_t i = 0; i < masks.size(); ++i) {
        paintLamp(int(i), (bits & masks[i]) != 0);
        m_lamps[i]->resize(30, 15);
    }
}

void TController::paintLamp(int index, bool on)
{
    const auto i = size_t(index);
    if (m_lampOn[i] == (on ? 1 : 0)) {
        return;
    }
    m_lampOn[i] = on ? 1 : 0;
    setColours(m_lamps[i], QPalette::Window, on ? LampOnBack : LampOffBack, QPalette::WindowText,
               on ? QColor(Qt::black) : QColor(Qt::white));
}

void TController::setLocked(bool locked)
{
    m_id->setEnabled(!locked);
    m_set->setEnabled(!locked);
}

void TController::onIdTextChanged(const QString& text)
{
    if (text.isEmpty()) {
        m_id->setText(QStringLiteral("1"));
    }
}

bool TController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_id) {
        // Eating a refused key's shortcut override as well leaves the window's shortcuts
        // working while the box has the focus.
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
            return !isIdKeyAllowed(static_cast<QKeyEvent*>(event));
        }
    } else if (watched == m_set && event->type() == QEvent::MouseButtonRelease) {
        // A locked button must not open the parameter dialog, whatever reaches it.
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (m_set->isEnabled() && m_set->rect().contains(mouse->position().toPoint())) {
            emit setReleased();
        }
    }
    return QFrame::eventFilter(watched, event);
}
