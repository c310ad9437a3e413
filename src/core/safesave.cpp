#include "core/safesave.h"

#include <QSaveFile>

namespace {

bool fail(QString *errorString, const QString &reason)
{
    if (errorString)
        *errorString = reason;
    return false;
}

} // namespace

bool saveFileSafely(const QString &path, const QByteArray &bytes, QString *errorString)
{
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
    if (!file.commit())
        return fail(errorString, file.errorString());
    return true;
}
