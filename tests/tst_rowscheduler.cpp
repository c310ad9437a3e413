// How the processes of a render share its rows out, driven step by step: no processes, no
// timing.

#include "client/rowscheduler.h"

#include <QtTest>

#include <climits>

namespace {

RenderResult failure(const QString &text)
{
    RenderResult result;
    result.outcome = RenderResult::Outcome::ScriptError;
    result.errorText = text;
    return result;
}

QString stateName(RowScheduler::State state)
{
    switch (state) {
    case RowScheduler::State::Rendering:
        return QStringLiteral("rendering");
    case RowScheduler::State::Complete:
        return QStringLiteral("complete");
    case RowScheduler::State::Failed:
        return QStringLiteral("failed");
    }
    return QString();
}

} // namespace

class tst_RowScheduler : public QObject
{
    Q_OBJECT

private slots:
    void ranges_data();
    void ranges();
    void steps_data();
    void steps();
};

void tst_RowScheduler::ranges_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<int>("processes");
    QTest::addColumn<int>("rangeCount");
    QTest::addColumn<int>("takingPart");

    QTest::newRow("ten rows, two processes") << 0 << 10 << 2 << 10 << 2;
    QTest::newRow("many rows, two processes") << 0 << 1000 << 2 << 16 << 2;
    QTest::newRow("rows from the middle") << 30 << 60 << 3 << 24 << 3;
    QTest::newRow("more processes than rows") << 0 << 3 << 5 << 3 << 3;
    QTest::newRow("one row") << 7 << 8 << 4 << 1 << 1;
    QTest::newRow("no rows") << 4 << 4 << 2 << 0 << 0;
    QTest::newRow("the tallest picture, many processes") << 0 << INT_MAX << 256 << 2048 << 256;
}

// The ranges cover the rows in order, without gaps, in sizes that differ by one at most.
void tst_RowScheduler::ranges()
{
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(int, processes);
    QFETCH(int, rangeCount);
    QFETCH(int, takingPart);

    const RowScheduler scheduler(RowRange{first, last}, last, processes);
    const QVector<RowRange> &ranges = scheduler.ranges();
    QCOMPARE(ranges.size(), rangeCount);
    QCOMPARE(scheduler.processCount(), takingPart);
    QCOMPARE(RowScheduler::processesTakingPart(last - first, processes), takingPart);
    int next = first;
    int smallest = INT_MAX, largest = 0;
    for (const RowRange &range : ranges) {
        QCOMPARE(range.first, next);
        QVERIFY(!range.isEmpty());
        smallest = qMin(smallest, range.count());
        largest = qMax(largest, range.count());
        next = range.last;
    }
    QCOMPARE(next, rangeCount > 0 ? last : first);
    QVERIFY(largest - smallest <= 1 || ranges.isEmpty());
}

