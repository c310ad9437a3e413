#include "app/animationplayer.h"

#include "app/timeline.h"
#include "client/framejobs.h"
#include "client/renderclient.h"

#include <QSignalBlocker>
#include <QTimer>
#include <QVector>

#include <cmath>

using Purpose = RenderTask::Purpose;
using Outcome = RenderResult::Outcome;

AnimationPlayer::AnimationPlayer(Timeline *timelineRow, RenderController *controller,
                                 QObject *parent, qint64 keptBytes)
    : QObject(parent)
    , timeline(timelineRow)
    , renders(controller)
    , client(new RenderClient(RenderClient::defaultProgram(), this))
    , ticker(new QTimer(this))
    , kept(keptBytes)
{
    ticker->setSingleShot(true);
    ticker->setTimerType(Qt::PreciseTimer);
    connect(ticker, &QTimer::timeout, this, &AnimationPlayer::tick);
    connect(timeline, &Timeline::playPauseClicked, this, &AnimationPlayer::togglePlaying);
    connect(timeline, &Timeline::frameChosen, this, &AnimationPlayer::showFrame);
    connect(renders, &RenderController::started, this, &AnimationPlayer::renderStarted);
    connect(renders, &RenderController::pictureShown, this, &AnimationPlayer::pictureShown);
    connect(renders, &RenderController::finished, this, &AnimationPlayer::renderFinished);
    timeline->hide();
}

// The window that listens may be half gone: nothing more is said.
AnimationPlayer::~AnimationPlayer()
{
    const QSignalBlocker blocker(this);
    stopRendering();
}

bool AnimationPlayer::isBusy() const
{
    return playing || jobs || single;
}

void AnimationPlayer::togglePlaying()
{
    if (!isAnimated())
        return;
    if (playing)
        pause();
    else
        play();
}

void AnimationPlayer::play()
{
    playing = true;
    timeline->setPlaying(true);
    nextFrame = following(current);
    clock.start();
    nextDueNs = frameNs();
    renderAhead();
    scheduleTick();
    updateBusy();
}

// The frames under way are of no more use than frames not yet asked for.
void AnimationPlayer::pause()
{
    playing = false;
    ticker->stop();
    timeline->setPlaying(false);
    stopRendering();
}

void AnimationPlayer::stop()
{
    pause();
}

void AnimationPlayer::clear()
{
    stop();
    kept.clear();
    frameCount = 1;
    current = 0;
    timeline->hide();
}

qint64 AnimationPlayer::frameNs() const
{
    return qint64(std::llround(1e9 / fps));
}

void AnimationPlayer::tick()
{
    if (!playing)
        return;
    const qint64 now = clock.nsecsElapsed();
    if (now < nextDueNs) {
        scheduleTick();
        return;
    }
    if (!kept.contains(nextFrame)) {
        // The frame shows as soon as it is ready (frameRendered), and the time goes on from
        // there.
        renderAhead();
        return;
    }
    display(nextFrame);
    nextFrame = following(nextFrame);
    nextDueNs += frameNs();
    // More than a frame late, after a wait for a frame or a busy moment: the frames that
    // follow keep their pace from now rather than rush to catch up.
    if (nextDueNs < now)
        nextDueNs = now + frameNs();
    if (kept.count() < frameCount)
        renderAhead();
    scheduleTick();
}

void AnimationPlayer::scheduleTick()
{
    const qint64 waitNs = nextDueNs - clock.nsecsElapsed();
    ticker->start(waitNs > 0 ? int((waitNs + 999999) / 1000000) : 0);
}

void AnimationPlayer::display(int frame)
{
    current = frame;
    renders->showFrame(kept.frame(frame), kept.lines(frame), task.request.step);
    timeline->setFrame(frame);
    emit frameShown(frame);
}

// The frames not kept among those that play next, as many as can be kept, render together.
void AnimationPlayer::renderAhead()
{
    if (!playing || jobs || isTextRendering())
        return;
    QVector<int> missing;
    int frame = nextFrame;
    for (int i = 0; i < lookahead; ++i, frame = following(frame)) {
        if (!kept.contains(frame))
            missing.append(frame);
    }
    if (missing.isEmpty())
        return;
    asked = QSet<int>(missing.cbegin(), missing.cend());
    RenderRequest still = task.request;
    still.frame = 0;
    jobs = new FrameJobs(client, still, RenderClient::coreCount(), 0, this);
    connect(jobs, &FrameJobs::frameRendered, this, &AnimationPlayer::frameRendered);
    connect(jobs, &FrameJobs::failed, this, &AnimationPlayer::framesFailed);
    connect(jobs, &FrameJobs::finished, this, &AnimationPlayer::framesFinished);
    jobs->start(missing);
    updateBusy();
}

