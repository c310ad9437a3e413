#include "client/framejobs.h"

#include <algorithm>

FrameJobs::FrameJobs(RenderClient *renderClient, const RenderRequest &stillRequest,
                     int concurrentFrames, double frameRate, QObject *parent)
    : QObject(parent)
    , client(renderClient)
    , still(stillRequest)
    , concurrent(qMax(1, concurrentFrames))
    , rateOverride(frameRate)
{
}

FrameJobs::~FrameJobs()
{
    stop();
}

void FrameJobs::start(const QVector<int> &frameList)
{
    stop();
    pending = frameList;
    std::reverse(pending.begin(), pending.end());
    wholeAnimation = frameList.isEmpty();
    running = true;
    RenderRequest timing = still;
    timing.frame = 0;
    timing.topLevelOnly = true;
    timing.processes = 1;
    RenderJob *job = client->start(timing);
    jobs.append(job);
    connect(job, &RenderJob::finished, this, [this, job] {
        jobs.removeOne(job);
        job->deleteLater();
        timingFound(job->result());
    });
}

void FrameJobs::stop()
{
    running = false;
    for (RenderJob *job : qAsConst(jobs)) {
        job->disconnect(this);
        job->stop();
        job->deleteLater();
    }
    jobs.clear();
    pending.clear();
}

void FrameJobs::timingFound(const RenderResult &result)
{
    if (result.outcome != RenderResult::Outcome::Picture) {
        fail(0, result);
        return;
    }
    frames = result.frames;
    paintingFps = result.fps;
    if (wholeAnimation) {
        for (int frame = frames - 1; frame >= 0; --frame)
            pending.append(frame);
    }
    if (wanted)
        pending.erase(std::remove_if(pending.begin(), pending.end(),
                                     [this](int frame) { return !wanted(frame); }),
                      pending.end());
    frameTotal = pending.size();
    planned = pending;
    std::reverse(planned.begin(), planned.end());
    emit timingKnown(frames, paintingFps);
    if (running)
        startMore();
}

RenderRequest FrameJobs::frameRequest(int frame) const
{
    RenderRequest request = still;
    request.frame = frame;
    request.frameRate = rateOverride > 0 ? rateOverride : paintingFps;
    request.expectedFrames = frames;
    request.expectedFps = paintingFps;
    // A frame alone renders as a still does; frames rendered at once take a process each.
    request.processes = frameTotal > 1 ? 1 : still.processes;
    request.memoryShare = qMin(concurrent, frameTotal);
    return request;
}

void FrameJobs::startMore()
{
    while (running && jobs.size() < concurrent && !pending.isEmpty()) {
        const int frame = pending.takeLast();
        RenderJob *job = client->start(frameRequest(frame));
        jobs.append(job);
        connect(job, &RenderJob::finished, this, [this, job, frame] { frameDone(job, frame); });
    }
    if (running && jobs.isEmpty() && pending.isEmpty()) {
        running = false;
        emit finished();
    }
}

void FrameJobs::frameDone(RenderJob *job, int frame)
{
    jobs.removeOne(job);
    job->deleteLater();
    const RenderResult &result = job->result();
    if (result.outcome != RenderResult::Outcome::Picture) {
        fail(frame, result);
        return;
    }
    emit frameRendered(frame, result);
    startMore();
}

void FrameJobs::fail(int frame, const RenderResult &result)
{
    if (!running)
        return;
    stop();
    emit failed(frame, result);
    emit finished();
}
