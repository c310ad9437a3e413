#include "app/animationplayer.h"
#include "app/codeeditor.h"
#include "app/framecache.h"
#include "app/imageview.h"
#include "app/mainwindow.h"
#include "app/rendercontroller.h"
#include "app/timeline.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Each frame has a red of its own (frame / 100) and a green that tells its time (time / 10).
QString colourFrames(int frames, double fps = 30, const QString &more = QString())
{
    return QStringLiteral("width = 40; height = 30; frames = %1; fps = %2;\n"
                          "function render() { r = frame / 100; g = time / 10; b = 0.5; %3 }\n")
        .arg(frames)
        .arg(fps)
        .arg(more);
}

const QString still = QStringLiteral("width = 40; height = 30; function render() { r = 1; }\n");
// Frames from `first` on never end rendering.
QString endlessFrom(int first, int frames)
{
    return colourFrames(frames, 30,
                        QStringLiteral("if (frame >= %1) { while (true) {} }").arg(first));
}

int redOf(int frame)
{
    return int(frame / 100.0 * 255);
}

int greenOf(double time)
{
    return int(time / 10 * 255);
}

// Long enough for the renders of a few small frames on a busy machine.
constexpr int frameMs = 30000;

// How many frames ffprobe counts in a file; -1 when it cannot read one.
int countedFrames(const QString &path)
{
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-count_frames"),
                 QStringLiteral("-select_streams"), QStringLiteral("v:0"),
                 QStringLiteral("-show_entries"), QStringLiteral("stream=nb_read_frames"),
                 QStringLiteral("-of"), QStringLiteral("csv=p=0"), path});
    if (!probe.waitForFinished(30000) || probe.exitCode() != 0)
        return -1;
    bool ok = false;
    const int frames = probe.readAllStandardOutput().trimmed().toInt(&ok);
    return ok ? frames : -1;
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// The window with what the timeline tests reach into.
struct AnimationWindow : WindowParts
{
    AnimationWindow()
        : player(window.findChild<AnimationPlayer *>())
        , timeline(part<QWidget>(&window, QStringLiteral("timeline")))
        , slider(part<QSlider>(&window, QStringLiteral("frameSlider")))
        , frameLabel(part<QLabel>(&window, QStringLiteral("frameLabel")))
        , playButton(part<QPushButton>(&window, QStringLiteral("playButton")))
        , stopAction(action(QStringLiteral("Stop Render")))
    {
        window.show();
        QApplication::setActiveWindow(&window);
        // The shortcuts reach an active window only.
        active = QTest::qWaitForWindowActive(&window);
    }

    bool previewOf(const QString &text)
    {
        painting->setPlainText(text);
        return preview();
    }
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier)
    {
        QTest::keyClick(painting, key, modifiers);
    }
    QRgb shown() const { return view->pixelColour(QPoint(1, 1)); }
    // Waits for the painting's first frames to be kept, as playing keeps them.
    bool keepAll(int frames)
    {
        press(Qt::Key_P);
        return QTest::qWaitFor([&] { return player->keptFrames() == frames; }, frameMs);
    }

    AnimationPlayer *player;
    QWidget *timeline;
    QSlider *slider;
    QLabel *frameLabel;
    QPushButton *playButton;
    QAction *stopAction;
    bool active = false;
};

} // namespace

class tst_Timeline : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetAppDir(); }

    void frameCacheKeepsTheNewestWithinItsCap();
    void timelineFollowsTheLatestRender_data();
    void timelineFollowsTheLatestRender();
    void ctrlPDoesNothingForAStill();
    void playingShowsTheFramesInOrderAndLoops();
    void playingBeyondTheCapRendersTheFramesThatWent();
    void sliderShowsTheFrameThatPreviewAndExportRender();
    void textChangeDropsTheKeptFrames();
    void escapeStopsPlayingThenClosesTheFindBar();
    void frameErrorNamesTheFrame();
    void consoleShowsTheLinesOfTheFrameShown();

    void exportAnimation_data();
    void exportAnimation();
    void numberedFilesAreReplacedOnlyWhenTheUserSays_data();
    void numberedFilesAreReplacedOnlyWhenTheUserSays();
    void escapeStopsAnExport_data();
    void escapeStopsAnExport();
};

