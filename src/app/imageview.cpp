#include "app/imageview.h"

#include <QApplication>
#include <QColor>
#include <QHideEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QPointF>
#include <QRect>
#include <QWheelEvent>
#include <QVector>
#include <QtMath>

#include <algorithm>

namespace {

const QPoint nowhere(-1, -1);

// One notch of a mouse wheel (120 units) zooms by a fourth of a doubling.
qreal zoomFactor(int angleDelta)
{
    return qPow(2.0, angleDelta / 480.0);
}

QPointF pixelCentre(const QPoint &point)
{
    return QPointF(point) + QPointF(0.5, 0.5);
}

// A band of the fitted picture to scale again after some picture rows changed: the shown
// rows they reach, the wider band scaled so that its smoothing sees the rows around them,
// and the picture rows that band is scaled from.
struct ScaledBand
{
    RowRange changed;
    RowRange scaled;
    RowRange source;
};

// From `start` towards `limit`, the shown row whose boundary lies closest to a picture row
// boundary; the first one close enough will do.
template <typename Misfit>
int closestBoundary(int start, int limit, Misfit misfit, qint64 shownHeight)
{
    const int direction = limit < start ? -1 : 1;
    int best = start;
    for (int row = start; misfit(best) * 64 > shownHeight; row += direction) {
        if (misfit(row) < misfit(best))
            best = row;
        if (row == limit)
            break;
    }
    return best;
}

// The wider band ends near where a picture row boundary meets a shown row boundary, so that
// it is scaled by almost exactly the whole picture's ratio and lines up with the rest.
ScaledBand scaledBand(const RowRange &rows, int pictureHeight, int shownHeight)
{
    const qint64 picture = pictureHeight;
    const qint64 shown = shownHeight;
    const auto shownRow = [&](qint64 row, qint64 roundUp) {
        return int(qBound<qint64>(0, (row * shown + roundUp * (picture - 1)) / picture, shown));
    };
    const auto sourceRow = [&](qint64 row, qint64 roundUp) {
        return int(qMin<qint64>((row * picture + roundUp * (shown - 1)) / shown, picture));
    };
    // How far a shown row boundary lies past a picture row boundary, or short of the next
    // one, in 1/shown of a picture row.
    const auto pastBoundary = [&](int row) { return row * picture % shown; };
    const auto shortOfBoundary = [&](int row) { return (shown - row * picture % shown) % shown; };
    const int lookFurther = 64;

    ScaledBand band;
    band.changed = {shownRow(rows.first - 1, 0), shownRow(rows.last + 1, 1)};
    const int reach = 2 + 2 * int((shown + picture - 1) / picture);
    const int first = qMax(band.changed.first - reach, 0);
    const int last = qMin(band.changed.last + reach, shownHeight);
    band.scaled = {closestBoundary(first, qMax(first - lookFurther, 0), pastBoundary, shown),
                   closestBoundary(last, qMin(last + lookFurther, shownHeight), shortOfBoundary,
                                   shown)};
    band.source = {sourceRow(band.scaled.first, 0), sourceRow(band.scaled.last, 1)};
    return band;
}

} // namespace

ImageView::ImageView(QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred));
    setMouseTracking(true);
}

void ImageView::setPixmap(const QPixmap &picture, int step)
{
    pixmap = picture;
    pictureStep = qMax(step, 1);
    outOfDate = false;
    followViewSize();
    zoomPan.setPictureSize(picture.isNull() ? QSize() : picture.size());
    rescale();
    refreshPointedPixel(true);
}

void ImageView::setBlank(const QSize &size, const QColor &colour, int step)
{
    QPixmap blank(size);
    blank.fill(colour);
    setPixmap(blank, step);
    // One colour scales to itself.
    if (zoomPan.isFitted() && !blank.isNull()) {
        scaledPixmap = QPixmap(zoomPan.fittedRect().size());
        scaledPixmap.fill(colour);
        scaledIsCurrent = true;
    }
}

void ImageView::setStep(int step)
{
    pictureStep = qMax(step, 1);
    refreshPointedPixel(true);
}

void ImageView::updateRows(const QPixmap &picture, const RowRange &rows)
{
    if (pixmap.isNull() || picture.isNull() || picture.size() != pixmap.size()) {
        setPixmap(picture, pictureStep);
        return;
    }
    pixmap = picture;
    rowsChanged(rows);
}

void ImageView::drawRows(const QImage &rows, const RowRange &range)
{
    const RowRange changed{qMax(range.first, 0), qMin(range.last, pixmap.height())};
    if (pixmap.isNull() || rows.width() != pixmap.width() || changed.isEmpty()
        || rows.height() < changed.last - range.first) {
        return;
    }
    // A fitted picture shown at its own size is its own scaled copy, which would make the
    // painter copy the whole picture first.
    const bool ownScaled = scaledPixmap.size() == pixmap.size();
    if (ownScaled)
        scaledPixmap = QPixmap();
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPoint(0, changed.first), rows,
                      QRect(0, changed.first - range.first, rows.width(), changed.count()));
    painter.end();
    if (ownScaled)
        scaledPixmap = pixmap;
    rowsChanged(changed);
}