// Each step: "P takes N" (the range it gets, "-" for none), "P done", "P at ROW", "P fails
// TEXT", "state NAME [TEXT]", "progress ROW" (the report due, "-" for none), "P prints A B"
// (a line each), "P counts N" (lines not sent), "printed A +N" (the lines that became final
// since, "+N" for N counted, "-" for none) and "rendered FIRST-LAST,..." (the rows rendered
// since the last time, "-" for none).
void tst_RowScheduler::steps_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("processes");
    QTest::addColumn<QStringList>("steps");

    // Four rows for two processes: four ranges of one row.
    QTest::newRow("ranges in turn, until every one is done")
        << 4 << 2 << QStringList{"0 takes 0", "1 takes 1", "1 done", "1 takes 2", "0 done",
                                 "0 takes 3", "1 done", "1 takes -", "state rendering", "0 done",
                                 "state complete"};
    QTest::newRow("one range at a time") << 4 << 2 << QStringList{"0 takes 0", "0 takes -", "0 done", "0 takes 1"};
    QTest::newRow("a failure waits for the ranges above it")
        << 4 << 2 << QStringList{"0 takes 0", "1 takes 1", "1 fails lower", "state rendering",
                                 "0 done", "state failed lower"};
    QTest::newRow("no range is given after a failure")
        << 4 << 2 << QStringList{"0 takes 0", "1 takes 1", "1 fails lower", "0 done", "0 takes -"};
    QTest::newRow("an earlier failure that comes later wins")
        << 4 << 2 << QStringList{"0 takes 0", "1 takes 1", "1 fails lower", "0 fails upper",
                                 "state failed upper"};
    QTest::newRow("a later failure that comes first loses")
        << 4 << 2 << QStringList{"0 takes 0", "1 takes 1", "0 done", "0 takes 2", "0 fails last",
                                 "state rendering", "1 fails second", "state failed second"};
    QTest::newRow("a failure in the first range decides at once")
        << 4 << 2 << QStringList{"0 takes 0", "1 takes 1", "0 fails first", "state failed first"};
    QTest::newRow("the rows of a process that failed holding none go to the others")
        << 4 << 2 << QStringList{"1 fails idle", "state rendering", "0 takes 0", "0 done",
                                 "0 takes 1", "0 done", "0 takes 2", "0 done", "0 takes 3",
                                 "0 done", "state complete"};
    QTest::newRow("the last process out decides with its own failure")
        << 4 << 2 << QStringList{"0 takes 0", "1 fails idle", "0 fails rows", "state failed rows"};
    QTest::newRow("every process out holding none")
        << 4 << 2 << QStringList{"0 takes 0", "0 done", "1 fails first idle", "0 fails second idle",
                                 "state failed first idle"};
    QTest::newRow("a failed process takes nothing more")
        << 4 << 2 << QStringList{"1 fails idle", "1 takes -", "0 takes 0"};
    QTest::newRow("a process beyond those taking part")
        << 1 << 3 << QStringList{"1 takes -", "0 takes 0", "0 done", "state complete"};
    QTest::newRow("no rows") << 0 << 2 << QStringList{"state complete", "0 takes -"};

    // Thirty rows of a hundred, from row 30, for one process: eight ranges of three or four
    // rows; progress every five rows, as one process reports it.
    QTest::newRow("progress from the first row, every twentieth")
        << -30 << 1 << QStringList{"progress 30", "progress -", "0 takes 0", "0 at 31",
                                   "progress -", "0 at 40", "progress -", "0 done", "0 takes 1",
                                   "0 at 35", "progress 35", "0 at 36", "progress -", "0 done",
                                   "progress -", "0 takes 2", "0 at 40", "progress 40"};
    QTest::newRow("progress never reports the end")
        << -30 << 1 << QStringList{"progress 30", "0 takes 0", "0 done", "0 takes 1", "0 done",
                                   "0 takes 2", "0 done", "0 takes 3", "0 done", "0 takes 4",
                                   "0 done", "0 takes 5", "0 done", "0 takes 6", "0 done",
                                   "progress 56", "0 takes 7", "0 done", "progress -",
                                   "state complete"};
    QTest::newRow("lines in row order, whoever prints first")
        << 4 << 2 << QStringList{"0 takes 0", "1 takes 1", "1 prints c d", "printed -",
                                 "0 prints a", "printed a", "0 prints b", "printed b", "0 done",
                                 "printed c d", "1 prints e", "printed e", "1 done", "printed -"};
    QTest::newRow("ranges done out of order wait for the ones above")
        << 4 << 2 << QStringList{"0 takes 0", "1 takes 1", "1 prints b", "1 done", "1 takes 2",
                                 "1 prints c", "1 done", "printed -", "0 prints a", "0 done",
                                 "printed a b c"};
    QTest::newRow("counted lines go with their range")
        << 4 << 2 << QStringList{"0 takes 0", "1 takes 1", "1 prints b", "1 counts 7",
                                 "0 counts 2", "printed +2", "0 done", "printed b +7"};
    QTest::newRow("no lines below the failure that decides")
        << 4 << 2 << QStringList{"0 takes 0", "1 takes 1", "1 done", "1 takes 2", "1 prints c",
                                 "0 prints a", "0 fails here", "printed a", "state failed here",
                                 "1 prints d", "1 done", "printed -"};
    QTest::newRow("the lines of a failing range once those above are done")
        << 4 << 2 << QStringList{"0 takes 0", "1 takes 1", "1 prints b", "1 fails lower",
                                 "0 takes -", "printed -", "0 prints a", "0 done",
                                 "printed a b", "state failed lower"};
    QTest::newRow("a process holding no range prints nothing")
        << 4 << 2 << QStringList{"1 prints stray", "0 takes 0", "0 done", "printed -"};

    QTest::newRow("progress of a failed process's rows is lost")
        << -30 << 1 << QStringList{"progress 30", "0 takes 0", "0 done", "0 takes 1", "0 at 35",
                                   "0 fails here", "progress -", "state failed here"};

    // Sixty-four rows for two processes: sixteen ranges of four rows.
    QTest::newRow("rows rendered, each once, adjacent ones joined")
        << 64 << 2 << QStringList{"rendered -", "0 takes 0", "1 takes 1", "0 at 2", "1 at 6",
                                  "rendered 0-2,4-6", "rendered -", "0 done", "1 at 7",
                                  "rendered 2-4,6-7", "0 takes 2", "0 at 10", "1 done",
                                  "rendered 7-10", "1 takes 3", "1 done", "rendered 12-16"};
    QTest::newRow("rows of a failed range are not told again")
        << 64 << 2 << QStringList{"0 takes 0", "1 takes 1", "0 at 3", "rendered 0-3",
                                  "0 fails here", "1 at 6", "rendered 4-6"};
}

