#include "app/renderprogress.h"

#include <QProgressBar>

namespace {

// Often enough for the seconds to count evenly.
constexpr int refreshMs = 500;
// An estimate from less than this would jump about.
constexpr qint64 shortestBasisMs = 1000;

QString clockText(qint64 seconds)
{
    const QString minutesAndSeconds = QStringLiteral("%1:%2")
                                          .arg(seconds / 60 % 60)
                                          .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    if (seconds < 3600)
        return minutesAndSeconds;
    return QStringLiteral("%1:%2").arg(seconds / 3600).arg(
        minutesAndSeconds.rightJustified(5, QLatin1Char('0')));
}

} // namespace

RenderProgress::RenderProgress(QProgressBar *progressBar, QObject *parent)
    : QObject(parent)
    , bar(progressBar)
{
    ticker.setInterval(refreshMs);
    connect(&ticker, &QTimer::timeout, this, &RenderProgress::refresh);
}

QString RenderProgress::timeText(qint64 elapsedMs, qint64 leftMs)
{
    const QString elapsed = clockText(qMax<qint64>(elapsedMs, 0) / 1000);
    if (leftMs < 0)
        return tr("%1 elapsed").arg(elapsed);
    // Rounded up, so that a render still running never has no time left.
    return tr("%1 elapsed, about %2 left").arg(elapsed, clockText((leftMs + 999) / 1000));
}

qint64 RenderProgress::timeLeft(qint64 rowsMs, int done, int rowCount)
{
    if (done <= 0 || done > rowCount || rowsMs < shortestBasisMs)
        return -1;
    return qint64(double(rowsMs) * (rowCount - done) / done);
}

void RenderProgress::begin()
{
    sinceBegin.start();
    sinceRows.invalidate();
    rows = rowsDone = 0;
    bar->setFormat(tr("Running the scripts... (Esc stops)"));
    bar->setRange(0, 1);
    bar->setValue(0);
    ticker.stop();
}

void RenderProgress::beginRows(int rowCount)
{
    rows = rowCount;
    rowsDone = 0;
    sinceRows.start();
    sinceReach.start();
    rowsMsAtReach = 0;
    bar->setRange(0, rowCount);
    bar->setValue(0);
    refresh();
    ticker.start();
}

void RenderProgress::reach(int row)
{
    rowsDone = qBound(0, row, rows);
    rowsMsAtReach = sinceRows.elapsed();
    sinceReach.start();
    bar->setValue(rowsDone);
    refresh();
}

void RenderProgress::end()
{
    ticker.stop();
}

// Between reports, the time left counts down from the estimate of the last one.
void RenderProgress::refresh()
{
    qint64 left = timeLeft(rowsMsAtReach, rowsDone, rows);
    if (left >= 0)
        left = qMax<qint64>(left - sinceReach.elapsed(), 0);
    // The percentage is the progress bar's own %p.
    bar->setFormat(tr("%p% · %1 (Esc stops)").arg(timeText(sinceBegin.elapsed(), left)));
}
