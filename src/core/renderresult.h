#ifndef RENDERRESULT_H
#define RENDERRESULT_H

#include "core/consoleline.h"

#include <QImage>
#include <QMetaType>
#include <QObject>
#include <QPoint>
#include <QPointF>
#include <QRgb>
#include <QSize>
#include <QString>
#include <QStringList>

// A range of picture rows [first, last), counted from the top of the whole picture.
struct RowRange
{
    int first = 0;
    int last = 0;   // one past the last row

    int count() const { return last - first; }
    bool isEmpty() const { return last <= first; }
    friend bool operator==(const RowRange &a, const RowRange &b)
    {
        return a.first == b.first && a.last == b.last;
    }
};

// How a render ended: its picture, or why there is none and where the scripts failed.
struct RenderResult
{
    Q_GADGET

public:
    enum class Outcome {
        Picture,
        ScriptError,
        NoPixels,
        TooLarge,
        Stopped,
        RendererFailed   // the renderer process could not start or stopped before its result
    };
    Q_ENUM(Outcome)
    // Which script an error comes from, as far as the engine tells.
    enum class ErrorSource { None, Stdlib, Painting };
    Q_ENUM(ErrorSource)

    Outcome outcome = Outcome::NoPixels;
    // The rendered rows, from firstRow on; null unless outcome is Picture. A whole picture
    // starts at row 0 and is size.height() rows high.
    QImage image;
    int firstRow = 0;
    QString errorText;   // the Error object as a string, for ScriptError; why, for RendererFailed
    ErrorSource errorSource = ErrorSource::None;
    int errorLine = 0;                  // 1-based line in errorSource; 0 when unknown
    // Where render() was called when it failed, in painting units: x and y.
    QPointF errorPixel = QPointF(-1, -1);
    // The failing pixel's column and row in a scaled or anti-aliased picture, whose x and y
    // are not its place; (-1, -1) otherwise.
    QPoint errorCell = QPoint(-1, -1);
    // The picture size the script asked for, for Picture and TooLarge; for TooLarge invalid
    // when a side does not fit into 32 bits, which scriptWidth and scriptHeight then tell.
    QSize size;
    // The animation the scripts ask for: more than one frame animates, at fps frames a second.
    int frames = 1;
    double fps = 30;
    QString scriptWidth; // width and height as the script left them, for NoPixels and TooLarge
    QString scriptHeight;
    // What the scripts printed, in the order one process would have printed it.
    ConsoleLines console;
    // For a pixel rendered alone: the numbers render() left in r, g and b, as text, before the
    // channel rule made them the bytes of pixelColour.
    QStringList channelValues;
    QRgb pixelColour = 0;
};

Q_DECLARE_METATYPE(RowRange)
Q_DECLARE_METATYPE(RenderResult)

#endif // RENDERRESULT_H
