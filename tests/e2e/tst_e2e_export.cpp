#include <QDir>
#include <QTest>

#include <cmath>

#include "appsession.h"
#include "screenreading.h"
#include "waiting.h"

// Exports in the real window, through the real save dialog, checked on the written files.
class TestExport : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void cancelledDialogWritesNothing();
    void exportWritesTheFramedPictureThenTheBareOne();

private:
    static bool exportTo(AppSession &app, const QString &fileName);
};

namespace {

const QByteArray gradient = "function render() { r = x / width; g = y / height; b = 0.5; }\n";
const int renderMs = 30000;

// A channel is the exact product v x 255 truncated, not the rounded double product: for
// v = 384 / 640 (just below 0.6) the double product rounds up to 153, the exact one is 152.99...
int channel(double v)
{
    const double product = v * 255;
    double whole = std::trunc(product);
    if (whole == product && std::fma(v, 255, -product) < 0)
        whole -= 1;
    return int(whole) & 0xff;
}

// The gradient painting's colour at (x, y), worked out here from the painting's own arithmetic.
QRgb gradientPixelAt(double x, double y)
{
    return qRgb(channel(x / 640.0), channel(y / 480.0), channel(0.5));
}

QRgb gradientPixel(int x, int y)
{
    return gradientPixelAt(x, y);
}

QImage readWhenComplete(const QString &path)
{
    QImage image;
    // The file may be seen while it is still being written.
    waitUntil([&] { return image.load(path); }, renderMs);
    return image.convertToFormat(QImage::Format_RGB32);
}

// The first pixel of image, from offset on, that differs from the painting; empty when none.
QString firstWrongPixel(const QImage &image, int offset)
{
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            const QRgb shown = image.pixel(x + offset, y + offset) | 0xff000000u;
            if (shown != gradientPixel(x, y)) {
                return QString("picture pixel (%1, %2) is #%3, not #%4")
                    .arg(x)
                    .arg(y)
                    .arg(shown & 0xffffff, 6, 16, QChar('0'))
                    .arg(gradientPixel(x, y) & 0xffffff, 6, 16, QChar('0'));
            }
        }
    }
    return {};
}

} // namespace

void TestExport::cleanup()
{
    saveScreenshotIfFailed("e2e-export");
}

bool TestExport::exportTo(AppSession &app, const QString &fileName)
{
    const QString dialog = app.waitForWindow("^Save As$");
    if (dialog.isEmpty())
        return false;
    // The file name field has the focus; a whole path typed there is taken as it is.
    return app.typeText(app.path(fileName)) && app.pressKeys({"Return"})
        && app.waitForWindowGone(dialog, renderMs);
}