void ImageView::rowsChanged(const RowRange &rows)
{
    followViewSize();
    const RowRange changed{qMax(rows.first, 0), qMin(rows.last, pixmap.height())};
    if (changed.isEmpty())
        return;
    if (zoomPan.isFitted() && scaledIsCurrent) {
        if (!unscaledRows.isEmpty()) {
            unscaledRows = RowRange{qMin(unscaledRows.first, changed.first),
                                    qMax(unscaledRows.last, changed.last)};
        } else {
            unscaledRows = changed;
        }
        update(scaledRowsRect(changed));
    } else {
        scaledIsCurrent = false;
        const QRect pixels(0, changed.first, pixmap.width(), changed.count());
        update(zoomPan.viewRect(pixels).toAlignedRect() & rect());
    }
    if (pointed.y() >= changed.first && pointed.y() < changed.last)
        emit pointedPixelChanged(pointed);
}

ImageView::Shown ImageView::shown() const
{
    return Shown{pixmap, pictureStep, outOfDate, zoomPan};
}

void ImageView::restore(const Shown &shown)
{
    pixmap = shown.picture;
    pictureStep = shown.step;
    outOfDate = shown.outOfDate;
    zoomPan = shown.place;
    followViewSize();
    rescale();
    refreshPointedPixel(true);
}

void ImageView::setOutOfDate(bool on)
{
    if (outOfDate == on)
        return;
    outOfDate = on;
    update();
}

void ImageView::fitToView()
{
    if (zoomPan.isFitted())
        return;
    zoomPan.fit();
    update();
    refreshPointedPixel(false);
}

QPoint ImageView::pixelAt(const QPoint &viewPoint) const
{
    return pixmap.isNull() ? nowhere : zoomPan.pixelAt(viewPoint);
}

QRgb ImageView::pixelColour(const QPoint &pixel) const
{
    if (!QRect(QPoint(), pixmap.size()).contains(pixel))
        return 0;
    return pixmap.copy(QRect(pixel, QSize(1, 1))).toImage().pixel(0, 0);
}

QSize ImageView::sizeHint() const
{
    return pixmap.size();
}

void ImageView::resizeEvent(QResizeEvent *)
{
    followViewSize();
    rescale();
    refreshPointedPixel(false);
}

void ImageView::paintEvent(QPaintEvent *event)
{
    if (pixmap.isNull())
        return;
    followViewSize();
    QPainter painter(this);
    if (zoomPan.isFitted())
        paintFitted(painter);
    else
        paintZoomed(painter, event->rect());
    if (outOfDate) {
        QColor veil = palette().color(QPalette::Window);
        veil.setAlphaF(0.6);
        painter.fillRect(zoomPan.pictureRect() & QRectF(rect()), veil);
    }
}

