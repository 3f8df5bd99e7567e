#include "params/ParameterCatalogue.h"
#include "params/ValueText.h"

#include <QSet>
#include <QTest>
#include <cmath>
#include <limits>

using namespace params;

Q_DECLARE_METATYPE(params::TabId)
Q_DECLARE_METATYPE(params::InputKind)
Q_DECLARE_METATYPE(params::DecimalsClass)

class TestParams : public QObject
{
    Q_OBJECT

private slots:
    void tabsInDisplayOrder_data();
    void tabsInDisplayOrder();
    void selectorItemsFollowTheDocumentedOrder_data();
    void selectorItemsFollowTheDocumentedOrder();
    void programStepsFollowTheCodeRule_data();
    void programStepsFollowTheCodeRule();
    void lookupIsExactPerTab_data();
    void lookupIsExactPerTab();
    void decimalsByCodeMatchesTheFactorTable_data();
    void decimalsByCodeMatchesTheFactorTable();
    void unwrittenCodesHaveNoEntry();
    void choosersOfEachInputForm_data();
    void choosersOfEachInputForm();
    void chooserPositionBecomesTheValueText_data();
    void chooserPositionBecomesTheValueText();
    void bitDigitsValueText_data();
    void bitDigitsValueText();
    void timeValueText_data();
    void timeValueText();
    void digitChooserItems();
    void keypadRange_data();
    void keypadRange();
};

void TestParams::tabsInDisplayOrder_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("selector");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("hasKeypad");
    QTest::addColumn<bool>("checksRange");

    QTest::newRow("0") << "Level 1"
                       << "TypeL1" << 6 << true << true;
    QTest::newRow("1") << "Level 2"
                       << "TypeL2" << 15 << true << true;
    QTest::newRow("2") << "Level 3"
                       << "TypeL3" << 29 << true << false;
    QTest::newRow("3") << "Level 4"
                       << "TypeL4" << 12 << false << false;
    QTest::newRow("4") << "Program 1"
                       << "TypeP1" << 25 << true << false;
    QTest::newRow("5") << "Program 2"
                       << "TypeP2" << 24 << true << false;
}

void TestParams::tabsInDisplayOrder()
{
    QFETCH(QString, title);
    QFETCH(QString, selector);
    QFETCH(int, count);
    QFETCH(bool, hasKeypad);
    QFETCH(bool, checksRange);

    const int index = QString::fromLatin1(QTest::currentDataTag()).toInt();
    QCOMPARE(int(tabs().size()), 6);
    const TabInfo& tab = tabs()[index];
    QCOMPARE(int(tab.id), index);
    QCOMPARE(QLatin1StringView(tab.title), title);
    QCOMPARE(QLatin1StringView(tab.selector), selector);
    QCOMPARE(int(entries(tab.id).size()), count);
    QCOMPARE(itemNames(tab.id).size(), count);
    QCOMPARE(tab.hasKeypad, hasKeypad);
    QCOMPARE(tab.checksKeypadRange, checksRange);
    for (const ParameterEntry& e : entries(tab.id))
        QCOMPARE(e.tab, tab.id);
}

void TestParams::selectorItemsFollowTheDocumentedOrder_data()
{
    QTest::addColumn<TabId>("tab");
    QTest::addColumn<QString>("items");

    QTest::newRow("Level 1") << TabId::Level1 << "SV OUTL AT AL1 AL2 AL3";
    QTest::newRow("Level 2") << TabId::Level2
                             << "P1 I1 D1 DB1 ATVL CYT1 HYS1 P2 I2 D2 CYT2 HYS2 GAP1 GAP2 LCK";
    QTest::newRow("Level 3") << TabId::Level3
                             << "ANL1 ANH1 DP LSPL USPL ANL2 ANH2 ALD1 ALT1 ALD2 ALT2 ALD3 ALT3 "
                                "HYSA CLO1 CHO1 CLO2 CHO2 CLO3 CHO3 RUCY WAIT SETA SVOS PVOS SOFT "
                                "OUD OPAD HZ";
    QTest::newRow("Level 4") << TabId::Level4
                             << "SET1 SET2 SET3 SET4 SET5 SET6 SET7 SET8 SET9 SET0 INP2 OUTY";
}

