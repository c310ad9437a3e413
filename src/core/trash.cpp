#include "core/trash.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QStringList>

#include <unistd.h>

namespace {

QString translate(const char *text)
{
    return QCoreApplication::translate("Trash", text);
}

bool fail(QString *errorString, const QString &reason)
{
    if (errorString)
        *errorString = reason;
    return false;
}

const QStringList &trashParts()
{
    static const QStringList parts{QStringLiteral("files"), QStringLiteral("info")};
    return parts;
}

// Without a home trash Qt moves the file into folders it makes beside the current folder, and
// says that it succeeded.
bool makeHomeTrash(const QString &trash, QString *errorString)
{
    const bool existed = QFileInfo::exists(trash);
    for (const QString &part : trashParts()) {
        const QString folder = trash + QLatin1Char('/') + part;
        if (!QDir().mkpath(folder)) {
            return fail(errorString, translate("the trash folder %1 cannot be made")
                                         .arg(QDir::toNativeSeparators(folder)));
        }
    }
    // The trash holds what the user threw away, for no one else to read.
    if (!existed)
        QFile::setPermissions(trash, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return true;
}

// The trashes Qt may pick: a file on another device than the home folder goes to that device's
// own trash when it has one or one can be made there.
QStringList trashesFor(const QString &path, const QString &homeTrash)
{
    QStringList trashes{homeTrash};
    const QStorageInfo device(QFileInfo(path).absolutePath());
    if (device == QStorageInfo(QDir::home()))
        return trashes;
    const QDir top(device.rootPath());
    const QString user = QString::number(getuid());
    trashes << top.filePath(QStringLiteral(".Trash/") + user)
            << top.filePath(QStringLiteral(".Trash-") + user);
    return trashes;
}

// Qt 5.15 tries new names for ever when it cannot write into a trash folder.
bool canWriteTo(const QString &trash, QString *errorString)
{
    for (const QString &part : trashParts()) {
        const QFileInfo folder(trash + QLatin1Char('/') + part);
        if (folder.exists() && !(folder.isDir() && folder.isWritable())) {
            return fail(errorString, translate("the trash folder %1 cannot be written to")
                                         .arg(QDir::toNativeSeparators(folder.filePath())));
        }
    }
    return true;
}

} // namespace

bool moveFileToTrash(const QString &path, QString *errorString)
{
    const QFileInfo file(path);
    if (!file.exists() && !file.isSymLink())
        return fail(errorString, translate("there is no such file"));
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataHome.isEmpty())
        return fail(errorString, translate("there is no home folder to keep a trash in"));
    const QString homeTrash = QDir(dataHome).filePath(QStringLiteral("Trash"));
    if (!makeHomeTrash(homeTrash, errorString))
        return false;
    const QStringList trashes = trashesFor(path, homeTrash);
    for (const QString &trash : trashes) {
        if (!canWriteTo(trash, errorString))
            return false;
    }
    QFile trashed(path);
    if (!trashed.moveToTrash())
        return fail(errorString, trashed.errorString());
    return true;
}
