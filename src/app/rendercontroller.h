#ifndef RENDERCONTROLLER_H
#define RENDERCONTROLLER_H

#include "client/renderclient.h"
#include "core/renderresult.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>

class AnimationExport;
class CodeEditor;
class ImageView;
class PictureInProgress;
class QImage;
class QLabel;
class QProgressBar;
class QStackedWidget;
class QWidget;
class RenderProgress;

// A render the window asks for, and what it is for.
struct RenderTask
{
    Q_GADGET

public:
    enum class Purpose {
        Preview,   // shown with its time; why it failed is told in a box
        Export,    // written to exportPath; why it failed is told in a box
        Live       // shown as the text changes; why it failed is said in the status area
    };
    Q_ENUM(Purpose)

    Purpose purpose = Purpose::Preview;
    RenderRequest request;
    QString exportPath;
    bool framed = true;   // an export gets the white frame
    // What the user calls the two scripts, to say where an error happened.
    QString paintingName;
    QString stdlibName;
    // The editors hold the scripts as rendered, so an error's line is shown there.
    bool marksErrorLine = true;
    // The frame of an animation: an error names it.
    bool namesFrame = false;
};

// Runs the window's renders, several at once, and shows what becomes of each: the progress of
// the render the user asked for, its time and picture, the box that says why it failed and the
// line of a script error; a live render's picture or error in the status area. A preview or a
// live render draws its rows as they arrive, and what was shown before comes back when it does
// not finish. The status area tells what the last render came to.
class RenderController : public QObject
{
    Q_OBJECT

public:
    // Where renders show. Boxes are shown over window.
    struct View
    {
        QWidget *window = nullptr;
        QStackedWidget *statusStack = nullptr;
        QLabel *statusLabel = nullptr;
        QProgressBar *progressBar = nullptr;
        ImageView *imageView = nullptr;
        CodeEditor *paintingEditor = nullptr;
        CodeEditor *stdlibEditor = nullptr;
    };

    explicit RenderController(const View &view, QObject *parent = nullptr);

    // Starts the render and returns at once; finished() follows once its result is shown. A
    // preview or an export takes the place of the preview or export still running, a live
    // render that of the live render: the render replaced ends, and nothing comes of it.
    // A frame after the first runs frame 0's top level first, for the rate that sets its time.
    void start(const RenderTask &task);
    // Renders every frame of the painting into task.exportPath, an animation file or numbered
    // image files, as an export (it takes the place of one, and stop(Export) ends it). A name
    // that cannot take an animation is told in a box, and nothing starts.
    void startAnimation(const RenderTask &task);
    // Ends the renders for purpose at once; each finishes as stopped, and the view shows again
    // what it showed before their rows.
    void stop(RenderTask::Purpose purpose);
    void stopAll();
    bool isRunning(RenderTask::Purpose purpose) const;
    // A preview or an export: what the user waits for, sees the progress of and may stop.
    bool isUserRenderRunning() const;

    // Sets the status text; an error shows in a colour that stands out.
    void showStatus(const QString &text, bool isError = false);
    // Says in the status area why the picture no longer follows the text, and fades it.
    void showOutOfDate(const QString &why);
    // Shows a frame rendered for the timeline, as a preview's picture is shown, and the lines
    // its render printed.
    void showFrame(const QImage &picture, const ConsoleLines &lines, int step);
    // Says in the status area why a frame of task's scripts could not be shown, and in the
    // console what the frame printed before it failed.
    void showFrameFailure(const RenderTask &task, int frame, const RenderResult &result);

    // Why the render failed and where, as the console keeps it; empty for a picture or a stop.
    // frame: the frame of an animation that failed, named in it; -1 for none.
    static QString failureReport(const RenderTask &task, const RenderResult &result,
                                 int frame = -1);

signals:
    void userRenderRunning(bool running);
    void started(RenderTask::Purpose purpose);
    // A preview's or live render's picture is on screen.
    void pictureShown(const RenderTask &task, const RenderResult &result);
    // The line of a script error is about to be shown in the editor of source, whose page
    // should then be showing.
    void showingErrorIn(RenderResult::ErrorSource source);
    // The render has ended and what came of it is shown, written or reported.
    void finished(RenderTask::Purpose purpose, const RenderResult &result);
    // A preview or live render ended other than by a stop, or a frame of the animation was
    // shown or failed: what it printed, and failure, its failureReport().
    void printed(const ConsoleLines &lines, const QString &failure);

private:
    struct Running
    {
        RenderTask task;
        RenderJob *job = nullptr;
        QElapsedTimer clock;
        // The editors' edit counts when the render took their texts.
        int paintingEdits = 0;
        int stdlibEdits = 0;
        // The job runs frame 0's top level for the frame's time; the frame comes next.
        bool timing = false;
        // The rows drawn as they arrive, for a preview or a live render.
        std::shared_ptr<PictureInProgress> rowsShown;
    };

    // What went wrong in the animation export, told once it has ended.
    struct AnimationFailure
    {
        int frame = -1;   // the frame that failed to render
        RenderResult result;
        QString writeError;
    };

    static bool isUserRender(RenderTask::Purpose purpose);
    static bool replaces(RenderTask::Purpose newer, RenderTask::Purpose older);
    // The frame an error names, -1 for none.
    static int namedFrame(const Running &render);
    void dropReplacedBy(RenderTask::Purpose purpose);
    Running beginRender(const RenderTask &task);
    void drop(RenderJob *job);
    void startJob(Running render, const RenderRequest &request);
    void startTimedFrame(Running render, const RenderResult &timing);
    void showUserRenderRunning();
    void followProgress(RenderJob *job);
    Running *runningFor(RenderJob *job);
    void stopRender(const Running &render);
    void drawRows(RenderJob *job, const RowRange &rows);
    void jobFinished(RenderJob *job);
    void userRenderEnded();
    void previewFinished(const Running &render, const RenderResult &result);
    void exportFinished(const Running &render, const RenderResult &result);
    void liveFinished(const Running &render, const RenderResult &result);
    void reportExportFailure(const Running &render, const RenderResult &result, int frame = -1);
    void reportFailure(const Running &render, const RenderResult &result, int frame = -1);
    void showErrorLine(const Running &render, const RenderResult &result);
    // frameMargin: the white frame's width, 0 for none.
    void writeExport(const QString &path, const QImage &picture, int frameMargin);
    void showPicture(const QImage &picture, int step);
    void showRenderError(const QString &text, bool outOfDate);
    void clearRenderError();

    // The animation export, which runs its own frame jobs.
    void dropAnimation();
    void showAnimationProgress(int done, int frameCount);
    void animationFinished(bool written);

    RenderClient *client;
    View view;
    RenderProgress *progress;
    QList<Running> running;
    AnimationExport *animation = nullptr;
    Running animationRender;   // its task and the editors' edit counts; no job
    AnimationFailure animationFailure;
    // The status says why the last preview or export failed, until the next edit.
    bool showsRenderError = false;
};

#endif // RENDERCONTROLLER_H
