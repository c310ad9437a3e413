#ifndef RENDERJOB_H
#define RENDERJOB_H

#include "core/renderresult.h"
#include "protocol/renderprotocol.h"

#include <QElapsedTimer>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QVector>
#include <QTimer>

#include <memory>

class RendererProcess;
class RowScheduler;
class SharedPicture;

// What to render: the scripts travel as text, never as the paths of their files.
struct RenderRequest
{
    QString stdlibText;
    QString paintingText;
    int step = 1;
    // The picture is scale times the painting's size, samples x samples samples a pixel; see
    // PictureScale.
    double scale = 1;
    int samples = 1;
    // Picture rows [firstRow, lastRow); lastRow -1 means to the bottom.
    int firstRow = 0;
    int lastRow = -1;
    // 0: one process, or one per core when the scripts set the global parallel to true.
    // N: N processes whatever the scripts say, up to maxProcesses.
    int processes = 0;
    // The frame, at time frame / frameRate; a later frame must ask for the animation that
    // frame 0 asked for (expectedFrames, expectedFps), unless expectedFrames is 0.
    int frame = 0;
    double frameRate = 30;
    int expectedFrames = 0;
    double expectedFps = 0;
    // Runs the scripts' top level only: the result tells frames and fps, and has no picture.
    bool topLevelOnly = false;
    // Renders that run at once and share the memory a render may use.
    int memoryShare = 1;
    // Every line the scripts print comes by linesPrinted; else the first ConsoleLines::kept.
    bool allLines = false;
    // Renders only the pixel at this place, in painting units, when x is 0 or more: the result
    // has its channel values and colour, and no picture.
    QPoint inspectedPlace = QPoint(-1, -1);

    // The most processes a render uses: never more than can take rows, nor more than this.
    static constexpr int maxProcesses = 256;
};

// One render, run by one renderer process or by several that share its rows out (see
// RowScheduler). Its picture is complete or there is none. It finishes exactly once: with the
// renderers' result, with RendererFailed when a renderer could not start or stopped before its
// result, or with Stopped.
class RenderJob : public QObject
{
    Q_OBJECT

public:
    ~RenderJob() override;

    bool isFinished() const { return done; }
    // The whole result once finished: the picture, or why there is none, and the first
    // ConsoleLines::kept lines that the scripts printed, with how many more.
    const RenderResult &result() const { return finalResult; }

    // The picture's size once started, as the scripts made it.
    QSize size() const { return pictureSize; }
    // Rows of the picture as the renderers have written them so far, over the memory they
    // write into, for rowsReady(): valid until the job finishes; null when the memory does not
    // hold them.
    QImage renderedRows(const RowRange &range) const;

    // Kills the renderers at once, whatever the scripts are doing, and finishes as Stopped.
    // Does nothing once the job has finished.
    void stop();

signals:
    // The scripts' top level has run: the picture has rowCount rows.
    void started(int rowCount);
    // The picture row about to be rendered, on every twentieth of the picture; with one
    // process also in between, a few times a second.
    void progress(int row);
    // Lines that the scripts printed, once they are final, in the order one process would
    // print them: none after the first failing pixel, and only the first ConsoleLines::kept
    // of the render unless the request asks for all lines.
    void linesPrinted(const QVector<ConsoleLine> &lines);
    // Rows rendered since the last rowsReady(), in picture order: a few times a second, from
    // a fifth of a second after the rows began; a parallel render's rows come in several
    // ranges.
    void rowsReady(const RowRange &rows);
    void finished();

private:
    friend class RenderClient;
    struct Renderer;

    // expectShared: the painting is likely to share its rows out, as the last one did.
    // ready: renderers started ahead, all with the same picture memory, the first for the first
    // process; those the render does not use are ended.
    RenderJob(const QString &program, const RenderRequest &request,
              const QList<RendererProcess *> &ready, bool expectShared, QObject *parent);

    bool sharesRows() const { return scheduler != nullptr; }

    void startRenderer(int index, RendererProcess *process);
    int processesToStartAhead(const RenderRequest &request, bool expectShared) const;
    void readFrom(Renderer *renderer);
    void handleMessage(Renderer *renderer, const QByteArray &content);
    void handleStarted(Renderer *renderer, const RenderProtocol::Started &message);
    void handleProgress(Renderer *renderer, const RenderProtocol::Progress &message);
    void handleRowsDone(Renderer *renderer);
    void handleFinished(Renderer *renderer, const RenderProtocol::Finished &message);
    void handleLines(Renderer *renderer, const RenderProtocol::Lines &message);

    void firstStarted(const RenderProtocol::Started &message);
    void shareRowsOut();
    void joinIn(Renderer *renderer);
    void giveRows(Renderer *renderer);
    void dismiss(Renderer *renderer);
    void sizeDiffers();
    void rendererEnded(Renderer *renderer, int exitCode, QProcess::ExitStatus status);
    void rendererFailed(Renderer *renderer, const QString &reason);
    void fail(Renderer *renderer, const RenderResult &failure);
    void settle();
    void reportProgress();
    void releaseLines();
    void deliverLines(const QVector<ConsoleLine> &lines, qint64 unsent);
    void reportRows();
    RenderResult takePicture();
    void finish(const RenderResult &result);
    void killAll();

    QString program;
    RenderProtocol::Job job;
    std::shared_ptr<SharedPicture> picture;
    QList<Renderer *> renderers;
    int processesTogether = 1;   // those being started, which share the memory for now
    QSize pictureSize;   // as the first renderer's scripts made it
    int frames = 1;      // the animation they ask for
    double fps = 30;
    RowRange rows;       // to render, within the picture
    // Set once the first renderer says that the rows are shared out.
    std::unique_ptr<RowScheduler> scheduler;
    ConsoleLines printed;
    // Of one process: the rows it has rendered, and those told by rowsReady().
    int renderedUpTo = 0;
    int readyUpTo = 0;
    QElapsedTimer sinceRowsReady;   // or since the rows began
    bool anyRowsReady = false;
    QTimer rowsReadyPause;   // ends when rows held back may be told
    RenderResult finalResult;
    bool done = false;
};

#endif // RENDERJOB_H
