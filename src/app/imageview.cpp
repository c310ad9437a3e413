#include "app/imageview.h"

#include <QColor>
#include <QPainter>
#include <QPalette>
#include <QRect>
#include <QPointF>

ImageView::ImageView(QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred));
}

void ImageView::setPixmap(const QPixmap &picture)
{
    pixmap = picture;
    outOfDate = false;
    rescale();
}

void ImageView::setOutOfDate(bool on)
{
    if (outOfDate == on)
        return;
    outOfDate = on;
    update();
}

QSize ImageView::sizeHint() const
{
    return pixmap.size();
}

void ImageView::resizeEvent(QResizeEvent *)
{
    rescale();
}

void ImageView::paintEvent(QPaintEvent *)
{
    if (pixmap.isNull())
        return;
    QPainter painter(this);
    const int x = (width() - scaledPixmap.width()) / 2;
    const int y = (height() - scaledPixmap.height()) / 2;
    painter.drawPixmap(QPointF(x, y), scaledPixmap);
    if (outOfDate) {
        QColor veil = palette().color(QPalette::Window);
        veil.setAlphaF(0.6);
        painter.fillRect(QRect(QPoint(x, y), scaledPixmap.size()), veil);
    }
}

// Smooth scaling is costly, so it happens here, once per size or picture, never when painting.
void ImageView::rescale()
{
    if (!pixmap.isNull())
        scaledPixmap = pixmap.scaled(QSize(width(), height()), Qt::KeepAspectRatio,
                                     Qt::SmoothTransformation);
    update();
}
