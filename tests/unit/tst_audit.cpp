#include "audit/AuditChain.h"
#include "audit/AuditLog.h"
#include "audit/AuditView.h"
#include "audit/ClockJumpWatch.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace audit;

class TstAudit : public QObject
{
    Q_OBJECT

private:
    // Five entries on 30 November and five on 1 December (UTC), through the real log.
    static void writeTwoMonths(const QString& folder)
    {
        AuditLog log(folder);
        QDateTime t(QDate(2026, 11, 30), QTime(23, 59, 48), Qt::UTC);
        log.setClock([&t] { return t = t.addSecs(2); });
        for (int i = 0; i < 10; ++i)
            QVERIFY(log.record(kind::Setting, {{QStringLiteral("value"), i}}));
    }
    static QList<QByteArray> lines(const QString& path)
    {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        return f.readAll().split('\n');
    }
    static void writeLines(const QString& path, const QList<QByteArray>& lines)
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(lines.join('\n'));
    }

private slots:
    void monthBoundaryLinksTheFiles()
    {
        QTemporaryDir dir;
        writeTwoMonths(dir.path());
        QCOMPARE(auditFiles(dir.path()), QStringList({"2026-11.jsonl", "2026-12.jsonl"}));
        const auto nov = lines(dir.filePath("2026-11.jsonl"));
        const auto dec = lines(dir.filePath("2026-12.jsonl"));
        QCOMPARE(nov.size(), 6); // five lines and the empty piece after the last newline
        QCOMPARE(prevOf(nov.first()), GenesisHash);
        QCOMPARE(prevOf(dec.first()), lineHash(nov.at(4)));
        const ChainReport r = verifyFolder(dir.path());
        QVERIFY(r.intact);
        QCOMPARE(r.count, 10);
        // A log started later goes on from the last line on the disk.
        AuditLog again(dir.path());
        QVERIFY(again.record(kind::ProgramStart, {}));
        QCOMPARE(verifyFolder(dir.path()).count, 11);
    }

    void toolNamesTheFirstBrokenLine_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("line");
        QTest::newRow("untouched") << ""
                                   << "" << 0;
        // An edited line shows in the link of the line after it.
        QTest::newRow("a value edited") << "edit"
                                        << "2026-11.jsonl" << 5;
        QTest::newRow("a line removed") << "remove"
                                        << "2026-11.jsonl" << 3;
        QTest::newRow("two lines swapped") << "swap"
                                           << "2026-11.jsonl" << 2;
        QTest::newRow("last line of a month removed") << "remove last"
                                                      << "2026-12.jsonl" << 1;
        QTest::newRow("a month's file removed") << "remove file"
                                                << "2026-12.jsonl" << 1;
    }
    void toolNamesTheFirstBrokenLine()
    {
        QFETCH(QString, change);
        QFETCH(QString, file);
        QFETCH(int, line);
        QTemporaryDir dir;
        writeTwoMonths(dir.path());
        const QString nov = dir.filePath("2026-11.jsonl");
        auto l = lines(nov);
        if (change == "edit")
            l[3].replace("\"value\":3", "\"value\":4");
        else if (change == "remove")
            l.removeAt(2);
        else if (change == "swap")
            l.swapItemsAt(1, 2);
        else if (change == "remove last")
            l.removeAt(4);
        else if (change == "remove file") {
            // The first month gone: December's first line names a line no longer there.
            QFile::remove(nov);
            file = "2026-12.jsonl";
        }
        if (change != "remove file")
            writeLines(nov, l);

        QProcess tool;
        tool.start(QCoreApplication::applicationDirPath() + "/quillmere-audit",
                   {"verify", dir.path()});
        QVERIFY(tool.waitForFinished(30000));
        const QString out = QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
        if (file.isEmpty()) {
            QCOMPARE(tool.exitCode(), 0);
            QCOMPARE(out, QStringLiteral("chain intact: 10 entries"));
        } else {
            QCOMPARE(tool.exitCode(), 1);
            QVERIFY2(out.startsWith(QStringLiteral("%1:%2: ").arg(file).arg(line)),
                     qPrintable(out));
        }
    }

    // The entry is written and synced before record() returns, so a crash after the write
    // cannot lose an action the operator saw reported. A failed sync is reported as a failure.
    void entryReachesTheDiskBeforeTheCallerReports_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("order");
        QTest::addColumn<bool>("intact");
        QTest::newRow("synced") << "" << QStringList{"write", "sync", "report"} << true;
        // The line is in the file; only its reaching the disk is in doubt, so the chain goes on.
        QTest::newRow("sync fails") << "sync" << QStringList{"write", "sync", "failed"} << true;
        // A torn line stays as the evidence of the failure and breaks the chain there.
        QTest::newRow("write torn") << "write" << QStringList{"write", "failed"} << false;
    }
    void entryReachesTheDiskBeforeTheCallerReports()
    {
        QFETCH(QString, fault);
        QFETCH(QStringList, order);
        QFETCH(bool, intact);
        QTemporaryDir dir;
        AuditLog log(dir.path());
        QStringList seen;
        const AuditFileOps real = systemFileOps();
        log.setFileOps({[&](int fd, const QByteArray& b) {
                            seen << "write";
                            return fault == "write" ? (real.write(fd, b.left(20)), false)
                                                    : real.write(fd, b);
                        },
                        [&](int fd) {
                            seen << "sync";
                            return fault != "sync" && real.sync(fd);
                        }});
        seen << (log.record(kind::Write, {{"text", "12.5"}}) ? "report" : "failed");
        QCOMPARE(seen, order);
        // After a failure the next entry still chains to the last good one, on a fresh line.
        log.setFileOps(real);
        QVERIFY(log.record(kind::Write, {{"text", "13.0"}}));
        const ChainReport r = verifyFolder(dir.path());
        QCOMPARE(r.intact, intact);
        QCOMPARE(r.count, intact ? 2 : 0);
    }

    void entryCarriesWhoWhereAndWhen()
    {
        QTemporaryDir dir;
        AuditLog log(dir.path());
        log.setIdentity("furnace-pc", "alice");
        QVERIFY(log.record(kind::Setting, {{"key", "Comm"}, {"old", "9600"}, {"new", "19200"}}));
        const auto entries = readEntries(dir.path());
        QCOMPARE(entries.size(), std::size_t(1));
        const AuditEntry& e = entries.front();
        QCOMPARE(e.host, QStringLiteral("furnace-pc"));
        QCOMPARE(e.user, QStringLiteral("alice"));
        QCOMPARE(e.details.value("new").toString(), QStringLiteral("19200"));
        QCOMPARE(e.offset, utcOffsetText(QDateTime::currentDateTime().offsetFromUtc()));
        QVERIFY(qAbs(e.utc.secsTo(QDateTime::currentDateTimeUtc())) < 60);
        QVERIFY(!osUser().isEmpty());
    }

    // What the Audit Trail window shows and exports: newest first, filtered, and the CSV file
    // reads back to the same cells (commas, quotes and line breaks in details included).
    void filtersAndCsvReadBack_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("monitor");
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("fromMinute");
        QTest::addColumn<QList<int>>("values"); // the "value" detail of the rows shown, in order
        QTest::newRow("everything, newest first")
            << "" << 0 << 0 << "" << 0 << QList<int>{5, 4, 3, 2, 1, 0};
        QTest::newRow("one kind") << "write" << 0 << 0 << "" << 0 << QList<int>{4, 2, 0};
        QTest::newRow("Monitor 2") << "" << 2 << 0 << "" << 0 << QList<int>{5, 2};
        QTest::newRow("Monitor 2, slot 7") << "" << 2 << 7 << "" << 0 << QList<int>{5};
        QTest::newRow("text, any case") << "" << 0 << 0 << "QUOTE" << 0 << QList<int>{3};
        QTest::newRow("from minute 2") << "" << 0 << 0 << "" << 2 << QList<int>{5, 4, 3, 2};
    }
    void filtersAndCsvReadBack()
    {
        QFETCH(QString, kind);
        QFETCH(int, monitor);
        QFETCH(int, slot);
        QFETCH(QString, text);
        QFETCH(int, fromMinute);
        QFETCH(QList<int>, values);
        QTemporaryDir dir;
        AuditLog log(dir.path());
        const QDateTime t0(QDate(2026, 12, 9), QTime(8, 0), Qt::UTC);
        QDateTime t = t0;
        log.setClock([&t] { return t; });
        const int where[6][2] = {{1, 4}, {0, 0}, {2, 3}, {0, 0}, {3, 1}, {2, 7}};
        for (int i = 0; i < 6; ++i) {
            t = t0.addSecs(60 * i);
            QJsonObject d{{"value", i},
                          {"note", i == 3 ? "a \"quote\", a comma\nand a line" : "plain"}};
            if (where[i][0])
                d.insert("monitor", where[i][0]), d.insert("slot", where[i][1]);
            QVERIFY(log.record(i % 2 == 0 ? kind::Write : kind::Setting, d));
        }
        AuditFilter f;
        f.kind = kind;
        f.monitor = monitor;
        f.slot = slot;
        f.text = text;
        if (fromMinute)
            f.from = t0.addSecs(60 * fromMinute);
        const auto shown = filterEntries(readEntries(dir.path()), f);
        QList<int> seen;
        for (const AuditEntry& e : shown)
            seen << e.details.value("value").toInt();
        QCOMPARE(seen, values);

        // A small RFC 4180 reader: the cells as a spreadsheet would see them.
        const QString csv = QString::fromUtf8(csvText(shown));
        QList<QStringList> rows{{}};
        QString cell;
        bool quoted = false;
        for (int i = 0; i < csv.size(); ++i) {
            const QChar c = csv[i];
            if (quoted && c == '"' && i + 1 < csv.size() && csv[i + 1] == '"')
                cell += '"', ++i;
            else if (c == '"')
                quoted = !quoted;
            else if (!quoted && c == ',')
                rows.last() << cell, cell.clear();
            else if (!quoted && c == '\r' && csv.mid(i, 2) == "\r\n")
                rows.last() << cell, cell.clear(), rows << QStringList(), ++i;
            else
                cell += c;
        }
        rows.removeLast();
        QCOMPARE(rows.size(), int(shown.size()) + 1);
        QCOMPARE(rows.first(), columnTitles());
        for (int r = 0; r < int(shown.size()); ++r)
            QCOMPARE(rows[r + 1], columns(shown[size_t(r)]));
    }

    void clockSetByHandIsNoticed_data()
    {
        QTest::addColumn<qint64>("wallStepMs");
        QTest::addColumn<bool>("jump");
        QTest::newRow("clocks agree") << qint64(5000) << false;
        QTest::newRow("within tolerance") << qint64(6500) << false;
        QTest::newRow("set forward an hour") << qint64(3605000) << true;
        QTest::newRow("set back a minute") << qint64(-55000) << true;
    }
    void clockSetByHandIsNoticed()
    {
        QFETCH(qint64, wallStepMs);
        QFETCH(bool, jump);
        ClockJumpWatch watch(nullptr, 1000000);
        QSignalSpy spy(&watch, &ClockJumpWatch::jumped);
        const QDateTime t0(QDate(2026, 12, 9), QTime(12, 0), Qt::UTC);
        watch.check(t0, 1000); // the first reading sets the base
        spy.clear();
        watch.check(t0.addMSecs(wallStepMs), 6000);
        QCOMPARE(spy.size(), jump ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(TstAudit)
#include "tst_audit.moc"
