#ifndef CONSOLELINE_H
#define CONSOLELINE_H

#include <QMetaType>
#include <QPointF>
#include <QString>
#include <QVector>

// One line that a painting printed with print() or console.log, info, warn or error.
struct ConsoleLine
{
    enum class Kind { Log, Info, Warning, Error };

    Kind kind = Kind::Log;
    QString text;   // without line breaks: a text with several lines gives several lines
    // The pixel, in painting units, whose render() call printed it; (-1, -1) for the scripts'
    // top level.
    QPointF pixel = QPointF(-1, -1);

    bool isFromTopLevel() const { return pixel.x() < 0; }
    friend bool operator==(const ConsoleLine &a, const ConsoleLine &b)
    {
        return a.kind == b.kind && a.text == b.text && a.pixel == b.pixel;
    }
};

// The lines of one render: the first ones, and how many more were printed.
struct ConsoleLines
{
    // The window keeps at most this many lines of a render.
    static constexpr int kept = 1000;

    QVector<ConsoleLine> lines;
    qint64 dropped = 0;

    bool isEmpty() const { return lines.isEmpty() && dropped == 0; }
    // Adds lines printed after these, then unsent more that were only counted: the first kept
    // of them all are held, the rest counted. Returns how many of more it holds.
    int append(const QVector<ConsoleLine> &more, qint64 unsent = 0)
    {
        const int room = dropped > 0 ? 0 : qMax(0, kept - lines.size());
        const int taken = qMin(room, more.size());
        lines += more.mid(0, taken);
        dropped += more.size() - taken + unsent;
        return taken;
    }
};

Q_DECLARE_METATYPE(ConsoleLine)
Q_DECLARE_METATYPE(ConsoleLines)

#endif // CONSOLELINE_H
