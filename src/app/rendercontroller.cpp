#include "app/rendercontroller.h"

#include "core/picturescale.h"

#include "app/animationexport.h"
#include "app/codeeditor.h"
#include "app/imageview.h"
#include "app/messagebox.h"
#include "app/pictureinprogress.h"
#include "app/renderprogress.h"
#include "client/renderfailure.h"
#include "export/pictureexport.h"

#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPalette>
#include <QPixmap>
#include <QProgressBar>
#include <QStackedWidget>
#include <QTextDocument>
#include <QTimer>

using Purpose = RenderTask::Purpose;
using Outcome = RenderResult::Outcome;

namespace {

QString capitalized(QString text)
{
    if (!text.isEmpty())
        text[0] = text.at(0).toUpper();
    return text;
}

QString seconds(const QElapsedTimer &clock)
{
    return QString::number(clock.elapsed() / 1000.0, 'f', 1);
}

// Where the error happened, for the box: the frame of an animation (frame -1 for none), script
// and line, pixel; empty when unknown.
QString scriptErrorPlace(const RenderTask &task, const RenderResult &result, int frame = -1)
{
    QString script;
    if (result.errorSource == RenderResult::ErrorSource::Stdlib)
        script = task.stdlibName;
    else if (result.errorSource == RenderResult::ErrorSource::Painting)
        script = task.paintingName;
    if (!script.isEmpty() && result.errorLine > 0)
        script = RenderController::tr("%1, line %2").arg(script).arg(result.errorLine);
    if (frame >= 0) {
        const QString frameName = RenderController::tr("Frame %1").arg(frame);
        script = script.isEmpty() ? frameName : RenderController::tr("%1: %2").arg(frameName, script);
    }

    if (result.errorPixel.x() < 0)
        return script;
    const QString x = numberText(result.errorPixel.x()), y = numberText(result.errorPixel.y());
    const QString pixel = result.errorCell.x() < 0
        ? RenderController::tr("(%1, %2)").arg(x, y)
        : RenderController::tr("(%1, %2), x %3, y %4")
              .arg(result.errorCell.x())
              .arg(result.errorCell.y())
              .arg(x, y);
    return script.isEmpty() ? RenderController::tr("At pixel %1").arg(pixel)
                            : RenderController::tr("%1, at pixel %2").arg(script, pixel);
}

// The error's text and where it happened, on one line, for the status area.
QString scriptErrorText(const RenderTask &task, const RenderResult &result, int frame = -1)
{
    QString place = scriptErrorPlace(task, result, frame);
    place.replace(QLatin1Char('\n'), QStringLiteral(", "));
    const QString firstLine = result.errorText.section(QLatin1Char('\n'), 0, 0);
    return place.isEmpty() ? firstLine : RenderController::tr("%1 (%2)").arg(firstLine, place);
}

// Why a render has no picture, on one line, for the status area.
QString failureText(const RenderTask &task, const RenderResult &result, int frame = -1)
{
    if (result.outcome == Outcome::ScriptError)
        return scriptErrorText(task, result, frame);
    return capitalized(renderFailureText(result));
}

} // namespace

RenderController::RenderController(const View &widgets, QObject *parent)
    : QObject(parent)
    , client(new RenderClient(RenderClient::defaultProgram(), this))
    , view(widgets)
    , progress(new RenderProgress(widgets.progressBar, this))
{
    // Started once the window is up, so that the first preview need not wait for it.
    QTimer::singleShot(0, client, &RenderClient::prepare);
    // The editors' signal, not their documents': a painting's document is swapped in at a pick.
    for (CodeEditor *editor : {view.paintingEditor, view.stdlibEditor})
        connect(editor, &QPlainTextEdit::textChanged, this, &RenderController::clearRenderError);
}

bool RenderController::isUserRender(Purpose purpose)
{
    return purpose == Purpose::Preview || purpose == Purpose::Export;
}

bool RenderController::replaces(Purpose newer, Purpose older)
{
    return isUserRender(newer) ? isUserRender(older) : newer == older;
}

int RenderController::namedFrame(const Running &render)
{
    if (!render.task.namesFrame)
        return -1;
    return render.timing ? 0 : render.task.request.frame;
}

