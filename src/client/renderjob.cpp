#include "client/renderjob.h"

#include "client/rendererprocess.h"
#include "client/renderclient.h"
#include "client/rowscheduler.h"
#include "protocol/sharedpicture.h"

#include <QDir>
#include <QMetaObject>

#include <limits>

using Outcome = RenderResult::Outcome;

// One renderer process of the render.
struct RenderJob::Renderer
{
    int index = 0;           // 0 for the first, which runs the scripts first
    RendererProcess *process = nullptr;
    QByteArray pending;      // bytes read but not yet taken
    bool started = false;    // its scripts have run, and made a picture of this size:
    QSize size;
    bool out = false;        // it failed, finished or was dismissed: it has no more part
    RenderResult failure;    // why it failed, when it did before the rows were shared out
};

namespace {

// Drawing rows costs the window time, and more than about twenty times a second shows no more.
constexpr int rowsReadyPauseMs = 50;
// The first rows wait longer: a picture done by then is better shown at once, whole.
constexpr int firstRowsReadyPauseMs = 200;

RenderResult rendererFailure(const QString &reason)
{
    RenderResult failure;
    failure.outcome = Outcome::RendererFailed;
    failure.errorText = reason;
    return failure;
}

} // namespace

RenderJob::RenderJob(const QString &rendererProgram, const RenderRequest &request,
                     const QList<RendererProcess *> &ready, bool expectShared, QObject *parent)
    : QObject(parent)
    , program(rendererProgram)
{
    rowsReadyPause.setSingleShot(true);
    connect(&rowsReadyPause, &QTimer::timeout, this, &RenderJob::reportRows);
    job.stdlibText = request.stdlibText;
    job.paintingText = request.paintingText;
    job.step = request.step;
    job.scale = request.scale;
    job.samples = request.samples;
    job.rows = RowRange{request.firstRow, request.lastRow < 0 ? std::numeric_limits<int>::max()
                                                              : request.lastRow};
    const int asked = request.processes > 0 ? request.processes : RenderClient::coreCount();
    job.processCount = qBound(1, asked, RenderRequest::maxProcesses);
    job.shareAlways = request.processes > 0;
    job.frame = request.frame;
    job.frameRate = request.frameRate;
    job.expectedFrames = request.expectedFrames;
    job.expectedFps = request.expectedFps;
    job.topLevelOnly = request.topLevelOnly;
    job.memoryShare = request.memoryShare;
    job.linesCapped = !request.allLines;
    job.inspectedPlace = request.inspectedPlace;
    picture = ready.isEmpty() ? std::make_shared<SharedPicture>() : ready.first()->picture;
    processesTogether = processesToStartAhead(request, expectShared);
    for (int index = 0; index < processesTogether && !done; ++index)
        startRenderer(index, ready.value(index));
    for (int index = renderers.size(); index < ready.size(); ++index)
        RendererProcess::dismiss(ready.at(index));
}

// Started with the first, the other processes run their scripts while it runs its own. When
// it then turns out that the painting does not share its rows out, they are dismissed. Until
// the picture's rows are known, no more are started than cores could keep busy; the rest
// start once it is known how many can take rows.
int RenderJob::processesToStartAhead(const RenderRequest &request, bool expectShared) const
{
    const bool shareAhead = request.processes > 1 || (request.processes == 0 && expectShared);
    if (!shareAhead)
        return 1;
    int count = qMin(job.processCount, RenderClient::coreCount());
    if (request.lastRow >= 0)
        count = qMin(count, RowScheduler::processesTakingPart(job.rows.count(), job.processCount));
    return qMax(1, count);
}

RenderJob::~RenderJob()
{
    killAll();
    qDeleteAll(renderers);
}

