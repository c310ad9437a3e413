#include <QTest>

#include "appsession.h"
#include "screenreading.h"
#include "waiting.h"

// The painting library in the real window: the standard-library page, the painting list,
// Save Copy, New and Delete, undo across a switch and the external editor.
class TestLibrary : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void standardLibraryPageKeepsWhatWasTyped();
    void pickingAnotherPaintingSavesTheOneLeft();
    void saveCopyStoresTheEditorTextUnderANewName();
    void newPaintingUndoAfterASwitchAndDelete();
    void externalEditorGetsTheFilesFromTheDesktop();
    void closingAsksWhenTheTextCannotBeSaved();
};

namespace {

const QRgb red = qRgb(255, 0, 0);
const QRgb green = qRgb(0, 255, 0);
const QRgb blue = qRgb(0, 0, 255);
const int renderMs = 30000;

bool isWhite(QRgb pixel)
{
    return (pixel | 0xff000000u) == qRgb(255, 255, 255);
}

// The editor's white, looked for above the row of controls.
QRect editorBounds(const QImage &shown)
{
    const QVector<QRect> row = controlRowItems(shown);
    return row.isEmpty() ? QRect() : boundsOf(shown, isWhite, QRect(0, 0, shown.width(), row.first().top()));
}

QPoint paintingEditorPoint(const QRect &client)
{
    return QPoint(client.width() - 60, client.height() / 3);
}

QPoint stdlibEditorPoint(const QRect &client)
{
    return QPoint(client.width() / 2, client.height() / 3);
}

// The starter of a new painting: red growing to the right, green downwards, half blue.
bool showsStarter(AppSession &app)
{
    const auto isStarter = [](QRgb p) {
        return qAbs(qBlue(p) - 128) <= 2 && qRed(p) > 100 && qGreen(p) > 100;
    };
    return waitUntil([&] {
        const QImage shown = app.grabClient();
        return countPixels(shown, shown.rect(), isStarter) > 2000;
    }, renderMs);
}

// Picks the entry steps entries below (above, when negative) the current one in the list.
bool pickInList(AppSession &app, int steps)
{
    const QVector<QRect> row = controlRowItems(app.grabClient());
    if (row.size() != 4 || !app.clickAndWaitForPopup(row.first().center()))
        return false;
    QStringList keys;
    for (int i = 0; i < qAbs(steps); ++i)
        keys << (steps > 0 ? "Down" : "Up");
    return app.pressKeys(keys << "Return") && app.waitForPopupsGone();
}

bool showsColour(AppSession &app, QRgb colour)
{
    return waitUntil([&] { return boundsOfColour(app.grabClient(), colour).width() >= 100; }, renderMs);
}

// The painting page has the list and three buttons in its bottom row, the library page "Done".
bool showsPage(AppSession &app, int rowItems)
{
    return waitUntil([&] { return controlRowItems(app.grabClient()).size() == rowItems; }, 10000);
}

// Closes the window through the window manager; returns why the program did not end well.
QString closeFault(AppSession &app)
{
    if (!app.closeThroughWindowManager() || !app.waitForExit())
        return app.errorString();
    if (app.exitStatus() != QProcess::NormalExit || app.exitCode() != 0)
        return QString("pictoloom ended with exit code %1:\n%2").arg(app.exitCode()).arg(app.output());
    return {};
}

// Answers the "Save As" name dialog, and the question that follows when the name is taken.
bool saveCopy(AppSession &app, const QString &name, const QString &answer = QString())
{
    if (!app.chooseOption("Save Copy"))
        return false;
    const QString input = app.waitForWindow("^Save As$");
    if (input.isEmpty() || !app.typeText(name) || !app.pressKeys({"Return"})
        || !app.waitForWindowGone(input))
        return false;
    if (answer.isEmpty())
        return true;
    const QString question = app.waitForWindow("^Save As$");
    return !question.isEmpty() && app.pressKeys({answer}) && app.waitForWindowGone(question);
}

} // namespace

void TestLibrary::cleanup()
{
    saveScreenshotIfFailed("e2e-library");
}