void RenderController::dropReplacedBy(Purpose purpose)
{
    QList<RenderJob *> replaced;
    for (const Running &render : qAsConst(running)) {
        if (replaces(purpose, render.task.purpose))
            replaced.append(render.job);
    }
    for (RenderJob *job : qAsConst(replaced))
        drop(job);
    if (isUserRender(purpose))
        dropAnimation();
}

RenderController::Running RenderController::beginRender(const RenderTask &task)
{
    Running render;
    render.task = task;
    if (isUserRender(task.purpose)) {
        view.paintingEditor->clearErrorLine();
        view.stdlibEditor->clearErrorLine();
        render.paintingEdits = view.paintingEditor->editCount();
        render.stdlibEdits = view.stdlibEditor->editCount();
    }
    render.clock.start();
    return render;
}

void RenderController::start(const RenderTask &task)
{
    dropReplacedBy(task.purpose);
    Running render = beginRender(task);
    RenderRequest request = task.request;
    if (request.frame > 0) {
        render.timing = true;
        request.frame = 0;
        request.topLevelOnly = true;
        request.processes = 1;
    }
    startJob(render, request);
    if (isUserRender(task.purpose))
        showUserRenderRunning();
    emit started(task.purpose);
}

void RenderController::startJob(Running render, const RenderRequest &request)
{
    RenderJob *job = client->start(request);
    render.job = job;
    running.append(render);
    if (render.task.purpose != Purpose::Export && !render.timing) {
        running.last().rowsShown = std::make_shared<PictureInProgress>(view.imageView);
        connect(job, &RenderJob::rowsReady, this,
                [this, job](const RowRange &rows) { drawRows(job, rows); });
    }
    connect(job, &RenderJob::finished, this, [this, job] { jobFinished(job); });
    if (isUserRender(render.task.purpose) && !render.timing)
        followProgress(job);
}

// Frame 0's top level has told the rate: the frame's time is frame / fps, and it must ask for
// the same animation.
void RenderController::startTimedFrame(Running render, const RenderResult &timing)
{
    render.timing = false;
    RenderRequest &request = render.task.request;
    request.frameRate = timing.fps;
    request.expectedFrames = timing.frames;
    request.expectedFps = timing.fps;
    const RenderRequest frameRequest = request;
    startJob(render, frameRequest);
}

RenderController::Running *RenderController::runningFor(RenderJob *job)
{
    for (Running &render : running) {
        if (render.job == job)
            return &render;
    }
    return nullptr;
}

void RenderController::drawRows(RenderJob *job, const RowRange &rows)
{
    const Running *render = runningFor(job);
    if (render && render->rowsShown) {
        render->rowsShown->drawRows(job->renderedRows(rows), rows, job->size(),
                                    render->task.request.step);
    }
}

// Before the first row the scripts' top level runs, which may take any time.
void RenderController::showUserRenderRunning()
{
    progress->begin();
    view.statusStack->setCurrentWidget(view.progressBar);
    emit userRenderRunning(true);
}

void RenderController::followProgress(RenderJob *job)
{
    connect(job, &RenderJob::started, progress, &RenderProgress::beginRows);
    connect(job, &RenderJob::progress, progress, &RenderProgress::reach);
}

void RenderController::drop(RenderJob *job)
{
    for (int i = 0; i < running.size(); ++i) {
        if (running.at(i).job == job) {
            stopRender(running.takeAt(i));
            break;
        }
    }
    job->disconnect(this);
    job->disconnect(progress);
    job->stop();
    job->deleteLater();
}

// At once, so that what the window shows next is not undone once the job has finished.
void RenderController::stopRender(const Running &render)
{
    if (render.job->isFinished())
        return;
    render.job->stop();
    if (render.rowsShown)
        render.rowsShown->restore();
    if (render.task.purpose == Purpose::Preview)
        showStatus(tr("The render was stopped"));
    else if (render.task.purpose == Purpose::Export)
        showStatus(tr("The render was stopped; %1 was not written")
                       .arg(QFileInfo(render.task.exportPath).fileName()));
}

void RenderController::stop(Purpose purpose)
{
    for (const Running &render : qAsConst(running)) {
        if (render.task.purpose == purpose)
            stopRender(render);
    }
    if (purpose == Purpose::Export && animation)
        animation->stop();
}

void RenderController::stopAll()
{
    for (const Running &render : qAsConst(running))
        stopRender(render);
    if (animation)
        animation->stop();
}

