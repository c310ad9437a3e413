#include "core/apppath.h"

#include <QCoreApplication>
#include <QDir>

QString appRelativePath(const QString &name)
{
    return pathInFolder(QDir(QCoreApplication::applicationDirPath()), name);
}

QString pathInFolder(const QDir &folder, const QString &name)
{
    return folder.absolutePath() + QLatin1Char('/') + name;
}
