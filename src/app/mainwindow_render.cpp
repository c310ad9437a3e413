#include "app/mainwindow.h"

#include "app/messagebox.h"
#include "core/textfile.h"
#include "client/renderclient.h"
#include "client/renderfailure.h"

#include <QAction>
#include <QEventLoop>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStackedWidget>

namespace {

QString capitalized(QString text)
{
    if (!text.isEmpty())
        text[0] = text.at(0).toUpper();
    return text;
}

} // namespace

QImage MainWindow::renderImage(int step)
{
    return renderPicture(step).image;
}

// The editors' texts as they would be saved: toPlainText() would turn no-break spaces into
// spaces and U+2028 into line breaks, inside string literals too.
RenderRequest MainWindow::renderRequest(int step) const
{
    RenderRequest request;
    request.stdlibText = documentText(stdlibEditor->document());
    request.paintingText = documentText(paintingEditor->document());
    request.step = step;
    return request;
}

RenderResult MainWindow::renderPicture(int step)
{
    stopRender();
    noteRenderStart();
    RenderJob *job = renderClient->start(renderRequest(step));
    currentRender = job;
    showRenderRunning();
    connect(job, &RenderJob::started, progressBar, [this](int rowCount) {
        progressBar->setFormat(tr("%p% (Esc stops)"));
        progressBar->setRange(0, rowCount);
        progressBar->setValue(0);
    });
    connect(job, &RenderJob::progress, progressBar, &QProgressBar::setValue);

    // The window goes on taking input meanwhile: the editors, Escape, another preview or
    // export, another painting and closing the window all work during a render.
    QEventLoop loop;
    connect(job, &RenderJob::finished, &loop, &QEventLoop::quit);
    if (!job->isFinished())
        loop.exec();
    // The application may quit meanwhile, which ends every event loop.
    job->stop();

    const RenderResult result = job->result();
    delete job;
    // A render that gave way to a newer one leaves the status area to it.
    if (currentRender == job) {
        currentRender = nullptr;
        stopRenderAction->setEnabled(false);
        statusStack->setCurrentWidget(statusLabel);
        reportRenderFailure(result);
    }
    return result;
}

// Before the first row the scripts' top level runs, which may take any time.
void MainWindow::showRenderRunning()
{
    progressBar->setFormat(tr("Running the scripts... (Esc stops)"));
    progressBar->setRange(0, 1);
    progressBar->setValue(0);
    statusStack->setCurrentWidget(progressBar);
    stopRenderAction->setEnabled(true);
}

void MainWindow::stopRender()
{
    if (currentRender)
        currentRender->stop();
}

void MainWindow::reportRenderFailure(const RenderResult &result)
{
    switch (result.outcome) {
    case RenderResult::Outcome::Picture:
    case RenderResult::Outcome::NoPixels:
    case RenderResult::Outcome::Stopped:
        break;
    case RenderResult::Outcome::ScriptError:
        reportScriptError(result);
        break;
    case RenderResult::Outcome::TooLarge:
        QMessageBox::warning(this, tr("Picture Too Large"),
                             capitalized(renderFailureText(result)) + QLatin1Char('.'));
        break;
    case RenderResult::Outcome::RendererFailed:
        showPlainMessage(this, QMessageBox::Warning, tr("Renderer Stopped"),
                         tr("The renderer stopped before the picture was done: %1.\n\n"
                            "Your scripts are as they were; the next render starts a new "
                            "renderer.")
                             .arg(result.errorText));
        break;
    }
}

void MainWindow::reportScriptError(const RenderResult &result)
{
    // A painting's name is the user's: the place is plain text too.
    showPlainMessage(this, QMessageBox::Critical, tr("Script Error"), result.errorText,
                     QMessageBox::Ok, QMessageBox::NoButton, scriptErrorPlace(result));
    // The external editor holds the text there; the box has named the file and line.
    if (!useExternalEditor)
        showScriptErrorLine(result);
}