bool RenderController::isRunning(Purpose purpose) const
{
    for (const Running &render : running) {
        if (render.task.purpose == purpose)
            return true;
    }
    return false;
}

bool RenderController::isUserRenderRunning() const
{
    return isRunning(Purpose::Preview) || isRunning(Purpose::Export)
        || (animation && animation->isRunning());
}

void RenderController::jobFinished(RenderJob *job)
{
    int index = 0;
    while (index < running.size() && running.at(index).job != job)
        ++index;
    if (index == running.size())
        return;
    const Running render = running.takeAt(index);
    const RenderResult result = job->result();
    job->deleteLater();
    if (render.timing && result.outcome == Outcome::Picture) {
        startTimedFrame(render, result);
        return;
    }

    if (render.rowsShown) {
        if (result.outcome == Outcome::Picture)
            render.rowsShown->finish();
        else
            render.rowsShown->restore();
    }
    const Purpose purpose = render.task.purpose;
    if (isUserRender(purpose) && !isUserRenderRunning())
        userRenderEnded();
    if (purpose != Purpose::Export && result.outcome != Outcome::Stopped)
        emit printed(result.console, failureReport(render.task, result));
    switch (purpose) {
    case Purpose::Preview:
        previewFinished(render, result);
        break;
    case Purpose::Export:
        exportFinished(render, result);
        break;
    case Purpose::Live:
        liveFinished(render, result);
        break;
    }
    emit finished(purpose, result);
}

void RenderController::userRenderEnded()
{
    progress->end();
    view.statusStack->setCurrentWidget(view.statusLabel);
    emit userRenderRunning(false);
}

void RenderController::reportExportFailure(const Running &render, const RenderResult &result,
                                           int frame)
{
    const QString shownName = QDir::toNativeSeparators(render.task.exportPath);
    switch (result.outcome) {
    case Outcome::NoPixels:
        showPlainMessage(view.window, QMessageBox::Warning, tr("Nothing to Export"),
                         tr("The painting's size, %1 × %2, leaves no pixels, so %3 was not "
                            "written.")
                             .arg(result.scriptWidth, result.scriptHeight, shownName));
        break;
    default:
        reportFailure(render, result, frame);
        break;
    }
}

// The time is shown only under the picture it took; a picture shown before stays, faded when
// the render that should have replaced it failed.
void RenderController::previewFinished(const Running &render, const RenderResult &result)
{
    switch (result.outcome) {
    case Outcome::Picture:
        showStatus(tr("Rendered in %1 sec").arg(seconds(render.clock)));
        showPicture(result.image, render.task.request.step);
        emit pictureShown(render.task, result);
        break;
    case Outcome::Stopped:
        // Said as it was stopped.
        break;
    default:
        // Said before the box, so that it is there to read once the box is closed.
        showRenderError(failureText(render.task, result, namedFrame(render)), true);
        // Without a word in the status area the preview would seem not to have happened.
        if (result.outcome != Outcome::NoPixels)
            reportFailure(render, result, namedFrame(render));
        break;
    }
}

// The status names the file written, or says why there is none; the view is left alone.
void RenderController::exportFinished(const Running &render, const RenderResult &result)
{
    if (result.outcome == Outcome::Picture) {
        writeExport(render.task.exportPath, result.image,
                    render.task.framed ? PictureExport::frameMarginFor(render.task.request.scale) : 0);
        return;
    }
    // A stopped export was said to be as it was stopped.
    if (result.outcome == Outcome::Stopped)
        return;
    const QString why = result.outcome == Outcome::ScriptError
        ? scriptErrorText(render.task, result, namedFrame(render))
        : renderFailureText(result);
    showRenderError(tr("Not exported: %1").arg(why), false);
    reportExportFailure(render, result, namedFrame(render));
}

void RenderController::writeExport(const QString &path, const QImage &picture, int frameMargin)
{
    const QString shownName = QDir::toNativeSeparators(path);
    const QImage output = frameMargin > 0 ? PictureExport::framed(picture, frameMargin) : picture;
    if (output.isNull()) {
        showRenderError(tr("Not exported: the framed picture is too large"), false);
        showPlainMessage(view.window, QMessageBox::Warning, tr("Export Failed"),
                         tr("A framed picture of %1 × %2 pixels is too large to create, so %3 "
                            "was not written.")
                             .arg(picture.width() + 2 * frameMargin)
                             .arg(picture.height() + 2 * frameMargin)
                             .arg(shownName));
        return;
    }
    QString reason;
    if (!PictureExport::write(output, path, &reason)) {
        showRenderError(tr("Could not save the picture as %1").arg(QFileInfo(path).fileName()),
                        false);
        showPlainMessage(view.window, QMessageBox::Warning, tr("Export Failed"),
                         tr("Could not save the picture as %1.\n\n%2").arg(shownName, reason));
        return;
    }
    showStatus(tr("Exported %1, %2 × %3 pixels")
                   .arg(QFileInfo(path).fileName())
                   .arg(output.width())
                   .arg(output.height()));
    view.statusLabel->setToolTip(shownName);
}

