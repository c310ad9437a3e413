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
    void scriptErrorShowsItsLine_data();
    void scriptErrorShowsItsLine();
    void livePreviewFollowsTheTextAndTheFiles();

    void rendererFailureIsReportedAndTheWindowGoesOn_data();
    void rendererFailureIsReportedAndTheWindowGoesOn();
    void escapeStopsAScriptThatNeverEnds();
    void closingDuringARenderClosesAtOnce();
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

bool isReddish(QRgb pixel)
{
    return qRed(pixel) > qGreen(pixel) + 40 && qRed(pixel) > qBlue(pixel) + 40;
}

// The red picture is still in its place, faded: reddish, but no longer red.
bool showsFadedRed(const QImage &shown, const QRect &picture)
{
    return boundsOf(shown, isReddish, picture.adjusted(-4, -4, 4, 4)) == picture
        && boundsOfColour(shown, red, picture).isEmpty();
}

int rowsMarkedRed(const QImage &shown)
{
    int rows = 0;
    for (int y = 0; y < shown.height(); ++y) {
        if (countPixels(shown, QRect(0, y, shown.width(), 1), isReddish) > shown.width() / 2)
            ++rows;
    }
    return rows;
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

    QVERIFY2(showsFadedRed(app.grabClient(), picture), "the picture before is not shown faded");
    QVERIFY2(app.closeThroughWindowManager(), qPrintable(app.errorString()));
    QVERIFY2(app.waitForExit(), qPrintable(app.errorString()));
    QCOMPARE(app.exitCode(), 0);
}

void TestPreview::scriptErrorShowsItsLine_data()
{
    QTest::addColumn<QByteArray>("stdlib");
    QTest::addColumn<QByteArray>("painting");
    QTest::addColumn<QString>("file");        // holding the error
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("rowItems");        // of the page shown after the box

    QTest::newRow("in the painting")
        << QByteArray() << QByteArray("// A mistake.\nfunction render() {\n    var d = x / width;\n"
                                      "    r = d; g = missing.value;\n}\n")
        << "paintings/Sketchbook.js" << 4 << 4;
    QTest::newRow("in the standard library, which opens its page")
        << QByteArray("// helpers\nfunction fail() {\n    throw new Error('lib');\n}\n")
        << QByteArray("function render() { fail(); }\n") << "stdlib.js" << 3 << 1;
}

void TestPreview::scriptErrorShowsItsLine()
{
    QFETCH(QByteArray, stdlib);
    QFETCH(QByteArray, painting);
    QFETCH(QString, file);
    QFETCH(int, line);
    QFETCH(int, rowItems);

    AppSession app;
    QVERIFY(app.writeFile("stdlib.js", stdlib));
    QVERIFY(app.writeFile("paintings/Sketchbook.js", painting));
    QVERIFY2(app.start(), qPrintable(app.errorString()));
    QVERIFY2(app.pressKeys({"ctrl+r"}), qPrintable(app.errorString()));
    const QString box = app.waitForWindow("^Script Error$", renderMs);
    QVERIFY2(!box.isEmpty(), qPrintable(app.errorString()));
    QVERIFY2(app.pressKeys({"Return"}), qPrintable(app.errorString()));
    QVERIFY2(app.waitForWindowGone(box), qPrintable(app.errorString()));

    QVERIFY2(waitUntil([&] { return controlRowItems(app.grabClient()).size() == rowItems; }, 10000),
             "the page holding the error is not shown");
    // The line is marked across the editor: a band of red over its white, which red text
    // (strings are red in the light theme) is not.
    const int markedRows = rowsMarkedRed(app.grabClient());
    QVERIFY2(markedRows >= 8 && markedRows <= 30, qPrintable(QString("%1 rows marked").arg(markedRows)));

    // Typing goes to the start of the error's line, and the mark goes with the edit.
    QVERIFY2(app.typeText("XYZ"), qPrintable(app.errorString()));
    QVERIFY2(waitUntil([&] { return rowsMarkedRed(app.grabClient()) == 0; }, 10000),
             "the mark stayed after typing");
    QVERIFY2(app.closeThroughWindowManager(), qPrintable(app.errorString()));
    QVERIFY2(app.waitForExit(), qPrintable(app.errorString()));
    QCOMPARE(app.exitCode(), 0);
    const QList<QByteArray> lines = app.readFile(file).split('\n');
    QVERIFY(lines.size() >= line);
    QVERIFY2(lines.at(line - 1).startsWith("XYZ"), lines.at(line - 1).constData());
}

void TestPreview::rendererFailureIsReportedAndTheWindowGoesOn_data()
{
    QTest::addColumn<QString>("painting");
    QTest::addColumn<qint64>("addressSpace");   // bytes; -1: no cap of the test's own

    QTest::newRow("the engine crashes") << "var o = { get p() { return 1; } }; o.p = 1; o.p = 2;" << qint64(-1);
    // About 600 MiB over what an idle renderer reserves, so that the cap is reached quickly.
    QTest::newRow("memory without end") << "var a = []; for (;;) a.push(new Array(1000000).join('xxxxxxxxxxxxxxxxxxxxxxxx'));"
                                        << qint64(2800000) * 1024;
}

