#ifndef APPPATH_H
#define APPPATH_H

#include <QString>

// The path of name inside the folder that holds the executable.
QString appRelativePath(const QString &name);

#endif // APPPATH_H
