#ifndef SCRIPTDOCUMENT_H
#define SCRIPTDOCUMENT_H

#include "app/documentfile.h"

#include <QObject>
#include <QSet>
#include <QString>

class CodeEditor;
struct TextFileContent;
class QWidget;

// One script the window edits: its editor, the file behind it and what is known of that file.
// The file is written only at a save moment, only when the text changed, and never over what
// could not be read or has changed on disk without the user's say.
class ScriptDocument : public QObject
{
    Q_OBJECT

public:
    // Questions and notices about the file are boxes over window.
    ScriptDocument(CodeEditor *editor, QWidget *window);

    CodeEditor *editor() const { return textEditor; }
    const QString &path() const { return filePath; }
    void setPath(const QString &path) { filePath = path; }
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
    void putInEditor(const TextFileContent &content);
    bool write(const QString &path, const QString &text, QString *errorString);
    void tellOnce(const QString &title, const QString &text);

    CodeEditor *textEditor;
    QWidget *window;
    QString filePath;
    DocumentFile file;
    QSet<QString> toldAbout;   // files whose reading trouble the user has been told of
};

#endif // SCRIPTDOCUMENT_H
