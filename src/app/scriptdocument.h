#ifndef SCRIPTDOCUMENT_H
#define SCRIPTDOCUMENT_H

#include "app/documentfile.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

class CodeEditor;
struct TextFileContent;
class QTextDocument;
class QWidget;

// One script the window edits: its editor, the file behind it and what is known of that file.
// The file is written only at a save moment, only when the text changed, and never over what
// could not be read or has changed on disk without the user's say. Each file shown keeps its
// text document, undo history included, while the program runs.
class ScriptDocument : public QObject
{
    Q_OBJECT

public:
    // Questions and notices about the file are boxes over window.
    ScriptDocument(CodeEditor *editor, QWidget *window);

    CodeEditor *editor() const { return textEditor; }
    const QString &path() const { return filePath; }
    // The text shown now stands for the file at path, as it is when the external editor holds
    // the files.
    void setPath(const QString &path);
    // Shows the file at path: its document as it was left, with its undo history, or the file's
    // text read anew when it has none or the file has changed on disk since. The document left
    // is kept when its file holds its text; a text whose save was given up goes.
    void switchTo(const QString &path);
    // Lets the file go without writing it, its document and undo history with it, as when the
    // file has gone to the trash. The editor is left empty, with no file behind it.
    void forgetFile();
    // The editor's text as it is saved, every character kept.
    QString text() const;
    // Why the file could not be read when it was loaded; empty when it was.
    const QString &readError() const { return file.readError; }

    // Puts the file's text into the editor. Trouble reading it, or text the editor cannot show
    // exactly, is told once per file.
    void load();
    // The same without a word to the user, for a render that follows the file: false with the
    // reason, the editor left as it was, when the file cannot be read or, with mustExist, is
    // missing.
    bool reloadQuietly(bool mustExist, QString *errorString);
    // Writes the editor's text to the file at a save moment, unless it is unchanged. When the
    // file cannot simply be replaced the user chooses; false means the user cancelled, and
    // whatever the moment was doing should not happen.
    bool save();
    // For a window destroyed without being closed, when there is no one left to ask: a file
    // that cannot simply be replaced is left as it is, with a warning on the terminal.
    void saveWithoutAsking();
    // Writes the editor's text to path, which becomes this document's file.
    bool saveAs(const QString &path, QString *errorString);

private:
    // A document not shown, as its file was left.
    struct KeptDocument
    {
        QTextDocument *text = nullptr;
        DocumentFile file;
        int cursorPosition = 0;
    };

    void show(QTextDocument *shown, int cursorPosition = 0);
    void putInEditor(const TextFileContent &content);
    bool write(const QString &path, const QString &text, QString *errorString);
    void tellOnce(const QString &title, const QString &text);

    CodeEditor *textEditor;
    QWidget *window;
    QString filePath;
    DocumentFile file;
    QHash<QString, KeptDocument> keptDocuments;   // by path
    QSet<QString> toldAbout;   // files whose reading trouble the user has been told of
};

#endif // SCRIPTDOCUMENT_H
