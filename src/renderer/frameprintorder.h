#ifndef FRAMEPRINTORDER_H
#define FRAMEPRINTORDER_H

#include "core/consoleline.h"

#include <QHash>
#include <QSet>
#include <QVector>

// Puts the lines that frames rendered at once print in the order of the frames, as one process
// rendering them one after another would print them: the lines of the first frame not yet done
// pass at once, those of a later frame wait until every frame before it is done. The lines of a
// frame after a failed one never pass, since the failed frame is never done.
class FramePrintOrder
{
public:
    // The frames in the order their lines are written. Until they are set, lines pass at once.
    void setFrames(const QVector<int> &frames);
    // Lines the frame printed: returns those to write now.
    QVector<ConsoleLine> add(int frame, const QVector<ConsoleLine> &lines);
    // The frame has rendered: returns the lines of the frames after it to write now.
    QVector<ConsoleLine> frameDone(int frame);

private:
    bool isPrinting(int frame) const;

    QVector<int> order;
    int printing = 0;   // the index in order of the frame whose lines pass
    QHash<int, QVector<ConsoleLine>> waiting;
    QSet<int> done;
};

#endif // FRAMEPRINTORDER_H
