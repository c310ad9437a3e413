#include "client/renderclient.h"

#include "core/apppath.h"
#include "protocol/sharedpicture.h"

#include <QDir>
#include <QMetaObject>
#include <QThread>

#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

using Outcome = RenderResult::Outcome;

namespace {

// The file descriptor under which a renderer finds the shared picture memory.
constexpr int pictureFileInRenderer = 3;
// A spare renderer sets up at most this much memory for a picture ahead of its job.
constexpr qint64 maxReadyBytes = qint64(64) << 20;

// Ends a process at once, whatever it is doing.
void endProcess(QProcess *process)
{
    if (process->state() != QProcess::NotRunning) {
        process->kill();
        process->waitForFinished(1000);
    }
}

void dismissProcess(QProcess *process)
{
    endProcess(process);
    delete process;
}

} // namespace

// A renderer process, with the memory its picture goes into.
class RendererProcess : public QProcess
{
public:
    RendererProcess(const QString &rendererProgram, std::shared_ptr<SharedPicture> memory)
        : picture(std::move(memory))
    {
        setProcessChannelMode(QProcess::ForwardedErrorChannel);
        setProgram(rendererProgram);
        setArguments({QStringLiteral("--serve"), QString::number(pictureFileInRenderer)});
    }

    const std::shared_ptr<SharedPicture> picture;

protected:
    // Runs in the child between fork and exec, where only async-signal-safe calls may be made.
    void setupChildProcess() override
    {
        const int file = picture->fileDescriptor();
        if (file < 0)
            return;
        if (file == pictureFileInRenderer)
            fcntl(file, F_SETFD, 0);
        else
            dup2(file, pictureFileInRenderer);
    }
};

// One renderer process of the render.
struct RenderJob::Worker
{
    int index = 0;
    RendererProcess *process = nullptr;
    QByteArray pending;    // bytes read but not yet taken
    bool started = false;  // its scripts have run, and made a picture of this size:
    QSize size;
    int chunk = -1;        // the run of rows it renders, when they are shared out
    int rowsInChunk = 0;   // of which it has done this many
    bool out = false;      // it failed or sent its result: it has no more part in the render
};

namespace {

QString signalName(int signal)
{
    const char *abbreviation = sigabbrev_np(signal);
    const QString name = abbreviation ? QStringLiteral("SIG") + QLatin1String(abbreviation)
                                      : QString::number(signal);
    const char *description = strsignal(signal);
    return description ? QStringLiteral("%1 (%2)").arg(name, QString::fromLocal8Bit(description))
                       : name;
}

} // namespace

QString rendererEndReason(int exitCode, QProcess::ExitStatus status)
{
    if (status == QProcess::CrashExit)
        return RenderJob::tr("it was ended by the signal %1").arg(signalName(exitCode));
    if (exitCode == RenderProtocol::outOfMemoryExitCode)
        return RenderJob::tr("it ran out of memory (a render may use at most half of this "
                             "computer's memory)");
    return RenderJob::tr("it exited with the code %1").arg(exitCode);
}

RenderJob::RenderJob(const QString &rendererProgram, const RenderRequest &request,
                     const QList<RendererProcess *> &ready, bool expectShared, QObject *parent)
    : QObject(parent)
    , program(rendererProgram)
{
    job.stdlibText = request.stdlibText;
    job.paintingText = request.paintingText;
    job.step = request.step;
    job.firstRow = request.firstRow;
    job.lastRow = request.lastRow;
    job.processCount = request.processes > 0 ? request.processes : RenderClient::coreCount();
    job.shareAlways = request.processes > 0;
    picture = ready.isEmpty() ? std::make_shared<SharedPicture>() : ready.first()->picture;
    startWorker(0, ready.value(0));
    // Started with the first, the other processes run their scripts while it runs its own. When
    // it then turns out that the painting does not share its rows out, they are dismissed.
    if (!done && (request.processes > 1 || (request.processes == 0 && expectShared))) {
        for (int index = 1; index < job.processCount; ++index)
            startWorker(index, ready.value(index));
    }
    for (int index = workers.size(); index < ready.size(); ++index)
        dismissProcess(ready.at(index));
}

RenderJob::~RenderJob()
{
    killAll();
    qDeleteAll(workers);
}

