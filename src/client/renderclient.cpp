#include "client/renderclient.h"

#include "client/rendererprocess.h"
#include "core/apppath.h"
#include "protocol/sharedpicture.h"

#include <QThread>

namespace {

// A spare renderer sets up at most this much memory for a picture ahead of its job.
constexpr qint64 maxReadyBytes = qint64(64) << 20;

} // namespace

RenderClient::RenderClient(const QString &rendererProgram, QObject *parent)
    : QObject(parent)
    , program(rendererProgram)
{
}

RenderClient::~RenderClient()
{
    for (RendererProcess *spare : qAsConst(spares))
        RendererProcess::dismiss(spare);
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
            RendererProcess::dismiss(spare);
        spares.clear();
    }
    const int wanted = lastShared ? coreCount() : 1;
    while (spares.size() > wanted)
        RendererProcess::dismiss(spares.takeLast());
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
    if (job->result().outcome != RenderResult::Outcome::Stopped)
        lastShared = job->sharesRows();
    if (!image.isNull())
        readyBytes = qMin(qint64(image.sizeInBytes()), maxReadyBytes);
    prepare();
}
