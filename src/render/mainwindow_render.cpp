#include "app/mainwindow.h"

#include "app/messagebox.h"
#include "render/renderinputguard.h"
#include "render/scriptrenderer.h"

#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStackedWidget>

QImage MainWindow::renderImage(int step)
{
    ScriptRenderer renderer;
    renderer.onStarted = [this](int rowCount) {
        progressBar->setFormat(tr("%p% (Esc stops)"));
        progressBar->setRange(0, rowCount);
        statusStack->setCurrentWidget(progressBar);
    };
    renderer.onProgress = [this](int row) { progressBar->setValue(row); };

    ScriptRenderer::Result result;
    {
        // A script that never returns would otherwise hold the window for good: Escape
        // stops it. The guard goes before any message box, which needs the input.
        RenderInputGuard inputGuard;
        renderer.shouldStop = [&inputGuard] { return inputGuard.stopRequested(); };
        result = renderer.render(stdlibEditor->toPlainText(), paintingEditor->toPlainText(), step);
    }

    noPixelsSize = result.outcome == ScriptRenderer::Outcome::NoPixels
        ? tr("%1 × %2").arg(result.scriptWidth, result.scriptHeight)
        : QString();
    switch (result.outcome) {
    case ScriptRenderer::Outcome::Picture:
    case ScriptRenderer::Outcome::NoPixels:
    case ScriptRenderer::Outcome::Stopped:
        break;
    case ScriptRenderer::Outcome::ScriptError:
        reportScriptError(result);
        break;
    case ScriptRenderer::Outcome::TooLarge:
        QMessageBox::warning(this, tr("Picture Too Large"),
                             tr("A picture of %1 × %2 pixels is too large to create.")
                                 .arg(result.size.width())
                                 .arg(result.size.height()));
        break;
    }
    statusStack->setCurrentWidget(statusLabel);
    return result.image;
}

void MainWindow::reportScriptError(const ScriptRenderer::Result &result)
{
    showPlainMessage(this, QMessageBox::Critical, tr("Script Error"), result.errorText);
}
