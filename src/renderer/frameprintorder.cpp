#include "renderer/frameprintorder.h"

void FramePrintOrder::setFrames(const QVector<int> &frames)
{
    order = frames;
    printing = 0;
}

bool FramePrintOrder::isPrinting(int frame) const
{
    return order.isEmpty() || (printing < order.size() && order.at(printing) == frame);
}

QVector<ConsoleLine> FramePrintOrder::add(int frame, const QVector<ConsoleLine> &lines)
{
    if (isPrinting(frame))
        return lines;
    waiting[frame] += lines;
    return {};
}

QVector<ConsoleLine> FramePrintOrder::frameDone(int frame)
{
    done.insert(frame);
    QVector<ConsoleLine> released;
    while (printing < order.size() && done.contains(order.at(printing))) {
        ++printing;
        if (printing < order.size())
            released += waiting.take(order.at(printing));
    }
    return released;
}