void TestParams::selectorItemsFollowTheDocumentedOrder()
{
    QFETCH(TabId, tab);
    QFETCH(QString, items);
    QCOMPARE(itemNames(tab), items.split(u' '));
}

void TestParams::programStepsFollowTheCodeRule_data()
{
    QTest::addColumn<TabId>("tab");
    QTest::addColumn<int>("firstCode");
    QTest::addColumn<int>("stepOffset"); // position of SV_1 in the selector

    QTest::newRow("Program 1") << TabId::Program1 << 9 << 1;
    QTest::newRow("Program 2") << TabId::Program2 << 33 << 0;
}

void TestParams::programStepsFollowTheCodeRule()
{
    QFETCH(TabId, tab);
    QFETCH(int, firstCode);
    QFETCH(int, stepOffset);

    const QStringList names = itemNames(tab);
    QCOMPARE(names.size(), stepOffset + 24);
    for (int k = 1; k <= 8; ++k) {
        const int base = firstCode + 3 * (k - 1);
        const struct
        {
            QString name;
            int code;
            InputKind input;
            DecimalsClass decimals;
        } expected[] = {
            {QStringLiteral("SV_%1").arg(k), base, InputKind::Keypad, DecimalsClass::Ctl},
            {QStringLiteral("TM_%1").arg(k), base + 1, InputKind::Time, DecimalsClass::Fixed0},
            {QStringLiteral("OUT_%1").arg(k), base + 2, InputKind::Keypad, DecimalsClass::Fixed1},
        };
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(names.at(stepOffset + 3 * (k - 1) + i), expected[i].name);
            const ParameterEntry* e = findEntry(tab, expected[i].name);
            QVERIFY(e);
            QCOMPARE(int(e->code), expected[i].code);
            QCOMPARE(e->input, expected[i].input);
            QCOMPARE(e->decimals, expected[i].decimals);
        }
    }
}

void TestParams::lookupIsExactPerTab_data()
{
    QTest::addColumn<TabId>("tab");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("code"); // -1: no entry
    QTest::addColumn<InputKind>("input");
    QTest::addColumn<DecimalsClass>("decimals");

    using enum TabId;
    using enum InputKind;
    using enum DecimalsClass;
    QTest::newRow("SV") << Level1 << "SV" << 0 << Keypad << Ctl;
    QTest::newRow("OUTL") << Level1 << "OUTL" << 1 << Keypad << Fixed1;
    QTest::newRow("AT") << Level1 << "AT" << 2 << YesNo << Fixed0;
    QTest::newRow("lower case sv") << Level1 << "sv" << -1 << Keypad << Ctl;
    QTest::newRow("trailing space") << Level1 << "SV " << -1 << Keypad << Ctl;
    QTest::newRow("empty") << Level1 << "" << -1 << Keypad << Ctl;
    QTest::newRow("SV on Level 2") << Level2 << "SV" << -1 << Keypad << Ctl;
    QTest::newRow("P1") << Level2 << "P1" << 57 << Keypad << Fixed1;
    QTest::newRow("LCK") << Level2 << "LCK" << 71 << BitDigits << Fixed0;
    QTest::newRow("DP") << Level3 << "DP" << 75 << Choice << Fixed0;
    QTest::newRow("ALT2") << Level3 << "ALT2" << 83 << Time << Fixed0;
    QTest::newRow("SETA") << Level3 << "SETA" << 95 << BitDigits << Fixed0;
    QTest::newRow("SVOS") << Level3 << "SVOS" << 98 << Keypad << Ctl;
    QTest::newRow("PVOS") << Level3 << "PVOS" << 99 << Keypad << Ctl;
    QTest::newRow("SOFT") << Level3 << "SOFT" << 101 << Keypad << Fixed3;
    QTest::newRow("HZ") << Level3 << "HZ" << 105 << Choice << Fixed0;
    QTest::newRow("SET1") << Level4 << "SET1" << 106 << BitDigits << Fixed0;
    QTest::newRow("SET0 after SET9") << Level4 << "SET0" << 115 << BitDigits << Fixed0;
    QTest::newRow("OUTY") << Level4 << "OUTY" << 117 << Choice << Fixed0;
    QTest::newRow("PTN") << Program1 << "PTN" << 6 << Choice << Fixed0;
    QTest::newRow("no PTN on Program 2") << Program2 << "PTN" << -1 << Keypad << Ctl;
    QTest::newRow("SV_1 on Program 1") << Program1 << "SV_1" << 9 << Keypad << Ctl;
    QTest::newRow("SV_1 on Program 2") << Program2 << "SV_1" << 33 << Keypad << Ctl;
    QTest::newRow("SV1 without underscore") << Program1 << "SV1" << -1 << Keypad << Ctl;
    QTest::newRow("SV_9") << Program2 << "SV_9" << -1 << Keypad << Ctl;
}

