#include <QProcess>
#include <QSet>
#include <QTest>

#include "appsession.h"
#include "screenreading.h"
#include "waiting.h"

// An animation in the real window: played with Ctrl+P, then exported to a GIF through the real
// save dialog, the file checked with ffprobe.
class TestAnimation : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void playThenExportAGif();
};

namespace {

// Twelve frames, each one colour: from blue (frame 0) towards red.
const QByteArray painting = "width = 160; height = 120; frames = 12; fps = 12;\n"
                            "function render() { r = frame / 12; g = 0; b = 1 - frame / 12; }\n";
const int renderMs = 30000;

// The colour in the middle of the picture: the bounds of what is neither background nor white.
QRgb pictureColour(AppSession &app, const QRect &picture)
{
    return grabScreen(picture.translated(app.clientArea().topLeft())).pixel(picture.width() / 2,
                                                                            picture.height() / 2)
        | 0xff000000u;
}

// What ffprobe says of the file's video: "frames,width,height"; empty when it cannot tell.
QString probe(const QString &path)
{
    QProcess ffprobe;
    ffprobe.start("ffprobe", {"-v", "error", "-count_frames", "-select_streams", "v:0",
                              "-show_entries", "stream=nb_read_frames,width,height", "-of",
                              "csv=p=0", path});
    if (!ffprobe.waitForFinished(30000) || ffprobe.exitCode() != 0)
        return QString();
    return QString::fromLatin1(ffprobe.readAllStandardOutput()).trimmed();
}

} // namespace

void TestAnimation::cleanup()
{
    saveScreenshotIfFailed("e2e-animation");
}

void TestAnimation::playThenExportAGif()
{
    AppSession app;
    QVERIFY(app.writeFile("paintings/Sketchbook.js", painting));
    QVERIFY2(app.start(), qPrintable(app.errorString()));
    const QImage before = app.grabClient();

    QVERIFY2(app.pressKeys({"ctrl+r"}), qPrintable(app.errorString()));
    const QRgb firstFrame = qRgb(0, 0, 255);
    QVERIFY2(waitUntil([&] { return boundsOfColour(app.grabClient(), firstFrame).width() >= 50; },
                       renderMs),
             "frame 0 did not appear");
    const QRect picture = boundsOfColour(app.grabClient(), firstFrame);
    // The timeline row takes room from the picture's pane: the control row stays where it was.
    QCOMPARE(controlRowItems(app.grabClient()), controlRowItems(before));

    // Playing goes through the frames and round again.
    QVERIFY2(app.pressKeys({"ctrl+p"}), qPrintable(app.errorString()));
    QSet<QRgb> seen;
    QVERIFY2(waitUntil([&] {
                 seen.insert(pictureColour(app, picture));
                 return seen.size() >= 8 && pictureColour(app, picture) == firstFrame;
             },
                       renderMs),
             qPrintable(QString("saw %1 colours").arg(seen.size())));
    for (QRgb colour : qAsConst(seen)) {
        QCOMPARE(qGreen(colour), 0);
        QVERIFY(qAbs(qRed(colour) + qBlue(colour) - 255) <= 1);
    }

    // Paused, the picture stays.
    QVERIFY2(app.pressKeys({"ctrl+p"}), qPrintable(app.errorString()));
    QTest::qWait(300);
    const QRgb paused = pictureColour(app, picture);
    QTest::qWait(500);
    QCOMPARE(pictureColour(app, picture), paused);

    QVERIFY2(app.pressKeys({"ctrl+shift+s"}), qPrintable(app.errorString()));
    const QString dialog = app.waitForWindow("^Export Animation$");
    QVERIFY2(!dialog.isEmpty(), qPrintable(app.errorString()));
    QVERIFY2(app.typeText(app.path("ripples.gif")) && app.pressKeys({"Return"})
                 && app.waitForWindowGone(dialog),
             qPrintable(app.errorString()));
    // The file appears only once it is complete.
    QVERIFY2(waitUntil([&] { return app.exists("ripples.gif"); }, renderMs), "no GIF was written");
    QCOMPARE(probe(app.path("ripples.gif")), QStringLiteral("200,160,12"));

    QVERIFY2(app.activateMainWindow(), qPrintable(app.errorString()));
    QVERIFY2(app.closeThroughWindowManager(), qPrintable(app.errorString()));
    QVERIFY2(app.waitForExit(), qPrintable(app.errorString()));
    QCOMPARE(app.exitCode(), 0);
    QCOMPARE(app.readFile("paintings/Sketchbook.js"), painting);
}

QTEST_MAIN(TestAnimation)
#include "tst_e2e_animation.moc"
