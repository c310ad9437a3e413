#include "app/scriptdocument.h"

#include "app/codeeditor.h"
#include "app/messagebox.h"
#include "core/textfile.h"

#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QTextDocument>
#include <QTextOption>

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

void setEditorText(CodeEditor *editor, const QString &text)
{
    editor->setWordWrapMode(hasVeryLongLine(text) ? QTextOption::WrapAnywhere
                                                  : QTextOption::WrapAtWordBoundaryOrAnywhere);
    editor->setPlainText(text);
}

ChangedFileAnswer askAboutChangedFile(QWidget *parent, const QString &path)
{
    QMessageBox box(QMessageBox::Warning, ScriptDocument::tr("File Changed"),
                    ScriptDocument::tr("%1 has changed on disk since it was opened or last "
                                       "saved.\n\nReload shows what it holds now and drops the "
                                       "changes made here, and nothing else happens; Overwrite "
                                       "saves the changes made here over it; Cancel stays with "
                                       "them.")
                        .arg(shown(path)),
                    QMessageBox::Cancel, parent);
    box.setTextFormat(Qt::PlainText);
    QPushButton *reload = box.addButton(ScriptDocument::tr("Reload"), QMessageBox::DestructiveRole);
    QPushButton *overwrite = box.addButton(ScriptDocument::tr("Overwrite"), QMessageBox::AcceptRole);
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
    return ScriptDocument::tr("Discard goes on without saving the changes; Cancel stays with them.");
}

QMessageBox::StandardButton askAboutUnreadFile(QWidget *parent, const QString &path,
                                               const QString &readError)
{
    return showPlainMessage(
        parent, QMessageBox::Warning, ScriptDocument::tr("Could Not Save"),
        ScriptDocument::tr("%1 could not be read when it was opened (%2), so it is not written "
                           "over.\n\n%3")
            .arg(shown(path), readError, choices()),
        QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Cancel);
}

QMessageBox::StandardButton askBeforeReplacing(QWidget *parent, const QString &path,
                                               const QString &changes)
{
    return showPlainMessage(
        parent, QMessageBox::Warning, ScriptDocument::tr("Replace the File?"),
        ScriptDocument::tr("Saving %1 replaces more than the changes: %2.\n\nSave writes the "
                           "text as it is shown. %3")
            .arg(shown(path), changes, choices()),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Cancel);
}

