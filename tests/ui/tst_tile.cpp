#include "ui/main/ScanIndicator.h"
#include "ui/main/TController.h"

#include <QClipboard>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

template <typename T> T* part(TController& tile, const char* name)
{
    T* widget = tile.findChild<T*>(QLatin1String(name));
    if (!widget) {
        qFatal("tile has no %s", name);
    }
    return widget;
}

// Columns and rows where `with` differs from `without`: the pixels the text lights.
QRect litRect(const QImage& with, const QImage& without)
{
    QRect lit;
    for (int y = 0; y < with.height(); ++y)
        for (int x = 0; x < with.width(); ++x)
            if (with.pixel(x, y) != without.pixel(x, y))
                lit |= QRect(x, y, 1, 1);
    return lit;
}

// The text drawn with nothing around it to cut it.
QRect freeLitRect(const QString& text, const QFont& font)
{
    QImage blank(400, 100, QImage::Format_RGB32);
    blank.fill(Qt::black);
    QImage drawn = blank;
    QPainter painter(&drawn);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(50, 70, text);
    painter.end();
    return litRect(drawn, blank);
}

} // namespace

class TstTile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m_tile.reset(); }

    void layoutMatchesTheTile_data();
    void layoutMatchesTheTile();
    void fontsAreTheDisplayFonts();
    void idBoxKeepsOnlyDigits_data();
    void idBoxKeepsOnlyDigits();
    void emptiedIdBoxShowsOneAtOnce();
    void stationIdTakesOnlyDecimalIntegersInRange_data();
    void stationIdTakesOnlyDecimalIntegersInRange();
    void pastedLettersAreRefusedByStationId();
    void showValuesFillsBoxesLinkAndBar_data();
    void showValuesFillsBoxesLinkAndBar();
    void everyTextShowsWhole_data();
    void everyTextShowsWhole();
    void lampsFollowStatusBits_data();
    void lampsFollowStatusBits();
    void setReleasedOnlyOnAnEnabledButton_data();
    void setReleasedOnlyOnAnEnabledButton();
    void slotNumberHasTwoDigits();
    void scanIndicatorTurnsRedAndBack();

private:
    std::unique_ptr<TController> m_tile;
};

void TstTile::init()
{
    m_tile = std::make_unique<TController>();
    m_tile->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_tile.get()));
}

void TstTile::layoutMatchesTheTile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");

    QTest::newRow("title") << "TxtUnitTitle" << QRect(0, 0, 137, 24) << "溫控點 01";
    QTest::newRow("bevel") << "Bevel1" << QRect(0, 24, 137, 153) << "";
    QTest::newRow("PV box") << "TxtPV" << QRect(29, 29, 81, 36) << "";
    QTest::newRow("SV box") << "TxtSV" << QRect(29, 64, 81, 36) << "";
    QTest::newRow("link") << "ImgLink" << QRect(114, 64, 17, 17) << "";
    QTest::newRow("OUT1") << "Lab_OUT1" << QRect(4, 100, 30, 14) << " OUT1";
    QTest::newRow("OUT2") << "Lab_OUT2" << QRect(38, 100, 30, 14) << " OUT2";
    QTest::newRow("AL1") << "Lab_AL1" << QRect(72, 100, 28, 14) << "  AL1 ";
    QTest::newRow("AL2") << "Lab_AL2" << QRect(104, 100, 28, 14) << "  AL2 ";
    QTest::newRow("output") << "PrgOut" << QRect(36, 120, 96, 17) << "";
    QTest::newRow("ID") << "TxtID" << QRect(24, 144, 33, 20) << "1";
    QTest::newRow("SET") << "BtnSET" << QRect(64, 144, 57, -1) << "SET";
    QTest::newRow("PV label") << "Label1" << QRect(4, 29, -1, -1) << "PV";
    QTest::newRow("LINK label") << "Label4" << QRect(112, 48, -1, -1) << "LINK";
    QTest::newRow("OUT% label") << "Label5" << QRect(4, 120, -1, -1) << "OUT%";
    QTest::newRow("ID label") << "Label3" << QRect(8, 144, -1, -1) << "ID";
}

// A width or height of -1 in the table means "whatever the text needs".
void TstTile::layoutMatchesTheTile()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);

    QCOMPARE(m_tile->size(), QSize(141, 182));
    QCOMPARE(TController(TController::WideWidth).size(), QSize(145, 182));

    auto* widget = m_tile->findChild<QWidget*>(name);
    QVERIFY(widget);
    QCOMPARE(widget->pos(), geometry.topLeft());
    if (geometry.width() > 0) {
        QCOMPARE(widget->width(), geometry.width());
    }
    if (geometry.height() > 0) {
        QCOMPARE(widget->height(), geometry.height());
    }
    QVERIFY(m_tile->rect().contains(widget->geometry()));
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        QCOMPARE(label->text(), text);
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        QCOMPARE(edit->text(), text);
    } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
        QCOMPARE(button->text(), text);
    }
}