void RenderJob::startWorker(int index, RendererProcess *process)
{
    auto *worker = new Worker;
    worker->index = index;
    workers.append(worker);
    // A renderer started ahead of time that has ended since cannot take the job.
    const bool fresh = !process || process->state() == QProcess::NotRunning;
    if (fresh) {
        delete process;
        process = new RendererProcess(program, picture);
    }
    process->setParent(this);
    worker->process = process;
    connect(process, &QProcess::readyReadStandardOutput, this, [this, worker] { readFrom(worker); });
    connect(process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
            [this, worker](int exitCode, QProcess::ExitStatus status) {
                // Whatever it wrote before it ended counts.
                readFrom(worker);
                workerEnded(worker, exitCode, status);
            });
    connect(process, &QProcess::errorOccurred, this, [this, worker](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            workerFailed(worker, tr("the renderer program %1 could not be started: %2")
                                     .arg(QDir::toNativeSeparators(this->program),
                                          worker->process->errorString()));
        }
    });

    if (!picture->isValid()) {
        workerFailed(worker, tr("the memory for its picture could not be set up (%1)")
                                 .arg(picture->errorString()));
        return;
    }
    if (fresh)
        process->start();
    if (worker->out)
        return;
    RenderProtocol::Job workerJob = job;
    workerJob.process = index == 0 ? -1 : index;
    process->write(RenderProtocol::encodeJob(workerJob));
}

void RenderJob::readFrom(Worker *worker)
{
    while (!worker->out && !done) {
        const qint64 length = RenderProtocol::frameLength(worker->pending);
        if (length < 0 || worker->pending.size() < 4 + length) {
            const QByteArray more = worker->process->readAllStandardOutput();
            if (more.isEmpty())
                return;
            worker->pending += more;
            continue;
        }
        const QByteArray content = worker->pending.mid(4, int(length));
        worker->pending.remove(0, int(4 + length));
        handleMessage(worker, content);
    }
}

void RenderJob::handleMessage(Worker *worker, const QByteArray &content)
{
    switch (RenderProtocol::messageType(content)) {
    case RenderProtocol::Message::Started:
        workerStarted(worker, RenderProtocol::decodeStarted(content));
        return;
    case RenderProtocol::Message::Progress:
        workerProgress(worker, RenderProtocol::decodeProgress(content));
        return;
    case RenderProtocol::Message::RowsDone:
        rowsDone(worker);
        return;
    case RenderProtocol::Message::Result:
        workerResult(worker, content);
        return;
    case RenderProtocol::Message::Rows:
        break;
    }
    workerFailed(worker, tr("it sent a message this program does not know"));
}

void RenderJob::workerStarted(Worker *worker, const RenderProtocol::Started &message)
{
    worker->started = true;
    worker->size = QSize(message.width, message.rowCount);
    if (worker->index == 0)
        firstStarted(message);
    else if (workers.first()->started)
        joinIn(worker);
}

void RenderJob::firstStarted(const RenderProtocol::Started &message)
{
    width = message.width;
    rowCount = message.rowCount;
    progressInterval = qMax(1, rowCount / 20);
    job.firstRow = message.rangeFirst;
    job.lastRow = message.rangeLast;
    // The first renderer has made the memory as large as the picture: mapped while the rows are
    // rendered, it is ready to show once they are.
    picture->map();
    if (message.shared)
        shareRowsOut();
    for (int index = 1; index < workers.size() && !done; ++index) {
        Worker *other = workers.at(index);
        if (!message.shared)
            dismiss(other);
        else if (other->started)
            joinIn(other);
    }
    if (done)
        return;
    for (int index = workers.size(); index < qMin(job.processCount, chunks.size()); ++index)
        startWorker(index, nullptr);
    emit started(rowCount);
}

// Small runs even the processes out; too small ones would cost more in messages than they save.
void RenderJob::shareRowsOut()
{
    const int rows = job.lastRow - job.firstRow;
    const int count = qMin(rows, job.processCount * 8);
    for (int i = 0; i < count; ++i) {
        Chunk chunk;
        chunk.first = job.firstRow + int(qint64(rows) * i / count);
        chunk.last = job.firstRow + int(qint64(rows) * (i + 1) / count);
        chunks.append(chunk);
    }
    // As one process would, from the first row.
    reportProgress();
    giveRows(workers.first());
}

