#include "render/renderclient.h"

#include "library/apppath.h"
#include "render/sharedpicture.h"

#include <QDir>
#include <QMetaObject>
#include <QThread>

#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

using Outcome = ScriptRenderer::Outcome;

namespace {

// The file descriptor under which a renderer finds the shared picture memory.
constexpr int pictureFileInRenderer = 3;
// A spare renderer sets up at most this much memory for a picture ahead of its job.
constexpr qint64 maxReadyBytes = qint64(64) << 20;

} // namespace

// A renderer process, with the memory its picture goes into.
class RendererProcess : public QProcess
{
public:
    RendererProcess(const QString &program, std::shared_ptr<SharedPicture> picture)
        : picture(std::move(picture))
    {
        setProcessChannelMode(QProcess::ForwardedErrorChannel);
        setProgram(program);
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

struct RenderJob::Band
{
    int index = 0;
    RendererProcess *process = nullptr;
    QByteArray pending;      // bytes read but not yet taken
    int firstRow = 0;        // the rows it renders, once it has started
    int lastRow = 0;
    int rowsDone = 0;
    bool resolved = false;
    ScriptRenderer::Result result;
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

RenderJob::RenderJob(const QString &program, const RenderRequest &request,
                     RendererProcess *firstProcess, QObject *parent)
    : QObject(parent)
    , program(program)
{
    job.stdlibText = request.stdlibText;
    job.paintingText = request.paintingText;
    job.step = request.step;
    job.firstRow = request.firstRow;
    job.lastRow = request.lastRow;
    job.bandCount = request.processes > 0 ? request.processes : RenderClient::coreCount();
    job.splitAlways = request.processes > 0;
    picture = firstProcess ? firstProcess->picture : std::make_shared<SharedPicture>();
    startBand(0, firstProcess);
}

RenderJob::~RenderJob()
{
    killAll();
    qDeleteAll(bands);
}

void RenderJob::startBand(int index, RendererProcess *process)
{
    auto *band = new Band;
    band->index = index;
    bands.append(band);
    // A renderer started ahead of time that has ended since cannot take the job.
    const bool fresh = !process || process->state() == QProcess::NotRunning;
    if (fresh) {
        delete process;
        process = new RendererProcess(program, picture);
    }
    process->setParent(this);
    band->process = process;
    connect(process, &QProcess::readyReadStandardOutput, this, [this, band] { readFrom(band); });
    connect(process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
            [this, band](int exitCode, QProcess::ExitStatus status) {
                // Whatever it wrote before it ended counts.
                readFrom(band);
                bandEnded(band, exitCode, status);
            });
    connect(process, &QProcess::errorOccurred, this, [this, band](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            bandFailed(band, tr("the renderer program %1 could not be started: %2")
                                 .arg(QDir::toNativeSeparators(this->program),
                                      band->process->errorString()));
        }
    });

    if (!picture->isValid()) {
        bandFailed(band, tr("the memory for its picture could not be set up (%1)")
                             .arg(picture->errorString()));
        return;
    }
    if (fresh)
        process->start();
    if (band->resolved)
        return;
    RenderProtocol::Job bandJob = job;
    bandJob.band = index == 0 ? -1 : index;
    process->write(RenderProtocol::encodeJob(bandJob));
}

void RenderJob::readFrom(Band *band)
{
    while (!band->resolved && !done) {
        const qint64 length = RenderProtocol::frameLength(band->pending);
        if (length < 0 || band->pending.size() < 4 + length) {
            const QByteArray more = band->process->readAllStandardOutput();
            if (more.isEmpty())
                return;
            band->pending += more;
            continue;
        }
        const QByteArray content = band->pending.mid(4, int(length));
        band->pending.remove(0, int(4 + length));
        handleMessage(band, content);
    }
}

void RenderJob::handleMessage(Band *band, const QByteArray &content)
{
    switch (RenderProtocol::messageType(content)) {
    case RenderProtocol::Message::Started:
        bandStarted(band, RenderProtocol::decodeStarted(content));
        return;
    case RenderProtocol::Message::Progress: {
        const int row = RenderProtocol::decodeProgress(content);
        if (bands.size() == 1) {
            emit progress(row);
            return;
        }
        band->rowsDone = qBound(0, row - band->firstRow, band->lastRow - band->firstRow);
        reportProgress();
        return;
    }
    case RenderProtocol::Message::Result:
        bandResult(band, content);
        return;
    }
    bandFailed(band, tr("it sent a message this program does not know"));
}

void RenderJob::bandStarted(Band *band, const RenderProtocol::Started &message)
{
    band->firstRow = message.firstRow;
    band->lastRow = message.lastRow;
    if (band->index != 0) {
        // Each band runs the scripts afresh; its rows fit the others' only if its size is the same.
        if (message.width != width || message.rowCount != rowCount)
            sizeDiffers();
        return;
    }
    width = message.width;
    rowCount = message.rowCount;
    // The first renderer has made the memory as large as the picture: mapped while the rows are
    // rendered, it is ready to show once they are.
    picture->map();
    progressInterval = qMax(1, rowCount / 20);
    job.firstRow = message.rangeFirst;
    job.lastRow = message.rangeLast;
    if (message.split) {
        for (int index = 1; index < job.bandCount; ++index)
            startBand(index, nullptr);
    }
    emit started(rowCount);
}

void RenderJob::bandResult(Band *band, const QByteArray &content)
{
    QSize imageSize;
    const ScriptRenderer::Result result = RenderProtocol::decodeResult(content, &imageSize);
    band->result = result;
    // A band whose picture could not be made at its size sends no Started message.
    const bool sized = result.outcome == Outcome::Picture || result.outcome == Outcome::TooLarge
        || result.outcome == Outcome::NoPixels;
    if (band->index != 0 && sized && result.size != QSize(width, rowCount)) {
        sizeDiffers();
        return;
    }
    if (result.outcome != Outcome::Picture) {
        band->resolved = true;
        settle();
        return;
    }
    const int bandRows = band->lastRow - band->firstRow;
    const bool fits = result.size == QSize(width, rowCount) && result.firstRow == band->firstRow
        && band->firstRow >= job.firstRow && band->lastRow <= job.lastRow
        && (bandRows == 0 || imageSize == QSize(width, bandRows));
    if (!fits) {
        bandFailed(band, tr("it sent a picture that does not fit the render"));
        return;
    }
    bandRendered(band);
}

void RenderJob::bandRendered(Band *band)
{
    band->resolved = true;
    band->rowsDone = band->lastRow - band->firstRow;
    if (bands.size() > 1)
        reportProgress();
    settle();
}

void RenderJob::sizeDiffers()
{
    ScriptRenderer::Result differs;
    differs.outcome = Outcome::ScriptError;
    differs.errorText = QStringLiteral("Error: the painting chose another picture size in each "
                                       "process of its parallel render");
    finish(differs);
}

void RenderJob::bandEnded(Band *band, int exitCode, QProcess::ExitStatus status)
{
    if (!band->resolved)
        bandFailed(band, rendererEndReason(exitCode, status));
}

void RenderJob::bandFailed(Band *band, const QString &reason)
{
    if (band->resolved)
        return;
    band->resolved = true;
    band->result = ScriptRenderer::Result();
    band->result.outcome = Outcome::RendererFailed;
    band->result.errorText = reason;
    settle();
}

// The first band in row order that did not make its picture decides, once every band above it
// has made its own: so a parallel render fails at the first failing pixel in row-major order,
// as one process would.
void RenderJob::settle()
{
    if (done)
        return;
    for (Band *band : qAsConst(bands)) {
        if (!band->resolved)
            return;
        if (band->result.outcome != Outcome::Picture) {
            finish(band->result);
            return;
        }
    }
    finish(takePicture());
}

ScriptRenderer::Result RenderJob::takePicture()
{
    ScriptRenderer::Result result = bands.first()->result;
    result.firstRow = job.firstRow;
    if (job.lastRow == job.firstRow)
        return result;
    SharedPicture::Failure failure;
    result.image = picture->takeImage(width, job.lastRow - job.firstRow, &failure);
    if (failure == SharedPicture::Failure::NoMemory) {
        result.outcome = Outcome::TooLarge;
    } else if (failure == SharedPicture::Failure::TooShort) {
        result.outcome = Outcome::RendererFailed;
        result.errorText = tr("its picture is missing rows");
    }
    return result;
}

void RenderJob::finish(const ScriptRenderer::Result &result)
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
    ScriptRenderer::Result stopped;
    stopped.outcome = Outcome::Stopped;
    finish(stopped);
}

void RenderJob::reportProgress()
{
    int total = 0;
    for (const Band *band : qAsConst(bands))
        total += band->rowsDone;
    if (total < nextProgress)
        return;
    nextProgress = (total / progressInterval + 1) * progressInterval;
    emit progress(total);
}

void RenderJob::killAll()
{
    for (Band *band : qAsConst(bands)) {
        QProcess *process = band->process;
        disconnect(process, nullptr, this, nullptr);
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(1000);
        }
    }
}

