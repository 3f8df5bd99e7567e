// The engine's pure rules: value texts, decimal-point tables, deviation alarms.
#include "core/LocaleText.h"
#include "engine/DecimalPointTables.h"
#include "engine/DeviationEvaluation.h"
#include "engine/ValueFormat.h"

#include <QTest>

using engine::DecimalRule;

class TestEngineRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void valueFormat_data();
    void valueFormat();
    void valueFormatUsesLocaleSeparator();
    void decimalTables_data();
    void decimalTables();
    void deviationBand_data();
    void deviationBand();
    void deviationCountsOncePerExcursion();
    void deviationFirstExcursionSilentWithoutAlarmAtFirst();
    void deviationCounterSharedByBothDirections();
    void deviationNeedsNumbers_data();
    void deviationNeedsNumbers();
    void alarmLineText();
    void longTimeHasNoZone_data();
    void longTimeHasNoZone();
};

void TestEngineRules::valueFormat_data()
{
    QTest::addColumn<int>("raw");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("text");
    QTest::newRow("253 at 1") << 253 << 1 << "25.3";
    QTest::newRow("253 at 0") << 253 << 0 << "253";
    QTest::newRow("-5 at 1") << -5 << 1 << "-0.5";
    QTest::newRow("5 at 2") << 5 << 2 << "0.05";
    QTest::newRow("12346 at 1 rounds to 4 digits") << 12346 << 1 << "1235.0";
    QTest::newRow("12345 at 1 rounds half up") << 12345 << 1 << "1235.0";
    QTest::newRow("-12345 at 1 rounds away from zero") << -12345 << 1 << "-1235.0";
    QTest::newRow("12345 at 3") << 12345 << 3 << "12.350";
    QTest::newRow("0 at 3") << 0 << 3 << "0.000";
    QTest::newRow("9999 at 0") << 9999 << 0 << "9999";
    QTest::newRow("32767 at 0 is scientific") << 32767 << 0 << "3.277E+004";
    QTest::newRow("-32768 at 0") << -32768 << 0 << "-3.277E+004";
    QTest::newRow("99995 rounding grows the integer part") << 99995 << 1 << "1.000E+004";
    QTest::newRow("32767 at 1 fits") << 32767 << 1 << "3277.0";
}

void TestEngineRules::valueFormat()
{
    QFETCH(int, raw);
    QFETCH(int, decimals);
    QFETCH(QString, text);
    QCOMPARE(engine::formatValue(raw, decimals, QLocale::c()), text);
}