void RenderJob::startRenderer(int index, RendererProcess *process)
{
    auto *renderer = new Renderer;
    renderer->index = index;
    renderers.append(renderer);
    // A renderer started ahead of time that has ended since cannot take the job.
    const bool fresh = !process || process->state() == QProcess::NotRunning;
    if (fresh) {
        delete process;
        process = new RendererProcess(program, picture);
    }
    process->setParent(this);
    renderer->process = process;
    connect(process, &QProcess::readyReadStandardOutput, this,
            [this, renderer] { readFrom(renderer); });
    connect(process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
            [this, renderer](int exitCode, QProcess::ExitStatus status) {
                // Whatever it wrote before it ended counts.
                readFrom(renderer);
                rendererEnded(renderer, exitCode, status);
            });
    connect(process, &QProcess::errorOccurred, this,
            [this, renderer](QProcess::ProcessError error) {
                if (error == QProcess::FailedToStart) {
                    rendererFailed(renderer,
                                   tr("the renderer program %1 could not be started: %2")
                                       .arg(QDir::toNativeSeparators(program),
                                            renderer->process->errorString()));
                }
            });

    if (!picture->isValid()) {
        rendererFailed(renderer, tr("the memory for its picture could not be set up (%1)")
                                     .arg(picture->errorString()));
        return;
    }
    if (fresh)
        process->start();
    if (renderer->out)
        return;
    RenderProtocol::Job rendererJob = job;
    rendererJob.process = index == 0 ? -1 : index;
    rendererJob.processesTogether = processesTogether;
    process->write(RenderProtocol::encode(rendererJob));
}

void RenderJob::readFrom(Renderer *renderer)
{
    QByteArray content;
    while (!renderer->out && !done) {
        switch (RenderProtocol::takeFrame(&renderer->pending, &content)) {
        case RenderProtocol::FrameState::Taken:
            handleMessage(renderer, content);
            break;
        case RenderProtocol::FrameState::Incomplete: {
            const QByteArray more = renderer->process->readAllStandardOutput();
            if (more.isEmpty())
                return;
            renderer->pending += more;
            break;
        }
        case RenderProtocol::FrameState::TooLong:
            rendererFailed(renderer, tr("it sent a message this program does not know"));
            return;
        }
    }
}

void RenderJob::handleMessage(Renderer *renderer, const QByteArray &content)
{
    using RenderProtocol::MessageType;
    switch (RenderProtocol::messageType(content)) {
    case MessageType::Started: {
        RenderProtocol::Started message;
        if (RenderProtocol::decode(content, &message)) {
            handleStarted(renderer, message);
            return;
        }
        break;
    }
    case MessageType::Progress: {
        RenderProtocol::Progress message;
        if (RenderProtocol::decode(content, &message)) {
            handleProgress(renderer, message);
            return;
        }
        break;
    }
    case MessageType::RowsDone: {
        RenderProtocol::RowsDone message;
        if (RenderProtocol::decode(content, &message) && sharesRows()) {
            handleRowsDone(renderer);
            return;
        }
        break;
    }
    case MessageType::Finished: {
        RenderProtocol::Finished message;
        if (RenderProtocol::decode(content, &message)) {
            handleFinished(renderer, message);
            return;
        }
        break;
    }
    case MessageType::Lines: {
        RenderProtocol::Lines message;
        if (RenderProtocol::decode(content, &message)) {
            handleLines(renderer, message);
            return;
        }
        break;
    }
    case MessageType::Job:
    case MessageType::Rows:
    case MessageType::Unknown:
        break;
    }
    rendererFailed(renderer, tr("it sent a message this program does not know"));
}

void RenderJob::handleStarted(Renderer *renderer, const RenderProtocol::Started &message)
{
    renderer->started = true;
    renderer->size = message.size;
    if (renderer->index == 0)
        firstStarted(message);
    else if (renderers.first()->started)
        joinIn(renderer);
}

void RenderJob::handleProgress(Renderer *renderer, const RenderProtocol::Progress &message)
{
    if (!sharesRows()) {
        renderedUpTo = qBound(renderedUpTo, message.row, rows.last);
        emit progress(message.row);
        reportRows();
        return;
    }
    scheduler->reachRow(renderer->index, message.row);
    reportProgress();
    reportRows();
}