void tst_Timeline::frameCacheKeepsTheNewestWithinItsCap()
{
    const QImage picture(10, 10, QImage::Format_RGB32);
    FrameCache cache(3 * picture.sizeInBytes());
    QCOMPARE(cache.capacityFor(picture), 3);
    for (int frame = 0; frame < 5; ++frame)
        cache.insert(frame, picture);
    QCOMPARE(cache.count(), 3);
    QVERIFY(!cache.contains(1) && cache.contains(2) && cache.contains(4));
    QCOMPARE(cache.bytes(), 3 * picture.sizeInBytes());

    // A frame put in again is the newest.
    cache.insert(2, picture);
    cache.insert(5, picture);
    QVERIFY(!cache.contains(3) && cache.contains(2) && cache.contains(5));

    // A frame larger than the cap stays alone.
    const QImage large(40, 40, QImage::Format_RGB32);
    QCOMPARE(cache.capacityFor(large), 1);
    cache.insert(6, large);
    QCOMPARE(cache.count(), 1);
    QVERIFY(cache.contains(6));

    // A frame's lines stay with it, and count towards the cap.
    ConsoleLines lines;
    ConsoleLine line;
    line.text = QString(100, QLatin1Char('a'));
    lines.append({line, line});
    cache.clear();
    cache.insert(0, picture, lines);
    QCOMPARE(cache.lines(0).lines, lines.lines);
    QVERIFY(cache.bytes() > picture.sizeInBytes() + 400);
    cache.insert(1, picture);
    QVERIFY(cache.lines(1).isEmpty());
}

void tst_Timeline::timelineFollowsTheLatestRender_data()
{
    QTest::addColumn<QString>("painting");
    QTest::addColumn<QString>("label");   // empty: no timeline

    QTest::newRow("a still") << still << "";
    QTest::newRow("one frame") << colourFrames(1) << "";
    QTest::newRow("frames a painting's own array") << "var frames = [1, 2, 3];\n" + still << "";
    QTest::newRow("ten frames") << colourFrames(10) << "frame 0 / 10 · 0.00 s";
    QTest::newRow("twelve at 8 fps") << colourFrames(12, 8) << "frame 0 / 12 · 0.00 s";
}

// Whatever came before: a still after an animation hides the timeline again.
void tst_Timeline::timelineFollowsTheLatestRender()
{
    QFETCH(QString, painting);
    QFETCH(QString, label);

    AnimationWindow w;
    QVERIFY(w.active);
    QVERIFY(w.previewOf(colourFrames(5)));
    QVERIFY(w.timeline->isVisible());
    QVERIFY(w.previewOf(painting));
    QCOMPARE(w.timeline->isVisible(), !label.isEmpty());
    if (!label.isEmpty())
        QCOMPARE(w.frameLabel->text(), label);
}

void tst_Timeline::ctrlPDoesNothingForAStill()
{
    AnimationWindow w;
    QVERIFY(w.active);
    w.press(Qt::Key_P);
    QVERIFY(!w.player->isBusy());
    QVERIFY(w.previewOf(still));
    const QRgb before = w.shown();

    w.press(Qt::Key_P);
    QTest::qWait(100);
    QVERIFY(!w.player->isPlaying());
    QVERIFY(!w.player->isBusy());
    QVERIFY(!w.stopAction->isEnabled());
    QVERIFY(w.timeline->isHidden());
    QCOMPARE(w.shown(), before);
}

