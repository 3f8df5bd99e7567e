#include "engine/WriteConversion.h"
#include "link/FrameCodec.h"

#include <QTest>

using engine::convertWriteValue;
using engine::factorDecimals;

Q_DECLARE_METATYPE(TPsl)

class TestWriteConversion : public QObject
{
    Q_OBJECT

private slots:
    void convertsExactly_data();
    void convertsExactly();
    void refusesWhatIsNoNumber_data();
    void refusesWhatIsNoNumber();
    void scalesByTheCodesFactor_data();
    void scalesByTheCodesFactor();
    void frameCarriesTheConvertedValue_data();
    void frameCarriesTheConvertedValue();
};

void TestWriteConversion::convertsExactly_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<qint64>("integer");
    QTest::addColumn<int>("word");

    QTest::newRow("123.5 at 1") << "123.5" << 1 << "C" << 1235LL << 0x04D3;
    QTest::newRow("123.5 at 2") << "123.5" << 2 << "C" << 12350LL << 12350;
    QTest::newRow("123.5 at 0 drops the fraction") << "123.5" << 0 << "C" << 123LL << 123;
    QTest::newRow("-5.5 at 1") << "-5.5" << 1 << "C" << -55LL << 0xFFC9;
    QTest::newRow("0.29 at 2, no binary rounding") << "0.29" << 2 << "C" << 29LL << 29;
    QTest::newRow("1.005 at 3") << "1.005" << 3 << "C" << 1005LL << 1005;
    QTest::newRow("12.3 at 1") << "12.3" << 1 << "C" << 123LL << 123;
    QTest::newRow("1.05 at 2 keeps the inner zero") << "1.05" << 2 << "C" << 105LL << 105;
    QTest::newRow("3.25 at 1 truncates") << "3.25" << 1 << "C" << 32LL << 32;
    QTest::newRow("3.29 at 1 truncates, not rounds") << "3.29" << 1 << "C" << 32LL << 32;
    QTest::newRow("-5.59 at 1 toward zero") << "-5.59" << 1 << "C" << -55LL << 0xFFC9;
    QTest::newRow("-0.05 at 1 is zero") << "-0.05" << 1 << "C" << 0LL << 0;
    QTest::newRow("0.05 at 2") << "0.05" << 2 << "C" << 5LL << 5;
    QTest::newRow("integer at 3") << "7" << 3 << "C" << 7000LL << 7000;
    QTest::newRow("plus sign") << "+12.3" << 1 << "C" << 123LL << 123;
    QTest::newRow("spaces trimmed") << "  12.3 \t" << 1 << "C" << 123LL << 123;
    QTest::newRow("leading point") << ".5" << 1 << "C" << 5LL << 5;
    QTest::newRow("trailing point") << "5." << 1 << "C" << 50LL << 50;
    QTest::newRow("many leading zeros")
        << "0000000000000000000000000012.5" << 1 << "C" << 125LL << 125;
    QTest::newRow("long fraction dropped")
        << "1.999999999999999999999999" << 2 << "C" << 199LL << 199;
    QTest::newRow("65535 fits") << "65535" << 0 << "C" << 65535LL << 0xFFFF;
    QTest::newRow("65536 keeps low bits") << "65536" << 0 << "C" << 65536LL << 0;
    QTest::newRow("70000 keeps low bits") << "70000" << 0 << "C" << 70000LL << 0x1170;
    QTest::newRow("-32768") << "-32768" << 0 << "C" << -32768LL << 0x8000;
    QTest::newRow("-32769 keeps low bits") << "-32769" << 0 << "C" << -32769LL << 0x7FFF;
    QTest::newRow("2499.9 at 3 past the word")
        << "2499.9" << 3 << "C" << 2499900LL << (2499900 & 0xFFFF);
    QTest::newRow("18 digits") << "100000000000000000" << 0 << "C" << 100000000000000000LL << 0;
    QTest::newRow("17 digits at 1") << "10000000000000000" << 1 << "C" << 100000000000000000LL << 0;

    // Locales: "." is always a decimal point; the locale's own separator works too.
    QTest::newRow("de_DE comma") << "1,5" << 1 << "de_DE" << 15LL << 15;
    QTest::newRow("de_DE point") << "1.5" << 1 << "de_DE" << 15LL << 15;
    QTest::newRow("de_DE point is not grouping") << "1.234" << 3 << "de_DE" << 1234LL << 1234;
    QTest::newRow("fr_FR comma") << "-0,29" << 2 << "fr_FR" << -29LL << (-29 & 0xFFFF);
    QTest::newRow("sv_SE minus sign") << "\u22125,5" << 1 << "sv_SE" << -55LL << 0xFFC9;
    QTest::newRow("sv_SE ASCII minus") << "-5,5" << 1 << "sv_SE" << -55LL << 0xFFC9;
    QTest::newRow("en_US point") << "12.3" << 1 << "en_US" << 123LL << 123;
    QTest::newRow("fa_IR own digits and separator")
        << "\u06F1\u06F2\u066B\u06F3" << 1 << "fa_IR" << 123LL << 123;
    QTest::newRow("fa_IR own minus") << "\u200E\u22125\u066B5" << 1 << "fa_IR" << -55LL << 0xFFC9;
}

void TestWriteConversion::convertsExactly()
{
    QFETCH(QString, text);
    QFETCH(int, decimals);
    QFETCH(QString, locale);
    QFETCH(qint64, integer);
    QFETCH(int, word);

    const auto value = convertWriteValue(text, decimals, QLocale(locale));
    QVERIFY(value);
    QCOMPARE(value->integer, integer);
    QCOMPARE(int(value->word), word);
}