void TestLibrary::standardLibraryPageKeepsWhatWasTyped()
{
    AppSession app;
    QVERIFY2(app.start(), qPrintable(app.errorString()));
    const QRect client = app.clientArea();

    // Ctrl+L there, Ctrl+L back: the text typed in between is in "stdlib.js".
    QVERIFY2(app.pressKeys({"ctrl+l"}), qPrintable(app.errorString()));
    QVERIFY2(showsPage(app, 1), "the library page did not show");
    QVERIFY(!app.exists("stdlib.js"));
    QVERIFY2(app.replaceTextAt(stdlibEditorPoint(client), "function shade() { return 0.2; }"),
             qPrintable(app.errorString()));
    QVERIFY2(app.pressKeys({"ctrl+l"}), qPrintable(app.errorString()));
    QVERIFY2(showsPage(app, 4), "the painting page did not come back");
    QCOMPARE(app.readFile("stdlib.js"), QByteArray("function shade() { return 0.2; }"));

    // The Options menu's "Edit Standard Library" there, the "Done" button back.
    QVERIFY2(app.chooseOption("Edit Standard Library"), qPrintable(app.errorString()));
    QVERIFY2(showsPage(app, 1), "the library page did not show");
    QVERIFY2(app.clickClient(stdlibEditorPoint(client)), qPrintable(app.errorString()));
    QVERIFY2(app.pressKeys({"ctrl+End"}), qPrintable(app.errorString()));
    QVERIFY2(app.typeText("\nfunction tint() { return 1; }"), qPrintable(app.errorString()));
    const QVector<QRect> doneRow = controlRowItems(app.grabClient());
    QCOMPARE(doneRow.size(), 1);
    QVERIFY(doneRow.first().left() > client.width() / 2);
    QVERIFY2(app.clickClient(doneRow.first().center()), qPrintable(app.errorString()));
    QVERIFY2(showsPage(app, 4), "the painting page did not come back");
    QCOMPARE(app.readFile("stdlib.js"),
             QByteArray("function shade() { return 0.2; }\nfunction tint() { return 1; }"));

    // Paintings call what the library defines: 0.2 is channel 51.
    QVERIFY2(app.replaceTextAt(paintingEditorPoint(client),
                               "function render() { r = shade(); g = tint(); b = 0; }"),
             qPrintable(app.errorString()));
    QVERIFY2(app.pressKeys({"ctrl+r"}), qPrintable(app.errorString()));
    QVERIFY2(showsColour(app, qRgb(51, 255, 0)), "the painting did not use the library");

    // Closing while the library page shows saves both documents all the same.
    QVERIFY2(app.pressKeys({"ctrl+l"}), qPrintable(app.errorString()));
    QVERIFY2(showsPage(app, 1), "the library page did not show");
    QVERIFY2(app.replaceTextAt(stdlibEditorPoint(client),
                               "function shade() { return 0.4; }\nfunction tint() { return 0; }"),
             qPrintable(app.errorString()));
    QVERIFY2(closeFault(app).isEmpty(), qPrintable(closeFault(app)));
    QCOMPARE(app.readFile("stdlib.js"),
             QByteArray("function shade() { return 0.4; }\nfunction tint() { return 0; }"));
    QCOMPARE(app.readFile("paintings/Sketchbook.js"),
             QByteArray("function render() { r = shade(); g = tint(); b = 0; }"));
}

void TestLibrary::pickingAnotherPaintingSavesTheOneLeft()
{
    AppSession app;
    QVERIFY(app.writeFile("paintings/Green.js", "function render() { g = 1; }\n"));
    QVERIFY2(app.start(), qPrintable(app.errorString()));
    const QRect client = app.clientArea();

    QVERIFY2(app.replaceTextAt(paintingEditorPoint(client), "function render() { r = 1; }"),
             qPrintable(app.errorString()));
    QVERIFY2(app.pressKeys({"ctrl+r"}), qPrintable(app.errorString()));
    QVERIFY2(showsColour(app, red), "no red picture appeared");

    // The list reads "The Sketchbook", "Green": one step down picks Green.
    const QVector<QRect> row = controlRowItems(app.grabClient());
    QCOMPARE(row.size(), 4);
    QVERIFY2(app.clickAndWaitForPopup(row.first().center()), qPrintable(app.errorString()));
    QVERIFY2(app.pressKeys({"Down", "Return"}), qPrintable(app.errorString()));
    QVERIFY2(app.waitForPopupsGone(), qPrintable(app.errorString()));

    QVERIFY2(waitUntil([&] { return app.readFile("paintings/Sketchbook.js") == "function render() { r = 1; }"; },
                       10000),
             "the painting left was not saved");
    // The picture of the painting left goes, the status text with it.
    QVERIFY2(waitUntil([&] { return boundsOfColour(app.grabClient(), red).isNull(); }, 10000),
             "the old picture stayed");
    const QImage shown = app.grabClient();
    QVERIFY(!hasDarkPixels(shown, statusArea(controlRowItems(shown))));

    // What is typed next goes into the painting picked, not to the list.
    QVERIFY2(app.typeText("/* mine */ "), qPrintable(app.errorString()));
    QVERIFY2(app.pressKeys({"ctrl+r"}), qPrintable(app.errorString()));
    QVERIFY2(showsColour(app, green), "Green was not loaded");

    QVERIFY2(closeFault(app).isEmpty(), qPrintable(closeFault(app)));
    QCOMPARE(app.readFile("paintings/Green.js"), QByteArray("/* mine */ function render() { g = 1; }\n"));
    QCOMPARE(app.readFile("paintings/Sketchbook.js"), QByteArray("function render() { r = 1; }"));
}

