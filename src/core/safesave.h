#ifndef SAFESAVE_H
#define SAFESAVE_H

#include <QByteArray>
#include <QString>

// Why the file at path must not be replaced, in lower case so that it fits into a sentence:
// once symbolic links are followed it is a folder, a named pipe, a device or anything else that
// is not a regular file. Empty when there is nothing at path yet, or a regular file.
QString unreplaceableReason(const QString &path);

// Replaces the file at path with bytes through a temporary file renamed over it, so that a
// failed write leaves the previous content whole. Permissions are kept, and a symbolic link
// keeps pointing at its target, which receives the bytes. A target that is not a regular file
// (see unreplaceableReason) is refused and never renamed over. Every file the program writes
// goes through here. On failure the file is unchanged, false is returned and errorString, when
// given, receives the reason.
bool saveFileSafely(const QString &path, const QByteArray &bytes, QString *errorString = nullptr);

#endif // SAFESAVE_H
