#ifndef ROWSCHEDULER_H
#define ROWSCHEDULER_H

#include "core/consoleline.h"
#include "core/renderresult.h"

#include <QVector>

// How the processes of a render share its rows out: the rows are cut into ranges, handed out
// in order, each process taking the next range once done with one, so that fast and slow
// cores, and easy and hard rows, even out. The processes are numbered from 0, the first being
// the one that ran the scripts first. A render that shares its rows out fails as one process
// would have: at the first failing pixel in row order. It counts the rows done for progress.
class RowScheduler
{
public:
    enum class State { Rendering, Complete, Failed };

    // rows of a picture pictureRows high, shared by up to processes processes.
    RowScheduler(RowRange rows, int pictureRows, int processes);

    // How many ranges the rows are cut into, and how many processes take part: never more
    // than there are ranges to take.
    static int rangeCount(int rows, int processes);
    static int processesTakingPart(int rows, int processes);

    const QVector<RowRange> &ranges() const { return rowRanges; }
    int processCount() const { return takers.size(); }

    // The next range for process to render, none when there are no more to give or the
    // render has failed. A process holds one range at a time.
    RowRange take(int process);
    // The process has rendered all of the range it holds.
    void rangeDone(int process);
    // The process is about to render row of the range it holds.
    void reachRow(int process, int row);
    // The process failed and takes no further part. A failure in a range decides once every
    // range above it is done; the rows of a process that held none go to the others.
    void fail(int process, const RenderResult &failure);

    // Lines that process printed in the range it holds, then unsent more that it only counted.
    void addLines(int process, const QVector<ConsoleLine> &lines, qint64 unsent = 0);
    // The lines that have become final since the last call, a range's part after another in
    // the order of the rows: those of the first range not done yet as they come, a range's
    // once every range above it is done, none below the range whose failure decides.
    QVector<ConsoleLines> takeFinalLines();

    State state() const;
    // The failure that decides, once the state is Failed.
    const RenderResult &failure() const;

    // The picture row to report as progress, as one process would: the first row, then the
    // row about to be rendered on reaching every twentieth of the picture, never the end.
    // -1 when no report is due since the last one.
    int progressDue();
    // The rows rendered since the last call, in picture order, adjacent ones joined: rows of
    // ranges done, and the rows so far of the ranges being rendered.
    QVector<RowRange> takeRowsRendered();

private:
    struct Taker
    {
        int range = -1;         // the range it holds
        int rowsInRange = 0;    // of which it has rendered this many
        bool out = false;       // it failed
    };

    Taker *takerAt(int process);
    int rowsDone() const;
    int rangesDoneInOrder() const;
    bool everyProcessOut() const;

    RowRange allRows;
    QVector<RowRange> rowRanges;
    QVector<bool> doneRanges;
    int rangesDone = 0;
    int rowsInDoneRanges = 0;
    QVector<Taker> takers;
    int nextRange = 0;
    // The earliest failure in a range, and that range.
    int failedRange = -1;
    RenderResult rangeFailure;
    // The first failure of a process that held no range: it decides only when no process is
    // left to render.
    bool anyIdleFailure = false;
    RenderResult idleFailure;
    // The lines of each range, until they are final, and the first range not all taken yet.
    QVector<ConsoleLines> rangeLines;
    int nextRangeToPrint = 0;
    int progressInterval = 1;
    int nextProgress = 0;
    QVector<int> rowsTaken;   // of each range, by takeRowsRendered()
};

#endif // ROWSCHEDULER_H
