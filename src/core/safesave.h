#ifndef SAFESAVE_H
#define SAFESAVE_H

#include <QByteArray>
#include <QString>

// Replaces the file at path with bytes through a temporary file renamed over it, so that a
// failed write leaves the previous content whole. Permissions are kept, and a symbolic link
// keeps pointing at its target, which receives the bytes. Every file the program writes goes
// through here. On failure the file is unchanged, false is returned and errorString, when
// given, receives the reason.
bool saveFileSafely(const QString &path, const QByteArray &bytes, QString *errorString = nullptr);

#endif // SAFESAVE_H