void TestWriteConversion::refusesWhatIsNoNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("locale");

    QTest::newRow("empty") << "" << 1 << "C";
    QTest::newRow("blank") << "   " << 1 << "C";
    QTest::newRow("letters") << "abc" << 1 << "C";
    QTest::newRow("trailing letter") << "12a" << 1 << "C";
    QTest::newRow("two points") << "1.2.3" << 1 << "C";
    QTest::newRow("minus alone") << "-" << 1 << "C";
    QTest::newRow("plus alone") << "+" << 1 << "C";
    QTest::newRow("point alone") << "." << 1 << "C";
    QTest::newRow("signed point") << "-." << 1 << "C";
    QTest::newRow("two signs") << "--5" << 1 << "C";
    QTest::newRow("sign after") << "5-" << 1 << "C";
    QTest::newRow("space after sign") << "- 5" << 1 << "C";
    QTest::newRow("inner space") << "1 2" << 1 << "C";
    QTest::newRow("exponent") << "1e3" << 1 << "C";
    QTest::newRow("hex") << "0x10" << 0 << "C";
    QTest::newRow("inf") << "inf" << 0 << "C";
    QTest::newRow("en_US grouping is not taken") << "1,234" << 1 << "en_US";
    QTest::newRow("C comma") << "1,5" << 1 << "C";
    QTest::newRow("de_DE grouped and decimal") << "1.234,5" << 1 << "de_DE";
    QTest::newRow("fr_FR grouping space") << "1 234,5" << 1 << "fr_FR";
    QTest::newRow("foreign digits in C") << "\u06F1\u06F2" << 0 << "C";
    QTest::newRow("19 digits") << "1000000000000000000" << 0 << "C";
    QTest::newRow("18 digits scaled to 19") << "100000000000000000" << 1 << "C";
    QTest::newRow("absurdly long") << QString(5000, u'9') << 0 << "C";
    QTest::newRow("absurdly long negative") << "-" + QString(5000, u'9') + ".5" << 3 << "C";
    QTest::newRow("negative factor") << "1" << -1 << "C";
    QTest::newRow("factor too wide") << "1" << 10 << "C";
}

void TestWriteConversion::refusesWhatIsNoNumber()
{
    QFETCH(QString, text);
    QFETCH(int, decimals);
    QFETCH(QString, locale);

    const auto value = convertWriteValue(text, decimals, QLocale(locale));
    QVERIFY2(!value, qPrintable(QStringLiteral("converted to %1").arg(value ? value->integer : 0)));
}

void TestWriteConversion::scalesByTheCodesFactor_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("slotDecimalPlaces");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("word");

    QTest::newRow("SV, slot at 1") << 0 << 1 << "123.5" << 1235;
    QTest::newRow("SV, slot at 2") << 0 << 2 << "123.5" << 12350;
    QTest::newRow("SV, slot at 0") << 0 << 0 << "123.5" << 123;
    QTest::newRow("SV, negative") << 0 << 1 << "-5.5" << 0xFFC9;
    QTest::newRow("SOFT 1.5") << 101 << 2 << "1.5" << 1500;
    QTest::newRow("SVOS 5, slot at 0") << 98 << 0 << "5" << 5;
    QTest::newRow("SVOS 5, slot at 2") << 98 << 2 << "5" << 500;
    QTest::newRow("AT 1") << 2 << 3 << "1" << 1;
    QTest::newRow("OUTL 87.5, slot at 2") << 1 << 2 << "87.5" << 875;
    QTest::newRow("P1 3.25") << 57 << 0 << "3.25" << 32;
    QTest::newRow("OUT_8 of Program 2") << 56 << 3 << "12.3" << 123;
    QTest::newRow("SV_8 of Program 2") << 54 << 2 << "12.3" << 1230;
    QTest::newRow("TM_1 minutes") << 10 << 2 << "90" << 90;
    QTest::newRow("I1 keeps no fraction") << 58 << 2 << "7.9" << 7;
    QTest::newRow("unwritten code 72 unscaled") << 72 << 3 << "4.5" << 4;
    QTest::newRow("code 200 unscaled") << 200 << 3 << "4.5" << 4;
}

void TestWriteConversion::scalesByTheCodesFactor()
{
    QFETCH(int, code);
    QFETCH(int, slotDecimalPlaces);
    QFETCH(QString, text);
    QFETCH(int, word);

    const int decimals = factorDecimals(TAddress(code), slotDecimalPlaces);
    const auto value = convertWriteValue(text, decimals, QLocale::c());
    QVERIFY(value);
    QCOMPARE(int(value->word), word);
}

void TestWriteConversion::frameCarriesTheConvertedValue_data()
{
    QTest::addColumn<TPsl>("psl");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("slotDecimalPlaces");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("frame");

    QTest::newRow("SV 123.5 rtu") << TPsl::rtu << 0 << 1 << "123.5"
                                  << QByteArray::fromHex("0106000004d3ca97");
    QTest::newRow("SV 123.5 veln")
        << TPsl::veln << 0 << 1 << "123.5" << QByteArray::fromHex("5701000004d32f");
}

void TestWriteConversion::frameCarriesTheConvertedValue()
{
    QFETCH(TPsl, psl);
    QFETCH(int, code);
    QFETCH(int, slotDecimalPlaces);
    QFETCH(QString, text);
    QFETCH(QByteArray, frame);

    const auto value =
        convertWriteValue(text, factorDecimals(TAddress(code), slotDecimalPlaces), QLocale::c());
    QVERIFY(value);
    const QByteArray sent = comm::FrameCodec::forProtocol(psl).writeRequest(
        WriteCommand, 1, comm::wireAddress(TAddress(code)), value->word);
    QCOMPARE(sent.toHex(' '), frame.toHex(' '));
}

QTEST_APPLESS_MAIN(TestWriteConversion)
#include "tst_writeconversion.moc"
