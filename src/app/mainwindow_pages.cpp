#include "app/mainwindow.h"

#include "app/imageview.h"

#include <QAction>
#include <QDesktopServices>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QUrl>

void MainWindow::openStdlibView()
{
    if (useExternalEditor) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(stdlibPath));
        return;
    }
    editorStack->setCurrentWidget(stdlibPage);
}

void MainWindow::openPainter()
{
    if (!useExternalEditor && !saveStdlibDocument())
        return;
    editorStack->setCurrentWidget(paintingPage);
}

void MainWindow::toggleStdlibView()
{
    if (editorStack->currentWidget() == stdlibPage)
        openPainter();
    else
        openStdlibView();
}

void MainWindow::setUseExternalEditor(bool on)
{
    const bool entering = on && !useExternalEditor;
    const bool leaving = !on && useExternalEditor;

    if (entering) {
        // From now on the files are the documents, and the next preview reads them back into
        // the editors: what was typed here has to be in them first. If the user cancels, the
        // mode stays off so that the text stays where it is.
        if (!saveStdlibDocument() || !savePaintingDocument()) {
            if (auto *action = qobject_cast<QAction *>(sender())) {
                const QSignalBlocker blocker(action);
                action->setChecked(false);
            }
            return;
        }
    }

    useExternalEditor = on;
    followScriptFiles();
    paintingEditor->setVisible(!on);
    if (!on) {
        // The external program may have saved since the editors were last filled; the saves
        // of built-in editing must not put older text back.
        if (leaving) {
            loadFile();
            loadStdlib();
        }
        return;
    }

    openPainter();
    if (!imageView->isHidden())
        imageView->setPixmap(QPixmap());
    QDesktopServices::openUrl(QUrl::fromLocalFile(paintingPath));
}