void tst_Timeline::playingShowsTheFramesInOrderAndLoops()
{
    AnimationWindow w;
    QVERIFY(w.active);
    QVERIFY(w.previewOf(colourFrames(6)));
    QList<int> shownFrames;
    QList<int> shownReds;
    connect(w.player, &AnimationPlayer::frameShown, this, [&](int frame) {
        shownFrames << frame;
        shownReds << qRed(w.shown());
    });

    w.press(Qt::Key_P);
    QVERIFY(w.player->isPlaying());
    QCOMPARE(w.playButton->text(), QStringLiteral("Pause"));
    QVERIFY(w.stopAction->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(shownFrames.size() >= 13, frameMs);

    for (int i = 0; i < shownFrames.size(); ++i) {
        QCOMPARE(shownFrames.at(i), (i + 1) % 6);
        QCOMPARE(shownReds.at(i), redOf(shownFrames.at(i)));
    }
    QCOMPARE(w.player->keptFrames(), 6);

    w.press(Qt::Key_P);
    QVERIFY(!w.player->isPlaying());
    QVERIFY(!w.player->isBusy());
    QVERIFY(!w.stopAction->isEnabled());
    QCOMPARE(w.playButton->text(), QStringLiteral("Play"));
    const int last = w.slider->value();
    QCOMPARE(last, shownFrames.last());
    QCOMPARE(w.frameLabel->text(), QStringLiteral("frame %1 / 6 · %2 s").arg(last).arg(last / 30.0, 0, 'f', 2));
}

// Two frames fit in the memory given: the others are rendered again in their turn.
void tst_Timeline::playingBeyondTheCapRendersTheFramesThatWent()
{
    QWidget window;
    RenderController::View view;
    view.window = &window;
    view.statusStack = new QStackedWidget(&window);
    view.statusLabel = new QLabel;
    view.progressBar = new QProgressBar;
    view.statusStack->addWidget(view.statusLabel);
    view.statusStack->addWidget(view.progressBar);
    view.imageView = new ImageView(&window);
    view.paintingEditor = createCodeEditor();
    view.stdlibEditor = createCodeEditor();
    view.paintingEditor->setParent(&window);
    view.stdlibEditor->setParent(&window);
    auto *timeline = new Timeline(&window);
    RenderController renders(view);
    RenderTask task;
    task.request.paintingText = colourFrames(5);
    const qint64 frameBytes = QImage(40, 30, QImage::Format_RGB32).sizeInBytes();
    AnimationPlayer player(timeline, &renders, nullptr, 2 * frameBytes);

    QSignalSpy shown(&renders, &RenderController::pictureShown);
    renders.start(task);
    QVERIFY(shown.wait(frameMs));
    QList<int> reds;
    connect(&player, &AnimationPlayer::frameShown, this,
            [&] { reds << qRed(view.imageView->pixelColour(QPoint(1, 1))); });
    player.togglePlaying();
    QTRY_VERIFY_WITH_TIMEOUT(reds.size() >= 12, frameMs);
    for (int i = 0; i < reds.size(); ++i)
        QCOMPARE(reds.at(i), redOf((i + 1) % 5));
    QCOMPARE(player.keptFrames(), 2);
}

void tst_Timeline::sliderShowsTheFrameThatPreviewAndExportRender()
{
    AnimationWindow w;
    QVERIFY(w.active);
    QVERIFY(w.previewOf(colourFrames(10)));
    w.slider->setValue(7);
    QTRY_COMPARE_WITH_TIMEOUT(qRed(w.shown()), redOf(7), frameMs);
    QCOMPARE(qGreen(w.shown()), greenOf(7 / 30.0));
    QCOMPARE(w.frameLabel->text(), QStringLiteral("frame 7 / 10 · 0.23 s"));
    QTRY_VERIFY(!w.player->isBusy());

    // Ctrl+S exports the frame shown, at full size in its frame.
    QTemporaryDir folder;
    const QString exported = folder.filePath("seven.png");
    {
        DialogAnswerer answerer;
        answerer.answerFile(exported);
        w.press(Qt::Key_S);
        QVERIFY(waitForRender(w.window));
    }
    const QImage file(exported);
    QCOMPARE(file.size(), QSize(80, 70));
    QCOMPARE(qRed(file.pixel(20, 20)), redOf(7));

    // Ctrl+R previews it, at the time the new text's fps gives it.
    QVERIFY(w.previewOf(colourFrames(10, 10)));
    QCOMPARE(qRed(w.shown()), redOf(7));
    QCOMPARE(qGreen(w.shown()), greenOf(0.7));
    QCOMPARE(w.frameLabel->text(), QStringLiteral("frame 7 / 10 · 0.70 s"));

    // Fewer frames than the one shown: the timeline shows the last.
    QVERIFY(w.previewOf(colourFrames(4, 10)));
    QCOMPARE(w.slider->value(), 3);
    QTRY_COMPARE_WITH_TIMEOUT(qRed(w.shown()), redOf(3), frameMs);
}

void tst_Timeline::textChangeDropsTheKeptFrames()
{
    AnimationWindow w;
    QVERIFY(w.active);
    QVERIFY(w.previewOf(colourFrames(4)));
    QVERIFY(w.keepAll(4));
    w.press(Qt::Key_P);
    QVERIFY(!w.player->isPlaying());

    QVERIFY(w.previewOf(colourFrames(4, 30, QStringLiteral("b = 1;"))));
    QCOMPARE(w.player->keptFrames(), 1);
    QCOMPARE(qBlue(w.shown()), 255);
    const int other = (w.slider->value() + 2) % 4;
    w.slider->setValue(other);
    QTRY_COMPARE_WITH_TIMEOUT(qRed(w.shown()), redOf(other), frameMs);
    QCOMPARE(qBlue(w.shown()), 255);
}

void tst_Timeline::escapeStopsPlayingThenClosesTheFindBar()
{
    AnimationWindow w;
    QVERIFY(w.active);
    QVERIFY(w.previewOf(endlessFrom(1, 5)));
    w.painting->setFocus();
    QTest::keyClick(w.painting, Qt::Key_F, Qt::ControlModifier);
    auto *field = w.painting->findChild<QLineEdit *>(QStringLiteral("findText"));
    QVERIFY(field);
    QTRY_VERIFY(field->hasFocus());

    QTest::keyClick(field, Qt::Key_P, Qt::ControlModifier);
    QVERIFY(w.player->isPlaying());
    QTest::qWait(200);
    QTest::keyClick(field, Qt::Key_Escape);
    QVERIFY(!w.player->isPlaying());
    QVERIFY(!w.player->isBusy());
    QVERIFY(field->isVisible());

    QTest::keyClick(field, Qt::Key_Escape);
    QVERIFY(!field->isVisible());
    QVERIFY(w.timeline->isVisible());
}

// A frame that fails while playing is said in the status area; one that fails an export in
// the box, which names it.
void tst_Timeline::frameErrorNamesTheFrame()
{
    AnimationWindow w;
    QVERIFY(w.active);
    const QString failing = colourFrames(
        6, 30, QStringLiteral("print(frame); if (frame == 4) throw new Error('no fourth');"));
    QVERIFY(w.previewOf(failing));
    w.press(Qt::Key_P);
    QTRY_VERIFY_WITH_TIMEOUT(!w.player->isPlaying(), frameMs);
    QVERIFY2(w.status->text().startsWith("Error: no fourth (Frame 4: The Sketchbook, line 2"),
             qPrintable(w.status->text()));
    QVERIFY(w.view->isOutOfDate());
    // The console holds what the failed frame printed, and why it failed.
    auto *console = part<QPlainTextEdit>(&w.window, QStringLiteral("consolePanel"));
    QCOMPARE(console->toPlainText(), QStringLiteral("(0, 0): 4\nError: no fourth (Frame 4: The "
                                                    "Sketchbook, line 2, at pixel (0, 0))"));

    QTemporaryDir folder;
    const QString gif = folder.filePath("anim.gif");
    QVERIFY(writeBytes(gif, "earlier"));
    DialogAnswerer answerer;
    answerer.answerFile(gif);
    answerer.answerMessageBox(QMessageBox::Yes);   // the dialog's: replace anim.gif?
    QString title;
    QString place;
    answerer.answerWith([&](QWidget *dialog) {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        title = box ? box->windowTitle() : QString();
        place = box ? box->informativeText() : QString();
        dialog->close();
    });
    w.press(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(waitForRender(w.window));
    QCOMPARE(title, QStringLiteral("Script Error"));
    QVERIFY2(place.startsWith("Frame 4: The Sketchbook, line 2, at pixel (0, 0)"), qPrintable(place));
    QCOMPARE(readBytes(gif), QByteArray("earlier"));
    QCOMPARE(filesIn(folder.path()), QStringList{"anim.gif"});
}

void tst_Timeline::consoleShowsTheLinesOfTheFrameShown()
{
    AnimationWindow w;
    QVERIFY(w.active);
    auto *console = part<QPlainTextEdit>(&w.window, QStringLiteral("consolePanel"));
    const auto linesOf = [](int frame) {
        return QStringLiteral("top level: %1\n(0, 0): %1").arg(frame);
    };
    QVERIFY(w.previewOf(colourFrames(4, 30, QStringLiteral("if (x == 0 && y == 0) print(frame);"))
                        + QStringLiteral("print(frame);\n")));
    QCOMPARE(console->toPlainText(), linesOf(0));
    QVERIFY(console->isVisible());

    w.slider->setValue(2);
    QTRY_COMPARE_WITH_TIMEOUT(console->toPlainText(), linesOf(2), frameMs);

    // Played, each frame shows its own lines, also once it comes from the kept frames.
    QStringList shown;
    connect(w.player, &AnimationPlayer::frameShown, this, [&](int frame) {
        shown << QString::number(frame) + (console->toPlainText() == linesOf(frame) ? "" : " differs");
    });
    w.press(Qt::Key_P);
    QTRY_VERIFY_WITH_TIMEOUT(shown.size() >= 9, frameMs);
    w.press(Qt::Key_P);
    QCOMPARE(shown.filter(" differs"), QStringList());
}

void tst_Timeline::exportAnimation_data()
{
    QTest::addColumn<QString>("painting");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("framed");
    QTest::addColumn<bool>("withFfmpeg");
    QTest::addColumn<QStringList>("files");   // in the folder afterwards
    QTest::addColumn<int>("frames");          // in the one animation file; 0 for frame files
    QTest::addColumn<QString>("refusal");     // a part of the box's text; empty for none
    QTest::addColumn<QString>("box");         // the title of the box that refuses

    const QString four = colourFrames(4);
    QTest::newRow("gif") << four << "anim.gif" << true << true << QStringList{"anim.gif"} << 4 << "" << "";
    QTest::newRow("mp4") << four << "anim.mp4" << false << true << QStringList{"anim.mp4"} << 4 << "" << "";
    QTest::newRow("numbered png, framed")
        << four << "f_###.png" << true << true
        << QStringList{"f_000.png", "f_001.png", "f_002.png", "f_003.png"} << 0 << "" << "";
    QTest::newRow("numbered bmp, no frame")
        << four << "#.bmp" << false << true << QStringList{"0.bmp", "1.bmp", "2.bmp", "3.bmp"}
        << 0 << "" << "";
    QTest::newRow("a still is one frame")
        << still << "still.gif" << true << true << QStringList{"still.gif"} << 1 << "" << "";
    QTest::newRow("a still as one numbered file")
        << still << "s_##.png" << true << true << QStringList{"s_00.png"} << 0 << "" << "";
    QTest::newRow("numbered files need no ffmpeg")
        << four << "f_#.png" << true << false
        << QStringList{"f_0.png", "f_1.png", "f_2.png", "f_3.png"} << 0 << "" << "";
    QTest::newRow("a picture's name")
        << four << "anim.png" << true << true << QStringList() << 0
        << ".gif, .mp4, .webm and .apng, or hold a run of #" << "Export Animation";
    QTest::newRow("numbered without an image format")
        << four << "f_##.nothing" << true << true << QStringList() << 0
        << "without an image format that can be written" << "Export Animation";
    QTest::newRow("no ffmpeg") << four << "anim.webm" << true << false << QStringList() << 0
                               << "Writing animations needs ffmpeg, which is not installed "
                                  "(Debian's package ffmpeg)." << "Export Animation";
    // Refused as soon as the rate is known: the frames would never end rendering.
    QTest::newRow("a gif above 50 fps")
        << colourFrames(4, 60, QStringLiteral("while (true) {}")) << "anim.gif" << true << true
        << QStringList() << 0
        << "A GIF can show at most 50 frames a second, and this animation has 60; use .mp4, "
           ".webm or .apng"
        << "Export Failed";
}

void tst_Timeline::exportAnimation()
{
    QFETCH(QString, painting);
    QFETCH(QString, fileName);
    QFETCH(bool, framed);
    QFETCH(bool, withFfmpeg);
    QFETCH(QStringList, files);
    QFETCH(int, frames);
    QFETCH(QString, refusal);
    QFETCH(QString, box);

    AnimationWindow w;
    QVERIFY(w.active);
    w.window.setSaveWithFrame(framed);
    w.painting->setPlainText(painting);
    QTemporaryDir folder;
    QTemporaryDir emptyPath;
    const QByteArray path = qgetenv("PATH");
    if (!withFfmpeg)
        qputenv("PATH", emptyPath.path().toLocal8Bit());
    DialogAnswerer answerer;
    answerer.answerFile(folder.filePath(fileName));
    w.press(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    const bool ended = waitForRender(w.window);
    qputenv("PATH", path);
    QVERIFY(ended);

    QCOMPARE(filesIn(folder.path()), files);
    if (refusal.isEmpty()) {
        QCOMPARE(answerer.dialogCount, 1);
    } else {
        QCOMPARE(answerer.messages.size(), 1);
        QCOMPARE(answerer.messages.first().title, box);
        QVERIFY2(answerer.messages.first().text.contains(refusal),
                 qPrintable(answerer.messages.first().text));
        return;
    }
    const int margin = framed ? 40 : 0;
    if (frames > 0) {
        QCOMPARE(countedFrames(folder.filePath(files.first())), frames);
        return;
    }
    for (int frame = 0; frame < files.size(); ++frame) {
        const QImage image(folder.filePath(files.at(frame)));
        QCOMPARE(image.size(), QSize(40 + margin, 30 + margin));
        if (painting != still)
            QCOMPARE(qRed(image.pixel(margin / 2, margin / 2)), redOf(frame));
    }
}

void tst_Timeline::numberedFilesAreReplacedOnlyWhenTheUserSays_data()
{
    QTest::addColumn<bool>("replace");

    QTest::newRow("replace") << true;
    QTest::newRow("keep") << false;
}

void tst_Timeline::numberedFilesAreReplacedOnlyWhenTheUserSays()
{
    QFETCH(bool, replace);

    AnimationWindow w;
    QVERIFY(w.active);
    w.painting->setPlainText(colourFrames(4));
    QTemporaryDir folder;
    QVERIFY(writeBytes(folder.filePath("f_1.png"), "earlier"));
    QVERIFY(writeBytes(folder.filePath("f_3.png"), "earlier"));
    DialogAnswerer answerer;
    answerer.answerFile(folder.filePath("f_#.png"));
    answerer.answerMessageBox(replace ? QMessageBox::Yes : QMessageBox::No);
    w.press(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(waitForRender(w.window));

    QCOMPARE(answerer.messages.size(), 1);
    QVERIFY2(answerer.messages.first().text.startsWith(
                 "2 of the 4 frame files exist already, the first " + folder.filePath("f_1.png")),
             qPrintable(answerer.messages.first().text));
    if (replace) {
        QCOMPARE(filesIn(folder.path()), QStringList({"f_0.png", "f_1.png", "f_2.png", "f_3.png"}));
        QCOMPARE(qRed(QImage(folder.filePath("f_3.png")).pixel(20, 20)), redOf(3));
    } else {
        QCOMPARE(filesIn(folder.path()), QStringList({"f_1.png", "f_3.png"}));
        QCOMPARE(readBytes(folder.filePath("f_3.png")), QByteArray("earlier"));
    }
}

void tst_Timeline::escapeStopsAnExport_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QStringList>("files");   // afterwards
    QTest::addColumn<int>("boxes");   // the file dialog's question whether to replace a file

    QTest::newRow("an animation file stays as it was") << "anim.gif" << QStringList{"anim.gif"} << 1;
    QTest::newRow("only whole frame files remain")
        << "f_##.png" << QStringList({"anim.gif", "f_00.png", "f_01.png", "f_02.png"}) << 0;
}

void tst_Timeline::escapeStopsAnExport()
{
    QFETCH(QString, fileName);
    QFETCH(QStringList, files);
    QFETCH(int, boxes);

    AnimationWindow w;
    QVERIFY(w.active);
    w.painting->setPlainText(endlessFrom(3, 20));
    QTemporaryDir folder;
    QVERIFY(writeBytes(folder.filePath("anim.gif"), "earlier"));
    DialogAnswerer answerer;
    answerer.answerFile(folder.filePath(fileName));
    answerer.answerMessageBox(QMessageBox::Yes);
    w.press(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    QTRY_COMPARE_WITH_TIMEOUT(w.progress->text(), QStringLiteral("frame 3 / 20 (Esc stops)"),
                              frameMs);
    QVERIFY(w.stopAction->isEnabled());

    // The offscreen platform gives no window the focus back when the file dialog closes.
    QApplication::setActiveWindow(&w.window);
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    QTest::keyClick(w.painting, Qt::Key_Escape);
    QVERIFY(waitForRender(w.window));
    QCOMPARE(w.statusStack->currentWidget(), static_cast<QWidget *>(w.status));
    QVERIFY(!w.stopAction->isEnabled());
    QCOMPARE(answerer.messages.size(), boxes);
    QCOMPARE(filesIn(folder.path()), files);
    QCOMPARE(readBytes(folder.filePath("anim.gif")), QByteArray("earlier"));
    for (const QString &file : files.mid(1))
        QCOMPARE(QImage(folder.filePath(file)).size(), QSize(80, 70));
}

QTEST_MAIN(tst_Timeline)
#include "tst_timeline.moc"