void TestLibrary::saveCopyStoresTheEditorTextUnderANewName()
{
    AppSession app;
    QVERIFY(app.writeFile("paintings/Sketchbook.js", "function render() { r = 1; }\n"));
    QVERIFY2(app.start(), qPrintable(app.errorString()));
    const QRect client = app.clientArea();
    const QByteArray first = "function render() { g = 1; }";
    const QByteArray second = "function render() { b = 1; }";

    // A cancelled name dialog changes nothing.
    QVERIFY2(app.chooseOption("Save Copy"), qPrintable(app.errorString()));
    const QString input = app.waitForWindow("^Save As$");
    QVERIFY2(!input.isEmpty(), qPrintable(app.errorString()));
    QVERIFY2(app.typeText("Never") && app.pressKeys({"Escape"}), qPrintable(app.errorString()));
    QVERIFY2(app.waitForWindowGone(input), qPrintable(app.errorString()));
    QVERIFY(!app.exists("paintings/Never.js"));

    // A new name: the copy holds the editor's unsaved text, the painting left keeps its file.
    QVERIFY2(app.replaceTextAt(paintingEditorPoint(client), first), qPrintable(app.errorString()));
    QVERIFY2(saveCopy(app, "Rain"), qPrintable(app.errorString()));
    QVERIFY2(waitUntil([&] { return app.readFile("paintings/Rain.js") == first; }, 10000),
             "Rain.js does not hold the editor's text");
    QCOMPARE(app.readFile("paintings/Sketchbook.js"), QByteArray("function render() { r = 1; }\n"));

    // The name again: "No" leaves the file alone, "Yes" replaces it.
    QVERIFY2(app.replaceTextAt(paintingEditorPoint(client), second), qPrintable(app.errorString()));
    QVERIFY2(saveCopy(app, "Rain", "n"), qPrintable(app.errorString()));
    QCOMPARE(app.readFile("paintings/Rain.js"), first);
    QVERIFY2(saveCopy(app, "Rain", "y"), qPrintable(app.errorString()));
    QVERIFY2(waitUntil([&] { return app.readFile("paintings/Rain.js") == second; }, 10000),
             "Rain.js was not replaced");

    // Rain is the current painting now: a preview shows and saves it.
    QVERIFY2(app.activateMainWindow() && app.pressKeys({"ctrl+r"}), qPrintable(app.errorString()));
    QVERIFY2(showsColour(app, blue), "the copy is not the current painting");
    QVERIFY2(closeFault(app).isEmpty(), qPrintable(closeFault(app)));
    QCOMPARE(app.readFile("paintings/Rain.js"), second);
    QCOMPARE(app.readFile("paintings/Sketchbook.js"), QByteArray("function render() { r = 1; }\n"));
}

