// The Set Controller dialog on its own, over an engine that is never started: what each Write
// leaves as the pending write (or refuses, and with which box), the keypads, and which controls
// each selector text shows.
#include "../unit/FakeLine.h"
#include "PortlessStart.h"
#include "RecordingDialogs.h"
#include "core/QuillmereError.h"
#include "engine/TCommController.h"
#include "params/ParameterCatalogue.h"
#include "ui/params/TFmSetPage.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMutexLocker>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>

#include <memory>
#include <optional>

using params::TabId;

namespace {

const QString DotBox = QStringLiteral("Quillmere Control|Not more than one decimal point");
const QString RangeBox = QStringLiteral("error|More than input range,please re-enter value");

QString suffix(int tab)
{
    return QLatin1String(params::tabInfo(TabId(tab)).suffix);
}

QStringList digitNames(const char* kind, const QString& suffix)
{
    QStringList names;
    for (int n = 4; n >= 1; --n)
        names << QLatin1String(kind) + QString::number(n) + suffix;
    return names;
}

} // namespace

class TstSetPage : public QObject
{
    Q_OBJECT

    RecordingDialogs m_dialogs;
    FakeLine::Log m_log;
    std::unique_ptr<TCommController> m_engine;
    std::unique_ptr<TFmSetPage> m_dlg;

    template <class T = QWidget> T* find(const QString& name) const
    {
        T* widget = m_dlg->findChild<T*>(name);
        if (!widget)
            qFatal("no control %s", qPrintable(name));
        return widget;
    }
    QComboBox* combo(const QString& name) const { return find<QComboBox>(name); }
    QLineEdit* valueEdit(int tab) const
    {
        return find<QLineEdit>(suffix(tab) + QLatin1String("Value"));
    }
    QWidget* sheet(int tab) const
    {
        return find<QTabWidget>(QStringLiteral("WritwL5"))->widget(tab);
    }