void tst_RowScheduler::steps()
{
    QFETCH(int, rows);
    QFETCH(int, processes);
    QFETCH(QStringList, steps);

    // Negative: that many rows from row 30 of a picture of 100.
    RowScheduler scheduler(rows < 0 ? RowRange{30, 30 - rows} : RowRange{0, rows},
                           rows < 0 ? 100 : rows, processes);
    for (const QString &step : qAsConst(steps)) {
        const QStringList words = step.split(QLatin1Char(' '));
        const QString argument = words.mid(2).join(QLatin1Char(' '));
        if (words.at(0) == QLatin1String("state")) {
            QVERIFY2(stateName(scheduler.state()) == words.at(1), qPrintable(step));
            if (scheduler.state() == RowScheduler::State::Failed)
                QVERIFY2(scheduler.failure().errorText == argument, qPrintable(step));
            continue;
        }
        if (words.at(0) == QLatin1String("progress")) {
            const int due = scheduler.progressDue();
            QVERIFY2(due == (words.at(1) == QLatin1String("-") ? -1 : words.at(1).toInt()),
                     qPrintable(QStringLiteral("%1: %2").arg(step).arg(due)));
            continue;
        }
        if (words.at(0) == QLatin1String("printed")) {
            QStringList final;
            for (const ConsoleLines &part : scheduler.takeFinalLines()) {
                for (const ConsoleLine &line : part.lines)
                    final << line.text;
                if (part.dropped > 0)
                    final << QStringLiteral("+%1").arg(part.dropped);
            }
            const QString shown = final.isEmpty() ? QStringLiteral("-") : final.join(QLatin1Char(' '));
            QVERIFY2(shown == words.mid(1).join(QLatin1Char(' ')),
                     qPrintable(QStringLiteral("%1: %2").arg(step, shown)));
            continue;
        }
        if (words.at(0) == QLatin1String("rendered")) {
            QStringList told;
            for (const RowRange &range : scheduler.takeRowsRendered())
                told << QStringLiteral("%1-%2").arg(range.first).arg(range.last);
            const QString rendered = told.isEmpty() ? QStringLiteral("-") : told.join(QLatin1Char(','));
            QVERIFY2(rendered == words.at(1), qPrintable(QStringLiteral("%1: %2").arg(step, rendered)));
            continue;
        }
        const int process = words.at(0).toInt();
        const QString &verb = words.at(1);
        if (verb == QLatin1String("takes")) {
            const RowRange range = scheduler.take(process);
            const RowRange expected = argument == QLatin1String("-")
                ? RowRange{}
                : scheduler.ranges().at(argument.toInt());
            QVERIFY2(range == expected || (range.isEmpty() && expected.isEmpty()),
                     qPrintable(QStringLiteral("%1: %2:%3").arg(step).arg(range.first).arg(range.last)));
        } else if (verb == QLatin1String("done")) {
            scheduler.rangeDone(process);
        } else if (verb == QLatin1String("at")) {
            scheduler.reachRow(process, argument.toInt());
        } else if (verb == QLatin1String("prints")) {
            QVector<ConsoleLine> lines;
            for (const QString &text : words.mid(2)) {
                ConsoleLine line;
                line.text = text;
                lines << line;
            }
            scheduler.addLines(process, lines);
        } else if (verb == QLatin1String("counts")) {
            scheduler.addLines(process, {}, argument.toLongLong());
        } else if (verb == QLatin1String("fails")) {
            scheduler.fail(process, failure(argument));
        } else {
            QFAIL(qPrintable("unknown step " + step));
        }
    }
}

QTEST_APPLESS_MAIN(tst_RowScheduler)
#include "tst_rowscheduler.moc"
