#include "app/pictureinprogress.h"

#include <QColor>
#include <QPalette>
#include <QPixmap>

PictureInProgress::PictureInProgress(ImageView *imageView)
    : view(imageView)
{
}

void PictureInProgress::drawRows(const QImage &rows, const RowRange &range,
                                 const QSize &pictureSize, int step)
{
    if (ended || rows.isNull() || range.isEmpty())
        return;
    if (!drawing)
        begin(pictureSize, step);
    if (canvasSize == pictureSize)
        view->drawRows(rows, range);
}

void PictureInProgress::begin(const QSize &pictureSize, int step)
{
    drawing = true;
    before = view->shown();
    wasHidden = view->isHidden();
    maximumWidth = view->maximumWidth();
    // A shown view is not narrowed while the rows come, so that the zoom and place of the
    // picture before come back as they were.
    const int rowsWidth = pictureSize.width() * step;
    view->setMaximumWidth(wasHidden ? rowsWidth : qMax(rowsWidth, maximumWidth));
    if (!wasHidden && before.picture.size() == pictureSize) {
        // Drawn into, the picture shown becomes one of its own, and its scaled copy stays.
        view->setStep(step);
        view->setOutOfDate(false);
    } else {
        view->setBlank(pictureSize, view->palette().color(QPalette::Base), step);
    }
    // Without the memory for a picture of its own the rows are not drawn, and the picture
    // comes at the end.
    if (view->sizeHint() != pictureSize)
        return;
    canvasSize = pictureSize;
    view->setVisible(true);
}

void PictureInProgress::restore()
{
    if (ended)
        return;
    ended = true;
    if (!drawing)
        return;
    view->restore(before);
    view->setMaximumWidth(maximumWidth);
    view->setVisible(!wasHidden);
}

void PictureInProgress::finish()
{
    ended = true;
}
