#ifndef IMAGEVIEW_H
#define IMAGEVIEW_H

#include <QPixmap>
#include <QWidget>

// Shows one picture scaled to fit, proportions kept, centred.
class ImageView : public QWidget
{
    Q_OBJECT

public:
    explicit ImageView(QWidget *parent = nullptr);

    void setPixmap(const QPixmap &picture);
    // An out-of-date picture is shown faded, until a new picture or setOutOfDate(false).
    void setOutOfDate(bool outOfDate);
    bool isOutOfDate() const { return outOfDate; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void rescale();

    QPixmap pixmap;
    QPixmap scaledPixmap;
    bool outOfDate = false;
};

#endif // IMAGEVIEW_H
