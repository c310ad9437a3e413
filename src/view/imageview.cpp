#include "view/imageview.h"

#include <QPainter>
#include <QPointF>

ImageView::ImageView(QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred));
}

void ImageView::setPixmap(const QPixmap &picture)
{
    pixmap = picture;
    rescale();
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
}

// Smooth scaling is costly, so it happens here, once per size or picture, never when painting.
void ImageView::rescale()
{
    if (!pixmap.isNull())
        scaledPixmap = pixmap.scaled(QSize(width(), height()), Qt::KeepAspectRatio,
                                     Qt::SmoothTransformation);
    update();
}
