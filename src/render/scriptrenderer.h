#ifndef SCRIPTRENDERER_H
#define SCRIPTRENDERER_H

#include <QImage>
#include <QMetaType>
#include <QObject>
#include <QPoint>
#include <QSize>
#include <QString>

#include <functional>

// Turns a standard library and a painting script into a picture: a fresh engine per render,
// width and height preset to 640 x 480, both scripts evaluated, then render() called for every
// sampled pixel with x and y set before and r, g, b read after. It runs in the renderer process;
// the window reaches it through RenderClient.
class ScriptRenderer
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

    struct Result
    {
        Outcome outcome = Outcome::NoPixels;
        // The rendered rows, from firstRow on; null unless outcome is Picture. A whole picture
        // starts at row 0 and is size.height() rows high.
        QImage image;
        int firstRow = 0;
        QString errorText;   // the Error object as a string, for ScriptError; why, for RendererFailed
        ErrorSource errorSource = ErrorSource::None;
        int errorLine = 0;                  // 1-based line in errorSource; 0 when unknown
        QPoint errorPixel = QPoint(-1, -1); // script units, for an error from render()
        QSize size;          // the picture size the script asked for, for Picture and TooLarge
        QString scriptWidth; // width and height as the script left them, for NoPixels
        QString scriptHeight;
    };

    struct Rows
    {
        int first = 0;
        int last = 0;   // one past the last row
    };

    // Called once the scripts have run, with the picture's size and whether the scripts set
    // the global parallel to true; returns the rows to render. All of them when unset.
    std::function<Rows(QSize size, bool parallel)> chooseRows;
    // Makes the image that the chosen rows are rendered into; null when the picture is too
    // large. An image of its own when unset.
    std::function<QImage(int width, int rows)> createImage;
    // Called before each run of rows, the first included; returns the chosen rows to render
    // next, and none when there are no more. The chosen rows in one run when unset.
    std::function<Rows()> nextRows;
    // Called once the picture exists, before the first pixel, with its number of rows.
    std::function<void(int rowCount)> onStarted;
    // Called with the row about to be rendered, on every progress interval's row.
    std::function<void(int row)> onProgress;

    Result render(const QString &stdlibText, const QString &paintingText, int step);
};

Q_DECLARE_METATYPE(ScriptRenderer::Result)

#endif // SCRIPTRENDERER_H
