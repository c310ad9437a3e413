#ifndef FRAMERANGE_H
#define FRAMERANGE_H

#include <QString>
#include <QVector>

// The frames that --frames names: "N", "A-B" or "A..B" (both ends included), or a comma list of
// those; in increasing order, each once. False, with the reason, for anything else: words,
// negative numbers, a range that runs backwards, numbers beyond 32 bits.
bool parseFrameRange(const QString &text, QVector<int> *frames, QString *errorString);

#endif // FRAMERANGE_H