void RenderJob::handleRowsDone(Renderer *renderer)
{
    scheduler->rangeDone(renderer->index);
    releaseLines();
    if (done)
        return;
    reportProgress();
    reportRows();
    giveRows(renderer);
    settle();
}

void RenderJob::handleFinished(Renderer *renderer, const RenderProtocol::Finished &message)
{
    const RenderResult &result = message.result;
    // A process whose picture could not be made at its size sends no Started message.
    const bool sized = result.outcome == Outcome::Picture || result.outcome == Outcome::TooLarge
        || result.outcome == Outcome::NoPixels;
    if (renderer->index != 0 && renderers.first()->started && sized
        && result.size != pictureSize) {
        sizeDiffers();
        return;
    }
    if (result.outcome != Outcome::Picture) {
        fail(renderer, result);
        return;
    }
    if (job.topLevelOnly || job.inspectedPlace.x() >= 0) {
        renderer->out = true;
        finish(result);
        return;
    }
    // With the rows shared out, the ranges done make the picture, and the processes are never
    // told to end on their own.
    const bool fits = !sharesRows() && renderer->started && result.size == pictureSize
        && result.firstRow == rows.first
        && (rows.isEmpty() || message.imageSize == QSize(pictureSize.width(), rows.count()));
    if (!fits) {
        rendererFailed(renderer, tr("it sent a picture that does not fit the render"));
        return;
    }
    renderer->out = true;
    finish(takePicture());
}

// Before the rows are shared out, only the first process prints: the others' top level is
// the same scripts run again.
void RenderJob::handleLines(Renderer *renderer, const RenderProtocol::Lines &message)
{
    if (sharesRows()) {
        scheduler->addLines(renderer->index, message.lines, message.unsent);
        releaseLines();
    } else if (renderer->index == 0) {
        deliverLines(message.lines, message.unsent);
    }
}

void RenderJob::firstStarted(const RenderProtocol::Started &message)
{
    pictureSize = message.size;
    rows = message.rows;
    renderedUpTo = readyUpTo = rows.first;
    sinceRowsReady.start();
    frames = message.frames;
    fps = message.fps;
    // The first renderer has made the memory as large as the picture: mapped while the rows are
    // rendered, it is ready to show once they are.
    picture->map();
    emit started(pictureSize.height());
    if (done)
        return;
    if (!message.shared) {
        for (int index = 1; index < renderers.size(); ++index)
            dismiss(renderers.at(index));
        return;
    }
    shareRowsOut();
}

void RenderJob::shareRowsOut()
{
    scheduler = std::make_unique<RowScheduler>(rows, pictureSize.height(), job.processCount);
    // As one process would, from the first row.
    reportProgress();
    giveRows(renderers.first());
    for (int index = 1; index < renderers.size() && !done; ++index) {
        Renderer *other = renderers.at(index);
        if (other->out)
            scheduler->fail(index, other->failure);
        else if (other->started)
            joinIn(other);
        else if (index >= scheduler->processCount())
            dismiss(other);
    }
    processesTogether = scheduler->processCount();
    for (int index = renderers.size(); index < scheduler->processCount() && !done; ++index)
        startRenderer(index, nullptr);
    settle();
}

// A process other than the first, once both have run their scripts.
void RenderJob::joinIn(Renderer *renderer)
{
    // Each process runs the scripts afresh; its rows fit the others' only if its size is the same.
    if (renderer->size != pictureSize)
        sizeDiffers();
    else if (renderer->index >= scheduler->processCount())
        dismiss(renderer);
    else
        giveRows(renderer);
}

void RenderJob::giveRows(Renderer *renderer)
{
    const RowRange range = scheduler->take(renderer->index);
    if (!range.isEmpty())
        renderer->process->write(RenderProtocol::encode(RenderProtocol::Rows{range}));
}

void RenderJob::dismiss(Renderer *renderer)
{
    renderer->out = true;
    disconnect(renderer->process, nullptr, this, nullptr);
    renderer->process->kill();
}