void TstTile::fontsAreTheDisplayFonts()
{
    const QFontInfo pv(part<QLineEdit>(*m_tile, "TxtPV")->font());
    QCOMPARE(pv.family(), QStringLiteral("DSEG7 Classic"));
    QCOMPARE(pv.pixelSize(), 25);
    QCOMPARE(QFontInfo(part<QLineEdit>(*m_tile, "TxtSV")->font()).family(),
             QStringLiteral("DSEG7 Classic"));

    // The title must be drawn with a font that has the Chinese characters, not boxes.
    const QFontMetrics title(part<QLineEdit>(*m_tile, "TxtUnitTitle")->font());
    for (const QChar c : QStringLiteral("溫控點")) {
        QVERIFY2(title.inFont(c), qPrintable(QStringLiteral("no glyph for %1").arg(c)));
    }
    QVERIFY(QFontInfo(part<QLineEdit>(*m_tile, "TxtID")->font()).fixedPitch());
    QVERIFY(part<QLineEdit>(*m_tile, "TxtPV")->isReadOnly());
    QVERIFY(part<QLineEdit>(*m_tile, "TxtSV")->isReadOnly());
}

void TstTile::idBoxKeepsOnlyDigits_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");

    QTest::newRow("digits are added") << "305"
                                      << "12305";
    QTest::newRow("letters do not appear") << "a4Bz"
                                           << "124";
    QTest::newRow("signs, dots and blanks do not appear") << "-+. ,e7"
                                                          << "127";
    QTest::newRow("only digits of a mixed burst") << "ID=0x7f;9"
                                                  << "12079";
}

void TstTile::idBoxKeepsOnlyDigits()
{
    QFETCH(QString, typed);
    QFETCH(QString, expected);

    auto* id = part<QLineEdit>(*m_tile, "TxtID");
    m_tile->setIdText(QStringLiteral("12"));
    id->setFocus();
    id->end(false);
    QTest::keyClicks(id, typed);
    QCOMPARE(id->text(), expected);
}

void TstTile::emptiedIdBoxShowsOneAtOnce()
{
    auto* id = part<QLineEdit>(*m_tile, "TxtID");
    m_tile->setIdText(QStringLiteral("45"));
    id->setFocus();
    id->end(false);
    QTest::keyClick(id, Qt::Key_Backspace);
    QCOMPARE(id->text(), QStringLiteral("4"));
    QTest::keyClick(id, Qt::Key_Backspace);
    QCOMPARE(id->text(), QStringLiteral("1"));

    // Selecting everything and deleting it, or an empty restore, ends the same way.
    m_tile->setIdText(QStringLiteral("278"));
    id->selectAll();
    QTest::keyClick(id, Qt::Key_Delete);
    QCOMPARE(id->text(), QStringLiteral("1"));
    m_tile->setIdText(QString());
    QCOMPARE(m_tile->idText(), QStringLiteral("1"));
    QCOMPARE(m_tile->stationId(), std::optional<int>(1));
}

void TstTile::stationIdTakesOnlyDecimalIntegersInRange_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected"); // -1: not taken over

    QTest::newRow("plain") << "17" << 17;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("leading zeros") << "007" << 7;
    QTest::newRow("largest") << "2147483647" << 2147483647;
    QTest::newRow("one too large") << "2147483648" << -1;
    QTest::newRow("far too large") << "99999999999999999999999999" << -1;
    QTest::newRow("negative") << "-3" << -1;
    QTest::newRow("letters") << "12a" << -1;
    QTest::newRow("blank inside") << "1 2" << -1;
    QTest::newRow("leading blank") << " 5" << -1;
    QTest::newRow("hexadecimal") << "0x1F" << -1;
    QTest::newRow("decimal point") << "1.0" << -1;
    QTest::newRow("non-ASCII digits") << "٣" << -1;
}

void TstTile::stationIdTakesOnlyDecimalIntegersInRange()
{
    QFETCH(QString, text);
    QFETCH(int, expected);

    m_tile->setIdText(text);
    QCOMPARE(m_tile->idText(), text);
    const std::optional<int> id = m_tile->stationId();
    QCOMPARE(id.has_value(), expected >= 0);
    if (expected >= 0) {
        QCOMPARE(*id, expected);
    }
}

