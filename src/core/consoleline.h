#ifndef CONSOLELINE_H
#define CONSOLELINE_H

#include <QMetaType>
#include <QPoint>
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
    QPoint pixel = QPoint(-1, -1);

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
};

Q_DECLARE_METATYPE(ConsoleLine)

#endif // CONSOLELINE_H
