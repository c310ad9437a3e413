// The picture memory that the window and its renderer processes share: its sizes at the
// limits, ranges of rows written through mappings of their own, and the system's limits.

#include "processrender.h"
#include "testsupport.h"
#include "protocol/sharedpicture.h"

#include <QtTest>

#include <climits>
#include <csignal>

using Outcome = RenderResult::Outcome;

class tst_SharedPicture : public QObject
{
    Q_OBJECT

private slots:
    void pictureBytes_data();
    void pictureBytes();
    void sharedPictureRows_data();
    void sharedPictureRows();
    void fileSizeLimitLeavesPicturesAlone();
};

void tst_SharedPicture::pictureBytes_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("rows");
    QTest::addColumn<qint64>("bytes");

    QTest::newRow("default size") << 640 << 480 << qint64(1228800);
    QTest::newRow("no rows") << 10 << 0 << qint64(0);
    QTest::newRow("no columns") << 0 << 10 << qint64(0);
    QTest::newRow("negative width") << -1 << 5 << qint64(-1);
    QTest::newRow("negative rows") << 5 << -1 << qint64(-1);
    QTest::newRow("largest square") << 23170 << 23170 << qint64(2147395600);
    QTest::newRow("one more column and row") << 23171 << 23171 << qint64(-1);
    QTest::newRow("widest single row") << 536870911 << 1 << qint64(2147483644);
    QTest::newRow("one pixel wider") << 536870912 << 1 << qint64(-1);
    QTest::newRow("both at the limit of int") << INT_MAX << INT_MAX << qint64(-1);
}

void tst_SharedPicture::pictureBytes()
{
    QFETCH(int, width);
    QFETCH(int, rows);
    QFETCH(qint64, bytes);
    QCOMPARE(::pictureBytes(width, rows), bytes);
}

// Processes write ranges of rows that start and end anywhere in a page, each through mappings
// of its own; the window sees every row where it belongs, for as long as it keeps the image.
void tst_SharedPicture::sharedPictureRows_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<qint64>("readyBytes");
    QTest::addColumn<QList<int>>("ranges");   // the rows where each range starts, then the height

    QTest::newRow("ranges across page boundaries") << 3 << qint64(0) << QList<int>{0, 341, 342, 700, 1000};
    QTest::newRow("ready memory larger than the picture") << 3 << qint64(65536) << QList<int>{0, 500, 1000};
    QTest::newRow("ready memory smaller than the picture") << 100 << qint64(4096) << QList<int>{0, 7, 50};
    QTest::newRow("one pixel") << 1 << qint64(0) << QList<int>{0, 1};
}

void tst_SharedPicture::sharedPictureRows()
{
    QFETCH(int, width);
    QFETCH(qint64, readyBytes);
    QFETCH(QList<int>, ranges);
    const int height = ranges.last();

    QImage image;
    {
        SharedPicture picture(readyBytes);
        QVERIFY2(picture.isValid(), qPrintable(picture.errorString()));
        SharedPictureRows first(picture.fileDescriptor());
        QVERIFY(first.reserve(::pictureBytes(width, height)));
        for (int i = 0; i + 1 < ranges.size(); ++i) {
            SharedPictureRows process(picture.fileDescriptor());
            QImage rows = process.rows(width, ranges.at(i), ranges.at(i + 1) - ranges.at(i));
            QCOMPARE(rows.size(), QSize(width, ranges.at(i + 1) - ranges.at(i)));
            for (int y = 0; y < rows.height(); ++y) {
                for (int x = 0; x < width; ++x)
                    rows.setPixel(x, y, qRgb(x % 256, (ranges.at(i) + y) % 256, (ranges.at(i) + y) / 256));
            }
        }
        // Rows that the memory does not hold.
        QVERIFY(first.rows(width, qMax(height, int(readyBytes / 4 / width)), 1).isNull());
        picture.map();
        SharedPicture::Failure failure;
        image = picture.takeImage(width, height, &failure);
        QCOMPARE(failure, SharedPicture::Failure::None);
    }
    QCOMPARE(image.size(), QSize(width, height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            QCOMPARE(image.pixel(x, y), qRgb(x % 256, y % 256, y / 256));
    }

    SharedPicture empty;
    SharedPicture::Failure failure;
    QVERIFY(empty.takeImage(width, height, &failure).isNull());
    QCOMPARE(failure, SharedPicture::Failure::TooShort);
}

// The picture's memory is a file to the system: a file size limit must neither end the program
// nor fail the render.
void tst_SharedPicture::fileSizeLimitLeavesPicturesAlone()
{
    const QString painting = QStringLiteral("width = 200; height = 100; function render() { g = x / width; }");
    const RenderResult before = renderInProcess(QString(), painting).result;
    QCOMPARE(before.outcome, Outcome::Picture);
    FileSizeLimit limit(4096);
    std::signal(SIGXFSZ, SIG_DFL);   // going beyond the limit ends this test
    // A renderer started before the limit, with memory set up for this picture, then one
    // started under it.
    for (int i = 0; i < 2; ++i) {
        const RenderResult result = renderInProcess(QString(), painting).result;
        QCOMPARE(result.outcome, Outcome::Picture);
        QCOMPARE(result.image, before.image);
    }
}

QTEST_GUILESS_MAIN(tst_SharedPicture)
#include "tst_sharedpicture.moc"