RenderClient::RenderClient(const QString &program, QObject *parent)
    : QObject(parent)
    , program(program)
{
}

RenderClient::~RenderClient()
{
    if (spare && spare->state() != QProcess::NotRunning) {
        spare->kill();
        spare->waitForFinished(1000);
    }
}

QString RenderClient::defaultProgram()
{
    return appRelativePath(QStringLiteral("pictoloom-render"));
}

int RenderClient::coreCount()
{
    return qMax(1, QThread::idealThreadCount());
}

void RenderClient::prepare()
{
    keepingSpare = true;
    if (spare && spare->state() != QProcess::NotRunning)
        return;
    delete spare;
    spare = new RendererProcess(program, std::make_shared<SharedPicture>(readyBytes));
    spare->setParent(this);
    // Without its memory it could not render: the job that takes it says why.
    if (spare->picture->isValid())
        spare->start();
}

RenderJob *RenderClient::start(const RenderRequest &request)
{
    RendererProcess *process = spare;
    spare = nullptr;
    auto *job = new RenderJob(program, request, process, this);
    // A client that renders once, as the command line does, has no use for a spare.
    if (keepingSpare)
        connect(job, &RenderJob::finished, this, [this, job] { jobFinished(job); });
    return job;
}

void RenderClient::jobFinished(const RenderJob *job)
{
    const QImage &image = job->result().image;
    if (!image.isNull())
        readyBytes = qMin(qint64(image.sizeInBytes()), maxReadyBytes);
    prepare();
}
