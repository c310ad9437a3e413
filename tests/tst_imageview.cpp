#include "app/imageview.h"
#include "app/pictureinprogress.h"
#include "app/pixelreadout.h"

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QRect>
#include <QSize>
#include <QWheelEvent>
#include <QtTest>

#include <algorithm>

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

// Every pixel's colour tells its column and row, so a painted colour tells which pixel it shows.
QPixmap codedPicture(const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(x % 256, y % 256, x / 256 * 16 + y / 256));
    }
    return QPixmap::fromImage(image);
}

QPoint codedPixel(QRgb colour)
{
    return QPoint(qBlue(colour) / 16 * 256 + qRed(colour),
                  qBlue(colour) % 16 * 256 + qGreen(colour));
}

void turnWheel(ImageView &view, const QPoint &at, int notches)
{
    for (int i = 0; i < qAbs(notches); ++i) {
        QWheelEvent event(QPointF(at), QPointF(view.mapToGlobal(at)), QPoint(),
                          QPoint(0, notches > 0 ? 120 : -120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(&view, &event);
    }
}

void sendMouse(ImageView &view, QEvent::Type type, const QPoint &at,
               Qt::MouseButtons buttons = Qt::LeftButton)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(at), QPointF(view.mapToGlobal(at)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(&view, &event);
}

void drag(ImageView &view, const QPoint &from, const QList<QPoint> &moves)
{
    sendMouse(view, QEvent::MouseButtonPress, from);
    for (const QPoint &to : moves)
        sendMouse(view, QEvent::MouseMove, to);
    sendMouse(view, QEvent::MouseButtonRelease, moves.isEmpty() ? from : moves.last(),
              Qt::NoButton);
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
    void wheelZoomsWithinBounds_data();
    void wheelZoomsWithinBounds();
    void zoomKeepsThePointedPixel_data();
    void zoomKeepsThePointedPixel();
    void zoomedPixelsAreSharpAndMapped_data();
    void zoomedPixelsAreSharpAndMapped();
    void dragPansWithinThePicture_data();
    void dragPansWithinThePicture();
    void newPictureKeepsOrRefits_data();
    void newPictureKeepsOrRefits();
    void rowsAsTheyArrive_data();
    void rowsAsTheyArrive();
    void rowsInProgressAndWhatComesBack_data();
    void rowsInProgressAndWhatComesBack();
    void mapsViewPointsToPixels_data();
    void mapsViewPointsToPixels();
    void readoutOfThePointedPixel_data();
    void readoutOfThePointedPixel();
    void clickInspectsDragDoesNot_data();
    void clickInspectsDragDoesNot();
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

void tst_ImageView::wheelZoomsWithinBounds_data()
{
    QTest::addColumn<QSize>("pictureSize");
    QTest::addColumn<QPoint>("pointer");
    QTest::addColumn<QList<int>>("notches");
    QTest::addColumn<qreal>("zoom");
    QTest::addColumn<bool>("fitted");

    const QSize picture(640, 480);
    const QPoint centre(200, 150);
    const qreal fit = 0.625;
    QTest::newRow("starts fitted") << picture << centre << QList<int>{} << fit << true;
    QTest::newRow("one notch up enlarges")
        << picture << centre << QList<int>{1} << fit * qPow(2, 0.25) << false;
    QTest::newRow("no further than 32") << picture << centre << QList<int>{40} << 32.0 << false;
    QTest::newRow("out from 32") << picture << centre << QList<int>{40, -4} << 16.0 << false;
    QTest::newRow("back out fits") << picture << centre << QList<int>{3, -5} << fit << true;
    QTest::newRow("no smaller than fitted") << picture << centre << QList<int>{-3} << fit << true;
    QTest::newRow("over the margin nothing")
        << QSize(640, 240) << QPoint(200, 10) << QList<int>{3} << fit << true;
    QTest::newRow("fitted beyond 32 stays")
        << QSize(10, 5) << centre << QList<int>{2} << 40.0 << true;
}

void tst_ImageView::wheelZoomsWithinBounds()
{
    QFETCH(QSize, pictureSize);
    QFETCH(QPoint, pointer);
    QFETCH(QList<int>, notches);
    QFETCH(qreal, zoom);
    QFETCH(bool, fitted);

    ImageView view;
    view.resize(400, 300);
    view.setPixmap(solidPicture(pictureSize));
    for (int turn : notches)
        turnWheel(view, pointer, turn);

    QVERIFY2(qFuzzyCompare(view.zoom(), zoom), qPrintable(QString::number(view.zoom())));
    QCOMPARE(view.isFitted(), fitted);
}

void tst_ImageView::zoomKeepsThePointedPixel_data()
{
    QTest::addColumn<QPoint>("pointer");
    QTest::addColumn<QList<int>>("notches");

    QTest::newRow("centre") << QPoint(200, 150) << QList<int>{1, 1, 1, 5, 20};
    QTest::newRow("near the top-left corner") << QPoint(3, 4) << QList<int>{2, 2, 10};
    QTest::newRow("near the bottom-right corner") << QPoint(396, 297) << QList<int>{1, 7, 9};
    QTest::newRow("in, then part way out") << QPoint(200, 150) << QList<int>{12, -3, -5};
}

void tst_ImageView::zoomKeepsThePointedPixel()
{
    QFETCH(QPoint, pointer);
    QFETCH(QList<int>, notches);

    ImageView view;
    view.resize(400, 300);
    view.setPixmap(codedPicture(QSize(400, 300)));
    const QPoint pointed = view.pixelAt(pointer);
    for (int turn : notches) {
        turnWheel(view, pointer, turn);
        QCOMPARE(view.pixelAt(pointer), pointed);
        QCOMPARE(codedPixel(paintedImage(view).pixel(pointer)), pointed);
    }
    QVERIFY(!view.isFitted());
}

void tst_ImageView::zoomedPixelsAreSharpAndMapped_data()
{
    QTest::addColumn<int>("notches");
    QTest::addColumn<QPoint>("panned");
    QTest::addColumn<QSet<int>>("squareWidths");

    QTest::newRow("just beyond one to one") << 3 << QPoint() << QSet<int>{1, 2};
    QTest::newRow("2.5 panned") << 8 << QPoint(-37, 23) << QSet<int>{2, 3};
    QTest::newRow("20 panned") << 20 << QPoint(-1001, -333) << QSet<int>{20};
    QTest::newRow("32 panned") << 40 << QPoint(511, 207) << QSet<int>{32};
}

// Picture pixels are drawn without smoothing, so every painted colour is a picture pixel's
// own, and it is the pixel that the view reports at that point.
void tst_ImageView::zoomedPixelsAreSharpAndMapped()
{
    QFETCH(int, notches);
    QFETCH(QPoint, panned);
    QFETCH(QSet<int>, squareWidths);

    ImageView view;
    view.resize(400, 300);
    view.setPixmap(codedPicture(QSize(640, 480)));
    turnWheel(view, QPoint(123, 45), notches);
    drag(view, QPoint(200, 150), {QPoint(200, 150) + panned});
    QVERIFY(view.zoom() > 1);

    const QImage painted = paintedImage(view);
    int mismatches = 0;
    for (int y = 0; y < 300; y += 7) {
        for (int x = 0; x < 400; x += 3) {
            if (codedPixel(painted.pixel(x, y)) != view.pixelAt(QPoint(x, y)))
                ++mismatches;
        }
    }
    QCOMPARE(mismatches, 0);

    // The runs of one colour along a row, leaving out the two cut by the view's sides.
    QSet<int> widths;
    int runStart = 0;
    for (int x = 1; x <= 400; ++x) {
        if (x == 400 || painted.pixel(x, 150) != painted.pixel(runStart, 150)) {
            if (runStart > 0 && x < 400)
                widths.insert(x - runStart);
            runStart = x;
        }
    }
    QCOMPARE(widths, squareWidths);
}

void tst_ImageView::dragPansWithinThePicture_data()
{
    QTest::addColumn<QSize>("pictureSize");
    QTest::addColumn<QPoint>("dragBy");
    QTest::addColumn<QPoint>("probe");
    QTest::addColumn<QPoint>("pixel");

    const QSize filling(400, 300);
    QTest::newRow("right and down to the top-left corner")
        << filling << QPoint(1000, 1000) << QPoint(0, 0) << QPoint(0, 0);
    QTest::newRow("left and up to the bottom-right corner")
        << filling << QPoint(-1000, -1000) << QPoint(399, 299) << QPoint(399, 299);
    QTest::newRow("a short drag moves by as much")
        << filling << QPoint(40, 0) << QPoint(200, 150) << QPoint(180, 150);
    QTest::newRow("narrower than the view stays centred across")
        << QSize(200, 300) << QPoint(300, 0) << QPoint(200, 150) << QPoint(100, 150);
}

void tst_ImageView::dragPansWithinThePicture()
{
    QFETCH(QSize, pictureSize);
    QFETCH(QPoint, dragBy);
    QFETCH(QPoint, probe);
    QFETCH(QPoint, pixel);

    ImageView view;
    view.resize(400, 300);
    view.setPixmap(codedPicture(pictureSize));
    turnWheel(view, QPoint(200, 150), pictureSize.width() == 400 ? 4 : 2);
    const QPoint from(200, 150);
    drag(view, from, {from + dragBy / 2, from + dragBy});

    QCOMPARE(view.pixelAt(probe), pixel);
    QCOMPARE(codedPixel(paintedImage(view).pixel(probe)), pixel);
}

void tst_ImageView::newPictureKeepsOrRefits_data()
{
    QTest::addColumn<QSize>("nextSize");
    QTest::addColumn<bool>("emptyBetween");
    QTest::addColumn<bool>("byRows");
    QTest::addColumn<bool>("kept");

    QTest::newRow("same size keeps") << QSize(640, 480) << false << false << true;
    QTest::newRow("same size by rows keeps") << QSize(640, 480) << false << true << true;
    QTest::newRow("another size fits") << QSize(640, 481) << false << false << false;
    QTest::newRow("another size by rows fits") << QSize(320, 240) << false << true << false;
    QTest::newRow("same size after none fits") << QSize(640, 480) << true << false << false;
}

void tst_ImageView::newPictureKeepsOrRefits()
{
    QFETCH(QSize, nextSize);
    QFETCH(bool, emptyBetween);
    QFETCH(bool, byRows);
    QFETCH(bool, kept);

    ImageView view;
    view.resize(400, 300);
    view.setPixmap(codedPicture(QSize(640, 480)));
    turnWheel(view, QPoint(100, 100), 9);
    drag(view, QPoint(200, 150), {QPoint(150, 120)});
    const qreal zoom = view.zoom();
    const QPoint probe(300, 200);
    const QPoint pixel = view.pixelAt(probe);

    if (emptyBetween)
        view.setPixmap(QPixmap());
    if (byRows)
        view.updateRows(codedPicture(nextSize), RowRange{0, 10});
    else
        view.setPixmap(codedPicture(nextSize));

    QCOMPARE(view.isFitted(), !kept);
    if (kept) {
        QCOMPARE(view.zoom(), zoom);
        QCOMPARE(view.pixelAt(probe), pixel);
    } else {
        const QSize fitted = nextSize.scaled(400, 300, Qt::KeepAspectRatio);
        QCOMPARE(paintedRect(paintedImage(view)), QRect(QPoint(), fitted));
    }
}

void tst_ImageView::rowsAsTheyArrive_data()
{
    QTest::addColumn<QSize>("pictureSize");
    QTest::addColumn<int>("notches");
    QTest::addColumn<int>("tolerance");

    QTest::newRow("fitted, half size") << QSize(800, 600) << 0 << 0;
    QTest::newRow("fitted, uneven scale") << QSize(931, 677) << 0 << 6;
    QTest::newRow("fitted, enlarged") << QSize(130, 97) << 0 << 6;
    QTest::newRow("zoomed") << QSize(800, 600) << 5 << 0;
}

// Rows drawn as they arrive look as the whole picture given at once would, apart from a
// little smoothing where the new rows meet the old.
void tst_ImageView::rowsAsTheyArrive()
{
    QFETCH(QSize, pictureSize);
    QFETCH(int, notches);
    QFETCH(int, tolerance);

    QImage picture = codedPicture(pictureSize).toImage();
    ImageView view;
    view.resize(400, 300);
    view.setPixmap(QPixmap::fromImage(picture));
    turnWheel(view, QPoint(200, 150), notches);
    paintedImage(view);

    const RowRange rows{pictureSize.height() / 3, pictureSize.height() / 2};
    for (int y = rows.first; y < rows.last; ++y) {
        for (int x = 0; x < pictureSize.width(); ++x)
            picture.setPixel(x, y, qRgb(250, 20, x % 200));
    }
    view.updateRows(QPixmap::fromImage(picture), rows);
    const QImage byRows = paintedImage(view);
    view.setPixmap(QPixmap::fromImage(picture));
    const QImage whole = paintedImage(view);

    int largest = 0;
    for (int y = 0; y < whole.height(); ++y) {
        for (int x = 0; x < whole.width(); ++x) {
            const QRgb a = byRows.pixel(x, y);
            const QRgb b = whole.pixel(x, y);
            largest = std::max({largest, qAbs(qRed(a) - qRed(b)), qAbs(qGreen(a) - qGreen(b)),
                                qAbs(qBlue(a) - qBlue(b))});
        }
    }
    QVERIFY2(largest <= tolerance, qPrintable(QString::number(largest)));
    QCOMPARE(view.isFitted(), notches == 0);
}

void tst_ImageView::rowsInProgressAndWhatComesBack_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("finishes");

    for (const char *before : {"hidden", "same size", "another size"}) {
        QTest::addRow("%s, did not finish", before) << before << false;
        QTest::addRow("%s, finished", before) << before << true;
    }
}

// Rows 5 to 14 of a picture of 40 x 30 at half resolution, drawn over what the view showed.
void tst_ImageView::rowsInProgressAndWhatComesBack()
{
    QFETCH(QString, before);
    QFETCH(bool, finishes);

    QWidget window;
    auto *view = new ImageView(&window);
    view->resize(400, 300);
    const QSize size(40, 30);
    const QPixmap earlier = codedPicture(before == "another size" ? QSize(60, 60) : size);
    view->setPixmap(earlier, 1);
    // A picture left in a hidden view is not drawn over.
    if (before == "hidden") {
        view->hide();
    } else {
        turnWheel(*view, QPoint(200, 150), 6);
        view->setOutOfDate(true);
        view->setMaximumWidth(321);
    }
    const bool wasHidden = view->isHidden();
    const int maximumWidth = view->maximumWidth();
    const qreal zoom = view->zoom();
    const QPoint probe(210, 140);
    const QPoint probed = view->pixelAt(probe);

    const QRgb red = qRgb(250, 10, 10);
    QImage rows(size.width(), 10, QImage::Format_RGB32);
    rows.fill(red);
    PictureInProgress progress(view);
    progress.drawRows(rows, RowRange{5, 15}, size, 2);

    const QRgb otherwise = before == "same size" ? earlier.toImage().pixel(3, 20)
                                                 : view->palette().color(QPalette::Base).rgb();
    QVERIFY(!view->isHidden());
    QCOMPARE(view->sizeHint(), size);
    QCOMPARE(view->step(), 2);
    QCOMPARE(view->maximumWidth(), wasHidden ? 80 : 321);
    QVERIFY(!view->isOutOfDate());
    QCOMPARE(view->pixelColour(QPoint(3, 5)), red);
    QCOMPARE(view->pixelColour(QPoint(39, 14)), red);
    QCOMPARE(view->pixelColour(QPoint(3, 4)), before == "same size" ? earlier.toImage().pixel(3, 4) : otherwise);
    QCOMPARE(view->pixelColour(QPoint(3, 20)), otherwise);
    QCOMPARE(view->isFitted(), before != "same size");

    if (finishes)
        progress.finish();
    else
        progress.restore();
    // Once over, nothing more is drawn or brought back.
    progress.drawRows(rows, RowRange{20, 30}, size, 2);
    progress.restore();

    if (finishes) {
        QVERIFY(!view->isHidden());
        QCOMPARE(view->pixelColour(QPoint(3, 5)), red);
        QCOMPARE(view->pixelColour(QPoint(3, 20)), otherwise);
        return;
    }
    QCOMPARE(view->isHidden(), wasHidden);
    QCOMPARE(view->shown().picture.toImage(), earlier.toImage());
    QCOMPARE(view->step(), 1);
    QCOMPARE(view->isOutOfDate(), !wasHidden);
    QCOMPARE(view->maximumWidth(), maximumWidth);
    // A hidden view's zoom is none of the user's.
    if (!wasHidden) {
        QCOMPARE(view->zoom(), zoom);
        QCOMPARE(view->pixelAt(probe), probed);
    }
}

void tst_ImageView::mapsViewPointsToPixels_data()
{
    QTest::addColumn<QSize>("pictureSize");
    QTest::addColumn<QSize>("viewSize");
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<QPoint>("pixel");

    const QSize large(640, 480);
    const QSize square(400, 400);
    const QPoint outside(-1, -1);
    QTest::newRow("shrunk, top-left") << large << square << QPoint(0, 50) << QPoint(0, 0);
    QTest::newRow("shrunk, bottom-right")
        << large << square << QPoint(399, 349) << QPoint(639, 479);
    QTest::newRow("shrunk, middle") << large << square << QPoint(200, 200) << QPoint(320, 240);
    QTest::newRow("margin above") << large << square << QPoint(200, 49) << outside;
    QTest::newRow("margin below") << large << square << QPoint(200, 350) << outside;
    QTest::newRow("outside the view") << large << square << QPoint(400, 200) << outside;
    const QSize small(320, 240);
    QTest::newRow("enlarged, bottom-right")
        << small << QSize(801, 600) << QPoint(799, 599) << QPoint(319, 239);
    QTest::newRow("odd leftover column") << small << QSize(801, 600) << QPoint(800, 10) << outside;
    QTest::newRow("no picture") << QSize() << square << QPoint(200, 200) << outside;
}

void tst_ImageView::mapsViewPointsToPixels()
{
    QFETCH(QSize, pictureSize);
    QFETCH(QSize, viewSize);
    QFETCH(QPoint, point);
    QFETCH(QPoint, pixel);

    ImageView view;
    view.resize(viewSize);
    view.setPixmap(pictureSize.isValid() ? codedPicture(pictureSize) : QPixmap());
    QCOMPARE(view.pixelAt(point), pixel);
}

void tst_ImageView::readoutOfThePointedPixel_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<QPoint>("pixel");
    QTest::addColumn<QRgb>("colour");
    QTest::addColumn<int>("notches");   // zoomed in about the pixel first
    QTest::addColumn<QString>("readout");

    QTest::newRow("full resolution") << 1 << QPoint(312, 200) << qRgb(204, 105, 26) << 0
                                     << "x 312, y 200: 204, 105, 26 (#CC691A)";
    QTest::newRow("half resolution") << 2 << QPoint(156, 100) << qRgb(204, 105, 26) << 0
                                     << "x 312, y 200: 204, 105, 26 (#CC691A)";
    QTest::newRow("top-left, leading zeros") << 2 << QPoint(0, 0) << qRgb(0, 5, 10) << 0
                                             << "x 0, y 0: 0, 5, 10 (#00050A)";
    QTest::newRow("full resolution, zoomed in") << 1 << QPoint(312, 200) << qRgb(204, 105, 26)
                                                << 7 << "x 312, y 200: 204, 105, 26 (#CC691A)";
    QTest::newRow("half resolution, zoomed in fully")
        << 2 << QPoint(639, 479) << qRgb(1, 2, 3) << 40 << "x 1278, y 958: 1, 2, 3 (#010203)";
}

void tst_ImageView::readoutOfThePointedPixel()
{
    QFETCH(int, step);
    QFETCH(QPoint, pixel);
    QFETCH(QRgb, colour);
    QFETCH(int, notches);
    QFETCH(QString, readout);

    QImage picture(640, 480, QImage::Format_RGB32);
    picture.fill(pictureColour);
    picture.setPixel(pixel, colour);
    ImageView view;
    view.resize(640, 480);
    view.setPixmap(QPixmap::fromImage(picture), step);
    // Shown one to one, the pixel lies under the same view point, and a zoom about it keeps it.
    turnWheel(view, pixel, notches);
    QCOMPARE(view.isFitted(), notches == 0);
    QSignalSpy pointed(&view, &ImageView::pointedPixelChanged);

    sendMouse(view, QEvent::MouseMove, pixel, Qt::NoButton);
    QCOMPARE(pointed.count(), 1);
    QCOMPARE(pointed.last().at(0).toPoint(), pixel);
    QCOMPARE(pixelReadout(view.paintingPlace(pixel), view.pixelColour(pixel)), readout);

    // New rows under the pointer are told, so that the readout follows them.
    picture.setPixel(pixel, sentinel);
    view.updateRows(QPixmap::fromImage(picture), RowRange{pixel.y(), pixel.y() + 1});
    QCOMPARE(pointed.count(), 2);
    QCOMPARE(view.pixelColour(view.pointedPixel()), sentinel);

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&view, &leave);
    QCOMPARE(pointed.count(), 3);
    QCOMPARE(pointed.last().at(0).toPoint(), QPoint(-1, -1));

    // A view that is hidden has nothing under the pointer.
    view.show();
    sendMouse(view, QEvent::MouseMove, pixel, Qt::NoButton);
    QCOMPARE(pointed.last().at(0).toPoint(), pixel);
    view.hide();
    QCOMPARE(pointed.last().at(0).toPoint(), QPoint(-1, -1));
}