void RenderController::liveFinished(const Running &render, const RenderResult &result)
{
    switch (result.outcome) {
    case Outcome::Picture:
        showStatus(tr("Live: rendered in %1 sec").arg(seconds(render.clock)));
        showPicture(result.image, render.task.request.step);
        emit pictureShown(render.task, result);
        return;
    case Outcome::Stopped:
        return;
    case Outcome::ScriptError:
        showOutOfDate(scriptErrorText(render.task, result, namedFrame(render)));
        break;
    default:
        showOutOfDate(tr("Live: %1").arg(renderFailureText(result)));
        break;
    }
}

// The last good picture stays, marked as no longer showing the text.
void RenderController::showOutOfDate(const QString &why)
{
    showStatus(why, true);
    view.imageView->setOutOfDate(true);
}

void RenderController::reportFailure(const Running &render, const RenderResult &result, int frame)
{
    switch (result.outcome) {
    case Outcome::Picture:
    case Outcome::NoPixels:
    case Outcome::Stopped:
        break;
    case Outcome::ScriptError:
        // A painting's name is the user's: the place is plain text too.
        showPlainMessage(view.window, QMessageBox::Critical, tr("Script Error"), result.errorText,
                         QMessageBox::Ok, QMessageBox::NoButton,
                         scriptErrorPlace(render.task, result, frame));
        if (render.task.marksErrorLine)
            showErrorLine(render, result);
        break;
    case Outcome::TooLarge:
        QMessageBox::warning(view.window, tr("Picture Too Large"),
                             capitalized(renderFailureText(result)) + QLatin1Char('.'));
        break;
    case Outcome::RendererFailed:
        showPlainMessage(view.window, QMessageBox::Warning, tr("Renderer Stopped"),
                         tr("The renderer stopped before the picture was done: %1.\n\n"
                            "Your scripts are as they were; the next render starts a new "
                            "renderer.")
                             .arg(result.errorText));
        break;
    }
}

// The line is shown in the editor that holds it, marked until the next edit or render; not in
// a text edited since the render began, whose lines have moved.
void RenderController::showErrorLine(const Running &render, const RenderResult &result)
{
    if (result.errorLine <= 0)
        return;
    CodeEditor *editor = nullptr;
    if (result.errorSource == RenderResult::ErrorSource::Stdlib
        && view.stdlibEditor->editCount() == render.stdlibEdits)
        editor = view.stdlibEditor;
    else if (result.errorSource == RenderResult::ErrorSource::Painting
             && view.paintingEditor->editCount() == render.paintingEdits)
        editor = view.paintingEditor;
    if (!editor)
        return;
    emit showingErrorIn(result.errorSource);
    editor->showErrorLine(result.errorLine);
    editor->setFocus(Qt::OtherFocusReason);
}

// The view may grow to the painting's full width, so a half-resolution picture is scaled up.
void RenderController::showPicture(const QImage &picture, int step)
{
    view.imageView->setMaximumWidth(picture.width() * step);
    view.imageView->setPixmap(QPixmap::fromImage(picture), step);
    view.imageView->setVisible(true);
}

// The whole text of a script error, which a box or the status area may cut short.
QString RenderController::failureReport(const RenderTask &task, const RenderResult &result,
                                        int frame)
{
    switch (result.outcome) {
    case Outcome::Picture:
    case Outcome::Stopped:
        return QString();
    case Outcome::ScriptError: {
        QString place = scriptErrorPlace(task, result, frame);
        place.replace(QLatin1Char('\n'), QStringLiteral(", "));
        return place.isEmpty() ? result.errorText : tr("%1 (%2)").arg(result.errorText, place);
    }
    default:
        if (frame >= 0)
            return tr("Frame %1: %2").arg(frame).arg(renderFailureText(result));
        return capitalized(renderFailureText(result));
    }
}