QMessageBox::StandardButton askAfterFailedSave(QWidget *parent, const QString &path,
                                               const QString &reason)
{
    return showPlainMessage(
        parent, QMessageBox::Warning, ScriptDocument::tr("Could Not Save"),
        ScriptDocument::tr("Could not save %1: %2.\n\nRetry tries again. %3")
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

ScriptDocument::ScriptDocument(CodeEditor *editor, QWidget *parentWindow)
    : QObject(parentWindow)
    , textEditor(editor)
    , window(parentWindow)
{
    // Every document is the editor's child, so that none goes while the editor may still show
    // it; the one the editor made itself it deletes once another is shown.
    show(CodeEditor::createDocument(textEditor));
}

void ScriptDocument::setPath(const QString &path)
{
    filePath = path;
    delete keptDocuments.take(path).text;
}

void ScriptDocument::switchTo(const QString &path)
{
    if (path == filePath)
        return;
    QTextDocument *left = textEditor->document();
    const bool keepLeft =
        !filePath.isEmpty() && file.readError.isEmpty() && text() == file.savedText;
    if (keepLeft)
        keptDocuments.insert(filePath, {left, file, textEditor->textCursor().position()});

    filePath = path;
    const KeptDocument back = keptDocuments.take(path);
    if (back.text && fileMatches(path, back.file.stamp)) {
        show(back.text, back.cursorPosition);
        file = back.file;
    } else {
        show(CodeEditor::createDocument(textEditor));
        delete back.text;
        load();
    }
    if (!keepLeft)
        delete left;
}

void ScriptDocument::forgetFile()
{
    QTextDocument *left = textEditor->document();
    show(CodeEditor::createDocument(textEditor));
    delete left;
    filePath.clear();
    file = DocumentFile();
}

void ScriptDocument::show(QTextDocument *shown, int cursorPosition)
{
    textEditor->showDocument(shown, cursorPosition);
    textEditor->ensureCursorVisible();
}

QString ScriptDocument::text() const
{
    return documentText(textEditor->document());
}

void ScriptDocument::load()
{
    TextFileContent content;
    QString reason;
    if (!readTextFile(filePath, &content, &reason)) {
        file = DocumentFile();
        file.readError = reason;
        setEditorText(textEditor, QString());
        tellOnce(tr("Could Not Read"),
                 tr("Could not read %1: %2.\n\nThe editor stays empty, and the file is left as "
                    "it is.")
                     .arg(shown(filePath), reason));
        return;
    }

    putInEditor(content);
    if (file.savingChanges.isEmpty()) {
        toldAbout.remove(filePath);
        return;
    }
    tellOnce(tr("Text Not Shown Exactly"),
             tr("%1: %2.\n\nThe file is left as it is unless its text is changed, and the first "
                "save of a change asks before it replaces the file.")
                 .arg(shown(filePath), file.savingChanges));
}

bool ScriptDocument::reloadQuietly(bool mustExist, QString *errorString)
{
    TextFileContent content;
    if (!readTextFile(filePath, &content, errorString))
        return false;
    if (mustExist && !content.stamp.exists) {
        *errorString = tr("there is no such file");
        return false;
    }
    putInEditor(content);
    return true;
}

void ScriptDocument::putInEditor(const TextFileContent &content)
{
    setEditorText(textEditor, content.text);
    file = DocumentFile();
    file.savedText = text();
    file.stamp = content.stamp;
    if (content.lossy) {
        file.savingChanges = tr("it holds bytes that are not %1 text, which show as \uFFFD")
                                 .arg(content.encoding);
    } else if (file.savedText != withLineFeeds(content.text)) {
        file.savingChanges = tr("it holds characters that the editor shows as line breaks");
    }
}

void ScriptDocument::tellOnce(const QString &title, const QString &message)
{
    if (toldAbout.contains(filePath))
        return;
    toldAbout.insert(filePath);
    showPlainNotice(window, QMessageBox::Warning, title, message);
}

bool ScriptDocument::save()
{
    const QString current = text();
    if (filePath.isEmpty() || current == file.savedText)
        return true;
    if (!file.readError.isEmpty())
        return goOn(askAboutUnreadFile(window, filePath, file.readError));
    if (!fileMatches(filePath, file.stamp)) {
        switch (askAboutChangedFile(window, filePath)) {
        case ChangedFileAnswer::Reload:
            // What the moment was doing stops, so that the user sees the text first.
            load();
            return false;
        case ChangedFileAnswer::Overwrite:
            break;
        case ChangedFileAnswer::Cancel:
            return false;
        }
    }
    if (!file.savingChanges.isEmpty()) {
        const auto answer = askBeforeReplacing(window, filePath, file.savingChanges);
        if (answer != QMessageBox::Save)
            return goOn(answer);
    }
    for (;;) {
        QString reason;
        if (write(filePath, current, &reason))
            return true;
        const auto answer = askAfterFailedSave(window, filePath, reason);
        if (answer != QMessageBox::Retry)
            return goOn(answer);
    }
}

void ScriptDocument::saveWithoutAsking()
{
    const QString current = text();
    if (filePath.isEmpty() || current == file.savedText)
        return;
    QString reason;
    if (!file.readError.isEmpty())
        reason = tr("it could not be read when it was opened (%1)").arg(file.readError);
    else if (!fileMatches(filePath, file.stamp))
        reason = tr("it has changed on disk since it was opened or last saved");
    else if (!file.savingChanges.isEmpty())
        reason = file.savingChanges;
    else if (write(filePath, current, &reason))
        return;
    qWarning("Could not save %s: %s.", qUtf8Printable(shown(filePath)), qUtf8Printable(reason));
}

bool ScriptDocument::saveAs(const QString &path, QString *errorString)
{
    if (!write(path, text(), errorString))
        return false;
    setPath(path);
    return true;
}

bool ScriptDocument::write(const QString &path, const QString &current, QString *errorString)
{
    FileStamp stamp;
    if (!writeTextFile(path, current, &stamp, errorString))
        return false;
    file = DocumentFile();
    file.savedText = current;
    file.stamp = stamp;
    return true;
}