void ImageView::paintFitted(QPainter &painter)
{
    if (!scaledIsCurrent) {
        scaledPixmap = pixmap.scaled(size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
        scaledIsCurrent = true;
    } else if (!unscaledRows.isEmpty()) {
        rescaleRows(unscaledRows);
    }
    unscaledRows = RowRange();
    painter.drawPixmap(QPointF(zoomPan.fittedRect().topLeft()), scaledPixmap);
}

// Only the picture pixels in the area to paint are drawn, so a large picture zoomed in costs
// no more than the view's size.
void ImageView::paintZoomed(QPainter &painter, const QRect &area)
{
    if (zoomPan.scale() > 1) {
        paintSquares(painter, area & rect());
        return;
    }
    const QRect pixels = zoomPan.pixelsCovering(QRectF(area));
    if (pixels.isEmpty())
        return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(zoomPan.viewRect(pixels), pixmap, QRectF(pixels));
}

// Each view pixel takes the colour of the picture pixel that pixelAt() names, so squares
// end exactly where the pointer's pixel changes; the toolkit's own scaling rounds otherwise.
void ImageView::paintSquares(QPainter &painter, const QRect &area)
{
    QVector<int> columns;
    int left = -1;
    for (int x = area.left(); x <= area.right(); ++x) {
        const int column = zoomPan.columnAt(x);
        if (column >= 0) {
            left = columns.isEmpty() ? x : left;
            columns.append(column);
        }
    }
    QVector<int> rows;
    int top = -1;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const int row = zoomPan.rowAt(y);
        if (row >= 0) {
            top = rows.isEmpty() ? y : top;
            rows.append(row);
        }
    }
    if (columns.isEmpty() || rows.isEmpty())
        return;

    const QImage picture = pixmap.toImage().convertToFormat(
        pixmap.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    QImage squares(columns.size(), rows.size(), picture.format());
    for (int y = 0; y < rows.size(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(squares.scanLine(y));
        if (y > 0 && rows[y] == rows[y - 1]) {
            std::copy_n(reinterpret_cast<const QRgb *>(squares.constScanLine(y - 1)),
                        columns.size(), line);
            continue;
        }
        const auto *source = reinterpret_cast<const QRgb *>(picture.constScanLine(rows[y]));
        for (int x = 0; x < columns.size(); ++x)
            line[x] = source[columns[x]];
    }
    painter.drawImage(QPoint(left, top), squares);
}

void ImageView::wheelEvent(QWheelEvent *event)
{
    const QPoint at = event->position().toPoint();
    const int delta = event->angleDelta().y();
    if (delta == 0 || pixelAt(at) == nowhere) {
        event->ignore();
        return;
    }
    event->accept();
    if (zoomPan.zoomAbout(pixelCentre(at), zoomFactor(delta))) {
        update();
        refreshPointedPixel(false);
    }
}

void ImageView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    leftPressed = true;
    dragging = false;
    pressPoint = event->pos();
    pannedSoFar = QPointF();
}

void ImageView::mouseMoveEvent(QMouseEvent *event)
{
    if (leftPressed && !dragging
        && (event->pos() - pressPoint).manhattanLength() >= QApplication::startDragDistance()) {
        dragging = true;
        if (!zoomPan.isFitted())
            setCursor(Qt::ClosedHandCursor);
    }
    if (dragging) {
        const QPointF panned = event->pos() - pressPoint;
        if (zoomPan.panBy(panned - pannedSoFar))
            update();
        pannedSoFar = panned;
    }
    pointAt(event->pos());
}

void ImageView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !leftPressed) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    leftPressed = false;
    if (dragging) {
        dragging = false;
        unsetCursor();
        return;
    }
    const QPoint pixel = pixelAt(pressPoint);
    if (pixel != nowhere)
        emit pixelClicked(pixel);
}

// Replaces the second press, which therefore neither inspects nor starts a drag.
void ImageView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    leftPressed = false;
    dragging = false;
    fitToView();
}

void ImageView::leaveEvent(QEvent *)
{
    pointerInView = false;
    refreshPointedPixel(false);
}

// A hidden view has nothing under the pointer, and may get no leave event.
void ImageView::hideEvent(QHideEvent *)
{
    pointerInView = false;
    refreshPointedPixel(false);
}

// A hidden view gets its resize event only when shown, so every entry point reads the
// geometry it has now.
void ImageView::followViewSize()
{
    zoomPan.setViewSize(size());
}

// Smooth scaling is costly, so it happens once per size or picture, when next painted: many
// pictures in a row cost one scaling per repaint, and rows that come in many pieces between two
// repaints one scaling of the band they reach.
void ImageView::rescale()
{
    scaledIsCurrent = false;
    update();
}

// Where the fitted picture changes when the rows do.
QRect ImageView::scaledRowsRect(const RowRange &rows) const
{
    const QSize shown = scaledPixmap.size();
    const QRect fitted = zoomPan.fittedRect();
    if (shown == pixmap.size())
        return QRect(fitted.x(), fitted.y() + rows.first, shown.width(), rows.count());
    const RowRange changed = scaledBand(rows, pixmap.height(), shown.height()).changed;
    return QRect(fitted.x(), fitted.y() + changed.first, shown.width(), changed.count());
}

// Rescales only the band of the fitted picture that the rows reach.
void ImageView::rescaleRows(const RowRange &rows)
{
    const QSize shown = scaledPixmap.size();
    if (scaledPixmap.isNull())
        return;
    if (shown == pixmap.size()) {
        scaledPixmap = pixmap;
        return;
    }
    const ScaledBand band = scaledBand(rows, pixmap.height(), shown.height());
    if (band.changed.isEmpty() || band.source.isEmpty())
        return;
    const QPixmap scaled = pixmap.copy(0, band.source.first, pixmap.width(), band.source.count())
                               .scaled(shown.width(), band.scaled.count(), Qt::IgnoreAspectRatio,
                                       Qt::SmoothTransformation);
    QPainter painter(&scaledPixmap);
    painter.drawPixmap(QPoint(0, band.changed.first), scaled,
                       QRect(0, band.changed.first - band.scaled.first, shown.width(),
                             band.changed.count()));
}

void ImageView::pointAt(const QPoint &viewPoint)
{
    pointer = viewPoint;
    pointerInView = rect().contains(viewPoint);
    refreshPointedPixel(false);
}

void ImageView::refreshPointedPixel(bool pictureChanged)
{
    const QPoint now = pointerInView ? pixelAt(pointer) : nowhere;
    if (now == pointed && !(pictureChanged && now != nowhere))
        return;
    pointed = now;
    emit pointedPixelChanged(pointed);
}
