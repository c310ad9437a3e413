#include "app/pixelprobe.h"

#include "client/renderclient.h"

PixelProbe::PixelProbe(QObject *parent)
    : QObject(parent)
    , client(new RenderClient(RenderClient::defaultProgram(), this))
{
}

void PixelProbe::prepare()
{
    if (prepared)
        return;
    prepared = true;
    client->prepare();
}

void PixelProbe::inspect(const RenderTask &task, QPoint place)
{
    if (job) {
        job->disconnect(this);
        job->stop();
        job->deleteLater();
    }
    prepare();
    RenderRequest request = task.request;
    request.inspectedPlace = place;
    request.processes = 1;
    job = client->start(request);
    connect(job, &RenderJob::finished, this, [this, task, place] { jobFinished(task, place); });
}

void PixelProbe::jobFinished(const RenderTask &task, QPoint place)
{
    const RenderResult result = job->result();
    job->deleteLater();
    job = nullptr;
    emit inspected(place, result, RenderController::failureReport(task, result));
}