void tst_ImageView::clickInspectsDragDoesNot_data()
{
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<QList<QPoint>>("moves");
    QTest::addColumn<bool>("doubleClick");
    QTest::addColumn<QList<QPoint>>("clicked");

    const QPoint middle(200, 200);
    const QList<QPoint> none;
    const QList<QPoint> pixel{{320, 240}};
    const int wobble = QApplication::startDragDistance() - 1;
    QTest::newRow("click") << middle << none << false << pixel;
    QTest::newRow("a wobble is still a click")
        << middle << QList<QPoint>{middle + QPoint(wobble, 0)} << false << pixel;
    QTest::newRow("a drag is none")
        << middle << QList<QPoint>{middle + QPoint(0, wobble + 1)} << false << none;
    QTest::newRow("a drag back is none")
        << middle << QList<QPoint>{{240, 200}, middle} << false << none;
    QTest::newRow("in the margin none") << QPoint(200, 20) << none << false << none;
    QTest::newRow("double-click: the first click") << middle << none << true << pixel;
}

// Zoomed in a little, so that a drag pans, a double-click fits again and a margin is left.
void tst_ImageView::clickInspectsDragDoesNot()
{
    QFETCH(QPoint, press);
    QFETCH(QList<QPoint>, moves);
    QFETCH(bool, doubleClick);
    QFETCH(QList<QPoint>, clicked);

    ImageView view;
    view.resize(400, 400);
    view.setPixmap(codedPicture(QSize(640, 480)));
    turnWheel(view, QPoint(200, 200), 1);
    QSignalSpy clicks(&view, &ImageView::pixelClicked);
    drag(view, press, moves);
    if (doubleClick) {
        sendMouse(view, QEvent::MouseButtonDblClick, press);
        sendMouse(view, QEvent::MouseButtonRelease, press, Qt::NoButton);
    }

    QList<QPoint> seen;
    for (const QList<QVariant> &arguments : clicks)
        seen << arguments.at(0).toPoint();
    QCOMPARE(seen, clicked);
    QCOMPARE(view.isFitted(), doubleClick);
    if (doubleClick)
        QCOMPARE(paintedRect(paintedImage(view)), QRect(0, 50, 400, 300));
}

QTEST_MAIN(tst_ImageView)
#include "tst_imageview.moc"
