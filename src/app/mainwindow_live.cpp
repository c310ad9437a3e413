#include "app/mainwindow.h"

#include "app/scriptfilewatcher.h"
#include "client/renderclient.h"
#include "client/renderfailure.h"
#include "app/imageview.h"

#include <QColor>
#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QTimer>

namespace {

// Long enough for a typing pause, short enough for the picture to follow the text.
constexpr int livePauseMs = 400;

} // namespace

void MainWindow::setUpLivePreview()
{
    liveTimer = new QTimer(this);
    liveTimer->setSingleShot(true);
    liveTimer->setInterval(livePauseMs);
    connect(liveTimer, &QTimer::timeout, this, &MainWindow::startLiveRender);

    scriptWatcher = new ScriptFileWatcher(this);
    connect(scriptWatcher, &ScriptFileWatcher::fileChanged, this, [this] {
        if (livePreview && useExternalEditor)
            liveTimer->start();
    });

    for (QPlainTextEdit *editor : {paintingEditor, stdlibEditor})
        connect(editor, &QPlainTextEdit::textChanged, this, &MainWindow::scriptTextChanged);
}

void MainWindow::setLivePreview(bool on)
{
    livePreview = on;
    followScriptFiles();
    if (on) {
        liveTimer->start();
    } else {
        liveTimer->stop();
        stopLiveRender();
    }
}

// The files are watched only while they are what the picture follows; a newly followed
// file is rendered at once.
void MainWindow::followScriptFiles()
{
    // Picking the first painting comes before the live preview is set up, and nothing is live.
    if (!scriptWatcher)
        return;
    if (livePreview && useExternalEditor) {
        scriptWatcher->setFiles({paintingPath, stdlibPath});
        liveTimer->start();
    } else {
        scriptWatcher->setFiles({});
    }
}

void MainWindow::scriptTextChanged()
{
    if (!livePreview || useExternalEditor)
        return;
    // The render under way is of text that is no longer there.
    stopLiveRender();
    liveTimer->start();
}

void MainWindow::startLiveRender()
{
    // A preview or export of the user's own asking goes first; the live one waits its turn.
    if (currentRender) {
        liveTimer->start();
        return;
    }
    stopLiveRender();
    if (useExternalEditor) {
        loadFile();
        loadStdlib();
    }
    liveStep = lowQuality ? 2 : 1;
    liveRender = renderClient->start(renderRequest(liveStep));
    liveClock.start();
    connect(liveRender, &RenderJob::finished, this, &MainWindow::liveRenderFinished);
}

void MainWindow::stopLiveRender()
{
    if (!liveRender)
        return;
    RenderJob *job = liveRender;
    liveRender = nullptr;
    job->disconnect(this);
    job->stop();
    job->deleteLater();
}

void MainWindow::liveRenderFinished()
{
    RenderJob *job = liveRender;
    if (!job)
        return;
    liveRender = nullptr;
    job->deleteLater();
    const RenderResult &result = job->result();
    const double seconds = liveClock.elapsed() / 1000.0;

    switch (result.outcome) {
    case RenderResult::Outcome::Picture:
        showStatus(tr("Live: rendered in %1 sec").arg(seconds, 0, 'f', 1), false);
        showPicture(result.image, liveStep);
        return;
    case RenderResult::Outcome::Stopped:
        return;
    case RenderResult::Outcome::ScriptError:
        showStatus(liveErrorText(result), true);
        break;
    default:
        showStatus(tr("Live: %1").arg(renderFailureText(result)), true);
        break;
    }
    // The last good picture stays, marked as no longer showing the text.
    imageView->setOutOfDate(true);
}

// The error's text and where it happened, on one line, for the status area.
QString MainWindow::liveErrorText(const RenderResult &result) const
{
    QString place = scriptErrorPlace(result);
    place.replace(QLatin1Char('\n'), QStringLiteral(", "));
    const QString firstLine = result.errorText.section(QLatin1Char('\n'), 0, 0);
    return place.isEmpty() ? firstLine : tr("%1 (%2)").arg(firstLine, place);
}

// An error stands out in the status area; any other text there looks as usual.
void MainWindow::showStatus(const QString &text, bool isError)
{
    statusLabel->setText(text);
    statusLabel->setToolTip(isError ? text : QString());
    QPalette palette = statusLabel->parentWidget() ? statusLabel->parentWidget()->palette()
                                                   : statusLabel->palette();
    if (isError)
        palette.setColor(QPalette::WindowText, QColor(0xc0, 0x10, 0x10));
    statusLabel->setPalette(palette);
}
