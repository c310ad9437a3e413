#include "app/mainwindow.h"

#include "library/textfile.h"

#include <QDir>
#include <QMessageBox>
#include <QPlainTextEdit>

#include <cstdio>

void MainWindow::loadFile()
{
    ReadOutcome outcome;
    paintingEditor->setPlainText(readTextFile(paintingPath, &outcome));
    paintingLoadFailed = outcome == ReadOutcome::Unreadable;
}

void MainWindow::saveFile()
{
    saveDocument(paintingPath, paintingEditor->toPlainText(), paintingLoadFailed);
}

void MainWindow::loadStdlib()
{
    ReadOutcome outcome;
    stdlibEditor->setPlainText(readTextFile(stdlibPath, &outcome));
    stdlibLoadFailed = outcome == ReadOutcome::Unreadable;
}

void MainWindow::saveStdlib()
{
    saveDocument(stdlibPath, stdlibEditor->toPlainText(), stdlibLoadFailed);
}

bool MainWindow::saveDocument(const QString &path, const QString &text, bool loadFailed)
{
    if (path.isEmpty())
        return true;
    if (loadFailed) {
        // The editor came up empty, so writing it would wipe the file. Only text the user typed
        // since is worth a word: it is what this skipped save does not keep.
        if (text.isEmpty())
            return true;
        reportSaveFailure(path, tr("it could not be read when it was opened, and saving would "
                                   "replace what it holds"));
        return false;
    }
    QString reason;
    if (writeTextFile(path, text, &reason))
        return true;
    reportSaveFailure(path, reason);
    return false;
}

void MainWindow::reportSaveFailure(const QString &path, const QString &reason)
{
    const QString message = tr("Could not save %1: %2.").arg(QDir::toNativeSeparators(path), reason);
    if (closing) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        std::fflush(stderr);
    } else {
        QMessageBox::warning(this, tr("Could Not Save"), message);
    }
}