void TestLibrary::newPaintingUndoAfterASwitchAndDelete()
{
    AppSession app;
    const QByteArray sketch = "function render() { r = 1; }\n";
    QVERIFY(app.writeFile("paintings/Sketchbook.js", sketch));
    QVERIFY2(app.start(), qPrintable(app.errorString()));
    const QRect client = app.clientArea();

    // Ctrl+N: the new painting is current, and its starter text renders.
    QVERIFY2(app.pressKeys({"ctrl+n"}), qPrintable(app.errorString()));
    const QString input = app.waitForWindow("^New Painting$");
    QVERIFY2(!input.isEmpty(), qPrintable(app.errorString()));
    QVERIFY2(app.typeText("Waves") && app.pressKeys({"Return"}) && app.waitForWindowGone(input),
             qPrintable(app.errorString()));
    QVERIFY2(waitUntil([&] { return app.exists("paintings/Waves.js"); }, 10000),
             "no Waves.js was made");
    const QByteArray starter = app.readFile("paintings/Waves.js");
    QVERIFY2(app.activateMainWindow() && app.pressKeys({"ctrl+r"}), qPrintable(app.errorString()));
    QVERIFY2(showsStarter(app), "the new painting did not render");

    // An edit, saved by the trip to The Sketchbook and back, is taken back by Ctrl+Z.
    QVERIFY2(app.clickClient(paintingEditorPoint(client)) && app.pressKeys({"ctrl+End"})
                 && app.typeText("//mine"),
             qPrintable(app.errorString()));
    QVERIFY2(pickInList(app, -1), qPrintable(app.errorString()));
    QVERIFY2(waitUntil([&] { return app.readFile("paintings/Waves.js") == starter + "//mine"; },
                       10000),
             "the painting left was not saved");
    QVERIFY2(pickInList(app, 1), qPrintable(app.errorString()));
    QVERIFY2(app.pressKeys({"ctrl+z", "ctrl+r"}), qPrintable(app.errorString()));
    QVERIFY2(waitUntil([&] { return app.readFile("paintings/Waves.js") == starter; }, 10000),
             qPrintable("Waves.js holds " + app.readFile("paintings/Waves.js")));
    QVERIFY2(showsStarter(app), "the painting did not render after the undo");

    // Delete Painting: the file goes to the trash, with what the editor showed, and The
    // Sketchbook is current.
    QVERIFY2(app.pressKeys({"ctrl+End"}) && app.typeText("//last"), qPrintable(app.errorString()));
    QVERIFY2(app.chooseOption("Delete Painting"), qPrintable(app.errorString()));
    const QString question = app.waitForWindow("^Delete Painting$");
    QVERIFY2(!question.isEmpty(), qPrintable(app.errorString()));
    QVERIFY2(app.pressKeys({"y"}) && app.waitForWindowGone(question),
             qPrintable(app.errorString()));
    QVERIFY2(waitUntil([&] { return !app.exists("paintings/Waves.js"); }, 10000),
             "Waves.js is still in the paintings folder");
    QCOMPARE(app.readFile("../data/Trash/files/Waves.js"), starter + "//last");
    QVERIFY2(app.activateMainWindow() && app.pressKeys({"ctrl+r"}), qPrintable(app.errorString()));
    QVERIFY2(showsColour(app, red), "The Sketchbook is not the current painting");

    QVERIFY2(closeFault(app).isEmpty(), qPrintable(closeFault(app)));
    QVERIFY(!app.exists("paintings/Waves.js"));
    QCOMPARE(app.readFile("paintings/Sketchbook.js"), sketch);
}

