#include "client/framejobs.h"

#include <algorithm>
#include <utility>

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
    jobs.append(FrameJob{job, 0});
    connect(job, &RenderJob::linesPrinted, this,
            [this](const QVector<ConsoleLine> &lines) { timingLines += lines; });
    connect(job, &RenderJob::finished, this, [this, job] {
        jobs.clear();
        job->deleteLater();
        timingFound(job->result());
    });
}

void FrameJobs::stop()
{
    running = false;
    for (const FrameJob &entry : qAsConst(jobs))
        drop(entry.job);
    jobs.clear();
    pending.clear();
    timingLines.clear();
    failedFrame = -1;
    failure = RenderResult();
}

void FrameJobs::drop(RenderJob *job)
{
    job->disconnect(this);
    job->stop();
    job->deleteLater();
}

void FrameJobs::timingFound(const RenderResult &result)
{
    const QVector<ConsoleLine> lines = std::exchange(timingLines, {});
    if (result.outcome != RenderResult::Outcome::Picture) {
        if (!lines.isEmpty())
            emit linesPrinted(0, lines);
        fail(0, result);
        return;
    }
    frames = result.frames;
    paintingFps = result.fps;
    firstSize = result.size;
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
    while (running && failedFrame < 0 && jobs.size() < concurrent && !pending.isEmpty()) {
        const int frame = pending.takeLast();
        RenderJob *job = client->start(frameRequest(frame));
        jobs.append(FrameJob{job, frame});
        connect(job, &RenderJob::linesPrinted, this,
                [this, frame](const QVector<ConsoleLine> &lines) { emit linesPrinted(frame, lines); });
        connect(job, &RenderJob::finished, this, [this, job, frame] { frameDone(job, frame); });
    }
    if (!running || !jobs.isEmpty() || !pending.isEmpty())
        return;
    if (failedFrame >= 0) {
        endFailed();
        return;
    }
    running = false;
    emit finished();
}

void FrameJobs::frameDone(RenderJob *job, int frame)
{
    jobs.erase(std::remove_if(jobs.begin(), jobs.end(),
                              [job](const FrameJob &entry) { return entry.job == job; }),
               jobs.end());
    job->deleteLater();
    const RenderResult &result = job->result();
    if (result.outcome != RenderResult::Outcome::Picture) {
        fail(frame, result);
        return;
    }
    emit frameRendered(frame, result);
    startMore();
}

// The frames before the failed one go on: one of them may fail first.
void FrameJobs::fail(int frame, const RenderResult &result)
{
    if (!running)
        return;
    if (failedFrame < 0 || orderOf(frame) < orderOf(failedFrame)) {
        failedFrame = frame;
        failure = result;
    }
    pending.clear();
    stopFramesAfter(failedFrame);
    if (jobs.isEmpty())
        endFailed();
}

void FrameJobs::stopFramesAfter(int frame)
{
    const int last = orderOf(frame);
    for (auto it = jobs.begin(); it != jobs.end();) {
        if (orderOf(it->frame) > last) {
            drop(it->job);
            it = jobs.erase(it);
        } else {
            ++it;
        }
    }
}

void FrameJobs::endFailed()
{
    const int frame = failedFrame;
    const RenderResult result = failure;
    stop();
    emit failed(frame, result);
    emit finished();
}
