#ifndef FRAMECACHE_H
#define FRAMECACHE_H

#include <QHash>
#include <QImage>
#include <QList>
#include <QtGlobal>

// The frames of an animation kept in memory for playing, up to a number of bytes: beyond it
// the frames kept longest go. The frame put in last always stays, however large.
class FrameCache
{
public:
    // What an animation may keep in the window.
    static constexpr qint64 defaultCap = qint64(1) << 30;

    explicit FrameCache(qint64 byteCap = defaultCap);

    // Keeps the picture as the frame, in place of one kept before.
    void insert(int frame, const QImage &picture);
    bool contains(int frame) const { return frames.contains(frame); }
    QImage frame(int frame) const { return frames.value(frame); }
    int count() const { return frames.size(); }
    qint64 bytes() const { return usedBytes; }
    qint64 cap() const { return byteCap; }
    // How many frames of this picture's size fit in the cap; at least one.
    int capacityFor(const QImage &picture) const;
    void clear();

private:
    void remove(int frame);

    qint64 byteCap;
    qint64 usedBytes = 0;
    QHash<int, QImage> frames;
    QList<int> order;   // oldest first
};

#endif // FRAMECACHE_H