void TestLibrary::externalEditorGetsTheFilesFromTheDesktop()
{
    AppSession app;
    QVERIFY(app.writeFile("stdlib.js", "function tone() { return 1; }\n"));
    QVERIFY(app.writeFile("paintings/Sketchbook.js", "function render() { r = tone(); }\n"));
    QVERIFY2(app.start(), qPrintable(app.errorString()));
    const QRect client = app.clientArea();
    QVERIFY2(app.pressKeys({"ctrl+r"}), qPrintable(app.errorString()));
    QVERIFY2(showsColour(app, red), "no red picture appeared");

    // Switched on: the painting goes to the desktop, the editor and the picture go away.
    QVERIFY2(app.chooseOption("Use External Editor"), qPrintable(app.errorString()));
    QVERIFY2(waitUntil([&] { return app.desktopRequests() == QStringList{app.path("paintings/Sketchbook.js")}; },
                       10000),
             qPrintable("desktop requests: " + app.desktopRequests().join(", ")));
    QVERIFY2(waitUntil([&] {
                 const QImage shown = app.grabClient();
                 return boundsOfColour(shown, red).isNull() && editorBounds(shown).isNull();
             }, 10000),
             "the picture or the editor is still shown");

    // What the external program saves is what the next preview renders.
    QVERIFY(app.writeFile("paintings/Sketchbook.js", "function render() { b = tone(); }\n"));
    QVERIFY2(app.activateMainWindow() && app.pressKeys({"ctrl+r"}), qPrintable(app.errorString()));
    QVERIFY2(showsColour(app, blue), "the preview did not read the painting's file");
    QVERIFY(app.writeFile("stdlib.js", "function tone() { return 0; }\n"));
    QVERIFY(app.writeFile("paintings/Sketchbook.js", "function render() { g = 1 - tone(); }\n"));
    QVERIFY2(app.pressKeys({"ctrl+r"}), qPrintable(app.errorString()));
    QVERIFY2(showsColour(app, green), "the preview did not read the library's file");

    // Ctrl+L hands the library to the desktop and stays on the painting page.
    QVERIFY2(app.pressKeys({"ctrl+l"}), qPrintable(app.errorString()));
    QVERIFY2(waitUntil([&] { return app.desktopRequests().size() == 2; }, 10000),
             qPrintable("desktop requests: " + app.desktopRequests().join(", ")));
    QCOMPARE(app.desktopRequests().last(), app.path("stdlib.js"));
    QCOMPARE(controlRowItems(app.grabClient()).size(), 4);

    // Save Copy copies the file; the refilled list hands over the Sketchbook, then the copy.
    // A name with a space and a percent sign reaches the desktop as that very file.
    QVERIFY2(saveCopy(app, "My Copy 100%"), qPrintable(app.errorString()));
    QVERIFY2(waitUntil([&] { return app.desktopRequests().size() == 4; }, 10000),
             qPrintable("desktop requests: " + app.desktopRequests().join(", ")));
    QCOMPARE(app.desktopRequests().mid(2),
             QStringList({app.path("paintings/Sketchbook.js"), app.path("paintings/My Copy 100%.js")}));
    QCOMPARE(app.readFile("paintings/My Copy 100%.js"), app.readFile("paintings/Sketchbook.js"));

    // Switched off: the editor is back with the file's text, and built-in editing saves again.
    QVERIFY2(app.chooseOption("Use External Editor"), qPrintable(app.errorString()));
    QVERIFY2(waitUntil([&] { return editorBounds(app.grabClient()).width() >= 250; }, 10000),
             "the editor did not come back");
    QVERIFY2(app.replaceTextAt(paintingEditorPoint(client), "function render() { r = 1; g = 1; }"),
             qPrintable(app.errorString()));
    QVERIFY2(app.pressKeys({"ctrl+r"}), qPrintable(app.errorString()));
    QVERIFY2(showsColour(app, qRgb(255, 255, 0)), "no yellow picture appeared");
    QVERIFY2(closeFault(app).isEmpty(), qPrintable(closeFault(app)));
    QCOMPARE(app.readFile("paintings/My Copy 100%.js"), QByteArray("function render() { r = 1; g = 1; }"));
    QCOMPARE(app.readFile("paintings/Sketchbook.js"),
             QByteArray("function render() { g = 1 - tone(); }\n"));
    QCOMPARE(app.readFile("stdlib.js"), QByteArray("function tone() { return 0; }\n"));
    QCOMPARE(app.desktopRequests().size(), 4);
}

void TestLibrary::closingAsksWhenTheTextCannotBeSaved()
{
    AppSession app;
    const QByteArray old = "function render() { r = 1; }\n";
    const QByteArray typed = "function render() { g = 1; }";
    QVERIFY(app.writeFile("paintings/Sketchbook.js", old));
    app.limitFileSize(0);   // as a full disk
    QVERIFY2(app.start(), qPrintable(app.errorString()));
    QVERIFY2(app.replaceTextAt(paintingEditorPoint(app.clientArea()), typed),
             qPrintable(app.errorString()));

    // Escape answers Cancel: the window stays, with the text.
    QVERIFY2(app.closeThroughWindowManager(), qPrintable(app.errorString()));
    QString question = app.waitForWindow("^Could Not Save$");
    QVERIFY2(!question.isEmpty(), qPrintable(app.errorString()));
    QVERIFY2(app.pressKeys({"Escape"}) && app.waitForWindowGone(question),
             qPrintable(app.errorString()));
    QTest::qWait(500);
    QVERIFY2(!app.waitForExit(0), "the program ended although the question was cancelled");
    QVERIFY2(app.activateMainWindow(), qPrintable(app.errorString()));
    QCOMPARE(app.readFile("paintings/Sketchbook.js"), old);

    // Once the disk has room, Retry (the default button) saves, and the window closes.
    QVERIFY2(app.closeThroughWindowManager(), qPrintable(app.errorString()));
    question = app.waitForWindow("^Could Not Save$");
    QVERIFY2(!question.isEmpty(), qPrintable(app.errorString()));
    QVERIFY2(app.liftFileSizeLimit(), qPrintable(app.errorString()));
    QVERIFY2(app.pressKeys({"Return"}), qPrintable(app.errorString()));
    QVERIFY2(app.waitForExit(), qPrintable(app.errorString()));
    QCOMPARE(app.exitStatus(), QProcess::NormalExit);
    QCOMPARE(app.exitCode(), 0);
    QCOMPARE(app.readFile("paintings/Sketchbook.js"), typed);
}

QTEST_MAIN(TestLibrary)
#include "tst_e2e_library.moc"