void TestPreview::rendererFailureIsReportedAndTheWindowGoesOn()
{
    QFETCH(QString, painting);
    QFETCH(qint64, addressSpace);

#if defined(__SANITIZE_ADDRESS__)
    if (addressSpace >= 0)
        QSKIP("sanitized renderers run without a memory cap");
#endif
    AppSession app;
    app.limitAddressSpace(addressSpace);
    QVERIFY(app.writeFile("paintings/Sketchbook.js", "function render() { r = 1; }\n"));
    QVERIFY2(app.start(), qPrintable(app.errorString()));
    const QRect client = app.clientArea();
    QVERIFY2(app.pressKeys({"ctrl+r"}), qPrintable(app.errorString()));
    QVERIFY2(waitUntil([&] { return boundsOfColour(app.grabClient(), red).width() >= 100; }, renderMs),
             "no red picture appeared");
    const QRect picture = boundsOfColour(app.grabClient(), red);

    QVERIFY2(app.replaceTextAt(paintingEditorPoint(client), painting), qPrintable(app.errorString()));
    QVERIFY2(app.pressKeys({"ctrl+r"}), qPrintable(app.errorString()));
    const QString box = app.waitForWindow("^Renderer Stopped$", 60000);
    QVERIFY2(!box.isEmpty(), qPrintable(app.errorString()));
    QVERIFY2(app.pressKeys({"Return"}), qPrintable(app.errorString()));
    QVERIFY2(app.waitForWindowGone(box), qPrintable(app.errorString()));

    // The picture before stays, faded, the text was saved, and the next render works.
    QVERIFY2(showsFadedRed(app.grabClient(), picture), "the picture before is not shown faded");
    QCOMPARE(app.readFile("paintings/Sketchbook.js"), painting.toUtf8());
    QVERIFY2(app.replaceTextAt(paintingEditorPoint(client), "function render() { g = 1; }"),
             qPrintable(app.errorString()));
    QVERIFY2(app.pressKeys({"ctrl+r"}), qPrintable(app.errorString()));
    QVERIFY2(waitUntil([&] { return boundsOfColour(app.grabClient(), green) == picture; }, renderMs),
             "no green picture after the failure");

    QVERIFY2(app.closeThroughWindowManager(), qPrintable(app.errorString()));
    QVERIFY2(app.waitForExit(), qPrintable(app.errorString()));
    QCOMPARE(app.exitCode(), 0);
}

void TestPreview::escapeStopsAScriptThatNeverEnds()
{
    AppSession app;
    // Recursion that catches its own overflow never reaches a loop's back edge.
    QVERIFY(app.writeFile("paintings/Sketchbook.js", "function f() { try { f(); } catch (e) { f(); } } f();\n"));
    QVERIFY2(app.start(), qPrintable(app.errorString()));
    const QRect status = statusArea(controlRowItems(app.grabClient()));
    QVERIFY(!status.isEmpty());
    QVERIFY(!hasDarkPixels(app.grabClient(), status));

    QVERIFY2(app.pressKeys({"ctrl+r"}), qPrintable(app.errorString()));
    QVERIFY2(waitUntil([&] { return hasDarkPixels(app.grabClient(), status); }, renderMs),
             "the status area does not show the render");
    QTest::qWait(500);
    const QImage running = app.grabClient().copy(status);
    QVERIFY2(hasDarkPixels(app.grabClient(), status), "the render ended by itself");
    QVERIFY2(app.pressKeys({"Escape"}), qPrintable(app.errorString()));
    // The progress bar gives way to the words that say so.
    QVERIFY2(waitUntil([&] {
                 const QImage shown = app.grabClient();
                 return shown.copy(status) != running && hasDarkPixels(shown, status);
             }, 5000),
             "Escape did not stop the render");

    QVERIFY2(app.closeThroughWindowManager(), qPrintable(app.errorString()));
    QVERIFY2(app.waitForExit(), qPrintable(app.errorString()));
    QCOMPARE(app.exitCode(), 0);
}

void TestPreview::closingDuringARenderClosesAtOnce()
{
    AppSession app;
    QVERIFY2(app.start(), qPrintable(app.errorString()));
    const QRect client = app.clientArea();
    const QRect status = statusArea(controlRowItems(app.grabClient()));
    const QString painting = "function render() { while (true) {} }";
    QVERIFY2(app.replaceTextAt(paintingEditorPoint(client), painting), qPrintable(app.errorString()));
    QVERIFY2(app.pressKeys({"ctrl+r"}), qPrintable(app.errorString()));
    QVERIFY2(waitUntil([&] { return hasDarkPixels(app.grabClient(), status); }, renderMs),
             "the status area does not show the render");
    // Typing goes on during the render, and what was typed is saved at the close.
    QVERIFY2(app.typeText(" // more"), qPrintable(app.errorString()));

    QVERIFY2(app.closeThroughWindowManager(), qPrintable(app.errorString()));
    QVERIFY2(app.waitForExit(5000), qPrintable(app.errorString()));
    QCOMPARE(app.exitCode(), 0);
    QCOMPARE(app.readFile("paintings/Sketchbook.js"), (painting + " // more").toUtf8());
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
