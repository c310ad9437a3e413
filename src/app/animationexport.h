#ifndef ANIMATIONEXPORT_H
#define ANIMATIONEXPORT_H

#include "client/renderjob.h"
#include "core/renderresult.h"

#include <QObject>
#include <QString>

#include <memory>

class AnimationOutput;
class FrameJobs;
class QWidget;
class RenderClient;

// Renders every frame of a painting, several at once on every core, and writes them as they
// come: into numbered image files ("f_####.png") or one animation file (.gif, .mp4, .webm,
// .apng). A still is one frame. Stopped or failed, it writes no animation file and leaves only
// whole frame files.
class AnimationExport : public QObject
{
    Q_OBJECT

public:
    // The question before numbered files are replaced comes over window.
    explicit AnimationExport(QWidget *window, QObject *parent = nullptr);
    ~AnimationExport() override;

    // Why path cannot take an animation, in words for a box; empty when it can.
    static QString outputProblem(const QString &path);

    // still: the scripts at the size of every frame. Returns at once.
    void start(const RenderRequest &still, const QString &path, bool framed);
    // Ends the renders and writes nothing more; finished(false) follows at once.
    void stop();
    bool isRunning() const { return running; }

signals:
    // frameCount is 0 until frame 0's top level has told it.
    void progress(int done, int frameCount);
    // Every frame is rendered; an animation file is being encoded.
    void encoding();
    void frameFailed(int frame, const RenderResult &result);
    void writeFailed(const QString &reason);
    // The export has ended; written: the whole animation is in place.
    void finished(bool written);

private:
    void timingKnown(int frameCount, double fps);
    bool mayReplaceFrameFiles(int frameCount);
    void frameRendered(int frame, const RenderResult &result);
    void framesFailed(int frame, const RenderResult &result);
    void framesFinished();
    void end(bool written);

    QWidget *window;
    RenderClient *client;
    FrameJobs *jobs = nullptr;
    std::unique_ptr<AnimationOutput> output;
    QString outputPath;
    int frameMargin = 0;   // of the white frame around each picture; 0 for none
    int frames = 0;
    int done = 0;
    bool running = false;
};

#endif // ANIMATIONEXPORT_H
