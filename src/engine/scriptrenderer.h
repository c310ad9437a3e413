#ifndef SCRIPTRENDERER_H
#define SCRIPTRENDERER_H

#include "core/consoleline.h"
#include "core/renderresult.h"

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
public:
    // Called once the scripts have run, with the picture's size and whether the scripts set
    // the global parallel to true; returns the rows to render. All of them when unset.
    std::function<RowRange(QSize size, bool parallel)> chooseRows;
    // Makes the image that the chosen rows are rendered into; null when the picture is too
    // large. An image of its own when unset.
    std::function<QImage(int width, int rows)> createImage;
    // Called before each range of rows, the first included; returns the chosen rows to render
    // next, and none when there are no more. The chosen rows in one range when unset.
    std::function<RowRange()> nextRows;
    // Called once the picture exists, before the first pixel, with the result so far: the
    // picture's size and the animation that the scripts ask for.
    std::function<void(const RenderResult &sized)> onStarted;
    // Called with each row about to be rendered; atInterval on every twentieth of the
    // picture, counted from its top.
    std::function<void(int row, bool atInterval)> onProgress;

    // Called with every line the scripts print; the lines go nowhere when unset.
    std::function<void(const ConsoleLine &line)> onConsoleLine;
    // Asked before each print once set: when false, the lines are only counted, for
    // onConsoleLinesCounted, and cost far less.
    std::function<bool()> consoleWantsLines;
    std::function<void(qint64 lines)> onConsoleLinesCounted;

    // The frame to render, counted from 0, at time frame / frameRate seconds.
    int frame = 0;
    double frameRate = 30;
    // The frames and fps that frame 0 asked for, which every later frame must ask for too;
    // unchecked while expectedFrames is 0.
    int expectedFrames = 0;
    double expectedFps = 0;
    // Runs the scripts' top level only, to learn frames and fps: the result has no picture.
    bool topLevelOnly = false;
    // Renders only the pixel at this place, in painting units, when x is 0 or more: the result
    // has no picture, only the pixel's channel values and colour.
    QPoint inspectedPlace = QPoint(-1, -1);

    // The picture is scale times the painting's size (divided by the step), with samples x
    // samples samples a pixel; see PictureScale.
    double scale = 1;
    int samples = 1;

    RenderResult render(const QString &stdlibText, const QString &paintingText, int step);
};

#endif // SCRIPTRENDERER_H