void TstTile::pastedLettersAreRefusedByStationId()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("COM3!"));
    if (clipboard->text() != QStringLiteral("COM3!")) {
        QSKIP("this platform has no clipboard");
    }
    auto* id = part<QLineEdit>(*m_tile, "TxtID");
    id->selectAll();
    id->paste();
    QCOMPARE(id->text(), QStringLiteral("COM3!"));
    QVERIFY(!m_tile->stationId().has_value());
}

void TstTile::showValuesFillsBoxesLinkAndBar_data()
{
    QTest::addColumn<QString>("previousPv");
    QTest::addColumn<QString>("pv");
    QTest::addColumn<QString>("sv");
    QTest::addColumn<QString>("out");
    QTest::addColumn<int>("barValue");

    QTest::newRow("reading") << ""
                             << "25.3"
                             << "30.0"
                             << "523" << 523;
    QTest::newRow("lost PV keeps SV text") << "25.3"
                                           << ""
                                           << "30.0"
                                           << "523" << 523;
    QTest::newRow("nothing held") << "25.3"
                                  << ""
                                  << ""
                                  << "" << 0;
    QTest::newRow("negative output is empty") << ""
                                              << "-0.5"
                                              << "0.0"
                                              << "-5" << 0;
    QTest::newRow("output above range is full") << ""
                                                << "99.9"
                                                << "80.0"
                                                << "1200" << 1000;
    QTest::newRow("full scale") << ""
                                << "1.00"
                                << "1.00"
                                << "1000" << 1000;
    QTest::newRow("huge output is full") << ""
                                         << "1"
                                         << "1"
                                         << "123456789012345678901" << 1000;
    QTest::newRow("not an integer") << "1"
                                    << "1"
                                    << "1"
                                    << "52.3" << 0;
    QTest::newRow("letters") << ""
                             << "1"
                             << "1"
                             << "abc" << 0;
    QTest::newRow("lone minus") << ""
                                << "1"
                                << "1"
                                << "-" << 0;
}

void TstTile::showValuesFillsBoxesLinkAndBar()
{
    QFETCH(QString, previousPv);
    QFETCH(QString, pv);
    QFETCH(QString, sv);
    QFETCH(QString, out);
    QFETCH(int, barValue);

    auto* bar = part<QProgressBar>(*m_tile, "PrgOut");
    auto* link = part<QLabel>(*m_tile, "ImgLink");
    m_tile->showValues(previousPv, QStringLiteral("1.0"), QStringLiteral("700"));
    m_tile->showValues(pv, sv, out);

    QCOMPARE(part<QLineEdit>(*m_tile, "TxtPV")->text(), pv);
    QCOMPARE(part<QLineEdit>(*m_tile, "TxtSV")->text(), sv);
    QCOMPARE(link->pixmap().isNull(), pv.isEmpty());
    if (!pv.isEmpty()) {
        QCOMPARE(link->pixmap().size(), QSize(17, 17));
    }
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), 1000);
    QCOMPARE(bar->value(), barValue);
}

void TstTile::everyTextShowsWhole_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    // The longest texts a controller sends: four digits, a point and a minus.
    for (const char* box : {"TxtPV", "TxtSV"})
        for (const char* text : {"-199.9", "9999", "-1999", "99.99", "888.8", "85.00", "25.3"})
            QTest::addRow("%s %s", box, text) << box << text;
    for (const char* lamp : {"Lab_OUT1", "Lab_OUT2", "Lab_AL1", "Lab_AL2"})
        QTest::newRow(lamp) << lamp << "";
}

// Grabbed as drawn: the lit pixels are as wide as the text drawn freely in the same font,
// and none of them is on the box's edge.
void TstTile::everyTextShowsWhole()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    auto* edit = m_tile->findChild<QLineEdit*>(name);
    auto* label = m_tile->findChild<QLabel*>(name);
    QVERIFY(edit || label);
    QWidget* box = edit ? static_cast<QWidget*>(edit) : label;
    if (edit)
        m_tile->showValues(name == "TxtPV" ? text : "1.0", name == "TxtSV" ? text : "1.0", "0");
    else
        text = label->text();
    const QImage with = box->grab().toImage();
    edit ? edit->setText(QString()) : label->setText(QString());
    const QImage without = box->grab().toImage();

    const QRect lit = litRect(with, without);
    QVERIFY(!lit.isEmpty());
    // QRect compares and prints: inside the box by a pixel, and as large as the whole text.
    QCOMPARE(lit & box->rect().adjusted(1, 1, -1, -1), lit);
    const QRect whole = freeLitRect(text, box->font());
    QVERIFY(qAbs(lit.width() - whole.width()) <= 1 && qAbs(lit.height() - whole.height()) <= 1);
}

