#ifndef FRAMECACHE_H
#define FRAMECACHE_H

#include "core/consoleline.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QtGlobal>

// The frames of an animation kept in memory for playing, each with the lines its render
// printed, up to a number of bytes: beyond it the frames kept longest go. The frame put in last
// always stays, however large.
class FrameCache
{
public:
    // What an animation may keep in the window.
    static constexpr qint64 defaultCap = qint64(1) << 30;

    explicit FrameCache(qint64 byteCap = defaultCap);

    // Keeps the picture and the lines as the frame, in place of one kept before.
    void insert(int frame, const QImage &picture, const ConsoleLines &lines = ConsoleLines());
    bool contains(int frame) const { return frames.contains(frame); }
    QImage frame(int frame) const { return frames.value(frame).picture; }
    ConsoleLines lines(int frame) const { return frames.value(frame).lines; }
    int count() const { return frames.size(); }
    qint64 bytes() const { return usedBytes; }
    qint64 cap() const { return byteCap; }
    // How many frames of this picture's size fit in the cap; at least one.
    int capacityFor(const QImage &picture) const;
    void clear();

private:
    struct Kept
    {
        QImage picture;
        ConsoleLines lines;   // at most ConsoleLines::kept, so never much beside the picture
        qint64 bytes = 0;
    };

    void remove(int frame);

    qint64 byteCap;
    qint64 usedBytes = 0;
    QHash<int, Kept> frames;
    QList<int> order;   // oldest first
};

#endif // FRAMECACHE_H