void RenderJob::sizeDiffers()
{
    RenderResult differs;
    differs.outcome = Outcome::ScriptError;
    differs.errorText = QStringLiteral("Error: the painting chose another picture size in each "
                                       "process of its parallel render");
    finish(differs);
}

void RenderJob::rendererEnded(Renderer *renderer, int exitCode, QProcess::ExitStatus status)
{
    if (!renderer->out)
        rendererFailed(renderer, RendererProcess::endReason(exitCode, status));
}

void RenderJob::rendererFailed(Renderer *renderer, const QString &reason)
{
    if (!renderer->out)
        fail(renderer, rendererFailure(reason));
}

void RenderJob::fail(Renderer *renderer, const RenderResult &failure)
{
    renderer->out = true;
    if (sharesRows()) {
        scheduler->fail(renderer->index, failure);
        settle();
    } else if (renderer->index == 0) {
        finish(failure);
    } else {
        // Before the rows are shared out, only the first process's failure counts.
        renderer->failure = failure;
    }
}

void RenderJob::settle()
{
    if (done || !sharesRows())
        return;
    switch (scheduler->state()) {
    case RowScheduler::State::Complete:
        finish(takePicture());
        break;
    case RowScheduler::State::Failed:
        finish(scheduler->failure());
        break;
    case RowScheduler::State::Rendering:
        break;
    }
}

void RenderJob::reportProgress()
{
    const int row = scheduler->progressDue();
    if (row >= 0)
        emit progress(row);
}

void RenderJob::releaseLines()
{
    for (const ConsoleLines &part : scheduler->takeFinalLines())
        deliverLines(part.lines, part.dropped);
}

void RenderJob::deliverLines(const QVector<ConsoleLine> &lines, qint64 unsent)
{
    const int held = printed.append(lines, unsent);
    if (!job.linesCapped && !lines.isEmpty())
        emit linesPrinted(lines);
    else if (held > 0)
        emit linesPrinted(held == lines.size() ? lines : lines.mid(0, held));
}

// Rows that come during the pause after a rowsReady() wait for its end.
void RenderJob::reportRows()
{
    if (done)
        return;
    const qint64 pauseLeft = (anyRowsReady ? rowsReadyPauseMs : firstRowsReadyPauseMs)
        - sinceRowsReady.elapsed();
    if (pauseLeft > 0) {
        if (!rowsReadyPause.isActive())
            rowsReadyPause.start(int(pauseLeft));
        return;
    }
    QVector<RowRange> fresh;
    if (sharesRows()) {
        fresh = scheduler->takeRowsRendered();
    } else if (renderedUpTo > readyUpTo) {
        fresh.append(RowRange{readyUpTo, renderedUpTo});
        readyUpTo = renderedUpTo;
    }
    if (fresh.isEmpty())
        return;
    sinceRowsReady.start();
    anyRowsReady = true;
    for (const RowRange &range : qAsConst(fresh)) {
        emit rowsReady(range);
        if (done)
            return;
    }
}

QImage RenderJob::renderedRows(const RowRange &range) const
{
    if (done || range.first < rows.first || range.last > rows.last || range.isEmpty())
        return QImage();
    return picture->mappedRows(pictureSize.width(), range.first - rows.first, range.count());
}

RenderResult RenderJob::takePicture()
{
    RenderResult result;
    result.outcome = Outcome::Picture;
    result.size = pictureSize;
    result.firstRow = rows.first;
    result.frames = frames;
    result.fps = fps;
    if (rows.isEmpty())
        return result;
    SharedPicture::Failure missing;
    result.image = picture->takeImage(pictureSize.width(), rows.count(), &missing);
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
    // Whatever the failure or the stop leaves final; a receiver of the lines may stop the job.
    if (sharesRows())
        releaseLines();
    if (done)
        return;
    done = true;
    finalResult = result;
    finalResult.console = printed;
    if (finalResult.outcome != Outcome::Picture)
        finalResult.image = QImage();
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

void RenderJob::killAll()
{
    for (Renderer *renderer : qAsConst(renderers)) {
        disconnect(renderer->process, nullptr, this, nullptr);
        renderer->process->end();
    }
}
