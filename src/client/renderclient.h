#ifndef RENDERCLIENT_H
#define RENDERCLIENT_H

#include "protocol/renderprotocol.h"
#include "engine/scriptrenderer.h"

#include <QList>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QVector>

#include <memory>

class RendererProcess;
class SharedPicture;

// What to render: the scripts travel as text, never as the paths of their files.
struct RenderRequest
{
    QString stdlibText;
    QString paintingText;
    int step = 1;
    // Picture rows [firstRow, lastRow); lastRow -1 means to the bottom.
    int firstRow = 0;
    int lastRow = -1;
    // 0: one process, or one per core when the scripts set the global parallel to true.
    // N: N processes whatever the scripts say.
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
};

// One render, run by one renderer process or by several that share its rows out: each takes
// the next run of rows once done with one, so that fast and slow cores, and easy and hard rows,
// even out. Its picture is complete or there is none. It finishes exactly once: with the
// renderers' result, with RendererFailed when a renderer could not start or stopped before its
// result, or with Stopped.
class RenderJob : public QObject
{
    Q_OBJECT

public:
    ~RenderJob() override;

    bool isFinished() const { return done; }
    // The whole result once finished: the picture, or why there is none.
    const RenderResult &result() const { return outcome; }

    // Kills the renderers at once, whatever the scripts are doing, and finishes as Stopped.
    // Does nothing once the job has finished.
    void stop();

signals:
    // The scripts' top level has run: the picture has rowCount rows.
    void started(int rowCount);
    // Rows done so far, on every twentieth of the picture.
    void progress(int row);
    void finished();

private:
    friend class RenderClient;
    struct Worker;
    struct Chunk
    {
        int first = 0;
        int last = 0;
        bool done = false;
    };

    // expectShared: the painting is likely to share its rows out, as the last one did.
    // ready: renderers started ahead, all with the same picture memory, the first for the first
    // process; those the render does not use are ended.
    RenderJob(const QString &program, const RenderRequest &request,
              const QList<RendererProcess *> &ready, bool expectShared, QObject *parent);

    void startWorker(int index, RendererProcess *process);
    void readFrom(Worker *worker);
    void handleMessage(Worker *worker, const QByteArray &content);
    void workerStarted(Worker *worker, const RenderProtocol::Started &message);
    void firstStarted(const RenderProtocol::Started &message);
    void shareRowsOut();
    void joinIn(Worker *worker);
    void dismiss(Worker *worker);
    void giveRows(Worker *worker);
    void rowsDone(Worker *worker);
    void workerProgress(Worker *worker, int row);
    void workerResult(Worker *worker, const QByteArray &content);
    void sizeDiffers();
    void workerEnded(Worker *worker, int exitCode, QProcess::ExitStatus status);
    void workerFailed(Worker *worker, const QString &reason);
    void fail(Worker *worker, const RenderResult &result);
    void settle();
    RenderResult takePicture();
    void finish(const RenderResult &result);
    void reportProgress();
    void killAll();

    QString program;
    RenderProtocol::Job job;
    std::shared_ptr<SharedPicture> picture;
    QList<Worker *> workers;
    int width = 0;
    int rowCount = 0;
    // The runs of rows, when they are shared out; those before nextChunk have been given out.
    QVector<Chunk> chunks;
    int nextChunk = 0;
    int rowsInDoneChunks = 0;
    // The first failure in row order, and the chunk it happened in: -1 when it came before any
    // pixel, or from the only renderer.
    bool failed = false;
    int failedChunk = 0;
    RenderResult failure;
    int progressInterval = 1;
    int nextProgress = 0;
    RenderResult outcome;
    bool done = false;
};

// Starts renderer processes, keeping one started ahead of time and waiting for its job, so that
// a render does not wait for a process to start nor for fresh memory for its picture.
class RenderClient : public QObject
{
    Q_OBJECT

public:
    // program: the renderer, by default pictoloom-render beside this program.
    explicit RenderClient(const QString &program = defaultProgram(), QObject *parent = nullptr);
    ~RenderClient() override;

    static QString defaultProgram();
    // How many processes a parallel render uses: one per core.
    static int coreCount();

    // Starts the renderer that the next render will take, and from then on keeps one started.
    void prepare();
    // The job is a child of this client; delete it when done with it. Its signals come from
    // the event loop, never from within this call.
    RenderJob *start(const RenderRequest &request);

private:
    void jobFinished(const RenderJob *job);

    QString program;
    QList<RendererProcess *> spares;
    bool keepingSpare = false;
    // Memory the spare sets up for its picture: as much as the last picture took.
    qint64 readyBytes = 0;
    bool lastShared = false;   // the last render shared its rows out
};

// Why a renderer process stopped, in words for the user.
QString rendererEndReason(int exitCode, QProcess::ExitStatus status);

#endif // RENDERCLIENT_H
