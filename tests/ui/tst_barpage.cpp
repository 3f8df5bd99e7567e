#include "ui/dialogs/BusyIndicator.h"
#include "ui/dialogs/TFmBarPage.h"

#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

class TstBarPage : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m_page.reset(); }

    void looksLikeTheScanDialog();
    void barsFollowSetProgress_data();
    void barsFollowSetProgress();
    void closesItselfOnceAllBarsAreFull();
    void staysOpenWhileABarIsShort();
    void closingByHandResetsAndReports_data();
    void closingByHandResetsAndReports();
    void timerAndAnimationRunOnlyWhileShown();
    void opensCentredOnTheMainWindow();

private:
    enum CloseWay { CloseButton, EscapeKey, Hide };

    QProgressBar* bar(int monitor) const
    {
        return m_page->findChild<QProgressBar*>(QStringLiteral("Bar%1").arg(monitor));
    }
    QList<int> bars() const { return {bar(1)->value(), bar(2)->value(), bar(3)->value()}; }
    QTimer* timer1() const { return m_page->findChild<QTimer*>(QStringLiteral("Timer1")); }
    BusyIndicator* animation() const
    {
        return m_page->findChild<BusyIndicator*>(QStringLiteral("Animate1"));
    }
    void showPage()
    {
        m_page->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
    }

    std::unique_ptr<TFmBarPage> m_page;
};

void TstBarPage::init()
{
    m_page = std::make_unique<TFmBarPage>();
    QVERIFY(bar(1) && bar(2) && bar(3) && timer1() && animation());
}

void TstBarPage::looksLikeTheScanDialog()
{
    QCOMPARE(m_page->windowTitle(), QStringLiteral("DP Reading..."));
    QVERIFY(!m_page->isModal());
    QCOMPARE(m_page->size(), QSize(416, 172));
    QCOMPARE(m_page->minimumSize(), m_page->maximumSize());
    QCOMPARE(timer1()->interval(), 1000);

    bool titleFound = false;
    for (const QLabel* label : m_page->findChildren<QLabel*>()) {
        if (label->text() == QStringLiteral("DP Reading...")) {
            titleFound = true;
            QVERIFY(label->font().bold());
            QCOMPARE(label->font().pixelSize(), 37);
            QVERIFY(m_page->rect().contains(label->geometry()));
        }
    }
    QVERIFY(titleFound);
    for (int m = 1; m <= 3; ++m) {
        QCOMPARE(bar(m)->minimum(), 0);
        QCOMPARE(bar(m)->maximum(), 10);
        QCOMPARE(bar(m)->value(), 0);
        QVERIFY(m_page->rect().contains(bar(m)->geometry()));
        // Each bar follows its Monitor's caption on the same line.
        const auto* caption = m_page->findChild<QLabel*>(QStringLiteral("LbMonitor%1").arg(m));
        QVERIFY(caption);
        QCOMPARE(caption->text(), QStringLiteral("Monitor%1").arg(m));
        QVERIFY(caption->geometry().right() < bar(m)->geometry().left());
        QVERIFY(qAbs(caption->geometry().center().y() - bar(m)->geometry().center().y()) < 4);
    }
}

void TstBarPage::barsFollowSetProgress_data()
{
    QTest::addColumn<int>("monitor");
    QTest::addColumn<int>("value");
    QTest::addColumn<QList<int>>("expected");

    QTest::newRow("Monitor1 half way") << 1 << 5 << QList<int>{5, 0, 0};
    QTest::newRow("Monitor2 first slot") << 2 << 1 << QList<int>{0, 1, 0};
    QTest::newRow("Monitor3 full") << 3 << 10 << QList<int>{0, 0, 10};
    QTest::newRow("above the range is full") << 2 << 12 << QList<int>{0, 10, 0};
    QTest::newRow("below the range is empty") << 1 << -1 << QList<int>{0, 0, 0};
    QTest::newRow("no Monitor 4") << 4 << 5 << QList<int>{0, 0, 0};
    QTest::newRow("no Monitor 0") << 0 << 5 << QList<int>{0, 0, 0};
}

void TstBarPage::barsFollowSetProgress()
{
    QFETCH(int, monitor);
    QFETCH(int, value);
    QFETCH(QList<int>, expected);

    // A value already shown, so that a refused value visibly leaves it alone or clamps it.
    m_page->setProgress(monitor, 3);
    m_page->setProgress(1, 0);
    m_page->setProgress(2, 0);
    m_page->setProgress(3, 0);
    m_page->setProgress(monitor, value);
    QCOMPARE(bars(), expected);
    for (int m = 1; m <= 3; ++m) {
        QCOMPARE(m_page->progress(m), expected[m - 1]);
    }
}

