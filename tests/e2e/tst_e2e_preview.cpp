#include <QTest>

#include "appsession.h"
#include "screenreading.h"
#include "waiting.h"

// Previews in the real window: what appears on the screen after Ctrl+R or "Preview".
class TestPreview : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void previewShowsThePictureBesideTheEditor();
    void lowQualityPreviewSamplesEveryOtherPixel();
    void scriptErrorKeepsThePictureOnScreen();
    void livePreviewFollowsTheTextAndTheFiles();

private:
    // The painting editor's right part, free whatever width the picture takes.
    static QPoint paintingEditorPoint(const QRect &client)
    {
        return QPoint(client.width() - 60, client.height() / 3);
    }
};

namespace {

const QRgb red = qRgb(255, 0, 0);
const QRgb green = qRgb(0, 255, 0);
const QRgb white = qRgb(255, 255, 255);
const QRgb blue = qRgb(0, 0, 255);
// Far beyond what a small painting takes, even on a busy machine.
const int renderMs = 30000;

bool isWhite(QRgb pixel)
{
    return (pixel | 0xff000000u) == white;
}

} // namespace

void TestPreview::cleanup()
{
    saveScreenshotIfFailed("e2e-preview");
}

void TestPreview::previewShowsThePictureBesideTheEditor()
{
    AppSession app;
    QVERIFY2(app.start(), qPrintable(app.errorString()));
    const QRect client = app.clientArea();
    QVERIFY(!hasDarkPixels(app.grabClient(), statusArea(controlRowItems(app.grabClient()))));

    const QString painting = "function render() { r = 1; g = 0; b = 0; }";
    QVERIFY2(app.replaceTextAt(paintingEditorPoint(client), painting), qPrintable(app.errorString()));
    QVERIFY2(app.pressKeys({"ctrl+r"}), qPrintable(app.errorString()));

    QVERIFY2(waitUntil([&] { return boundsOfColour(app.grabClient(), red).width() >= 100; }, renderMs),
             "no red picture appeared");
    const QImage shown = app.grabClient();
    const QRect picture = boundsOfColour(shown, red);
    // A solid rectangle in the painting's proportions, left of the editor.
    QCOMPARE(countPixels(shown, picture, [](QRgb p) { return (p | 0xff000000u) == red; }),
             picture.width() * picture.height());
    QVERIFY2(qAbs(picture.width() * 3 - picture.height() * 4) <= 8,
             qPrintable(QString("%1 x %2 is not 4:3").arg(picture.width()).arg(picture.height())));
    QVERIFY(picture.height() >= 200);
    const QRect rightOfPicture(QPoint(picture.right() + 1, picture.top()),
                               QPoint(client.width() - 1, picture.bottom()));
    const QRect editor = boundsOf(shown, isWhite, rightOfPicture);
    QVERIFY2(editor.width() >= 250, "the editor is not right of the picture");

    // "Rendered in ... sec" in the status area, and the painting saved before the render.
    QVERIFY2(hasDarkPixels(shown, statusArea(controlRowItems(shown))), "no status text");
    QCOMPARE(app.readFile("paintings/Sketchbook.js"), painting.toUtf8());

    // The "Preview" button renders the changed painting in place of the old picture.
    QVERIFY2(app.replaceTextAt(paintingEditorPoint(client),
                               "function render() { r = 0; g = 1; b = 0; }"),
             qPrintable(app.errorString()));
    const QVector<QRect> row = controlRowItems(app.grabClient());
    QCOMPARE(row.size(), 4);
    QVERIFY2(app.clickClient(row.at(2).center()), qPrintable(app.errorString()));
    QVERIFY2(waitUntil([&] { return boundsOfColour(app.grabClient(), red).isNull(); }, renderMs),
             "the red picture stayed");
    QCOMPARE(boundsOfColour(app.grabClient(), green), picture);

    QVERIFY2(app.closeThroughWindowManager(), qPrintable(app.errorString()));
    QVERIFY2(app.waitForExit(), qPrintable(app.errorString()));
    QCOMPARE(app.exitCode(), 0);
    QCOMPARE(app.readFile("paintings/Sketchbook.js"),
             QByteArray("function render() { r = 0; g = 1; b = 0; }"));
}

void TestPreview::lowQualityPreviewSamplesEveryOtherPixel()
{
    // Odd columns are red: sampled at every other pixel, none of them is.
    AppSession app;
    QVERIFY(app.writeFile("paintings/Sketchbook.js",
                          "function render() { r = x % 2; g = 0; b = 1; }\n"));
    QVERIFY2(app.start(), qPrintable(app.errorString()));
    auto picturePart = [](QRgb pixel) { return qBlue(pixel) == 255 && qGreen(pixel) == 0; };
    auto redShare = [&](const QImage &shown) {
        const QRect picture = boundsOf(shown, picturePart);
        const int withRed = countPixels(shown, picture, [&](QRgb p) { return picturePart(p) && qRed(p) > 0; });
        return picture.isNull() ? -1.0 : double(withRed) / (picture.width() * picture.height());
    };

    QVERIFY2(app.pressKeys({"ctrl+r"}), qPrintable(app.errorString()));
    QVERIFY2(waitUntil([&] { return boundsOf(app.grabClient(), picturePart).width() >= 100; }, renderMs),
             "no picture appeared");
    QCOMPARE(redShare(app.grabClient()), 0.0);

    QVERIFY2(app.chooseOption("Low Quality Preview"), qPrintable(app.errorString()));
    QVERIFY2(app.pressKeys({"ctrl+r"}), qPrintable(app.errorString()));
    QVERIFY2(waitUntil([&] { return redShare(app.grabClient()) > 0.4; }, renderMs),
             "the full-quality picture has no red columns");

    QVERIFY2(app.chooseOption("Low Quality Preview"), qPrintable(app.errorString()));
    QVERIFY2(app.pressKeys({"ctrl+r"}), qPrintable(app.errorString()));
    QVERIFY2(waitUntil([&] { return redShare(app.grabClient()) == 0.0; }, renderMs),
             "the low-quality picture shows red columns");

    QVERIFY2(app.closeThroughWindowManager(), qPrintable(app.errorString()));
    QVERIFY2(app.waitForExit(), qPrintable(app.errorString()));
    QCOMPARE(app.exitCode(), 0);
}

