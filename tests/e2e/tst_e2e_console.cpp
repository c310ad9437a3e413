#include <QClipboard>
#include <QGuiApplication>
#include <QTest>

#include "appsession.h"
#include "screenreading.h"
#include "waiting.h"

// The console in the real window: what a preview printed, an inspected pixel after a click on
// the picture, and the "Show Console" option.
class TestConsole : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { saveScreenshotIfFailed("e2e-console"); }
    void consoleShowsThePrintedLinesAndAnInspectedPixel();
};

namespace {

const QRgb blue = qRgb(0, 0, 255);
const int renderMs = 30000;

bool isErrorRed(QRgb p)
{
    return qRed(p) > 150 && qGreen(p) < 110 && qBlue(p) < 110;
}

// The panel above the control row, under the editor and right of the picture: from the row up
// to the splitter's handle, which shows the window's background.
QRect panelAboveTheRow(const QImage &shown, int rowTop, int left)
{
    const QRgb background = backgroundColour(shown);
    const int x = shown.width() - 60;
    int bottom = rowTop - 1;
    while (bottom > 0 && shown.pixel(x, bottom) == background)
        --bottom;
    int top = bottom;
    while (top > 0 && shown.pixel(x, top - 1) != background)
        --top;
    return QRect(QPoint(left, top), QPoint(shown.width() - 1, bottom));
}

// The console's whole text, as the user copies it: a click into it, Ctrl+A and Ctrl+C.
QString copiedConsoleText(AppSession &app, const QPoint &inConsole)
{
    QGuiApplication::clipboard()->clear();
    if (!app.clickClient(inConsole) || !app.pressKeys({"ctrl+a", "ctrl+c"}))
        return QString();
    QString text;
    waitUntil([&] { return !(text = QGuiApplication::clipboard()->text()).isEmpty(); }, 5000);
    return text;
}

} // namespace

void TestConsole::consoleShowsThePrintedLinesAndAnInspectedPixel()
{
    AppSession app;
    QVERIFY(app.writeFile("paintings/Sketchbook.js",
                          "print('MARK top');\n"
                          "function render() {\n"
                          "    r = 0; g = 0; b = 1;\n"
                          "    if (x == 0 && y == 0) console.error('MARK first pixel');\n"
                          "}\n"));
    QVERIFY2(app.start(), qPrintable(app.errorString()));
    const QRect client = app.clientArea();
    const QImage before = app.grabClient();
    const int rowTop = controlRowItems(before).first().top();

    QVERIFY2(app.pressKeys({"ctrl+r"}), qPrintable(app.errorString()));
    QVERIFY2(waitUntil([&] { return boundsOfColour(app.grabClient(), blue).width() >= 100; }, renderMs),
             "no blue picture appeared");
    // The console opens under the editor, with the error in red, and leaves the picture as it is.
    const QRect picture = boundsOfColour(app.grabClient(), blue);
    QRect console;
    QVERIFY2(waitUntil([&] {
                 const QImage shown = app.grabClient();
                 console = panelAboveTheRow(shown, rowTop, picture.right() + 4);
                 return console.top() > client.height() / 3 && countPixels(shown, console, isErrorRed) > 10;
             }, 10000),
             "no console with a red line under the editor");
    QCOMPARE(boundsOfColour(app.grabClient(), blue), picture);
    QString text = copiedConsoleText(app, console.center());
    QCOMPARE(text, QStringLiteral("top level: MARK top\n(0, 0): MARK first pixel"));
    QVERIFY2(!app.output().contains("MARK"), qPrintable(app.output()));

    // A click on the picture tells what render() did at that pixel.
    QVERIFY2(app.clickClient(picture.center()), qPrintable(app.errorString()));
    QVERIFY2(waitUntil([&] {
                 text = copiedConsoleText(app, console.center());
                 return text.contains("which become");
             }, 10000),
             qPrintable(text));
    QVERIFY2(text.startsWith("Pixel x "), qPrintable(text));
    QVERIFY2(text.contains("rendered alone"), qPrintable(text));
    QVERIFY2(text.contains("top level: MARK top\nr = 0, g = 0, b = 1, which become 0, 0, 255 (#0000FF)"),
             qPrintable(text));

    // Hidden through the Options menu, it stays hidden when the next preview prints: the editor
    // reaches down to the row again.
    auto editorTakesThePane = [&] {
        return panelAboveTheRow(app.grabClient(), rowTop, picture.right() + 4).top() < client.height() / 4;
    };
    QVERIFY2(app.chooseOption("Show Console"), qPrintable(app.errorString()));
    QVERIFY2(waitUntil(editorTakesThePane, 10000), "the console did not close");
    QVERIFY2(app.pressKeys({"ctrl+r"}), qPrintable(app.errorString()));
    QTest::qWait(2000);
    QVERIFY2(editorTakesThePane(), "the console opened again");
    QCOMPARE(boundsOfColour(app.grabClient(), blue), picture);
    QVERIFY2(!app.output().contains("MARK"), qPrintable(app.output()));

    QVERIFY2(app.closeThroughWindowManager(), qPrintable(app.errorString()));
    QVERIFY2(app.waitForExit(), qPrintable(app.errorString()));
    QCOMPARE(app.exitCode(), 0);
}

QTEST_MAIN(TestConsole)
#include "tst_e2e_console.moc"
