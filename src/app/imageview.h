#ifndef IMAGEVIEW_H
#define IMAGEVIEW_H

#include "app/zoompan.h"
#include "core/renderresult.h"

#include <QColor>
#include <QPixmap>
#include <QPoint>
#include <QWidget>

// Shows one picture scaled to fit, proportions kept, centred. The wheel zooms about the
// pointer, a drag pans, a double-click fits again; the view tells which picture pixel is under
// the pointer and which one was clicked.
class ImageView : public QWidget
{
    Q_OBJECT

public:
    explicit ImageView(QWidget *parent = nullptr);

    // A picture rendered every `step` painting units. One of the same size as the last keeps
    // the zoom and place; another size, or none, fits again.
    void setPixmap(const QPixmap &picture, int step = 1);
    // A picture of one colour, as a render's rows begin over nothing: setPixmap() without the
    // scaling.
    void setBlank(const QSize &size, const QColor &colour, int step);
    // The picture as before with only `rows` changed, as rows arrive during a render: cheaper
    // than setPixmap while fitted. Leaves the step and the fading; another size acts as
    // setPixmap.
    void updateRows(const QPixmap &picture, const RowRange &rows);
    // Draws rows, the picture's rows of range, into the picture shown: updateRows() without a
    // whole picture to make. Rows of another width draw nothing.
    void drawRows(const QImage &rows, const RowRange &range);
    int step() const { return pictureStep; }
    // The picture's rows are drawn anew every step painting units.
    void setStep(int step);

    // What the view shows: the picture, its step and fading, the zoom and place.
    struct Shown
    {
        QPixmap picture;
        int step = 1;
        bool outOfDate = false;
        ZoomPan place;
    };
    Shown shown() const;
    // Shows again what shown() told, as it was.
    void restore(const Shown &shown);
    // An out-of-date picture is shown faded, until a new picture or setOutOfDate(false).
    void setOutOfDate(bool outOfDate);
    bool isOutOfDate() const { return outOfDate; }

    void fitToView();
    bool isFitted() const { return zoomPan.isFitted(); }
    // Screen pixels per picture pixel, across; 0 while there is no picture.
    qreal zoom() const { return zoomPan.scale(); }

    // The picture pixel (column, row) shown at a point of the view; (-1, -1) outside it.
    QPoint pixelAt(const QPoint &viewPoint) const;
    QPoint pointedPixel() const { return pointed; }
    QRgb pixelColour(const QPoint &pixel) const;
    // Where the painting computed a picture pixel, in painting units.
    QPoint paintingPlace(const QPoint &pixel) const { return pixel * pictureStep; }

    QSize sizeHint() const override;

signals:
    // The pixel under the pointer, (-1, -1) when the pointer leaves the picture or the view;
    // also sent when a new picture changes what lies under the pointer.
    void pointedPixelChanged(const QPoint &pixel);
    // A click on the picture, not a drag.
    void pixelClicked(const QPoint &pixel);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void followViewSize();
    void rescale();
    void rowsChanged(const RowRange &rows);
    QRect scaledRowsRect(const RowRange &rows) const;
    void rescaleRows(const RowRange &rows);
    void paintFitted(QPainter &painter);
    void paintZoomed(QPainter &painter, const QRect &area);
    void paintSquares(QPainter &painter, const QRect &area);
    void pointAt(const QPoint &viewPoint);
    void refreshPointedPixel(bool pictureChanged);

    QPixmap pixmap;
    QPixmap scaledPixmap;
    bool scaledIsCurrent = false;
    RowRange unscaledRows;   // changed since the scaled copy was made, scaled when next painted
    int pictureStep = 1;
    bool outOfDate = false;
    ZoomPan zoomPan;

    bool pointerInView = false;
    QPoint pointer;
    QPoint pointed = QPoint(-1, -1);
    bool leftPressed = false;
    bool dragging = false;
    QPoint pressPoint;
    QPointF pannedSoFar;
};

#endif // IMAGEVIEW_H
