#ifndef PICTUREINPROGRESS_H
#define PICTUREINPROGRESS_H

#include "app/imageview.h"
#include "core/renderresult.h"

#include <QImage>
#include <QSize>

// A render's rows drawn into the view as they arrive: over the picture shown before when it
// has the same size, over a plain background otherwise. What the view showed before comes
// back when the render does not finish.
class PictureInProgress
{
public:
    explicit PictureInProgress(ImageView *view);

    // rows holds the picture rows of range, of a picture of pictureSize rendered every step
    // painting units.
    void drawRows(const QImage &rows, const RowRange &range, const QSize &pictureSize, int step);
    bool hasDrawn() const { return drawing; }
    // Brings back what the view showed before the first rows; then nothing more is drawn.
    void restore();
    // The render's own picture takes the rows' place: there is nothing to bring back.
    void finish();

private:
    void begin(const QSize &pictureSize, int step);

    ImageView *view;
    bool drawing = false;
    bool ended = false;
    ImageView::Shown before;
    bool wasHidden = true;
    int maximumWidth = 0;
    QSize canvasSize;   // of the picture shown for the rows, once there is one
};

#endif // PICTUREINPROGRESS_H
