#include "app/framecache.h"

FrameCache::FrameCache(qint64 cap)
    : byteCap(cap)
{
}

void FrameCache::insert(int frame, const QImage &picture)
{
    remove(frame);
    frames.insert(frame, picture);
    order.append(frame);
    usedBytes += picture.sizeInBytes();
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
    usedBytes -= found->sizeInBytes();
    frames.erase(found);
    order.removeOne(frame);
}