bool AnimationPlayer::isTextRendering() const
{
    return renders->isRunning(Purpose::Preview) || renders->isRunning(Purpose::Live);
}

void AnimationPlayer::stopRendering()
{
    if (jobs) {
        jobs->disconnect(this);
        jobs->stop();
        jobs->deleteLater();
        jobs = nullptr;
    }
    asked.clear();
    if (single) {
        single->disconnect(this);
        single->stop();
        single->deleteLater();
        single = nullptr;
    }
    updateBusy();
}

void AnimationPlayer::frameRendered(int frame, const RenderResult &result)
{
    asked.remove(frame);
    kept.insert(frame, result.image, result.console);
    if (playing && frame == nextFrame && !ticker->isActive())
        tick();
}

void AnimationPlayer::framesFailed(int frame, const RenderResult &result)
{
    const RenderResult failure = result;
    stop();
    renders->showFrameFailure(task, frame, failure);
}

void AnimationPlayer::framesFinished()
{
    jobs->deleteLater();
    jobs = nullptr;
    asked.clear();
    renderAhead();
    updateBusy();
}

void AnimationPlayer::showFrame(int frame)
{
    if (!isAnimated())
        return;
    frame = qBound(0, frame, frameCount - 1);
    timeline->setFrame(frame);
    if (playing) {
        nextFrame = frame;
        nextDueNs = clock.nsecsElapsed();
        if (!kept.contains(frame) && !asked.contains(frame)) {
            stopRendering();
            renderAhead();
        }
        ticker->stop();
        tick();
        return;
    }
    if (kept.contains(frame)) {
        display(frame);
        return;
    }
    current = frame;
    renderOne(frame);
}

RenderRequest AnimationPlayer::frameRequest(int frame) const
{
    RenderRequest request = task.request;
    request.frame = frame;
    request.frameRate = fps;
    request.expectedFrames = frameCount;
    request.expectedFps = fps;
    request.topLevelOnly = false;
    return request;
}

// The frame the user chose replaces one chosen before that is still rendering.
void AnimationPlayer::renderOne(int frame)
{
    if (single) {
        single->disconnect(this);
        single->stop();
        single->deleteLater();
    }
    singleFrame = frame;
    single = client->start(frameRequest(frame));
    connect(single, &RenderJob::finished, this, &AnimationPlayer::oneFinished);
    updateBusy();
}

void AnimationPlayer::oneFinished()
{
    const RenderResult result = single->result();
    single->deleteLater();
    single = nullptr;
    updateBusy();
    if (result.outcome != Outcome::Picture) {
        renders->showFrameFailure(task, singleFrame, result);
        return;
    }
    kept.insert(singleFrame, result.image, result.console);
    if (!playing && current == singleFrame)
        display(singleFrame);
}

void AnimationPlayer::renderStarted(Purpose purpose)
{
    if (purpose != Purpose::Export)
        stopRendering();
}

// The kept frames are of the text before: the new picture is the one frame kept, and playing
// goes on with the new text.
void AnimationPlayer::pictureShown(const RenderTask &shownTask, const RenderResult &result)
{
    stopRendering();
    kept.clear();
    task = shownTask;
    if (result.frames <= 1) {
        clear();
        return;
    }
    frameCount = result.frames;
    fps = result.fps;
    lookahead = qMin(frameCount, kept.capacityFor(result.image));
    timeline->setAnimation(frameCount, fps);
    timeline->show();
    const int frame = task.request.frame;
    current = qMin(frame, frameCount - 1);
    timeline->setFrame(current);
    if (frame == current) {
        kept.insert(frame, result.image, result.console);
        emit frameShown(frame);
    }
    if (playing) {
        nextFrame = following(current);
        nextDueNs = clock.nsecsElapsed() + frameNs();
        renderAhead();
        scheduleTick();
    } else if (frame != current) {
        renderOne(current);
    }
}

// A render of the text that failed leaves the picture as it was, and stops it playing.
void AnimationPlayer::renderFinished(Purpose purpose, const RenderResult &result)
{
    if (purpose == Purpose::Export || result.outcome == Outcome::Picture)
        return;
    if (result.outcome == Outcome::Stopped)
        renderAhead();
    else
        stop();
}

void AnimationPlayer::updateBusy()
{
    const bool busy = isBusy();
    if (busy == wasBusy)
        return;
    wasBusy = busy;
    emit busyChanged(busy);
}
