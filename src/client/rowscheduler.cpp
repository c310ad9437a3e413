#include "client/rowscheduler.h"

#include <QtGlobal>

#include <utility>

RowScheduler::RowScheduler(RowRange rows, int pictureRows, int processes)
    : allRows(rows)
    , progressInterval(qMax(1, pictureRows / 20))
{
    const int count = rangeCount(rows.count(), processes);
    for (int i = 0; i < count; ++i) {
        rowRanges.append(RowRange{rows.first + int(qint64(rows.count()) * i / count),
                                  rows.first + int(qint64(rows.count()) * (i + 1) / count)});
    }
    doneRanges.fill(false, count);
    rangeLines.resize(count);
    rowsTaken.fill(0, count);
    takers.resize(processesTakingPart(rows.count(), processes));
}

// Small ranges even the processes out; smaller ones would cost more in messages than they save.
int RowScheduler::rangeCount(int rows, int processes)
{
    return int(qBound(qint64(0), qint64(processes) * 8, qint64(qMax(0, rows))));
}

int RowScheduler::processesTakingPart(int rows, int processes)
{
    return qMax(0, qMin(processes, rangeCount(rows, processes)));
}

RowScheduler::Taker *RowScheduler::takerAt(int process)
{
    return process >= 0 && process < takers.size() ? &takers[process] : nullptr;
}

// Ranges are handed out in order, so every range above a failure has been handed out.
RowRange RowScheduler::take(int process)
{
    Taker *taker = takerAt(process);
    if (!taker || taker->out || taker->range >= 0 || failedRange >= 0
        || nextRange >= rowRanges.size()) {
        return RowRange{};
    }
    taker->range = nextRange++;
    taker->rowsInRange = 0;
    return rowRanges.at(taker->range);
}

void RowScheduler::rangeDone(int process)
{
    Taker *taker = takerAt(process);
    if (!taker || taker->range < 0)
        return;
    doneRanges[taker->range] = true;
    ++rangesDone;
    rowsInDoneRanges += rowRanges.at(taker->range).count();
    taker->range = -1;
    taker->rowsInRange = 0;
}

void RowScheduler::reachRow(int process, int row)
{
    Taker *taker = takerAt(process);
    if (!taker || taker->range < 0)
        return;
    const RowRange &range = rowRanges.at(taker->range);
    taker->rowsInRange = qBound(0, row - range.first, range.count());
}

void RowScheduler::fail(int process, const RenderResult &failure)
{
    Taker *taker = takerAt(process);
    if (!taker || taker->out)
        return;
    taker->out = true;
    if (taker->range >= 0) {
        if (failedRange < 0 || taker->range < failedRange) {
            failedRange = taker->range;
            rangeFailure = failure;
        }
    } else if (!anyIdleFailure) {
        anyIdleFailure = true;
        idleFailure = failure;
    }
    taker->range = -1;
    taker->rowsInRange = 0;
}

void RowScheduler::addLines(int process, const QVector<ConsoleLine> &lines, qint64 unsent)
{
    const Taker *taker = takerAt(process);
    if (!taker || taker->range < 0 || (failedRange >= 0 && taker->range > failedRange))
        return;
    ConsoleLines &part = rangeLines[taker->range];
    part.lines += lines;
    part.dropped += unsent;
}

// A failed range is never done, so nothing below the first failure is ever taken.
QVector<ConsoleLines> RowScheduler::takeFinalLines()
{
    QVector<ConsoleLines> final;
    const int inOrder = rangesDoneInOrder();
    for (; nextRangeToPrint < rangeLines.size(); ++nextRangeToPrint) {
        ConsoleLines &part = rangeLines[nextRangeToPrint];
        if (!part.isEmpty())
            final.append(std::exchange(part, ConsoleLines()));
        // The first range not done may print more.
        if (nextRangeToPrint == inOrder)
            break;
    }
    return final;
}

RowScheduler::State RowScheduler::state() const
{
    if (failedRange >= 0 && rangesDoneInOrder() >= failedRange)
        return State::Failed;
    if (rangesDone == rowRanges.size())
        return State::Complete;
    return everyProcessOut() ? State::Failed : State::Rendering;
}

const RenderResult &RowScheduler::failure() const
{
    return failedRange >= 0 ? rangeFailure : idleFailure;
}

int RowScheduler::progressDue()
{
    const int total = rowsDone();
    if (total < nextProgress || total >= allRows.count())
        return -1;
    nextProgress = (total / progressInterval + 1) * progressInterval;
    return allRows.first + total;
}

QVector<RowRange> RowScheduler::takeRowsRendered()
{
    QVector<int> rendered(rowRanges.size(), 0);
    for (int range = 0; range < rowRanges.size(); ++range)
        rendered[range] = doneRanges.at(range) ? rowRanges.at(range).count() : 0;
    for (const Taker &taker : qAsConst(takers)) {
        if (taker.range >= 0)
            rendered[taker.range] = taker.rowsInRange;
    }
    QVector<RowRange> fresh;
    for (int range = 0; range < rowRanges.size(); ++range) {
        if (rendered.at(range) <= rowsTaken.at(range))
            continue;
        const int first = rowRanges.at(range).first;
        const RowRange rows{first + rowsTaken.at(range), first + rendered.at(range)};
        rowsTaken[range] = rendered.at(range);
        if (!fresh.isEmpty() && fresh.last().last == rows.first)
            fresh.last().last = rows.last;
        else
            fresh.append(rows);
    }
    return fresh;
}

int RowScheduler::rowsDone() const
{
    int total = rowsInDoneRanges;
    for (const Taker &taker : takers)
        total += taker.rowsInRange;
    return total;
}

int RowScheduler::rangesDoneInOrder() const
{
    int count = 0;
    while (count < doneRanges.size() && doneRanges.at(count))
        ++count;
    return count;
}

bool RowScheduler::everyProcessOut() const
{
    for (const Taker &taker : takers) {
        if (!taker.out)
            return false;
    }
    return true;
}