    // Brings `tab` to the front and types `text` into its selector, ending with Enter.
    void select(int tab, const QString& text)
    {
        find<QTabWidget>(QStringLiteral("WritwL5"))->setCurrentIndex(tab);
        QComboBox* selector = combo(QLatin1String(params::tabInfo(TabId(tab)).selector));
        selector->lineEdit()->clear();
        QTest::keyClicks(selector, text);
        QTest::keyClick(selector, Qt::Key_Return);
        QCOMPARE(selector->currentText(), text);
        QCOMPARE(selector->count(), params::itemNames(TabId(tab)).size()); // typing adds none
    }
    void pressWrite(int tab) { find<QPushButton>(QLatin1String("Writw") + suffix(tab))->click(); }
    // The write waiting for the engine, taken so that the next look sees only newer ones.
    std::optional<PendingWrite> takePosted()
    {
        StationModel& model = m_engine->model();
        QMutexLocker lock(&model.mutex);
        if (model.writeQueue.empty())
            return std::nullopt;
        const PendingWrite write = model.writeQueue.front();
        model.writeQueue.pop_front();
        model.WritePending = !model.writeQueue.empty();
        return write;
    }

private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationName(QStringLiteral("Quillmere Control"));
    }
    void init()
    {
        m_dialogs = RecordingDialogs();
        m_engine = portlessEngine(&m_log);
        m_dlg = std::make_unique<TFmSetPage>(m_dialogs, *m_engine);
    }
    void cleanup()
    {
        m_dlg.reset();
        m_engine.reset();
    }

    // Texts and item lists of the selectors and choosers as the dialog is created.
    void atCreation_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("items"); // space-separated; empty: not looked at
        // control:text:items, rows apart by ";"
        const QString rows = QStringLiteral(
            "TypeL1:SV:;TypeL2:P1:;TypeL3:ANL1:;TypeL4:SET1:;TypeP1:SV_1:;TypeP2:SV_1:;"
            "YesNoL1:NO:NO YES;Digit2L2:0:0 1;Digit1L3:0:0 1;Digit4L4:1:0 1;Digit1L4:1:0 1;"
            "DPL3:0000:0000 000.0 00.00 0.000;OUDL3:HEAT:HEAT COOL;OPADL3:PID:PID FUZZY;"
            "HZL3:60:60 50;Time3L3:0:0 1 2 3 4 5 6 7 8 9;Time2L3:0:0 1 2 3 4 5;"
            "Time4P1:0:0 1 2 3 4 5 6 7 8 9;Time2P2:0:0 1 2 3 4 5;INP2L4:0:0 1 2;"
            "OUTYL4:0:0 1 2 3 4 5;PTNP1:0:0 1 2");
        for (const QString& row : rows.split(u';')) {
            const QStringList f = row.split(u':');
            QTest::newRow(qPrintable(f[0])) << f[0] << f[1] << f[2];
        }
    }
    void atCreation()
    {
        QFETCH(QString, control);
        QFETCH(QString, text);
        QFETCH(QString, items);
        QComboBox* box = combo(control);
        QCOMPARE(box->currentText(), text);
        QCOMPARE(box->isEditable(), control.startsWith(QLatin1String("Type")));
        QStringList shown;
        for (int i = 0; i < box->count() && !items.isEmpty(); ++i)
            shown << box->itemText(i);
        QCOMPARE(shown.join(u' '), items);
    }
    void windowAtCreation()
    {
        QCOMPARE(m_dlg->windowTitle(), QStringLiteral("Set Controller"));
        QCOMPARE(m_dlg->size(), QSize(563, 375));
        auto* tabs = find<QTabWidget>(QStringLiteral("WritwL5"));
        QCOMPARE(tabs->currentIndex(), 0);
        const QList<int> counts{6, 15, 29, 12, 25, 24};
        for (int tab = 0; tab < 6; ++tab) {
            QCOMPARE(tabs->tabText(tab), QLatin1String(params::tabInfo(TabId(tab)).title));
            QComboBox* selector = combo(QLatin1String(params::tabInfo(TabId(tab)).selector));
            QStringList items;
            for (int i = 0; i < selector->count(); ++i)
                items << selector->itemText(i);
            QCOMPARE(items.size(), counts[tab]);
            QCOMPARE(items, params::itemNames(TabId(tab)));
        }
        for (const char* label : {"LbPanel", "LbNO", "LbID"})
            QCOMPARE(find<QLabel>(QLatin1String(label))->text(), QStringLiteral("1"));
        QCOMPARE(m_dlg->SelectedCode(), TAddress(0));
    }

    // Each row: the selector text, the value edit's text, chooser positions ("Name=index"),
    // then the code and value text posted (code -1: nothing posted), the one box asked
    // ("caption|text") and the edit's text afterwards.
    void writes_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("selector");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QStringList>("choosers");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("editAfter");
        const QString none;
        auto row = [](const char* name, TabId tab, const char* selector, const char* value,
                      const QStringList& choosers, int code, const char* text,
                      const QString& message, const char* editAfter) {
            QTest::newRow(name) << int(tab) << selector << value << choosers << code << text
                                << message << editAfter;
        };
        using enum TabId;
        row("SV 1.2.3", Level1, "SV", "1.2.3", {}, -1, "", DotBox, "");
        row("SV 2499.9", Level1, "SV", "2499.9", {}, 0, "2499.9", none, "");
        row("SV 2500", Level1, "SV", "2500", {}, -1, "", RangeBox, "");
        row("SV -199.9", Level1, "SV", "-199.9", {}, 0, "-199.9", none, "");
        row("SV -200", Level1, "SV", "-200", {}, -1, "", RangeBox, "");
        row("SV empty", Level1, "SV", "", {}, -1, "", "error|Please enter", "");
        row("AT YES ignores the edit", Level1, "AT", "5000", {"YesNoL1=1"}, 2, "1", none, "");
        row("AT NO with empty edit", Level1, "AT", "", {"YesNoL1=0"}, 2, "0", none, "");
        row("AT with two dots", Level1, "AT", "1..", {"YesNoL1=1"}, -1, "", DotBox, "");
        row("sv is not SV", Level1, "sv", "12", {}, -1, "",
            "error|'sv' is not a parameter of Level 1", "12");
        row("LCK 0 1 0 1", Level2, "LCK", "",
            {"Digit4L2=0", "Digit3L2=1", "Digit2L2=0", "Digit1L2=1"}, 71, "257", none, "");
        row("LCK digit not chosen", Level2, "LCK", "7", {"Digit1L2=-1"}, -1, "", none, "7");
        row("P1 3.25", Level2, "P1", "3.25", {}, 57, "3.25", none, "");
        row("GAP2 2500", Level2, "GAP2", "2500", {}, -1, "", RangeBox, "");
        row("ALT2 01:05", Level3, "ALT2", "9", {"Time4L3=0", "Time3L3=1", "Time2L3=0", "Time1L3=5"},
            83, "65", none, "");
        // What the engine could not send is refused before it is posted, the text kept.
        const QString notWritten = QStringLiteral("error|%1 '%2' was not written to Monitor3, "
                                                  "controller 07, ID 27: %3.");
        row("ANL1 empty", Level3, "ANL1", "", {}, -1, "",
            notWritten.arg("ANL1", "", "'' is not a number"), "");
        row("SOFT not a number", Level3, "SOFT", "1.2.3", {}, -1, "",
            notWritten.arg("SOFT", "1.2.3", "'1.2.3' is not a number"), "1.2.3");
        row("USPL past the register", Level3, "USPL", "70000", {}, -1, "",
            notWritten.arg("USPL", "70000",
                           "'70000' at 0 decimal places is outside the controller's range"),
            "70000");
        row("HZ 50", Level3, "HZ", "", {"HZL3=1"}, 105, "1", none, "");
        row("SETA 1 0 0 0", Level3, "SETA", "", {"Digit4L3=1"}, 95, "4096", none, "");
        row("SET1 at creation", Level4, "SET1", "", {}, 106, "4369", none, "");
        row("SET0 0 0 0 1", Level4, "SET0", "", {"Digit4L4=0", "Digit3L4=0", "Digit2L4=0"}, 115,
            "1", none, "");
        row("INP2 2", Level4, "INP2", "", {"INP2L4=2"}, 116, "2", none, "");
        row("SET11", Level4, "SET11", "", {}, -1, "", "error|'SET11' is not a parameter of Level 4",
            "");
        row("PTN 2", Program1, "PTN", "3", {"PTNP1=2"}, 6, "2", none, "");
        row("P1 SV_1", Program1, "SV_1", "12.5", {}, 9, "12.5", none, "");
        row("TM_8 00:30", Program2, "TM_8", "", {"Time2P2=3"}, 55, "30", none, "");
        row("P2 SV_1", Program2, "SV_1", "12.5", {}, 33, "12.5", none, "");
        row("no PTN on Program 2", Program2, "PTN", "5", {}, -1, "",
            "error|'PTN' is not a parameter of Program 2", "5");
    }
    void writes()
    {
        QFETCH(int, tab);
        QFETCH(QString, selector);
        QFETCH(QString, value);
        QFETCH(QStringList, choosers);
        QFETCH(int, code);
        QFETCH(QString, text);
        QFETCH(QString, message);
        QFETCH(QString, editAfter);
        m_dlg->setTarget(QStringLiteral("3"), QStringLiteral("07"), QStringLiteral("27"));
        select(tab, selector);
        const bool hasEdit = TabId(tab) != TabId::Level4;
        if (hasEdit)
            valueEdit(tab)->setText(value);
        for (const QString& c : choosers)
            combo(c.section(u'=', 0, 0))->setCurrentIndex(c.section(u'=', 1).toInt());

        pressWrite(tab);

        const std::optional<PendingWrite> posted = takePosted();
        QCOMPARE(posted.has_value(), code >= 0);
        if (posted) {
            QCOMPARE(posted->monitor, 3); // the Monitor LbPanel shows
            QCOMPARE(posted->slot, 7);
            QCOMPARE(posted->expectedStation, 27);
            QCOMPARE(int(posted->code), code);
            QCOMPARE(posted->valueText, text);
            QCOMPARE(int(m_dlg->SelectedCode()), code);
        }
        QCOMPARE(m_dialogs.messages, message.isEmpty() ? QStringList() : QStringList(message));
        if (!message.isEmpty())
            QCOMPARE(m_dialogs.icons.first(), message == DotBox ? DialogService::Icon::Information
                                                                : DialogService::Icon::NoIcon);
        if (hasEdit)
            QCOMPARE(valueEdit(tab)->text(), editAfter);
        for (const QString& c : choosers) // no Write resets a chooser
            QCOMPARE(combo(c.section(u'=', 0, 0))->currentIndex(), c.section(u'=', 1).toInt());
    }

    void notANumberIsRaised_data()
    {
        QTest::addColumn<QString>("text");
        for (const char* text : {"12a", "1e3", "-", " "})
            QTest::newRow(text) << text;
    }
    void notANumberIsRaised()
    {
        QFETCH(QString, text);
        select(0, QStringLiteral("SV"));
        valueEdit(0)->setText(text);
        QString error;
        try {
            m_dlg->WritwL1Click();
        } catch (const QuillmereError& e) {
            error = e.message();
        }
        QCOMPARE(error, QStringLiteral("'%1' is not a valid floating point value").arg(text));
        QVERIFY(!takePosted());
        QCOMPARE(valueEdit(0)->text(), text);
    }

    // The header decides: Monitor, slot and station as shown, or a message naming them.
    void writeGoesToTheControllerShown_data()
    {
        QTest::addColumn<TPsl>("psl");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("refusal"); // empty: posted
        QTest::newRow("as shown") << TPsl::rtu << "5"
                                  << "";
        QTest::newRow("rtu ID 0") << TPsl::rtu << "0"
                                  << "station ID 0 cannot be addressed on a Modbus RTU line "
                                     "(IDs 1 to 247)";
        QTest::newRow("veln ID 256") << TPsl::veln << "256"
                                     << "station ID 256 cannot be addressed on a VELN line "
                                        "(IDs 0 to 255)";
        QTest::newRow("ID changed since SET") << TPsl::rtu << "6"
                                              << "the slot now has station ID 5, not 6";
        // Checked again when its turn comes: the ID may have changed while it waited.
        QTest::newRow("ID 0 by its turn") << TPsl::rtu << "1000"
                                          << "station ID 0 cannot be addressed on a Modbus RTU "
                                             "line (IDs 1 to 247)";
    }
    void writeGoesToTheControllerShown()
    {
        QFETCH(TPsl, psl);
        QFETCH(QString, id);
        QFETCH(QString, refusal);
        m_engine->model().line(1).Psl = psl;
        const bool changesWhileWaiting = id == QLatin1String("1000");
        if (changesWhileWaiting)
            id = QStringLiteral("10");
        m_engine->model().station(1, 10).StationId = id == QLatin1String("6") ? 5 : id.toInt();
        m_dlg->setTarget(QStringLiteral("1"), QStringLiteral("10"), id);
        valueEdit(0)->setText(QStringLiteral("10"));
        pressWrite(0);
        if (changesWhileWaiting) {
            m_engine->model().station(1, 10).StationId = 0;
            m_engine->ExecuteWrite();
            QVERIFY(!takePosted());
            QCOMPARE(
                m_dialogs.messages,
                QStringList("error|SV '10' was not written to Monitor1, controller 10, ID 0: " +
                            refusal + "."));
            return;
        }
        const std::optional<PendingWrite> posted = takePosted();
        QCOMPARE(posted.has_value(), refusal.isEmpty());
        if (posted) {
            QCOMPARE(posted->monitor, 1);
            QCOMPARE(posted->slot, 10);
            return;
        }
        QCOMPARE(m_dialogs.messages,
                 QStringList(QStringLiteral("error|SV '10' was not written to Monitor1, "
                                            "controller 10, ID %1: %2.")
                                 .arg(id, refusal)));
        QCOMPARE(valueEdit(0)->text(), QStringLiteral("10"));
    }

    void lockHidesTheDialogAndRefusesWrites()
    {
        m_dlg->setTarget(QStringLiteral("1"), QStringLiteral("02"), QStringLiteral("2"));
        m_dlg->show();
        m_dlg->setLocked(true);
        QVERIFY(!m_dlg->isVisible());
        valueEdit(0)->setText(QStringLiteral("10"));
        pressWrite(0);
        QVERIFY(!takePosted());
        QCOMPARE(m_dialogs.messages.size(), 1);
        QVERIFY(m_dialogs.messages.first().startsWith(QLatin1String("System Message|")));
        m_dlg->setLocked(false);
        pressWrite(0);
        QVERIFY(takePosted());
    }

    void inputForms_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("selector");
        QTest::addColumn<QStringList>("shown"); // "keypad": the value edit, picture and keys
        using enum TabId;
        const QStringList keypad{"keypad"};
        auto row = [](TabId tab, const char* selector, const QStringList& shown) {
            QTest::addRow("%s %s", params::tabInfo(tab).title, selector)
                << int(tab) << selector << shown;
        };
        auto time = [](const char* suffix) {
            return digitNames("Time", QLatin1String(suffix)) << QLatin1String("TimeLabel") + suffix;
        };
        row(Level1, "SV", keypad);
        row(Level1, "AT", {"YesNoL1"});
        row(Level1, "at", keypad);
        row(Level2, "LCK", digitNames("Digit", "L2"));
        row(Level3, "DP", {"DPL3"});
        row(Level3, "ALT3", time("L3"));
        row(Level3, "OUD", {"OUDL3"});
        row(Level3, "HZ", {"HZL3"});
        row(Level3, "SETA", digitNames("Digit", "L3"));
        row(Level3, "", keypad);
        row(Level4, "INP2", {"INP2L4"});
        row(Level4, "OUTY", {"OUTYL4"});
        row(Level4, "SET7", digitNames("Digit", "L4"));
        row(Level4, "xyz", digitNames("Digit", "L4"));
        row(Program1, "TM_1", time("P1"));
        row(Program1, "PTN", {"PTNP1"});
        row(Program2, "TM_8", time("P2"));
        row(Program2, "TM_9", keypad);
    }
    void inputForms()
    {
        QFETCH(int, tab);
        QFETCH(QString, selector);
        QFETCH(QStringList, shown);
        select(tab, QStringLiteral("SV_1")); // a keypad number on every tab that has one
        select(tab, selector);
        for (QWidget* w : sheet(tab)->findChildren<QWidget*>(QRegularExpression("^(?!Type)"))) {
            const QString name = w->objectName();
            if (w->parentWidget() != sheet(tab) || name.startsWith(QLatin1String("Writw")))
                continue;
            const bool keypadPart =
                name.endsWith(QLatin1String("Value")) || name.startsWith(QLatin1String("Image"));
            QVERIFY2(!w->isHidden() == shown.contains(keypadPart ? QStringLiteral("keypad") : name),
                     qPrintable(name));
        }
        for (QWidget* key : sheet(tab)->findChildren<QWidget*>(QRegularExpression("Key")))
            QCOMPARE(key->isEnabled(), shown == QStringList{"keypad"});
    }

    void switchingFormsKeepsEntries()
    {
        select(0, QStringLiteral("AL1"));
        valueEdit(0)->setText(QStringLiteral("5"));
        pressWrite(0);
        QVERIFY(takePosted());
        valueEdit(0)->setText(QStringLiteral("12.5"));
        select(0, QStringLiteral("AT"));
        combo(QStringLiteral("YesNoL1"))->setCurrentIndex(1);
        select(0, QStringLiteral("SV"));
        QCOMPARE(valueEdit(0)->text(), QStringLiteral("12.5"));
        QCOMPARE(combo(QStringLiteral("YesNoL1"))->currentIndex(), 1);
        QCOMPARE(int(m_dlg->SelectedCode()), 3);
    }

    // `keys`: a digit or "." is a left click on its key; "p" is a right-button press and
    // release on the back key, "c" a left click on it.
    void keypad_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("text");
        using enum TabId;
        QTest::newRow("digits and dot") << int(Level1) << "12.5"
                                        << "12.5";
        QTest::newRow("second dot typed") << int(Level2) << "1..0"
                                          << "1..0";
        QTest::newRow("every key") << int(Program2) << "1234567890."
                                   << "1234567890.";
        QTest::newRow("back on empty") << int(Level1) << "p"
                                       << "";
        for (TabId tab : {Level1, Level2, Program1, Level3, Program2}) {
            const bool onPress = tab != Level3 && tab != Program2;
            const char* title = params::tabInfo(tab).title;
            QTest::addRow("%s press", title) << int(tab) << "12p" << (onPress ? "1" : "12");
            QTest::addRow("%s click", title) << int(tab) << "12c"
                                             << "1";
        }
    }
    void keypad()
    {
        QFETCH(int, tab);
        QFETCH(QString, keys);
        QFETCH(QString, text);
        m_dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
        find<QTabWidget>(QStringLiteral("WritwL5"))->setCurrentIndex(tab);
        for (QChar k : keys) {
            const QString name = k.isDigit() ? QString(k) : k == u'.' ? "Dot" : "Back";
            QWidget* key = find(suffix(tab) + QLatin1String("Key") + name);
            if (k == u'p') {
                QTest::mousePress(key, Qt::RightButton);
                QTest::mouseRelease(key, Qt::RightButton);
            } else {
                QTest::mouseClick(key, Qt::LeftButton);
            }
        }
        QCOMPARE(valueEdit(tab)->text(), text);
    }

    void disabledKeysDoNothing()
    {
        valueEdit(0)->setText(QStringLiteral("12"));
        select(0, QStringLiteral("AT"));
        m_dlg->KeyClick(TabId::Level1, u'7');
        m_dlg->KeyBack(TabId::Level1);
        QCOMPARE(valueEdit(0)->text(), QStringLiteral("12"));
        select(0, QStringLiteral("SV"));
        m_dlg->KeyClick(TabId::Level1, u'7');
        QCOMPARE(valueEdit(0)->text(), QStringLiteral("127"));
    }
};

QTEST_MAIN(TstSetPage)
#include "tst_setpage.moc"
