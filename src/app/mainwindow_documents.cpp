#include "app/mainwindow.h"

#include "app/messagebox.h"
#include "core/textfile.h"

#include <QCloseEvent>
#include <QDir>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>

namespace {

// Wrapping a line at word boundaries looks for a boundary over the rest of the line for every
// row, which makes a line of a million characters take minutes to lay out.
constexpr int longestWrappedLine = 10000;

enum class ChangedFileAnswer { Reload, Overwrite, Cancel };

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

bool hasVeryLongLine(const QString &text)
{
    int lineLength = 0;
    for (const QChar c : text) {
        lineLength = (c == QLatin1Char('\n') || c == QLatin1Char('\r')) ? 0 : lineLength + 1;
        if (lineLength > longestWrappedLine)
            return true;
    }
    return false;
}

void setEditorText(QPlainTextEdit *editor, const QString &text)
{
    editor->setWordWrapMode(hasVeryLongLine(text) ? QTextOption::WrapAnywhere
                                                  : QTextOption::WrapAtWordBoundaryOrAnywhere);
    editor->setPlainText(text);
}

ChangedFileAnswer askAboutChangedFile(QWidget *parent, const QString &path)
{
    QMessageBox box(QMessageBox::Warning, MainWindow::tr("File Changed"),
                    MainWindow::tr("%1 has changed on disk since it was opened or last saved.\n\n"
                                   "Reload shows what it holds now and drops the changes made "
                                   "here, and nothing else happens; Overwrite saves the changes "
                                   "made here over it; Cancel stays with them.")
                        .arg(shown(path)),
                    QMessageBox::Cancel, parent);
    box.setTextFormat(Qt::PlainText);
    QPushButton *reload = box.addButton(MainWindow::tr("Reload"), QMessageBox::DestructiveRole);
    QPushButton *overwrite = box.addButton(MainWindow::tr("Overwrite"), QMessageBox::AcceptRole);
    box.setDefaultButton(QMessageBox::Cancel);
    box.exec();
    if (box.clickedButton() == reload)
        return ChangedFileAnswer::Reload;
    if (box.clickedButton() == overwrite)
        return ChangedFileAnswer::Overwrite;
    return ChangedFileAnswer::Cancel;
}

QString choices()
{
    return MainWindow::tr("Discard goes on without saving the changes; Cancel stays with them.");
}

QMessageBox::StandardButton askAboutUnreadFile(QWidget *parent, const QString &path,
                                               const QString &readError)
{
    return showPlainMessage(
        parent, QMessageBox::Warning, MainWindow::tr("Could Not Save"),
        MainWindow::tr("%1 could not be read when it was opened (%2), so it is not written "
                       "over.\n\n%3")
            .arg(shown(path), readError, choices()),
        QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Cancel);
}

QMessageBox::StandardButton askBeforeReplacing(QWidget *parent, const QString &path,
                                               const QString &changes)
{
    return showPlainMessage(
        parent, QMessageBox::Warning, MainWindow::tr("Replace the File?"),
        MainWindow::tr("Saving %1 replaces more than the changes: %2.\n\nSave writes the text "
                       "as it is shown. %3")
            .arg(shown(path), changes, choices()),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Cancel);
}

QMessageBox::StandardButton askAfterFailedSave(QWidget *parent, const QString &path,
                                               const QString &reason)
{
    return showPlainMessage(
        parent, QMessageBox::Warning, MainWindow::tr("Could Not Save"),
        MainWindow::tr("Could not save %1: %2.\n\nRetry tries again. %3")
            .arg(shown(path), reason, choices()),
        QMessageBox::Retry | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Retry);
}

// Whether the moment goes on after the last answer to a question about a document's changes:
// after Discard it does, after Cancel (or Escape) it does not.
bool goOn(QMessageBox::StandardButton answer)
{
    return answer == QMessageBox::Discard;
}

} // namespace

void MainWindow::loadFile()
{
    loadDocument(paintingEditor, paintingPath, paintingFile);
}

void MainWindow::saveFile()
{
    savePaintingDocument();
}

void MainWindow::loadStdlib()
{
    loadDocument(stdlibEditor, stdlibPath, stdlibFile);
}

void MainWindow::saveStdlib()
{
    saveStdlibDocument();
}