void TestExport::cancelledDialogWritesNothing()
{
    AppSession app;
    QVERIFY(app.writeFile("paintings/Sketchbook.js", gradient));
    QVERIFY2(app.start(), qPrintable(app.errorString()));
    const QStringList before = QDir(app.appDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

    QVERIFY2(app.pressKeys({"ctrl+s"}), qPrintable(app.errorString()));
    const QString dialog = app.waitForWindow("^Save As$");
    QVERIFY2(!dialog.isEmpty(), qPrintable(app.errorString()));
    QVERIFY2(app.typeText(app.path("never.png")), qPrintable(app.errorString()));
    QVERIFY2(app.pressKeys({"Escape"}), qPrintable(app.errorString()));
    QVERIFY2(app.waitForWindowGone(dialog), qPrintable(app.errorString()));

    QVERIFY2(app.activateMainWindow(), qPrintable(app.errorString()));
    QCOMPARE(QDir(app.appDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    QVERIFY2(app.closeThroughWindowManager(), qPrintable(app.errorString()));
    QVERIFY2(app.waitForExit(), qPrintable(app.errorString()));
    QCOMPARE(app.exitCode(), 0);
}

void TestExport::exportWritesTheFramedPictureThenTheBareOne()
{
    AppSession app;
    QVERIFY(app.writeFile("paintings/Sketchbook.js", gradient));
    QVERIFY2(app.start(), qPrintable(app.errorString()));

    // Ctrl+S with "Save With Frame" on, as at every start; the low-quality preview setting,
    // also on, does not shrink an export.
    QVERIFY2(app.pressKeys({"ctrl+s"}), qPrintable(app.errorString()));
    QVERIFY2(exportTo(app, "framed.png"), qPrintable(app.errorString()));
    const QImage framed = readWhenComplete(app.path("framed.png"));
    QCOMPARE(framed.size(), QSize(680, 520));
    auto isWhite = [](QRgb pixel) { return (pixel | 0xff000000u) == qRgb(255, 255, 255); };
    for (const QRect &border : {QRect(0, 0, 680, 20), QRect(0, 500, 680, 20), QRect(0, 0, 20, 520),
                                QRect(660, 0, 20, 520)}) {
        QCOMPARE(countPixels(framed, border, isWhite), border.width() * border.height());
    }
    const QString framedFault = firstWrongPixel(framed, 20);
    QVERIFY2(framedFault.isEmpty(), qPrintable(framedFault));

    // "Save With Frame" off through the Options menu, then the "Export" button.
    QVERIFY2(app.chooseOption("Save With Frame"), qPrintable(app.errorString()));
    const QVector<QRect> row = controlRowItems(app.grabClient());
    QCOMPARE(row.size(), 4);
    QVERIFY2(app.clickClient(row.last().center()), qPrintable(app.errorString()));
    QVERIFY2(exportTo(app, "bare.png"), qPrintable(app.errorString()));
    const QImage bare = readWhenComplete(app.path("bare.png"));
    QCOMPARE(bare.size(), QSize(640, 480));
    const QString bareFault = firstWrongPixel(bare, 0);
    QVERIFY2(bareFault.isEmpty(), qPrintable(bareFault));

    // Exports show nothing in the window: the picture area stays hidden, the editor's text area
    // full width but for the line numbers.
    const QImage shown = app.grabClient();
    QVERIFY(boundsOf(shown, isWhite).width() > shown.width() - 80);

    // At 2×, anti-aliased with 2 × 2 samples: each pixel the mean of four samples a quarter of
    // a picture pixel about its point.
    QVERIFY2(app.chooseOption("Export Size", 1), qPrintable(app.errorString()));
    QVERIFY2(app.chooseOption("Anti-aliasing", 1), qPrintable(app.errorString()));
    QVERIFY2(app.pressKeys({"ctrl+s"}), qPrintable(app.errorString()));
    QVERIFY2(exportTo(app, "large.png"), qPrintable(app.errorString()));
    const QImage large = readWhenComplete(app.path("large.png"));
    QCOMPARE(large.size(), QSize(1280, 960));
    auto sampled = [](int column, int row) {
        int sums[3] = {0, 0, 0};
        for (double dy : {-0.25, 0.25}) {
            for (double dx : {-0.25, 0.25}) {
                const QRgb sample = gradientPixelAt(((column + 0.5 + dx) - 0.5) / 2, ((row + 0.5 + dy) - 0.5) / 2);
                sums[0] += qRed(sample);
                sums[1] += qGreen(sample);
                sums[2] += qBlue(sample);
            }
        }
        return qRgb((2 * sums[0] + 4) / 8, (2 * sums[1] + 4) / 8, (2 * sums[2] + 4) / 8);
    };
    for (int row = 0; row < 960; row += 37) {
        for (int column = 0; column < 1280; column += 41)
            QCOMPARE(large.pixel(column, row) | 0xff000000u, sampled(column, row));
    }

    QVERIFY2(app.closeThroughWindowManager(), qPrintable(app.errorString()));
    QVERIFY2(app.waitForExit(), qPrintable(app.errorString()));
    QCOMPARE(app.exitCode(), 0);
    QCOMPARE(app.readFile("paintings/Sketchbook.js"), gradient);
}

QTEST_MAIN(TestExport)
#include "tst_e2e_export.moc"
