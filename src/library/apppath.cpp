#include "library/apppath.h"

#include <QCoreApplication>
#include <QDir>

QString appRelativePath(const QString &name)
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(name);
}
