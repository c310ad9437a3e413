#include "app/imageview.h"

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QSize>
#include <QtTest>

namespace {

const QRgb sentinel = qRgb(255, 0, 255);
const QRgb pictureColour = qRgb(20, 140, 60);

QPixmap solidPicture(const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(pictureColour);
    return QPixmap::fromImage(image);
}

// Renders the view over a sentinel colour without any background of its own, so that
// every changed pixel is one the view painted.
QImage paintedImage(ImageView &view)
{
    QImage image(view.size(), QImage::Format_RGB32);
    image.fill(sentinel);
    view.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image;
}

QRect paintedRect(const QImage &image)
{
    QRect rect;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != sentinel)
                rect |= QRect(x, y, 1, 1);
        }
    }
    return rect;
}

int pixelsOutside(const QImage &image, const QRect &rect, QRgb colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (rect.contains(x, y) != (image.pixel(x, y) == colour))
                ++count;
        }
    }
    return count;
}

} // namespace

class tst_ImageView : public QObject
{
    Q_OBJECT

private slots:
    void paintsScaledAndCentred_data();
    void paintsScaledAndCentred();
    void emptyViewPaintsNothing_data();
    void emptyViewPaintsNothing();
    void outOfDatePictureIsFaded_data();
    void outOfDatePictureIsFaded();
    void sizeHintIsThePictureSize_data();
    void sizeHintIsThePictureSize();
};

void tst_ImageView::paintsScaledAndCentred_data()
{
    QTest::addColumn<QSize>("pictureSize");
    QTest::addColumn<QSize>("viewSize");
    QTest::addColumn<bool>("resizeAfterPicture");
    QTest::addColumn<QRect>("expected");

    const QSize large(640, 480);
    const QSize small(320, 240);
    for (bool resizeAfter : {false, true}) {
        const QByteArray when = resizeAfter ? ", resized after the picture" : "";
        QTest::newRow(("shrunk, centred vertically" + when).constData())
            << large << QSize(400, 400) << resizeAfter << QRect(0, 50, 400, 300);
        QTest::newRow(("odd leftover row stays empty at the bottom" + when).constData())
            << large << QSize(400, 301) << resizeAfter << QRect(0, 0, 400, 300);
        QTest::newRow(("enlarged to fill" + when).constData())
            << small << QSize(800, 600) << resizeAfter << QRect(0, 0, 800, 600);
        QTest::newRow(("enlarged, centred horizontally" + when).constData())
            << small << QSize(900, 600) << resizeAfter << QRect(50, 0, 800, 600);
        QTest::newRow(("odd leftover column stays empty at the right" + when).constData())
            << small << QSize(801, 600) << resizeAfter << QRect(0, 0, 800, 600);
    }
}

void tst_ImageView::paintsScaledAndCentred()
{
    QFETCH(QSize, pictureSize);
    QFETCH(QSize, viewSize);
    QFETCH(bool, resizeAfterPicture);
    QFETCH(QRect, expected);

    ImageView view;
    if (resizeAfterPicture) {
        view.resize(123, 77);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.setPixmap(solidPicture(pictureSize));
        view.resize(viewSize);
        QTRY_COMPARE(view.size(), viewSize);
    } else {
        view.resize(viewSize);
        view.setPixmap(solidPicture(pictureSize));
    }

    const QImage painted = paintedImage(view);
    QCOMPARE(painted.size(), viewSize);
    QCOMPARE(paintedRect(painted), expected);
    QCOMPARE(pixelsOutside(painted, expected, pictureColour), 0);
}

void tst_ImageView::emptyViewPaintsNothing_data()
{
    QTest::addColumn<bool>("hadPicture");

    QTest::newRow("new view") << false;
    QTest::newRow("cleared after a picture") << true;
}

void tst_ImageView::emptyViewPaintsNothing()
{
    QFETCH(bool, hadPicture);

    ImageView view;
    view.resize(400, 300);
    if (hadPicture) {
        view.setPixmap(solidPicture(QSize(640, 480)));
        QVERIFY(paintedRect(paintedImage(view)).isValid());
        view.setPixmap(QPixmap());
    }
    view.resize(500, 350);

    QCOMPARE(paintedRect(paintedImage(view)), QRect());
    QCOMPARE(view.sizeHint(), QSize(0, 0));
}

void tst_ImageView::outOfDatePictureIsFaded_data()
{
    QTest::addColumn<bool>("newPictureAfter");
    QTest::addColumn<bool>("faded");

    QTest::newRow("marked out of date") << false << true;
    QTest::newRow("a new picture is up to date") << true << false;
}

void tst_ImageView::outOfDatePictureIsFaded()
{
    QFETCH(bool, newPictureAfter);
    QFETCH(bool, faded);

    ImageView view;
    view.resize(400, 300);
    view.setPixmap(solidPicture(QSize(400, 300)));
    view.setOutOfDate(true);
    if (newPictureAfter)
        view.setPixmap(solidPicture(QSize(400, 300)));

    const QImage painted = paintedImage(view);
    QCOMPARE(view.isOutOfDate(), faded);
    QCOMPARE(paintedRect(painted), QRect(0, 0, 400, 300));
    const QColor centre = painted.pixelColor(200, 150);
    const QColor window = view.palette().color(QPalette::Window);
    if (faded) {
        // Most of the way from the picture's colour to the window's.
        QVERIFY2(qAbs(centre.green() - window.green()) < qAbs(centre.green() - qGreen(pictureColour)),
                 qPrintable(centre.name()));
    } else {
        QCOMPARE(centre.rgb(), pictureColour);
    }
}

void tst_ImageView::sizeHintIsThePictureSize_data()
{
    QTest::addColumn<QSize>("viewSize");

    QTest::newRow("smaller view") << QSize(100, 100);
    QTest::newRow("same size") << QSize(320, 240);
    QTest::newRow("larger view") << QSize(900, 600);
    QTest::newRow("tall narrow view") << QSize(50, 1000);
}

void tst_ImageView::sizeHintIsThePictureSize()
{
    QFETCH(QSize, viewSize);

    ImageView view;
    view.setPixmap(solidPicture(QSize(320, 240)));
    view.resize(viewSize);
    QCOMPARE(view.sizeHint(), QSize(320, 240));
}

QTEST_MAIN(tst_ImageView)
#include "tst_imageview.moc"
