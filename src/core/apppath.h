#ifndef APPPATH_H
#define APPPATH_H

#include <QString>

class QDir;

// The path of name inside the folder that holds the executable.
QString appRelativePath(const QString &name);

// The path of the entry name inside folder, whatever name looks like: QDir::filePath would
// take a name starting with ":" for a resource path and return it unchanged.
QString pathInFolder(const QDir &folder, const QString &name);

#endif // APPPATH_H