void TestEngineRules::valueFormatUsesLocaleSeparator()
{
    QCOMPARE(engine::formatValue(253, 1, QLocale(QLocale::German)), QStringLiteral("25,3"));
    // What the engine writes, the alarm evaluation reads back exactly.
    QCOMPARE(engine::exactValue(QStringLiteral("25,3"), QLocale(QLocale::German)),
             std::optional<qint64>(25'300'000'000));
    QCOMPARE(engine::exactValue(QStringLiteral("3.277E+004"), QLocale::c()),
             std::optional<qint64>(32'770'000'000'000));
}

void TestEngineRules::decimalTables_data()
{
    QTest::addColumn<int>("family");
    QTest::addColumn<int>("input");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("places");
    const int fixed = DecimalRule::Fixed, dp = DecimalRule::FromDpSetting,
              same = DecimalRule::Unchanged;
    QTest::newRow("A 0") << 104 << 0 << fixed << 1;
    QTest::newRow("A 2") << 104 << 2 << fixed << 0;
    QTest::newRow("A 8") << 104 << 8 << fixed << 0;
    QTest::newRow("A 20") << 104 << 20 << fixed << 0;
    QTest::newRow("A 21") << 104 << 21 << fixed << 1;
    QTest::newRow("A 47") << 104 << 47 << fixed << 1;
    QTest::newRow("A 50") << 104 << 50 << fixed << 0;
    QTest::newRow("A 51") << 104 << 51 << dp << 0;
    QTest::newRow("A 53") << 104 << 53 << dp << 0;
    QTest::newRow("A 55") << 104 << 55 << dp << 0;
    QTest::newRow("A 56") << 104 << 56 << same << 0;
    QTest::newRow("A -1") << 104 << -1 << same << 0;
    QTest::newRow("B 9") << 7 << 9 << fixed << 1;
    QTest::newRow("B 14") << 0 << 14 << fixed << 1;
    QTest::newRow("B 16") << 7 << 16 << fixed << 0;
    QTest::newRow("B 17") << 7 << 17 << dp << 0;
    QTest::newRow("B 18") << 7 << 18 << dp << 0;
    QTest::newRow("B 20") << 7 << 20 << dp << 0;
    QTest::newRow("B 21") << 7 << 21 << same << 0;
    QTest::newRow("B 30") << 7 << 30 << same << 0;
    QTest::newRow("fallback A gives 0") << 104 << engine::fallbackInputSelection(104) << fixed << 0;
    QTest::newRow("fallback B gives 0") << 5 << engine::fallbackInputSelection(5) << fixed << 0;
}

void TestEngineRules::decimalTables()
{
    QFETCH(int, family);
    QFETCH(int, input);
    QFETCH(int, kind);
    QFETCH(int, places);
    const DecimalRule rule = engine::decimalRule(family, input);
    QCOMPARE(int(rule.kind), kind);
    if (kind == DecimalRule::Fixed)
        QCOMPARE(rule.places, places);
}

namespace {

StationRecord withLimits(const QString& high, const QString& low, bool atFirst = true)
{
    StationRecord r;
    r.HighLimitText = high;
    r.LowLimitText = low;
    r.AlarmAtFirst = atFirst;
    return r;
}

QList<engine::RaisedAlarm> evaluate(StationRecord& r, const QString& pv, const QString& sv)
{
    return engine::EvaluateDeviation(r, 2, 7, pv, sv, QStringLiteral("14:05:09"), QLocale::c());
}

} // namespace

void TestEngineRules::deviationBand_data()
{
    QTest::addColumn<QString>("high");
    QTest::addColumn<QString>("low");
    QTest::addColumn<QString>("pv");
    QTest::addColumn<QString>("sv");
    QTest::addColumn<bool>("lowOut");
    QTest::addColumn<bool>("highOut");
    QTest::newRow("on the low edge") << "5"
                                     << "3"
                                     << "97.0"
                                     << "100.0" << false << false;
    QTest::newRow("just below") << "5"
                                << "3"
                                << "96.9"
                                << "100.0" << true << false;
    QTest::newRow("on the high edge") << "5"
                                      << "3"
                                      << "105.0"
                                      << "100.0" << false << false;
    QTest::newRow("just above") << "5"
                                << "3"
                                << "105.1"
                                << "100.0" << false << true;
    // Decimal fractions compare exactly: 100.0 - 3.1 is 96.9, not a hair above or below.
    QTest::newRow("fractional limit edge") << "5"
                                           << "3.1"
                                           << "96.9"
                                           << "100.0" << false << false;
    QTest::newRow("fractional limit beyond") << "5"
                                             << "3.1"
                                             << "96.8"
                                             << "100.0" << true << false;
    QTest::newRow("negative low limit") << "5"
                                        << "-2"
                                        << "101.0"
                                        << "100.0" << true << false;
    QTest::newRow("negative high limit") << "-2"
                                         << "3"
                                         << "99.0"
                                         << "100.0" << false << true;
    QTest::newRow("scientific PV") << "5"
                                   << "3"
                                   << "3.277E+004"
                                   << "100" << false << true;
}

void TestEngineRules::deviationBand()
{
    QFETCH(QString, high);
    QFETCH(QString, low);
    QFETCH(QString, pv);
    QFETCH(QString, sv);
    QFETCH(bool, lowOut);
    QFETCH(bool, highOut);
    StationRecord r = withLimits(high, low);
    const auto alarms = evaluate(r, pv, sv);
    QCOMPARE(r.LowLatched, lowOut);
    QCOMPARE(r.HighLatched, highOut);
    QCOMPARE(alarms.size(), int(lowOut) + int(highOut));
    QCOMPARE(r.DeviationCount, int(lowOut) + int(highOut));
}

void TestEngineRules::deviationCountsOncePerExcursion()
{
    StationRecord r = withLimits(QStringLiteral("5"), QStringLiteral("3"), true);
    QStringList counts;
    for (int excursion = 1; excursion <= 12; ++excursion) {
        for (int poll = 0; poll < 3; ++poll) // staying out raises nothing more
            for (const auto& a : evaluate(r, QStringLiteral("90.0"), QStringLiteral("100.0")))
                counts << a.countText;
        QVERIFY(evaluate(r, QStringLiteral("100.0"), QStringLiteral("100.0")).isEmpty());
        QVERIFY(!r.LowLatched);
    }
    QCOMPARE(counts.size(), 12);
    QCOMPARE(counts.first(), QStringLiteral("01"));
    QCOMPARE(counts.at(8), QStringLiteral("09"));
    QCOMPARE(counts.last(), QStringLiteral("12"));
}

void TestEngineRules::deviationFirstExcursionSilentWithoutAlarmAtFirst()
{
    StationRecord r = withLimits(QStringLiteral("5"), QStringLiteral("3"), false);
    QStringList counts;
    for (int excursion = 1; excursion <= 11; ++excursion) {
        for (const auto& a : evaluate(r, QStringLiteral("110.0"), QStringLiteral("100.0")))
            counts << a.countText;
        evaluate(r, QStringLiteral("100.0"), QStringLiteral("100.0"));
        if (excursion == 1)
            QVERIFY(counts.isEmpty());
    }
    QCOMPARE(counts.size(), 10);
    QCOMPARE(counts.first(), QStringLiteral("01"));
    QCOMPARE(counts.last(), QStringLiteral("10"));
}

void TestEngineRules::deviationCounterSharedByBothDirections()
{
    StationRecord r = withLimits(QStringLiteral("5"), QStringLiteral("3"), false);
    QVERIFY(evaluate(r, QStringLiteral("90.0"), QStringLiteral("100.0")).isEmpty());
    QVERIFY(evaluate(r, QStringLiteral("100.0"), QStringLiteral("100.0")).isEmpty());
    const auto alarms = evaluate(r, QStringLiteral("110.0"), QStringLiteral("100.0"));
    QCOMPARE(alarms.size(), 1);
    QVERIFY(alarms.first().line.contains(QStringLiteral("High")));
    QCOMPARE(alarms.first().countText, QStringLiteral("01"));
    QCOMPARE(r.DeviationCount, 2);
}

void TestEngineRules::deviationNeedsNumbers_data()
{
    QTest::addColumn<QString>("high");
    QTest::addColumn<QString>("low");
    QTest::addColumn<QString>("pv");
    QTest::addColumn<QString>("sv");
    QTest::newRow("no high limit") << ""
                                   << "3"
                                   << "10.0"
                                   << "100.0";
    QTest::newRow("empty low beside a high") << "5"
                                             << ""
                                             << "10.0"
                                             << "100.0";
    QTest::newRow("letters in a limit") << "5"
                                        << "abc"
                                        << "10.0"
                                        << "100.0";
    QTest::newRow("no PV") << "5"
                           << "3"
                           << ""
                           << "100.0";
    QTest::newRow("no SV") << "5"
                           << "3"
                           << "10.0"
                           << "";
}

void TestEngineRules::deviationNeedsNumbers()
{
    QFETCH(QString, high);
    QFETCH(QString, low);
    QFETCH(QString, pv);
    QFETCH(QString, sv);
    StationRecord r = withLimits(high, low);
    r.LowLatched = true; // latches are left as they are
    QVERIFY(evaluate(r, pv, sv).isEmpty());
    QVERIFY(r.LowLatched);
    QVERIFY(!r.HighLatched);
    QCOMPARE(r.DeviationCount, 0);
}

void TestEngineRules::alarmLineText()
{
    StationRecord r = withLimits(QStringLiteral("5"), QStringLiteral("3"));
    const auto high = evaluate(r, QStringLiteral("105.1"), QStringLiteral("100.0"));
    QCOMPARE(high.first().line,
             QStringLiteral("Monitor:2,Controller:7-->Deviation High Alarm!   Time:14:05:09"));
    const auto low = evaluate(r, QStringLiteral("90"), QStringLiteral("100.0"));
    QCOMPARE(low.first().line,
             QStringLiteral("Monitor:2,Controller:7-->Deviation Low Alarm!   Time:14:05:09"));
    QCOMPARE(engine::alarmCountText(123), QStringLiteral("123"));
}

void TestEngineRules::longTimeHasNoZone_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("expected");
    QTest::newRow("C") << "C"
                       << "14:05:09";
    QTest::newRow("en_US") << "en_US"
                           << "2:05:09 PM";
    // "Bh:mm:ss [t]": the day period in the locale's words, no "B", no empty brackets.
    QTest::newRow("zh_TW") << "zh_TW"
                           << "下午2:05:09";
    // "H:mm:ss (t)", in the locale's own digits.
    QTest::newRow("fa_IR") << "fa_IR"
                           << "۱۴:۰۵:۰۹";
}

void TestEngineRules::longTimeHasNoZone()
{
    QFETCH(QString, locale);
    QFETCH(QString, expected);
    QCOMPARE(core::longTimeText(QTime(14, 5, 9), QLocale(locale)), expected);
}

QTEST_GUILESS_MAIN(TestEngineRules)
#include "tst_engine_rules.moc"