void TestPreview::scriptErrorKeepsThePictureOnScreen()
{
    AppSession app;
    QVERIFY(app.writeFile("paintings/Sketchbook.js", "function render() { r = 1; }\n"));
    QVERIFY2(app.start(), qPrintable(app.errorString()));
    const QRect client = app.clientArea();
    QVERIFY2(app.pressKeys({"ctrl+r"}), qPrintable(app.errorString()));
    QVERIFY2(waitUntil([&] { return boundsOfColour(app.grabClient(), red).width() >= 100; }, renderMs),
             "no red picture appeared");
    const QRect picture = boundsOfColour(app.grabClient(), red);

    QVERIFY2(app.replaceTextAt(paintingEditorPoint(client),
                               "function render() { throw new Error('no paint left'); }"),
             qPrintable(app.errorString()));
    QVERIFY2(app.pressKeys({"ctrl+r"}), qPrintable(app.errorString()));
    const QString box = app.waitForWindow("^Script Error$", renderMs);
    QVERIFY2(!box.isEmpty(), qPrintable(app.errorString()));
    QVERIFY2(app.pressKeys({"Return"}), qPrintable(app.errorString()));
    QVERIFY2(app.waitForWindowGone(box), qPrintable(app.errorString()));

    QCOMPARE(boundsOfColour(app.grabClient(), red), picture);
    QVERIFY2(app.closeThroughWindowManager(), qPrintable(app.errorString()));
    QVERIFY2(app.waitForExit(), qPrintable(app.errorString()));
    QCOMPARE(app.exitCode(), 0);
}

void TestPreview::livePreviewFollowsTheTextAndTheFiles()
{
    const QByteArray redPainting = "function render() { r = 1; g = 0; b = 0; }\n";
    AppSession app;
    QVERIFY(app.writeFile("paintings/Sketchbook.js", redPainting));
    QVERIFY2(app.start(), qPrintable(app.errorString()));
    const QRect client = app.clientArea();
    auto pictureIs = [&](QRgb colour) { return boundsOfColour(app.grabClient(), colour).width() >= 100; };

    // Turned on, it renders what the editor holds; then every pause in typing renders again.
    QVERIFY2(app.pressKeys({"ctrl+shift+r"}), qPrintable(app.errorString()));
    QVERIFY2(waitUntil([&] { return pictureIs(red); }, renderMs), "no live picture appeared");
    QVERIFY2(app.replaceTextAt(paintingEditorPoint(client),
                               "function render() { r = 0; g = 1; b = 0; }"),
             qPrintable(app.errorString()));
    QVERIFY2(waitUntil([&] { return pictureIs(green); }, renderMs), "the picture did not follow");
    QCOMPARE(app.readFile("paintings/Sketchbook.js"), redPainting);

    // A typo: said in the status area, no box, the last picture stays but faded.
    QVERIFY2(app.replaceTextAt(paintingEditorPoint(client), "function render() { g = ; }"),
             qPrintable(app.errorString()));
    auto errorShown = [&] {
        const QImage shown = app.grabClient();
        return countPixels(shown, statusArea(controlRowItems(shown)), [](QRgb p) {
                   return qRed(p) > 150 && qGreen(p) < 90 && qBlue(p) < 90;
               }) > 20;
    };
    QVERIFY2(waitUntil(errorShown, renderMs), "no error in the status area");
    QVERIFY2(waitUntil([&] { return !pictureIs(green); }, renderMs), "the old picture is not faded");
    QVERIFY(app.waitForWindow("^Script Error$", 1500).isEmpty());
    QVERIFY(boundsOf(app.grabClient(), [](QRgb p) { return qGreen(p) > qRed(p) + 40; }).width() >= 100);

    // With the external editor, a save on disk is rendered.
    QVERIFY2(app.chooseOption("Use External Editor"), qPrintable(app.errorString()));
    QVERIFY(app.writeFile("paintings/Sketchbook.js", "function render() { r = 0; g = 0; b = 1; }\n"));
    QVERIFY2(waitUntil([&] { return pictureIs(blue); }, renderMs), "the saved file was not rendered");

    QVERIFY2(app.closeThroughWindowManager(), qPrintable(app.errorString()));
    QVERIFY2(app.waitForExit(), qPrintable(app.errorString()));
    QCOMPARE(app.exitCode(), 0);
}

QTEST_MAIN(TestPreview)
#include "tst_e2e_preview.moc"
