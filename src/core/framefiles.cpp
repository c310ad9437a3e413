#include "core/framefiles.h"

namespace {

// Where the file name starts: after the last separator.
int fileNameStart(const QString &path)
{
    return path.lastIndexOf(QLatin1Char('/')) + 1;
}

} // namespace

bool namesFrameFiles(const QString &path)
{
    return path.indexOf(QLatin1Char('#'), fileNameStart(path)) >= 0;
}

QString frameFilePath(const QString &pattern, int frame)
{
    const int start = fileNameStart(pattern);
    const int last = pattern.lastIndexOf(QLatin1Char('#'));
    if (last < start)
        return pattern;
    int first = last;
    while (first > start && pattern.at(first - 1) == QLatin1Char('#'))
        --first;
    const int length = last - first + 1;
    return pattern.left(first) + QStringLiteral("%1").arg(frame, length, 10, QLatin1Char('0'))
        + pattern.mid(last + 1);
}
