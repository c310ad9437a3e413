#include "core/safesave.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <sys/stat.h>

namespace {

QString translate(const char *text)
{
    return QCoreApplication::translate("SafeSave", text);
}

bool fail(QString *errorString, const QString &reason)
{
    if (errorString)
        *errorString = reason;
    return false;
}

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return translate("a folder");
    if (S_ISFIFO(mode))
        return translate("a named pipe");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return translate("a device");
    if (S_ISSOCK(mode))
        return translate("a socket");
    return QString();
}

} // namespace

QString unreplaceableReason(const QString &path)
{
    // stat() follows every link, as the rename that saving ends with would replace the last
    // one's target. A dangling link names nothing yet: saving creates its target.
    struct stat status;
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &status) != 0
        || S_ISREG(status.st_mode))
        return QString();
    const QString kind = kindOf(status.st_mode);
    const bool link = QFileInfo(path).isSymLink();
    if (kind.isEmpty())
        return link ? translate("it is a link to something that is not a regular file")
                    : translate("it is not a regular file");
    return (link ? translate("it is a link to %1, not a regular file")
                 : translate("it is %1, not a regular file"))
        .arg(kind);
}

bool saveFileSafely(const QString &path, const QByteArray &bytes, QString *errorString)
{
    // Renaming over a device or a pipe would replace it with a plain file.
    QString refusal = unreplaceableReason(path);
    if (!refusal.isEmpty())
        return fail(errorString, refusal);
    // Unbuffered, because a buffered write that fails only when commit() flushes it can still
    // be renamed over the old file, cut short.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(errorString, file.errorString());
    // A short write is not an error yet; writing the rest brings out the system's reason.
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 count = file.write(bytes.constData() + written, bytes.size() - written);
        if (count <= 0) {
            const QString reason = file.errorString();
            file.cancelWriting();
            return fail(errorString, reason);
        }
        written += count;
    }
    // The target may have been replaced while the bytes were written.
    refusal = unreplaceableReason(path);
    if (!refusal.isEmpty()) {
        file.cancelWriting();
        return fail(errorString, refusal);
    }
    if (!file.commit())
        return fail(errorString, file.errorString());
    return true;
}
