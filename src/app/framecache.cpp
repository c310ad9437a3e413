#include "app/framecache.h"

namespace {

qint64 linesBytes(const ConsoleLines &lines)
{
    qint64 bytes = 0;
    for (const ConsoleLine &line : lines.lines)
        bytes += qint64(sizeof(ConsoleLine)) + line.text.size() * qint64(sizeof(QChar));
    return bytes;
}

} // namespace

FrameCache::FrameCache(qint64 cap)
    : byteCap(cap)
{
}

void FrameCache::insert(int frame, const QImage &picture, const ConsoleLines &lines)
{
    remove(frame);
    const qint64 bytes = picture.sizeInBytes() + linesBytes(lines);
    frames.insert(frame, Kept{picture, lines, bytes});
    order.append(frame);
    usedBytes += bytes;
    while (usedBytes > byteCap && order.size() > 1)
        remove(order.first());
}

int FrameCache::capacityFor(const QImage &picture) const
{
    const qint64 frameBytes = qMax<qint64>(1, picture.sizeInBytes());
    return int(qBound<qint64>(1, byteCap / frameBytes, 1 << 30));
}

void FrameCache::clear()
{
    frames.clear();
    order.clear();
    usedBytes = 0;
}

void FrameCache::remove(int frame)
{
    const auto found = frames.constFind(frame);
    if (found == frames.constEnd())
        return;
    usedBytes -= found->bytes;
    frames.erase(found);
    order.removeOne(frame);
}
