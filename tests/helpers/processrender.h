#ifndef PROCESSRENDER_H
#define PROCESSRENDER_H

#include "client/renderclient.h"

#include <QImage>
#include <QList>
#include <QVector>

// A render as the window runs it, in renderer processes beside the test, and what it reported.
struct ProcessRender
{
    RenderResult result;
    QList<int> started;    // the row counts of started()
    QList<int> progress;   // the rows of progress()
    QVector<ConsoleLine> printed;   // the lines of linesPrinted(), in order
    // The ranges of rowsReady(), each with the milliseconds since the render began, and the
    // picture as renderedRows() gave those rows: pictureColour elsewhere.
    QList<RowRange> rowsReady;
    QList<qint64> rowsReadyMs;
    QImage rowsSeen;
    static constexpr QRgb pictureColour = 0xff123456;
    qint64 stopMs = -1;    // from stop() to finished(), when it was stopped
};

// Waits for the render to finish; with stopAfterMs 0 or more, stops it after that time.
ProcessRender renderInProcess(const RenderRequest &request, int stopAfterMs = -1);
ProcessRender renderInProcess(const QString &stdlib, const QString &painting, int step = 1);

// The processes that parent started and that are still running, by process id.
QList<qint64> runningChildren(qint64 parent);
// Whether the process is still running: neither gone nor ended and waiting to be reaped.
bool isRunning(qint64 process);

#endif // PROCESSRENDER_H
