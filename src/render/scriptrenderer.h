#ifndef SCRIPTRENDERER_H
#define SCRIPTRENDERER_H

#include <QImage>
#include <QPoint>
#include <QSize>
#include <QString>

#include <functional>

// Turns a standard library and a painting script into a picture: a fresh engine per render,
// width and height preset to 640 x 480, both scripts evaluated, then render() called for every
// sampled pixel with x and y set before and r, g, b read after.
class ScriptRenderer
{
public:
    enum class Outcome { Picture, ScriptError, NoPixels, TooLarge, Stopped };
    // Which script an error comes from, as far as the engine tells.
    enum class ErrorSource { None, Stdlib, Painting };

    struct Result
    {
        Outcome outcome = Outcome::NoPixels;
        QImage image;        // null unless outcome is Picture
        QString errorText;   // the Error object as a string, for ScriptError
        ErrorSource errorSource = ErrorSource::None;
        int errorLine = 0;                // 1-based line in errorSource; 0 when unknown
        QPoint errorPixel = QPoint(-1, -1); // script units, for an error from render()
        QSize size;          // the picture size the script asked for, for TooLarge
        QString scriptWidth; // width and height as the script left them, for NoPixels
        QString scriptHeight;
    };

    // Called once the picture exists, before the first pixel, with its number of rows.
    std::function<void(int rowCount)> onStarted;
    // Called with the row about to be rendered, on every progress interval's row.
    std::function<void(int row)> onProgress;
    // When set, the engine processes events about every tenth of a second while scripts run
    // and asks this; true stops the render, also inside a script that never returns.
    std::function<bool()> shouldStop;

    Result render(const QString &stdlibText, const QString &paintingText, int step);

    // The byte for one channel: the low 8 bits of the exact product value x 255 truncated
    // toward zero; 0 for values that are not finite or whose product leaves 32 bits.
    static quint8 channelByte(double value);
};

#endif // SCRIPTRENDERER_H
