#ifndef ZOOMPAN_H
#define ZOOMPAN_H

#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSize>

// Where a picture lies in a view: fitted (scaled to fit, proportions kept, centred, in whole
// pixels), or zoomed in about a point and panned, always within the picture's bounds.
class ZoomPan
{
public:
    static constexpr qreal maximumScale = 32;   // screen pixels per picture pixel

    // A picture of another size fits again; one of the same size keeps the zoom and place.
    void setPictureSize(const QSize &size);
    void setViewSize(const QSize &size);
    QSize pictureSize() const { return picture; }

    void fit();
    bool isFitted() const { return fitted; }
    // Screen pixels per picture pixel, across.
    qreal scale() const;
    // The picture's place in the view; empty while either size is empty.
    QRectF pictureRect() const;
    // The fitted picture's place, in whole pixels.
    QRect fittedRect() const;

    // Both return whether the picture moved. Zooming out to the fitted scale or below fits.
    bool zoomAbout(const QPointF &viewPoint, qreal factor);
    bool panBy(const QPointF &delta);

    // The picture pixel whose area holds the centre of the view pixel; (-1, -1) outside.
    QPoint pixelAt(const QPoint &viewPixel) const;
    // The same for one column or row of view pixels: the picture column or row, or -1.
    int columnAt(int viewX) const;
    int rowAt(int viewY) const;
    // The smallest block of whole picture pixels that covers the view area.
    QRect pixelsCovering(const QRectF &viewArea) const;
    // The view area of a block of picture pixels.
    QRectF viewRect(const QRect &pixels) const;

private:
    bool hasPicture() const { return !picture.isEmpty() && !view.isEmpty(); }
    qreal fitScale() const;
    QPointF picturePoint(const QPointF &viewPoint) const;
    void keepWithinBounds();

    QSize picture;
    QSize view;
    bool fitted = true;
    qreal zoomScale = 1;
    QPointF origin;   // the zoomed picture's top-left corner in the view
};

#endif // ZOOMPAN_H
