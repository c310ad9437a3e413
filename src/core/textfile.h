#ifndef TEXTFILE_H
#define TEXTFILE_H

#include <QByteArray>
#include <QString>

class QTextDocument;

// Script files are read and written whole, in the system locale's encoding (a byte-order mark
// picks a Unicode one when reading), written with line feeds and no byte-order mark.

// What a file held when the program last read or wrote it.
struct FileStamp
{
    bool exists = false;
    QByteArray hash;   // of the bytes
};

struct TextFileContent
{
    QString text;
    FileStamp stamp;
    QString encoding;     // the name of the encoding the bytes were read in
    bool lossy = false;   // some bytes are not text in that encoding and read as U+FFFD
};

// Scripts beyond this size are refused rather than held in memory and in an editor.
constexpr qint64 maxTextFileSize = 16 * 1024 * 1024;

// Reads the file's whole text. A missing file, or an empty path, reads as an empty text whose
// stamp says that there is no file. Only regular files up to maxTextFileSize are read: for
// anything else, and when reading fails, false is returned and errorString, when given,
// receives the reason.
bool readTextFile(const QString &path, TextFileContent *content, QString *errorString = nullptr);

// Replaces the file's content with text through saveFileSafely, so that on failure the file
// keeps what it held. Text that the locale's encoding cannot store is refused. On success,
// stamp, when given, describes the new file.
bool writeTextFile(const QString &path, const QString &text, FileStamp *stamp = nullptr,
                   QString *errorString = nullptr);

// Whether the file at path still holds what stamp describes (for a stamp of no file: whether
// there still is none).
bool fileMatches(const QString &path, const FileStamp &stamp);

// Replaces the file at to with a byte copy of the regular file at from, through saveFileSafely.
bool copyFileReplacing(const QString &from, const QString &to, QString *errorString = nullptr);

// The text as an editor holds it when it keeps every character: each line end (CR LF, CR,
// LF or U+2029) one line feed.
QString withLineFeeds(const QString &text);

// The document's text with every character it holds, lines separated by line feeds. Unlike
// toPlainText() it keeps no-break spaces and U+2028.
QString documentText(const QTextDocument *document);

#endif // TEXTFILE_H
