#include "processrender.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

ProcessRender renderInProcess(const RenderRequest &request, int stopAfterMs)
{
    // One client for the whole test, as the window keeps one: each render takes the renderer
    // that the client started ahead while the previous one ran.
    static RenderClient *client = [] {
        auto *shared = new RenderClient(RenderClient::defaultProgram(), QCoreApplication::instance());
        shared->prepare();
        return shared;
    }();
    ProcessRender render;
    RenderJob *job = client->start(request);
    QObject::connect(job, &RenderJob::started, [&render](int rows) { render.started << rows; });
    QObject::connect(job, &RenderJob::progress, [&render](int row) { render.progress << row; });
    QEventLoop loop;
    QObject::connect(job, &RenderJob::finished, &loop, &QEventLoop::quit);
    QElapsedTimer sinceStop;
    if (stopAfterMs >= 0) {
        QTimer::singleShot(stopAfterMs, job, [job, &sinceStop] {
            sinceStop.start();
            job->stop();
        });
    }
    loop.exec();
    if (sinceStop.isValid())
        render.stopMs = sinceStop.elapsed();
    render.result = job->result();
    delete job;
    return render;
}

ProcessRender renderInProcess(const QString &stdlib, const QString &painting, int step)
{
    RenderRequest request;
    request.stdlibText = stdlib;
    request.paintingText = painting;
    request.step = step;
    return renderInProcess(request);
}
