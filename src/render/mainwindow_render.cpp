#include "app/mainwindow.h"

#include "render/renderinputguard.h"
#include "render/scriptrenderer.h"

#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStackedWidget>

QImage MainWindow::renderImage(int step)
{
    clearErrorLines();
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
    QMessageBox box(QMessageBox::Critical, tr("Script Error"), result.errorText, QMessageBox::Ok,
                    this);
    box.setTextFormat(Qt::PlainText);
    const QString place = scriptErrorPlace(result);
    box.setInformativeText(place);
    // The box sets no format on its informative label, and a painting's name is the user's.
    for (QLabel *label : box.findChildren<QLabel *>()) {
        if (label->text() == place)
            label->setTextFormat(Qt::PlainText);
    }
    box.exec();
    // The external editor holds the text there; the box has named the file and line.
    if (!useExternalEditor)
        showScriptErrorLine(result);
}