bool MainWindow::savePaintingDocument()
{
    return saveDocument(paintingEditor, paintingPath, paintingFile);
}

bool MainWindow::saveStdlibDocument()
{
    return saveDocument(stdlibEditor, stdlibPath, stdlibFile);
}

void MainWindow::loadDocument(QPlainTextEdit *editor, const QString &path, DocumentFile &file)
{
    file = DocumentFile();
    TextFileContent content;
    QString reason;
    if (!readTextFile(path, &content, &reason)) {
        file.readError = reason;
        setEditorText(editor, QString());
        tellOnce(path, tr("Could Not Read"),
                 tr("Could not read %1: %2.\n\nThe editor stays empty, and the file is left as "
                    "it is.")
                     .arg(shown(path), reason));
        return;
    }

    setEditorText(editor, content.text);
    file.savedText = documentText(editor->document());
    file.stamp = content.stamp;
    if (content.lossy) {
        file.savingChanges = tr("it holds bytes that are not %1 text, which show as \uFFFD")
                                 .arg(content.encoding);
    } else if (file.savedText != withLineFeeds(content.text)) {
        file.savingChanges = tr("it holds characters that the editor shows as line breaks");
    }
    if (file.savingChanges.isEmpty()) {
        toldAbout.remove(path);
        return;
    }
    tellOnce(path, tr("Text Not Shown Exactly"),
             tr("%1: %2.\n\nThe file is left as it is unless its text is changed, and the first "
                "save of a change asks before it replaces the file.")
                 .arg(shown(path), file.savingChanges));
}

void MainWindow::tellOnce(const QString &path, const QString &title, const QString &text)
{
    if (toldAbout.contains(path))
        return;
    toldAbout.insert(path);
    showPlainMessage(this, QMessageBox::Warning, title, text);
}

bool MainWindow::saveDocument(QPlainTextEdit *editor, const QString &path, DocumentFile &file)
{
    const QString text = documentText(editor->document());
    if (path.isEmpty() || text == file.savedText)
        return true;
    if (!file.readError.isEmpty())
        return goOn(askAboutUnreadFile(this, path, file.readError));
    if (!fileMatches(path, file.stamp)) {
        switch (askAboutChangedFile(this, path)) {
        case ChangedFileAnswer::Reload:
            // What the moment was doing stops, so that the user sees the text first.
            loadDocument(editor, path, file);
            return false;
        case ChangedFileAnswer::Overwrite:
            break;
        case ChangedFileAnswer::Cancel:
            return false;
        }
    }
    if (!file.savingChanges.isEmpty()) {
        const auto answer = askBeforeReplacing(this, path, file.savingChanges);
        if (answer != QMessageBox::Save)
            return goOn(answer);
    }
    for (;;) {
        QString reason;
        if (writeDocument(path, text, file, &reason))
            return true;
        const auto answer = askAfterFailedSave(this, path, reason);
        if (answer != QMessageBox::Retry)
            return goOn(answer);
    }
}

bool MainWindow::writeDocument(const QString &path, const QString &text, DocumentFile &file,
                               QString *errorString)
{
    FileStamp stamp;
    if (!writeTextFile(path, text, &stamp, errorString))
        return false;
    file = DocumentFile();
    file.savedText = text;
    file.stamp = stamp;
    return true;
}

void MainWindow::saveWithoutAsking(QPlainTextEdit *editor, const QString &path,
                                   DocumentFile &file)
{
    const QString text = documentText(editor->document());
    if (path.isEmpty() || text == file.savedText)
        return;
    QString reason;
    if (!file.readError.isEmpty())
        reason = tr("it could not be read when it was opened (%1)").arg(file.readError);
    else if (!fileMatches(path, file.stamp))
        reason = tr("it has changed on disk since it was opened or last saved");
    else if (!file.savingChanges.isEmpty())
        reason = file.savingChanges;
    else if (writeDocument(path, text, file, &reason))
        return;
    qWarning("Could not save %s: %s.", qUtf8Printable(shown(path)), qUtf8Printable(reason));
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!useExternalEditor && !(saveStdlibDocument() && savePaintingDocument())) {
        event->ignore();
        return;
    }
    closeSettled = true;
    stopRender();
    QMainWindow::closeEvent(event);
}
