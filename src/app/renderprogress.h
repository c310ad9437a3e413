#ifndef RENDERPROGRESS_H
#define RENDERPROGRESS_H

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class QProgressBar;

// The progress bar of the render the user waits for: how far it has come, the time since it
// began, an estimate of the time left, and how to stop it.
class RenderProgress : public QObject
{
    Q_OBJECT

public:
    explicit RenderProgress(QProgressBar *bar, QObject *parent = nullptr);

    // The scripts' top level runs first, which may take any time.
    void begin();
    // The picture's rowCount rows begin.
    void beginRows(int rowCount);
    // The rows above row are rendered.
    void reach(int row);
    void end();

    // The time since the render began, and the time left unless leftMs is negative:
    // "0:07, about 0:12 left".
    static QString timeText(qint64 elapsedMs, qint64 leftMs);
    // The time the rows left will take if they go as the rowsDone of rowCount rows that took
    // rowsMs went; -1 when it is too early to tell.
    static qint64 timeLeft(qint64 rowsMs, int rowsDone, int rowCount);

private:
    void refresh();

    QProgressBar *bar;
    QTimer ticker;
    QElapsedTimer sinceBegin;
    QElapsedTimer sinceRows;    // the time the rows have taken so far
    QElapsedTimer sinceReach;
    qint64 rowsMsAtReach = 0;
    int rows = 0;
    int rowsDone = 0;
};

#endif // RENDERPROGRESS_H