void TstBarPage::closesItselfOnceAllBarsAreFull()
{
    QSignalSpy closed(m_page.get(), &TFmBarPage::closedByUserOrTimer);
    showPage();
    for (int slot = 1; slot <= 10; ++slot) {
        for (int m = 1; m <= 3; ++m) {
            m_page->setProgress(m, slot);
        }
    }
    QVERIFY(m_page->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!m_page->isVisible(), 1500);
    QCOMPARE(closed.count(), 1);
    QVERIFY(m_page->wasClosedOnce());
    QCOMPARE(bars(), (QList<int>{0, 0, 0}));
    QVERIFY(!timer1()->isActive());
    QVERIFY(!animation()->isRunning());
}

void TstBarPage::staysOpenWhileABarIsShort()
{
    QSignalSpy closed(m_page.get(), &TFmBarPage::closedByUserOrTimer);
    showPage();
    m_page->setProgress(1, 10);
    m_page->setProgress(2, 10);
    m_page->setProgress(3, 9);
    // More than one tick of Timer1 passes with one bar short of full.
    QTest::qWait(1300);
    QVERIFY(m_page->isVisible());
    QCOMPARE(closed.count(), 0);
    QVERIFY(!m_page->wasClosedOnce());

    m_page->setProgress(3, 10);
    QTRY_VERIFY_WITH_TIMEOUT(!m_page->isVisible(), 1500);
    QCOMPARE(closed.count(), 1);
}

void TstBarPage::closingByHandResetsAndReports_data()
{
    QTest::addColumn<int>("how");

    QTest::newRow("close button") << int(CloseButton);
    QTest::newRow("Escape") << int(EscapeKey);
    QTest::newRow("hidden by the program") << int(Hide);
}

void TstBarPage::closingByHandResetsAndReports()
{
    QFETCH(int, how);

    QSignalSpy closed(m_page.get(), &TFmBarPage::closedByUserOrTimer);
    for (int round = 1; round <= 2; ++round) {
        showPage();
        m_page->setProgress(1, 10);
        m_page->setProgress(2, 4);
        switch (how) {
        case CloseButton:
            m_page->close();
            break;
        case EscapeKey:
            QTest::keyClick(m_page.get(), Qt::Key_Escape);
            break;
        default:
            m_page->hide();
            break;
        }
        QVERIFY(!m_page->isVisible());
        QCOMPARE(closed.count(), round);
        QVERIFY(m_page->wasClosedOnce());
        QCOMPARE(bars(), (QList<int>{0, 0, 0}));
        QVERIFY(!timer1()->isActive());
        QVERIFY(!animation()->isRunning());
    }
}

void TstBarPage::timerAndAnimationRunOnlyWhileShown()
{
    QVERIFY(!timer1()->isActive());
    QVERIFY(!animation()->isRunning());
    showPage();
    QVERIFY(timer1()->isActive());
    QVERIFY(animation()->isRunning());
    const int firstFrame = animation()->frame();
    QTRY_VERIFY_WITH_TIMEOUT(animation()->frame() != firstFrame, 1000);

    m_page->hide();
    QVERIFY(!timer1()->isActive());
    QVERIFY(!animation()->isRunning());
    // Showing does not clear the bars: a Re-Scan pressed while a scan still runs shows that
    // scan's progress so far.
    m_page->setProgress(2, 6);
    QTest::qWait(50);
    QVERIFY(!timer1()->isActive());
    showPage();
    QVERIFY(timer1()->isActive());
    QCOMPARE(bars(), (QList<int>{0, 6, 0}));
}

void TstBarPage::opensCentredOnTheMainWindow()
{
    QWidget mainWindow;
    mainWindow.setGeometry(100, 80, 800, 600);
    mainWindow.show();
    QVERIFY(QTest::qWaitForWindowExposed(&mainWindow));
    m_page = std::make_unique<TFmBarPage>(&mainWindow);

    m_page->showCentredOn(&mainWindow);
    QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
    const QPoint offset = m_page->frameGeometry().center() - mainWindow.frameGeometry().center();
    QVERIFY2(offset.manhattanLength() <= 4,
             qPrintable(QStringLiteral("off centre by %1, %2").arg(offset.x()).arg(offset.y())));

    // Asked again while open, it stays where the operator put it.
    m_page->move(m_page->pos() + QPoint(40, 30));
    const QPoint moved = m_page->pos();
    m_page->showCentredOn(&mainWindow);
    QCOMPARE(m_page->pos(), moved);
    m_page.reset();
}

QTEST_MAIN(TstBarPage)
#include "tst_barpage.moc"
