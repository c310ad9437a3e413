#include "renderer/framerange.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <limits>

namespace {

// A frame range may name at most this many frames, as an animation may have.
constexpr int maxFrameCount = 100000;

bool fail(QString *errorString, const QString &reason)
{
    if (errorString)
        *errorString = reason;
    return false;
}

bool frameNumber(const QString &digits, int *frame)
{
    bool ok = false;
    const qint64 value = digits.toLongLong(&ok);
    if (!ok || digits.size() > 10 || value > std::numeric_limits<int>::max())
        return false;
    *frame = int(value);
    return true;
}

} // namespace

bool parseFrameRange(const QString &text, QVector<int> *frames, QString *errorString)
{
    static const QRegularExpression part(QStringLiteral("^(\\d+)(?:(?:-|\\.\\.)(\\d+))?$"));
    frames->clear();
    const QString usage = QStringLiteral("--frames needs N, A-B, A..B or a comma list of those, "
                                         "with frames counted from 0");
    for (const QString &piece : text.split(QLatin1Char(','))) {
        const QRegularExpressionMatch match = part.match(piece.trimmed());
        if (!match.hasMatch())
            return fail(errorString, usage);
        int first = 0;
        int last = 0;
        if (!frameNumber(match.captured(1), &first))
            return fail(errorString, QStringLiteral("--frames: %1 is too large").arg(match.captured(1)));
        last = first;
        if (match.capturedLength(2) > 0 && !frameNumber(match.captured(2), &last))
            return fail(errorString, QStringLiteral("--frames: %1 is too large").arg(match.captured(2)));
        if (last < first)
            return fail(errorString, QStringLiteral("--frames: %1 runs backwards").arg(piece.trimmed()));
        if (qint64(last) - first + 1 + frames->size() > maxFrameCount) {
            return fail(errorString,
                        QStringLiteral("--frames names more than %1 frames").arg(maxFrameCount));
        }
        for (int frame = first; frame <= last; ++frame)
            frames->append(frame);
    }
    std::sort(frames->begin(), frames->end());
    frames->erase(std::unique(frames->begin(), frames->end()), frames->end());
    return true;
}