void TestParams::lookupIsExactPerTab()
{
    QFETCH(TabId, tab);
    QFETCH(QString, name);
    QFETCH(int, code);
    QFETCH(InputKind, input);
    QFETCH(DecimalsClass, decimals);

    const ParameterEntry* e = findEntry(tab, name);
    if (code < 0) {
        QVERIFY(!e);
        return;
    }
    QVERIFY(e);
    QCOMPARE(QLatin1StringView(e->name), name);
    QCOMPARE(e->tab, tab);
    QCOMPARE(int(e->code), code);
    QCOMPARE(e->input, input);
    QCOMPARE(e->decimals, decimals);
}

void TestParams::decimalsByCodeMatchesTheFactorTable_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<DecimalsClass>("expected");

    // The write path's factor table: 10^DecimalPlaces, 10, 1000, and 1 for every other code.
    const QSet<int> ctl = {0,  3,  4,  5,  9,  12, 15, 18, 21, 24, 27, 30, 33, 36, 39, 42,
                           45, 48, 51, 54, 61, 63, 68, 69, 70, 76, 77, 86, 94, 98, 99};
    const QSet<int> ten = {1,  11, 14, 17, 20, 23, 26, 29, 32, 35,
                           38, 41, 44, 47, 50, 53, 56, 57, 60, 64};
    for (int code = 0; code <= 255; ++code) {
        DecimalsClass expected = DecimalsClass::Fixed0;
        if (ctl.contains(code))
            expected = DecimalsClass::Ctl;
        else if (ten.contains(code))
            expected = DecimalsClass::Fixed1;
        else if (code == 101)
            expected = DecimalsClass::Fixed3;
        QTest::addRow("code %d", code) << code << expected;
    }
}

void TestParams::decimalsByCodeMatchesTheFactorTable()
{
    QFETCH(int, code);
    QFETCH(DecimalsClass, expected);
    QCOMPARE(decimalsForCode(TAddress(code)), expected);
}

void TestParams::unwrittenCodesHaveNoEntry()
{
    QSet<int> written;
    int total = 0;
    for (const TabInfo& tab : tabs()) {
        for (const ParameterEntry& e : entries(tab.id)) {
            written.insert(e.code);
            ++total;
            // The decimals a tab shows must be the decimals the write path scales by.
            QCOMPARE(decimalsForCode(e.code), e.decimals);
        }
    }
    QCOMPARE(total, 111);
    QCOMPARE(written.size(), total);
    for (int code : {7, 8, 72, 96, 97, 100, 102})
        QVERIFY2(!written.contains(code), qPrintable(QString::number(code)));
    for (int code = 118; code <= 255; ++code)
        QVERIFY(!written.contains(code));
}

