#ifndef LINEOUTBOX_H
#define LINEOUTBOX_H

#include "protocol/renderprotocol.h"

// The lines a renderer's scripts have printed and it has not sent yet. The render is sent in
// parts (the top level, then the rows or each range of them); with the lines capped, each part
// sends at most ConsoleLines::kept of its lines and only counts the rest, which is all that the
// window keeps of a whole render.
class LineOutbox
{
public:
    explicit LineOutbox(bool capped = true) : linesCapped(capped) {}

    // Whether the next line would be sent rather than only counted.
    bool wantsLines() const { return !linesCapped || sentInPart < ConsoleLines::kept; }
    // Returns true when enough lines wait that they should be sent now.
    bool add(const ConsoleLine &line);
    // Lines printed that are only counted.
    void count(qint64 lines) { waiting.unsent += lines; }
    bool isEmpty() const { return waiting.lines.isEmpty() && waiting.unsent == 0; }
    // The lines waiting, for a Lines message; the outbox is empty after.
    RenderProtocol::Lines take();
    // The next part begins: take() the last part's lines first.
    void startPart() { sentInPart = 0; }

private:
    bool linesCapped;
    int sentInPart = 0;
    qint64 waitingCharacters = 0;
    RenderProtocol::Lines waiting;
};

#endif // LINEOUTBOX_H
