#include "renderer/renderserver.h"

#include "client/rowscheduler.h"
#include "engine/scriptrenderer.h"
#include "protocol/sharedpicture.h"
#include "renderer/memorycap.h"

#include <cerrno>
#include <cstdio>

#include <sys/resource.h>
#include <unistd.h>

namespace {

// Between the twentieths of the picture, a slow render tells its rows this often at most, so
// that the window can draw them as they come.
constexpr int progressPauseMs = 30;

bool writeAll(const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t written = ::write(STDOUT_FILENO, data, size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

bool readAll(char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t count = ::read(STDIN_FILENO, data, size_t(size));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        data += count;
        size -= count;
    }
    return true;
}

// The picture's shared memory is a file to the system, though not one that anybody asked to
// write: a file size limit, such as a shell's ulimit -f, is not meant for it.
void liftFileSizeLimit()
{
    rlimit limit;
    if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
}

} // namespace

RenderServer::RenderServer(int memoryFile)
    : pictureFile(memoryFile)
{
}

RenderServer::~RenderServer() = default;

int RenderServer::serve()
{
    // Done while the renderer waits for its job, so that a job does not wait for it.
    MemoryCap::prepare();
    liftFileSizeLimit();
    picture = std::make_unique<SharedPictureRows>(pictureFile);
    QByteArray content;
    if (!readMessage(&content))
        return 0;
    RenderProtocol::Job message;
    if (!RenderProtocol::decode(content, &message)) {
        std::fprintf(stderr, "pictoloom-render: the job is not one of protocol version %d\n",
                     int(RenderProtocol::version));
        return 2;
    }
    handleJob(message);
}

void RenderServer::handleJob(const RenderProtocol::Job &message)
{
    job = message;
    // The first process does not know yet whether the rows will be shared out; the others
    // do not know yet how many processes take part.
    MemoryCap::shareAmong((job.process < 0 ? 1 : job.processesTogether) * job.memoryShare);
    // The other processes of a render render the rows that Rows messages give them.
    shared = job.process >= 0;
    ScriptRenderer renderer;
    renderer.chooseRows = [this](QSize size, bool parallel) { return chooseRows(size, parallel); };
    renderer.createImage = [this](int width, int rowCount) { return createImage(width, rowCount); };
    outbox = LineOutbox(job.linesCapped);
    renderer.onConsoleLine = [this](const ConsoleLine &line) { printed(line); };
    renderer.consoleWantsLines = [this] { return outbox.wantsLines(); };
    renderer.onConsoleLinesCounted = [this](qint64 lines) { printed(lines); };
    renderer.onStarted = [this](const RenderResult &sized) {
        started.frames = sized.frames;
        started.fps = sized.fps;
        sendLines();
        outbox.startPart();
        send(started);
    };
    renderer.onProgress = [this](int row, bool atInterval) {
        sendLines();
        reportRow(row, atInterval);
    };
    renderer.nextRows = [this] { return nextRows(); };
    renderer.frame = job.frame;
    renderer.frameRate = job.frameRate;
    renderer.expectedFrames = job.expectedFrames;
    renderer.expectedFps = job.expectedFps;
    renderer.topLevelOnly = job.topLevelOnly;
    renderer.inspectedPlace = job.inspectedPlace;
    renderer.scale = job.scale;
    renderer.samples = job.samples;
    RenderProtocol::Finished finished;
    finished.result = renderer.render(job.stdlibText, job.paintingText, job.step);
    sendLines();
    finished.imageSize = finished.result.image.size();
    send(finished);
    // The engine's teardown would only cost time: the process ends here.
    std::fflush(nullptr);
    _exit(0);
}

RowRange RenderServer::handleRows(const RenderProtocol::Rows &message)
{
    return message.rows;
}

RowRange RenderServer::chooseRows(QSize size, bool parallel)
{
    started.size = size;
    started.rows.first = qBound(0, job.rows.first, size.height());
    started.rows.last = qBound(started.rows.first, job.rows.last, size.height());
    if (job.process < 0) {
        started.shared = job.processCount > 1 && (parallel || job.shareAlways)
            && started.rows.count() > 1;
        shared = started.shared;
    }
    if (shared) {
        MemoryCap::shareAmong(
            RowScheduler::processesTakingPart(started.rows.count(), job.processCount)
            * job.memoryShare);
    }
    return started.rows;
}

// Each process makes room for all the rows, whichever comes first, and writes those it renders.
QImage RenderServer::createImage(int width, int rowCount)
{
    picture->reserve(pictureBytes(width, rowCount));
    return picture->rows(width, 0, rowCount);
}

RowRange RenderServer::nextRows()
{
    if (!shared) {
        const bool first = !rendering;
        rendering = true;
        return first ? started.rows : RowRange{};
    }
    if (rendering) {
        sendLines();
        send(RenderProtocol::RowsDone{});
    }
    rendering = true;
    outbox.startPart();
    QByteArray content;
    RenderProtocol::Rows message;
    if (!readMessage(&content) || !RenderProtocol::decode(content, &message))
        return RowRange{};
    return handleRows(message);
}

void RenderServer::printed(const ConsoleLine &line)
{
    // The first process tells what the top level printed; the others run it only to render.
    if (job.process >= 0 && !rendering)
        return;
    if (outbox.add(line))
        sendLines();
}

void RenderServer::printed(qint64 lineCount)
{
    if (job.process >= 0 && !rendering)
        return;
    outbox.count(lineCount);
}

void RenderServer::sendLines()
{
    if (!outbox.isEmpty())
        send(outbox.take());
}

void RenderServer::reportRow(int row, bool atInterval)
{
    if (!atInterval && sinceProgress.isValid() && sinceProgress.elapsed() < progressPauseMs)
        return;
    send(RenderProtocol::Progress{row});
    sinceProgress.start();
}

// The content of the next frame on standard input.
bool RenderServer::readMessage(QByteArray *content)
{
    QByteArray header(RenderProtocol::frameHeaderLength, Qt::Uninitialized);
    if (!readAll(header.data(), header.size()))
        return false;
    const qint64 length = RenderProtocol::contentLength(header);
    if (length > RenderProtocol::maxContentLength)
        return false;
    content->resize(int(length));
    return readAll(content->data(), content->size());
}

template<typename Message>
void RenderServer::send(const Message &message)
{
    const QByteArray frame = RenderProtocol::encode(message);
    writeAll(frame.constData(), frame.size());
}