void TestParams::choosersOfEachInputForm_data()
{
    QTest::addColumn<TabId>("tab");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("choosers");
    QTest::addColumn<QString>("items");

    using enum TabId;
    QTest::newRow("keypad") << Level1 << "SV"
                            << ""
                            << "";
    QTest::newRow("AT") << Level1 << "AT"
                        << "YesNoL1"
                        << "NO YES";
    QTest::newRow("LCK") << Level2 << "LCK"
                         << "Digit4L2 Digit3L2 Digit2L2 Digit1L2"
                         << "";
    QTest::newRow("DP") << Level3 << "DP"
                        << "DPL3"
                        << "0000 000.0 00.00 0.000";
    QTest::newRow("ALT1") << Level3 << "ALT1"
                          << "Time4L3 Time3L3 Time2L3 Time1L3"
                          << "";
    QTest::newRow("SETA") << Level3 << "SETA"
                          << "Digit4L3 Digit3L3 Digit2L3 Digit1L3"
                          << "";
    QTest::newRow("OUD") << Level3 << "OUD"
                         << "OUDL3"
                         << "HEAT COOL";
    QTest::newRow("OPAD") << Level3 << "OPAD"
                          << "OPADL3"
                          << "PID FUZZY";
    QTest::newRow("HZ") << Level3 << "HZ"
                        << "HZL3"
                        << "60 50";
    QTest::newRow("SET5") << Level4 << "SET5"
                          << "Digit4L4 Digit3L4 Digit2L4 Digit1L4"
                          << "";
    QTest::newRow("INP2") << Level4 << "INP2"
                          << "INP2L4"
                          << "0 1 2";
    QTest::newRow("OUTY") << Level4 << "OUTY"
                          << "OUTYL4"
                          << "0 1 2 3 4 5";
    QTest::newRow("PTN") << Program1 << "PTN"
                         << "PTNP1"
                         << "0 1 2";
    QTest::newRow("TM_3 P1") << Program1 << "TM_3"
                             << "Time4P1 Time3P1 Time2P1 Time1P1"
                             << "";
    QTest::newRow("TM_8 P2") << Program2 << "TM_8"
                             << "Time4P2 Time3P2 Time2P2 Time1P2"
                             << "";
}

void TestParams::choosersOfEachInputForm()
{
    QFETCH(TabId, tab);
    QFETCH(QString, name);
    QFETCH(QString, choosers);
    QFETCH(QString, items);

    const ParameterEntry* e = findEntry(tab, name);
    QVERIFY(e);
    QCOMPARE(chooserNames(*e), choosers.split(u' ', Qt::SkipEmptyParts));
    QCOMPARE(choiceItems(*e), items.split(u' ', Qt::SkipEmptyParts));
}

void TestParams::chooserPositionBecomesTheValueText_data()
{
    QTest::addColumn<TabId>("tab");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("item");      // the item shown at that position
    QTest::addColumn<QString>("valueText"); // empty: refused, nothing to post

    using enum TabId;
    QTest::newRow("AT YES") << Level1 << "AT" << 1 << "YES"
                            << "1";
    QTest::newRow("AT NO") << Level1 << "AT" << 0 << "NO"
                           << "0";
    QTest::newRow("DP 00.00") << Level3 << "DP" << 2 << "00.00"
                              << "2";
    QTest::newRow("HZ 50") << Level3 << "HZ" << 1 << "50"
                           << "1";
    QTest::newRow("OUD COOL") << Level3 << "OUD" << 1 << "COOL"
                              << "1";
    QTest::newRow("OUTY 5") << Level4 << "OUTY" << 5 << "5"
                            << "5";
    QTest::newRow("PTN 2") << Program1 << "PTN" << 2 << "2"
                           << "2";
    QTest::newRow("DP past the end") << Level3 << "DP" << 4 << ""
                                     << "";
    QTest::newRow("DP nothing chosen") << Level3 << "DP" << -1 << ""
                                       << "";
    QTest::newRow("INP2 past the end") << Level4 << "INP2" << 3 << ""
                                       << "";
    QTest::newRow("AT past the end") << Level1 << "AT" << 2 << ""
                                     << "";
    QTest::newRow("keypad entry has no items") << Level1 << "SV" << 0 << ""
                                               << "";
}

void TestParams::chooserPositionBecomesTheValueText()
{
    QFETCH(TabId, tab);
    QFETCH(QString, name);
    QFETCH(int, position);
    QFETCH(QString, item);
    QFETCH(QString, valueText);

    const ParameterEntry* e = findEntry(tab, name);
    QVERIFY(e);
    QCOMPARE(choiceItems(*e).value(position), item);
    const auto expected = valueText.isEmpty() ? std::nullopt : std::optional<QString>(valueText);
    QCOMPARE(choiceValueText(*e, position), expected);
    if (e->input == InputKind::YesNo)
        QCOMPARE(yesNoValueText(position), expected);
}