void TstTile::lampsFollowStatusBits_data()
{
    QTest::addColumn<int>("previous");
    QTest::addColumn<int>("bits");
    QTest::addColumn<QList<bool>>("on"); // OUT1, OUT2, AL1, AL2

    QTest::newRow("9: OUT1 and AL1") << 0 << 9 << QList<bool>{true, false, true, false};
    QTest::newRow("4: bit 2 has no lamp") << 0 << 4 << QList<bool>{false, false, false, false};
    QTest::newRow("-1: all") << 0 << -1 << QList<bool>{true, true, true, true};
    QTest::newRow("18: OUT2 and AL2") << 0 << 18 << QList<bool>{false, true, false, true};
    QTest::newRow("32: higher bits ignored") << 0 << 32 << QList<bool>{false, false, false, false};
    QTest::newRow("all off again") << -1 << 0 << QList<bool>{false, false, false, false};
    QTest::newRow("9 after all") << -1 << 9 << QList<bool>{true, false, true, false};
}

void TstTile::lampsFollowStatusBits()
{
    QFETCH(int, previous);
    QFETCH(int, bits);
    QFETCH(QList<bool>, on);

    m_tile->setLamps(previous);
    m_tile->setLamps(bits);
    const char* names[] = {"Lab_OUT1", "Lab_OUT2", "Lab_AL1", "Lab_AL2"};
    for (int i = 0; i < 4; ++i) {
        auto* lamp = part<QLabel>(*m_tile, names[i]);
        const QPalette palette = lamp->palette();
        const QColor back = on[i] ? QColor(0, 206, 0) : QColor(109, 167, 231);
        const QColor text = on[i] ? QColor(Qt::black) : QColor(Qt::white);
        QVERIFY2(lamp->autoFillBackground(), names[i]);
        QCOMPARE(palette.color(lamp->backgroundRole()), back);
        QCOMPARE(palette.color(lamp->foregroundRole()), text);
        QCOMPARE(lamp->size(), QSize(30, 15));
    }
}

void TstTile::setReleasedOnlyOnAnEnabledButton_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<bool>("locked");
    QTest::addColumn<bool>("onButton");
    QTest::addColumn<int>("emitted");

    QTest::newRow("left click") << Qt::LeftButton << false << true << 1;
    QTest::newRow("right click") << Qt::RightButton << false << true << 1;
    QTest::newRow("released beside the button") << Qt::LeftButton << false << false << 0;
    QTest::newRow("locked") << Qt::LeftButton << true << true << 0;
    QTest::newRow("locked, right click") << Qt::RightButton << true << true << 0;
}

void TstTile::setReleasedOnlyOnAnEnabledButton()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(bool, locked);
    QFETCH(bool, onButton);
    QFETCH(int, emitted);

    auto* set = part<QPushButton>(*m_tile, "BtnSET");
    auto* id = part<QLineEdit>(*m_tile, "TxtID");
    m_tile->setLocked(locked);
    QCOMPARE(set->isEnabled(), !locked);
    QCOMPARE(id->isEnabled(), !locked);

    QSignalSpy spy(m_tile.get(), &TController::setReleased);
    const QPoint inside = set->rect().center();
    QTest::mousePress(set, button, {}, inside);
    QTest::mouseRelease(set, button, {}, onButton ? inside : QPoint(set->width() + 10, 2));
    QCOMPARE(spy.count(), emitted);

    m_tile->setLocked(false);
    QVERIFY(set->isEnabled() && id->isEnabled());
}

void TstTile::slotNumberHasTwoDigits()
{
    auto* number = part<QLabel>(*m_tile, "STxtNO");
    QVERIFY(!number->isVisible());
    m_tile->setSlotNumber(3);
    QCOMPARE(m_tile->slotNumberText(), QStringLiteral("03"));
    m_tile->setSlotNumber(10);
    QCOMPARE(number->text(), QStringLiteral("10"));
}

void TstTile::scanIndicatorTurnsRedAndBack()
{
    ScanIndicator indicator;
    QCOMPARE(indicator.size(), QSize(17, 5));
    indicator.show();
    QVERIFY(QTest::qWaitForWindowExposed(&indicator));
    // Look at what is painted, in the middle of the bar, away from its outline.
    const auto centreColour = [&] { return indicator.grab().toImage().pixelColor(8, 2); };
    QCOMPARE(centreColour(), QColor(Qt::white));
    indicator.setActive(true);
    QCOMPARE(centreColour(), QColor(Qt::red));
    indicator.setActive(false);
    QCOMPARE(centreColour(), QColor(Qt::white));
}

QTEST_MAIN(TstTile)
#include "tst_tile.moc"