// A process other than the first, once both have run their scripts.
void RenderJob::joinIn(Worker *worker)
{
    // Each process runs the scripts afresh; its rows fit the others' only if its size is the same.
    if (worker->size != QSize(width, rowCount))
        sizeDiffers();
    else
        giveRows(worker);
}

void RenderJob::dismiss(Worker *worker)
{
    worker->out = true;
    disconnect(worker->process, nullptr, this, nullptr);
    worker->process->kill();
}

// Rows are given out in order, so every run above a failure has been given out.
void RenderJob::giveRows(Worker *worker)
{
    if (failed || nextChunk >= chunks.size())
        return;
    worker->chunk = nextChunk++;
    worker->rowsInChunk = 0;
    const Chunk &chunk = chunks.at(worker->chunk);
    worker->process->write(RenderProtocol::encodeRows(chunk.first, chunk.last));
}

void RenderJob::rowsDone(Worker *worker)
{
    if (worker->chunk < 0) {
        workerFailed(worker, tr("it sent a message this program does not know"));
        return;
    }
    Chunk &chunk = chunks[worker->chunk];
    chunk.done = true;
    rowsInDoneChunks += chunk.last - chunk.first;
    worker->chunk = -1;
    worker->rowsInChunk = 0;
    reportProgress();
    giveRows(worker);
    settle();
}

void RenderJob::workerProgress(Worker *worker, int row)
{
    if (chunks.isEmpty()) {
        emit progress(row);
        return;
    }
    if (worker->chunk < 0)
        return;
    const Chunk &chunk = chunks.at(worker->chunk);
    worker->rowsInChunk = qBound(0, row - chunk.first, chunk.last - chunk.first);
    reportProgress();
}

void RenderJob::workerResult(Worker *worker, const QByteArray &content)
{
    QSize imageSize;
    const RenderResult result = RenderProtocol::decodeResult(content, &imageSize);
    // A process whose picture could not be made at its size sends no Started message.
    const bool sized = result.outcome == Outcome::Picture || result.outcome == Outcome::TooLarge
        || result.outcome == Outcome::NoPixels;
    if (worker->index != 0 && workers.first()->started && sized
        && result.size != QSize(width, rowCount)) {
        sizeDiffers();
        return;
    }
    if (result.outcome != Outcome::Picture) {
        fail(worker, result);
        return;
    }
    // With the rows shared out, the runs done make the picture, and the processes are never
    // told to end on their own.
    const int rows = job.lastRow - job.firstRow;
    const bool fits = chunks.isEmpty() && result.size == QSize(width, rowCount)
        && result.firstRow == job.firstRow && (rows == 0 || imageSize == QSize(width, rows));
    if (!fits) {
        workerFailed(worker, tr("it sent a picture that does not fit the render"));
        return;
    }
    worker->out = true;
    finish(takePicture());
}

void RenderJob::sizeDiffers()
{
    RenderResult differs;
    differs.outcome = Outcome::ScriptError;
    differs.errorText = QStringLiteral("Error: the painting chose another picture size in each "
                                       "process of its parallel render");
    finish(differs);
}

void RenderJob::workerEnded(Worker *worker, int exitCode, QProcess::ExitStatus status)
{
    if (!worker->out)
        workerFailed(worker, rendererEndReason(exitCode, status));
}

void RenderJob::workerFailed(Worker *worker, const QString &reason)
{
    if (worker->out)
        return;
    RenderResult stopped;
    stopped.outcome = Outcome::RendererFailed;
    stopped.errorText = reason;
    fail(worker, stopped);
}

void RenderJob::fail(Worker *worker, const RenderResult &result)
{
    worker->out = true;
    // The first process renders every row that the others do not take: another one that
    // holds none leaves them to the rest.
    if (worker->index != 0 && worker->chunk < 0)
        return;
    if (!failed || worker->chunk < failedChunk) {
        failed = true;
        failedChunk = worker->chunk;
        failure = result;
    }
    settle();
}

// A failure decides once every run of rows above it has been rendered: so a render whose rows
// are shared out fails at the first failing pixel in row-major order, as one process would.
void RenderJob::settle()
{
    if (done)
        return;
    int doneBefore = 0;
    while (doneBefore < chunks.size() && chunks.at(doneBefore).done)
        ++doneBefore;
    if (failed) {
        if (doneBefore >= failedChunk)
            finish(failure);
        return;
    }
    if (!chunks.isEmpty() && doneBefore == chunks.size())
        finish(takePicture());
}