void TestParams::bitDigitsValueText_data()
{
    QTest::addColumn<int>("d4");
    QTest::addColumn<int>("d3");
    QTest::addColumn<int>("d2");
    QTest::addColumn<int>("d1");
    QTest::addColumn<QString>("expected"); // empty: refused

    QTest::newRow("0001") << 0 << 0 << 0 << 1 << "1";
    QTest::newRow("1000") << 1 << 0 << 0 << 0 << "4096";
    QTest::newRow("1111") << 1 << 1 << 1 << 1 << "4369";
    QTest::newRow("0000") << 0 << 0 << 0 << 0 << "0";
    QTest::newRow("0101") << 0 << 1 << 0 << 1 << "257";
    QTest::newRow("0010") << 0 << 0 << 1 << 0 << "16";
    QTest::newRow("digit 2 refused") << 0 << 0 << 0 << 2 << "";
    QTest::newRow("no choice in Digit4") << -1 << 0 << 0 << 0 << "";
    QTest::newRow("hex digit F refused") << 0 << 15 << 0 << 0 << "";
}

void TestParams::bitDigitsValueText()
{
    QFETCH(int, d4);
    QFETCH(int, d3);
    QFETCH(int, d2);
    QFETCH(int, d1);
    QFETCH(QString, expected);

    const auto text = params::bitDigitsValueText(d4, d3, d2, d1);
    QCOMPARE(text.has_value(), !expected.isEmpty());
    if (text)
        QCOMPARE(*text, expected);
}

void TestParams::timeValueText_data()
{
    QTest::addColumn<int>("t4");
    QTest::addColumn<int>("t3");
    QTest::addColumn<int>("t2");
    QTest::addColumn<int>("t1");
    QTest::addColumn<QString>("expected"); // empty: refused

    QTest::newRow("99:59") << 9 << 9 << 5 << 9 << "5999";
    QTest::newRow("00:00") << 0 << 0 << 0 << 0 << "0";
    QTest::newRow("01:30") << 0 << 1 << 3 << 0 << "90";
    QTest::newRow("01:05") << 0 << 1 << 0 << 5 << "65";
    QTest::newRow("00:30") << 0 << 0 << 3 << 0 << "30";
    QTest::newRow("10:00") << 1 << 0 << 0 << 0 << "600";
    QTest::newRow("minute tens 6") << 0 << 0 << 6 << 0 << "";
    QTest::newRow("hour digit 10") << 10 << 0 << 0 << 0 << "";
    QTest::newRow("minute digit 10") << 0 << 0 << 0 << 10 << "";
    QTest::newRow("no choice in Time3") << 0 << -1 << 0 << 0 << "";
}

void TestParams::timeValueText()
{
    QFETCH(int, t4);
    QFETCH(int, t3);
    QFETCH(int, t2);
    QFETCH(int, t1);
    QFETCH(QString, expected);

    const auto text = params::timeValueText(t4, t3, t2, t1);
    QCOMPARE(text.has_value(), !expected.isEmpty());
    if (text)
        QCOMPARE(*text, expected);
}

void TestParams::digitChooserItems()
{
    QCOMPARE(bitDigitItems(), QStringList({"0", "1"}));
    const QStringList tens = {"0", "1", "2", "3", "4", "5"};
    const QStringList units = tens + QStringList{"6", "7", "8", "9"};
    QCOMPARE(timeDigitItems(4), units);
    QCOMPARE(timeDigitItems(3), units);
    QCOMPARE(timeDigitItems(2), tens);
    QCOMPARE(timeDigitItems(1), units);
    QVERIFY(timeDigitItems(0).isEmpty());
    // Every item a chooser offers must build a value text.
    for (int d4 = 0; d4 < timeDigitItems(4).size(); ++d4)
        for (int d2 = 0; d2 < timeDigitItems(2).size(); ++d2)
            QVERIFY(params::timeValueText(d4, 9, d2, 9));
}

void TestParams::keypadRange_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("2499.9") << 2499.9 << true;
    QTest::newRow("2500") << 2500.0 << false;
    QTest::newRow("2500.1") << 2500.1 << false;
    QTest::newRow("-199.9") << -199.9 << true;
    QTest::newRow("-200") << -200.0 << false;
    QTest::newRow("-1000") << -1000.0 << false;
    QTest::newRow("0") << 0.0 << true;
    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << false;
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << false;
}

void TestParams::keypadRange()
{
    QFETCH(double, value);
    QFETCH(bool, accepted);
    QCOMPARE(keypadValueInRange(value), accepted);
}

QTEST_APPLESS_MAIN(TestParams)
#include "tst_params.moc"