// Kept until the next render or edit; a live render's errors follow its own renders.
void RenderController::showRenderError(const QString &text, bool outOfDate)
{
    showStatus(text, true);
    if (outOfDate)
        view.imageView->setOutOfDate(true);
    showsRenderError = true;
}

void RenderController::clearRenderError()
{
    if (showsRenderError)
        showStatus(QString());
}

// An error stands out in the status area; any other text there looks as usual.
void RenderController::showStatus(const QString &text, bool isError)
{
    showsRenderError = false;
    QLabel *label = view.statusLabel;
    label->setText(text);
    label->setToolTip(isError ? text : QString());
    QPalette palette = label->parentWidget() ? label->parentWidget()->palette() : label->palette();
    if (isError)
        palette.setColor(QPalette::WindowText, QColor(0xc0, 0x10, 0x10));
    label->setPalette(palette);
}

void RenderController::showFrame(const QImage &picture, const ConsoleLines &lines, int step)
{
    showPicture(picture, step);
    emit printed(lines, QString());
}

void RenderController::showFrameFailure(const RenderTask &task, int frame, const RenderResult &result)
{
    if (result.outcome == Outcome::Picture || result.outcome == Outcome::Stopped)
        return;
    emit printed(result.console, failureReport(task, result, frame));
    if (result.outcome == Outcome::ScriptError)
        showOutOfDate(scriptErrorText(task, result, frame));
    else
        showOutOfDate(tr("Frame %1: %2").arg(frame).arg(renderFailureText(result)));
}

void RenderController::startAnimation(const RenderTask &task)
{
    const QString problem = AnimationExport::outputProblem(task.exportPath);
    if (!problem.isEmpty()) {
        showPlainMessage(view.window, QMessageBox::Warning, tr("Export Animation"), problem);
        return;
    }
    dropReplacedBy(task.purpose);
    animationRender = beginRender(task);
    animationFailure = AnimationFailure();
    animation = new AnimationExport(view.window, this);
    connect(animation, &AnimationExport::progress, this, &RenderController::showAnimationProgress);
    connect(animation, &AnimationExport::encoding, this, [this] {
        view.progressBar->setFormat(tr("Encoding %1...")
                                        .arg(QFileInfo(animationRender.task.exportPath).fileName()));
        // ffmpeg takes the window's thread until the file is done: the words show first.
        view.progressBar->repaint();
    });
    connect(animation, &AnimationExport::frameFailed, this,
            [this](int frame, const RenderResult &result) {
                animationFailure.frame = frame;
                animationFailure.result = result;
            });
    connect(animation, &AnimationExport::writeFailed, this,
            [this](const QString &reason) { animationFailure.writeError = reason; });
    connect(animation, &AnimationExport::finished, this, &RenderController::animationFinished);
    animation->start(task.request, task.exportPath, task.framed);
    showUserRenderRunning();
}

void RenderController::dropAnimation()
{
    if (!animation)
        return;
    animation->disconnect(this);
    animation->stop();
    animation->deleteLater();
    animation = nullptr;
}

void RenderController::showAnimationProgress(int done, int frameCount)
{
    if (frameCount <= 0)
        return;
    QProgressBar *progressBar = view.progressBar;
    progressBar->setRange(0, frameCount);
    progressBar->setValue(done);
    progressBar->setFormat(tr("frame %1 / %2 (Esc stops)").arg(done).arg(frameCount));
}

void RenderController::animationFinished(bool written)
{
    animation->deleteLater();
    animation = nullptr;
    if (!isUserRenderRunning())
        userRenderEnded();

    RenderResult result;
    result.outcome = written || !animationFailure.writeError.isEmpty() ? Outcome::Picture
                                                                        : Outcome::Stopped;
    if (animationFailure.frame >= 0) {
        result = animationFailure.result;
        reportExportFailure(animationRender, result, animationFailure.frame);
    } else if (!animationFailure.writeError.isEmpty()) {
        showPlainMessage(view.window, QMessageBox::Warning, tr("Export Failed"),
                         tr("Could not write the animation %1.\n\n%2")
                             .arg(QDir::toNativeSeparators(animationRender.task.exportPath),
                                  capitalized(animationFailure.writeError)));
    }
    emit finished(Purpose::Export, result);
}
