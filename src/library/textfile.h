#ifndef TEXTFILE_H
#define TEXTFILE_H

#include <QString>

// Script files are read and written whole, in the system locale's encoding, with line feeds as
// the editor gives them and no byte-order mark.

enum class ReadOutcome {
    Read,       // the whole file was read and decoded
    Missing,    // there is no file at the path (or the path is empty)
    Unreadable  // something is there, but it could not be read or is not text in our encoding
};

// Returns the file's whole text, or an empty string when it cannot be read.
QString readTextFile(const QString &path);

// The same, telling a missing file from one that exists but could not be read faithfully.
// errorString, when given, receives the reason of an Unreadable outcome.
QString readTextFile(const QString &path, ReadOutcome *outcome, QString *errorString = nullptr);

// Replaces the file's content with text, through a temporary file renamed over the old one, so
// that a failed write leaves the previous content whole. Permissions are kept and a symbolic
// link keeps pointing at its target, which receives the text. On failure the file is unchanged,
// false is returned and errorString, when given, receives the reason.
bool writeTextFile(const QString &path, const QString &text, QString *errorString = nullptr);

// Replaces the file at to with a byte copy of the file at from, in the same safe way.
bool copyFileReplacing(const QString &from, const QString &to, QString *errorString = nullptr);

#endif // TEXTFILE_H
