#include "app/mainwindow.h"

#include <QComboBox>
#include <QFileInfo>
#include <QStackedWidget>

QString MainWindow::scriptErrorPlace(const RenderResult &result) const
{
    QString script;
    if (result.errorSource == RenderResult::ErrorSource::Stdlib)
        script = QFileInfo(stdlibPath).fileName();
    else if (result.errorSource == RenderResult::ErrorSource::Painting)
        // The user edits a file of their own in the external editor, and a painting otherwise.
        script = useExternalEditor ? QFileInfo(paintingPath).fileName()
                                   : paintingList->currentText();
    if (!script.isEmpty() && result.errorLine > 0)
        script = tr("%1, line %2").arg(script).arg(result.errorLine);

    if (result.errorPixel.x() < 0)
        return script;
    const QString pixel = tr("(%1, %2)").arg(result.errorPixel.x()).arg(result.errorPixel.y());
    return script.isEmpty() ? tr("At pixel %1").arg(pixel)
                            : tr("%1, at pixel %2").arg(script, pixel);
}

void MainWindow::showScriptErrorLine(const RenderResult &result)
{
    if (result.errorLine <= 0)
        return;
    if (result.errorSource == RenderResult::ErrorSource::Stdlib) {
        if (stdlibEditor->editCount() != stdlibEditsAtRender)
            return;
        if (editorStack->currentWidget() != stdlibPage)
            openStdlibView();
        stdlibEditor->showErrorLine(result.errorLine);
        stdlibEditor->setFocus(Qt::OtherFocusReason);
    } else if (result.errorSource == RenderResult::ErrorSource::Painting) {
        if (paintingEditor->editCount() != paintingEditsAtRender)
            return;
        if (editorStack->currentWidget() != paintingPage)
            openPainter();
        paintingEditor->showErrorLine(result.errorLine);
        paintingEditor->setFocus(Qt::OtherFocusReason);
    }
}

void MainWindow::noteRenderStart()
{
    paintingEditor->clearErrorLine();
    stdlibEditor->clearErrorLine();
    paintingEditsAtRender = paintingEditor->editCount();
    stdlibEditsAtRender = stdlibEditor->editCount();
}