RenderResult RenderJob::takePicture()
{
    RenderResult result;
    result.outcome = Outcome::Picture;
    result.size = QSize(width, rowCount);
    result.firstRow = job.firstRow;
    if (job.lastRow == job.firstRow)
        return result;
    SharedPicture::Failure missing;
    result.image = picture->takeImage(width, job.lastRow - job.firstRow, &missing);
    if (missing == SharedPicture::Failure::NoMemory) {
        result.outcome = Outcome::TooLarge;
    } else if (missing == SharedPicture::Failure::TooShort) {
        result.outcome = Outcome::RendererFailed;
        result.errorText = tr("its picture is missing rows");
    }
    return result;
}

void RenderJob::finish(const RenderResult &result)
{
    if (done)
        return;
    done = true;
    outcome = result;
    if (outcome.outcome != Outcome::Picture)
        outcome.image = QImage();
    killAll();
    QMetaObject::invokeMethod(this, &RenderJob::finished, Qt::QueuedConnection);
}

void RenderJob::stop()
{
    if (done)
        return;
    RenderResult stopped;
    stopped.outcome = Outcome::Stopped;
    finish(stopped);
}

void RenderJob::reportProgress()
{
    int total = rowsInDoneChunks;
    for (const Worker *worker : qAsConst(workers))
        total += worker->chunk >= 0 ? worker->rowsInChunk : 0;
    // As from one process, which reports the row of the picture it is about to render: counted
    // from the first row it renders, and never the end.
    if (total < nextProgress || total >= job.lastRow - job.firstRow)
        return;
    nextProgress = (total / progressInterval + 1) * progressInterval;
    emit progress(job.firstRow + total);
}

void RenderJob::killAll()
{
    for (Worker *worker : qAsConst(workers)) {
        disconnect(worker->process, nullptr, this, nullptr);
        endProcess(worker->process);
    }
}

RenderClient::RenderClient(const QString &rendererProgram, QObject *parent)
    : QObject(parent)
    , program(rendererProgram)
{
}

RenderClient::~RenderClient()
{
    for (RendererProcess *spare : qAsConst(spares))
        dismissProcess(spare);
}

QString RenderClient::defaultProgram()
{
    return appRelativePath(QStringLiteral("pictoloom-render"));
}

int RenderClient::coreCount()
{
    return qMax(1, QThread::idealThreadCount());
}

// One renderer, or one per core after a render that shared its rows out; all of them write
// into the same memory, so that they can render one picture together.
void RenderClient::prepare()
{
    keepingSpare = true;
    if (!spares.isEmpty() && spares.first()->state() == QProcess::NotRunning) {
        for (RendererProcess *spare : qAsConst(spares))
            dismissProcess(spare);
        spares.clear();
    }
    const int wanted = lastShared ? coreCount() : 1;
    while (spares.size() > wanted)
        dismissProcess(spares.takeLast());
    while (spares.size() < wanted) {
        auto picture = spares.isEmpty() ? std::make_shared<SharedPicture>(readyBytes)
                                        : spares.first()->picture;
        auto *spare = new RendererProcess(program, picture);
        spare->setParent(this);
        // Without its memory it could not render: the job that takes it says why.
        if (picture->isValid())
            spare->start();
        spares.append(spare);
    }
}

RenderJob *RenderClient::start(const RenderRequest &request)
{
    const QList<RendererProcess *> ready = spares;
    spares.clear();
    auto *job = new RenderJob(program, request, ready, lastShared, this);
    // A client that renders once, as the command line does, has no use for a spare.
    if (keepingSpare)
        connect(job, &RenderJob::finished, this, [this, job] { jobFinished(job); });
    return job;
}

void RenderClient::jobFinished(const RenderJob *job)
{
    const QImage &image = job->result().image;
    if (job->result().outcome != Outcome::Stopped)
        lastShared = !job->chunks.isEmpty();
    if (!image.isNull())
        readyBytes = qMin(qint64(image.sizeInBytes()), maxReadyBytes);
    prepare();
}
