#ifndef ANIMATIONPLAYER_H
#define ANIMATIONPLAYER_H

#include "app/framecache.h"
#include "app/rendercontroller.h"
#include "core/renderresult.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSet>

class FrameJobs;
class QTimer;
class RenderClient;
class RenderJob;
class Timeline;

// Plays the animation that the latest preview or live render found, in the timeline under the
// picture. Playing renders the frames not kept, several at once on every core, at the preview's
// quality, shows each at the painting's fps once it is ready, and loops from the frames kept
// in memory (FrameCache). Choosing a frame on the timeline shows it, rendered if need be.
class AnimationPlayer : public QObject
{
    Q_OBJECT

public:
    // keptBytes: the most memory the kept frames take.
    AnimationPlayer(Timeline *timeline, RenderController *renders, QObject *parent = nullptr,
                    qint64 keptBytes = FrameCache::defaultCap);
    ~AnimationPlayer() override;

    bool isAnimated() const { return frameCount > 1; }
    // The frame the timeline shows; 0 for a still.
    int shownFrame() const { return isAnimated() ? current : 0; }
    bool isPlaying() const { return playing; }
    // Playing, or rendering frames to show.
    bool isBusy() const;
    int keptFrames() const { return kept.count(); }

    // Plays or pauses; does nothing for a still.
    void togglePlaying();
    // Shows the frame, rendering it when it is not kept; playing goes on from there.
    void showFrame(int frame);
    // Stops playing and every render of frames.
    void stop();
    // Forgets the animation: the timeline hides.
    void clear();

    // Follow the renders of the text: a new text's render stops the frames of the one before
    // from rendering; its picture replaces the animation, a still's hides the timeline.
    void renderStarted(RenderTask::Purpose purpose);
    void pictureShown(const RenderTask &task, const RenderResult &result);
    void renderFinished(RenderTask::Purpose purpose, const RenderResult &result);

signals:
    void busyChanged(bool busy);
    void frameShown(int frame);

private:
    void play();
    void pause();
    int following(int frame) const { return (frame + 1) % frameCount; }
    qint64 frameNs() const;
    void tick();
    void scheduleTick();
    void display(int frame);
    void renderAhead();
    bool isTextRendering() const;
    void stopRendering();
    void frameRendered(int frame, const RenderResult &result);
    void framesFailed(int frame, const RenderResult &result);
    void framesFinished();
    void renderOne(int frame);
    void oneFinished();
    RenderRequest frameRequest(int frame) const;
    void updateBusy();

    Timeline *timeline;
    RenderController *renders;
    RenderClient *client;
    QTimer *ticker;

    RenderTask task;   // the scripts, quality and names of the shown animation
    int frameCount = 1;
    double fps = 30;
    int current = 0;   // the frame on screen
    FrameCache kept;
    int lookahead = 1;   // frames of the picture's size that can be kept

    bool playing = false;
    int nextFrame = 0;
    QElapsedTimer clock;
    qint64 nextDueNs = 0;

    FrameJobs *jobs = nullptr;
    QSet<int> asked;   // frames the jobs have still to render
    RenderJob *single = nullptr;
    int singleFrame = -1;
    bool wasBusy = false;
};

#endif // ANIMATIONPLAYER_H
