#include "app/zoompan.h"

#include <QtMath>

void ZoomPan::setPictureSize(const QSize &size)
{
    if (size != picture)
        fitted = true;
    picture = size;
}

void ZoomPan::setViewSize(const QSize &size)
{
    view = size;
    if (fitted)
        return;
    if (zoomScale <= fitScale())
        fitted = true;
    else
        keepWithinBounds();
}

void ZoomPan::fit()
{
    fitted = true;
}

qreal ZoomPan::scale() const
{
    if (!hasPicture())
        return 0;
    return fitted ? qreal(fittedRect().width()) / picture.width() : zoomScale;
}

QRectF ZoomPan::pictureRect() const
{
    if (!hasPicture())
        return QRectF();
    if (fitted)
        return QRectF(fittedRect());
    return QRectF(origin, QSizeF(picture) * zoomScale);
}

// The size and place that QPixmap::scaled and the integer centring give the fitted picture.
QRect ZoomPan::fittedRect() const
{
    if (!hasPicture())
        return QRect();
    const QSize size = picture.scaled(view, Qt::KeepAspectRatio);
    return QRect(QPoint((view.width() - size.width()) / 2, (view.height() - size.height()) / 2),
                 size);
}

bool ZoomPan::zoomAbout(const QPointF &viewPoint, qreal factor)
{
    if (!hasPicture())
        return false;
    const qreal current = scale();
    const qreal wanted = qMin(current * factor, maximumScale);
    if (wanted <= fitScale()) {
        const bool moved = !fitted;
        fitted = true;
        return moved;
    }
    if (wanted == current)
        return false;
    const QPointF anchor = picturePoint(viewPoint);
    zoomScale = wanted;
    origin = viewPoint - anchor * wanted;
    fitted = false;
    keepWithinBounds();
    return true;
}

bool ZoomPan::panBy(const QPointF &delta)
{
    if (fitted || !hasPicture())
        return false;
    const QPointF before = origin;
    origin += delta;
    keepWithinBounds();
    return origin != before;
}

QPoint ZoomPan::pixelAt(const QPoint &viewPixel) const
{
    const int column = columnAt(viewPixel.x());
    const int row = rowAt(viewPixel.y());
    return column < 0 || row < 0 ? QPoint(-1, -1) : QPoint(column, row);
}

namespace {

// The picture pixel along one axis whose extent holds the centre of the view pixel, or -1.
int pixelAlong(int viewPixel, int viewLength, qreal pictureStart, qreal pictureLength,
               int pixels)
{
    if (viewPixel < 0 || viewPixel >= viewLength || pictureLength <= 0)
        return -1;
    const qreal centre = viewPixel + 0.5;
    if (centre < pictureStart || centre >= pictureStart + pictureLength)
        return -1;
    return qMin(qFloor((centre - pictureStart) * pixels / pictureLength), pixels - 1);
}

} // namespace

int ZoomPan::columnAt(int viewX) const
{
    if (!hasPicture())
        return -1;
    const QRectF rect = pictureRect();
    return pixelAlong(viewX, view.width(), rect.x(), rect.width(), picture.width());
}

int ZoomPan::rowAt(int viewY) const
{
    if (!hasPicture())
        return -1;
    const QRectF rect = pictureRect();
    return pixelAlong(viewY, view.height(), rect.y(), rect.height(), picture.height());
}

QRect ZoomPan::pixelsCovering(const QRectF &viewArea) const
{
    const QRectF area = viewArea & pictureRect();
    if (area.isEmpty())
        return QRect();
    const QPointF topLeft = picturePoint(area.topLeft());
    const QPointF bottomRight = picturePoint(area.bottomRight());
    const QRect pixels(QPoint(qFloor(topLeft.x()), qFloor(topLeft.y())),
                       QPoint(qCeil(bottomRight.x()) - 1, qCeil(bottomRight.y()) - 1));
    return pixels & QRect(QPoint(), picture);
}

QRectF ZoomPan::viewRect(const QRect &pixels) const
{
    const QRectF rect = pictureRect();
    if (rect.isEmpty())
        return QRectF();
    const qreal across = rect.width() / picture.width();
    const qreal down = rect.height() / picture.height();
    return QRectF(rect.x() + pixels.x() * across, rect.y() + pixels.y() * down,
                  pixels.width() * across, pixels.height() * down);
}

qreal ZoomPan::fitScale() const
{
    return qMin(qreal(view.width()) / picture.width(), qreal(view.height()) / picture.height());
}

QPointF ZoomPan::picturePoint(const QPointF &viewPoint) const
{
    const QRectF rect = pictureRect();
    return QPointF((viewPoint.x() - rect.x()) * picture.width() / rect.width(),
                   (viewPoint.y() - rect.y()) * picture.height() / rect.height());
}

// Along each axis a picture larger than the view leaves no gap at either end; a smaller one
// is centred.
void ZoomPan::keepWithinBounds()
{
    const QSizeF extent = QSizeF(picture) * zoomScale;
    if (extent.width() <= view.width())
        origin.setX((view.width() - extent.width()) / 2);
    else
        origin.setX(qBound(view.width() - extent.width(), origin.x(), 0.0));
    if (extent.height() <= view.height())
        origin.setY((view.height() - extent.height()) / 2);
    else
        origin.setY(qBound(view.height() - extent.height(), origin.y(), 0.0));
}
