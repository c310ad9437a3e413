#ifndef FRAMEJOBS_H
#define FRAMEJOBS_H

#include "client/renderclient.h"
#include "core/renderresult.h"

#include <QList>
#include <QObject>
#include <QVector>

#include <functional>

// Renders frames of an animation, several at once, each frame in one renderer process of its
// own. Frame 0's top level runs first, to learn how many frames there are and at what rate;
// then every frame runs both scripts afresh. A failure ends the job as one process rendering
// the frames one after another would end it: the frames after the failed one in the order
// asked for are stopped, those before it are rendered to the end, and the first of them that
// fails is the one reported.
class FrameJobs : public QObject
{
    Q_OBJECT

public:
    // still: the scripts and the size of every frame. concurrent: frames rendered at once.
    // frameRate: the rate that sets the frames' time; 0 for the painting's own fps.
    FrameJobs(RenderClient *client, const RenderRequest &still, int concurrent, double frameRate,
              QObject *parent = nullptr);
    ~FrameJobs() override;

    // The frames to render, in the order they are started; all of the animation when empty.
    void start(const QVector<int> &frames = {});
    // Ends every render at once; nothing more is emitted.
    void stop();

    // Asked of every frame once the animation is known: false leaves it out.
    std::function<bool(int frame)> wanted;

    bool isRunning() const { return running; }
    int frameCount() const { return frames; }
    // The frames it renders, in the order they were asked for; known once timingKnown came.
    QVector<int> plannedFrames() const { return planned; }
    double fps() const { return paintingFps; }
    // The size of frame 0's picture, known once timingKnown came.
    QSize pictureSize() const { return firstSize; }

signals:
    // Frame 0's top level has run: the animation has this many frames at this rate. No other
    // frame has started yet, and none does when a slot stops the job.
    void timingKnown(int frameCount, double fps);
    void frameRendered(int frame, const RenderResult &result);
    // Lines that a frame's render printed, as they come, in the order its process printed
    // them; the lines of frames rendered at once come interleaved. Frame 0's top level, run
    // first for the timing, runs again when frame 0 renders and prints the same lines then, so
    // its own lines come only when it fails: they are all that frame 0 printed.
    void linesPrinted(int frame, const QVector<ConsoleLine> &lines);
    // The first frame in the order asked for that failed, once those before it are rendered;
    // the others have been stopped.
    void failed(int frame, const RenderResult &result);
    // Every frame is done, or one failed.
    void finished();

private:
    void timingFound(const RenderResult &result);
    void startMore();
    void frameDone(RenderJob *job, int frame);
    void fail(int frame, const RenderResult &result);
    void stopFramesAfter(int frame);
    void endFailed();
    void drop(RenderJob *job);
    RenderRequest frameRequest(int frame) const;
    int orderOf(int frame) const { return planned.indexOf(frame); }

    struct FrameJob
    {
        RenderJob *job = nullptr;
        int frame = 0;
    };

    RenderClient *client;
    RenderRequest still;
    int concurrent;
    double rateOverride;
    QVector<int> pending;
    bool wholeAnimation = false;
    // Frames left out by wanted are not among them.
    int frameTotal = 0;
    QVector<int> planned;
    QList<FrameJob> jobs;   // the timing's job first, alone
    QVector<ConsoleLine> timingLines;   // the top level's, told only when it fails
    // The first frame in planned order that failed, while the frames before it finish.
    int failedFrame = -1;
    RenderResult failure;
    int frames = 1;
    QSize firstSize;
    double paintingFps = 30;
    bool running = false;
};

#endif // FRAMEJOBS_H
