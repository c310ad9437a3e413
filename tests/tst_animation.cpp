#include "core/framefiles.h"
#include "engine/scriptrenderer.h"
#include "export/animationencoder.h"
#include "renderer/commandline.h"
#include "renderer/frameprintorder.h"
#include "renderer/framerange.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

#include <sys/stat.h>

namespace {

// A different picture in every frame, so that frames that go missing or repeat show.
QImage frameImage(QSize size, int frame)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb((x * 8 + frame * 40) & 255, (y * 8) & 255, (frame * 60) & 255));
    }
    return image;
}

// What ffprobe tells of the first video stream: codec, width x height, rate, frames counted, and
// each frame's duration in the stream's time base (hundredths of a second for a GIF).
QStringList probe(const QString &path)
{
    QProcess ffprobe;
    ffprobe.start(QStringLiteral("ffprobe"),
                  {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-count_frames"),
                   QStringLiteral("-select_streams"), QStringLiteral("v:0"),
                   QStringLiteral("-show_entries"),
                   QStringLiteral("stream=codec_name,width,height,r_frame_rate,nb_read_frames,pix_fmt"
                                  ":packet=duration"),
                   QStringLiteral("-of"), QStringLiteral("default=noprint_wrappers=1"), path});
    ffprobe.waitForFinished(-1);
    return QString::fromUtf8(ffprobe.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// A small animation whose frames all differ; frame 2 fails when failAt is 2.
QString animation(int frames, double fps, int failAt = -1)
{
    return QStringLiteral("width = 12; height = 8; frames = %1; fps = %2;\n"
                          "function render() {\n"
                          "    if (frame == %3) throw new Error('frame ' + frame);\n"
                          "    r = frame / 10; g = x / width; b = y / height;\n"
                          "}\n")
        .arg(frames)
        .arg(fps)
        .arg(failAt);
}

// Prints its frame at the top level and in its last pixel, where frame 0 first waits a second
// so that the frames after it finish first; failAt fails there after printing.
QString printingFrames(int failAt = -1)
{
    return QStringLiteral("width = 12; height = 8; frames = 3; print(frame);\n"
                          "function render() {\n"
                          "    if (x == 11 && y == 7) {\n"
                          "        if (frame == 0) { var until = Date.now() + 1000; while (Date.now() < until) {} }\n"
                          "        print(frame);\n"
                          "        if (frame == %1) throw new Error('frame ' + frame);\n"
                          "    }\n"
                          "    r = frame / 10;\n"
                          "}\n")
        .arg(failAt);
}

struct Run
{
    int exitCode = -1;
    QString errors;
    QString output;
};

Run runRenderer(const QStringList &arguments, const QString &folder)
{
    QProcess renderer;
    renderer.setWorkingDirectory(folder);
    renderer.start(QDir(appDir()).filePath("pictoloom-render"), arguments);
    renderer.waitForFinished(120000);
    return {renderer.exitStatus() == QProcess::NormalExit ? renderer.exitCode() : -1,
            QString::fromUtf8(renderer.readAllStandardError()),
            QString::fromUtf8(renderer.readAllStandardOutput())};
}

// The files of the folder, hidden ones too, so that a temporary file left behind shows.
QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

bool encode(const QString &path, QSize size, int frames, double fps, QString *error)
{
    AnimationEncoder encoder(path, size, fps, qRgb(255, 255, 255));
    if (!encoder.start(error))
        return false;
    for (int frame = 0; frame < frames; ++frame) {
        if (!encoder.addFrame(frameImage(size, frame), error))
            return false;
    }
    return encoder.finish(error);
}

} // namespace

class tst_Animation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void frameAndTime_data();
    void frameAndTime();
    void framesAndFps_data();
    void framesAndFps();
    void laterFrameMustAskForTheSameAnimation_data();
    void laterFrameMustAskForTheSameAnimation();
    void frameRange_data();
    void frameRange();
    void frameFilePath_data();
    void frameFilePath();
    void framePrintOrder_data();
    void framePrintOrder();
    void encodes_data();
    void encodes();
    void refusals_data();
    void refusals();
    void stoppedEncodingLeavesTheOldFile();
    void commandLine_data();
    void commandLine();
    void missingFfmpegIsToldBeforeAnyFrame();
    void noOverwriteLeavesFramesThatExist();
    void stopSignalsLeaveOnlyWholeFiles_data();
    void stopSignalsLeaveOnlyWholeFiles();
    void gnuParallelGivesTheSameFrames();
};

void tst_Animation::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
        QFAIL("ffmpeg is needed: the test command installs Debian's package ffmpeg");
}

void tst_Animation::frameAndTime_data()
{
    QTest::addColumn<int>("frame");
    QTest::addColumn<double>("frameRate");
    QTest::addColumn<QRgb>("pixel");

    // r = frame / 10, g = time / 2, b: a counter that starts over in every frame.
    QTest::newRow("a still is frame 0 at time 0") << 0 << 30.0 << qRgb(0, 0, 51);
    QTest::newRow("frame 3 at 30 fps") << 3 << 30.0 << qRgb(76, 12, 51);
    QTest::newRow("frame 5 at 10 fps") << 5 << 10.0 << qRgb(127, 63, 51);
}

void tst_Animation::frameAndTime()
{
    QFETCH(int, frame);
    QFETCH(double, frameRate);
    QFETCH(QRgb, pixel);
    ScriptRenderer renderer;
    renderer.frame = frame;
    renderer.frameRate = frameRate;
    const RenderResult result = renderer.render(
        QString(), QStringLiteral("width = 2; height = 1; frames = 8; var calls = 0;\n"
                                  "function render() { r = frame / 10; g = time / 2;"
                                  " b = ++calls / 10; }"),
        1);
    QCOMPARE(result.outcome, RenderResult::Outcome::Picture);
    QCOMPARE(result.image.pixel(1, 0), pixel | 0xFF000000);
    QCOMPARE(result.frames, 8);
    QCOMPARE(result.fps, 30.0);
}

void tst_Animation::framesAndFps_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("frames");
    QTest::addColumn<double>("fps");
    QTest::addColumn<QString>("error");

    QTest::newRow("neither") << "" << 1 << 30.0 << "";
    QTest::newRow("frames, default fps") << "frames = 120;" << 120 << 30.0 << "";
    QTest::newRow("frames and fps") << "frames = 48; fps = 24;" << 48 << 24.0 << "";
    QTest::newRow("one frame") << "frames = 1;" << 1 << 30.0 << "";
    QTest::newRow("fractional fps") << "frames = 3; fps = 12.5;" << 3 << 12.5 << "";
    QTest::newRow("the highest") << "frames = 100000; fps = 1000;" << 100000 << 1000.0 << "";
    QTest::newRow("frames an array: a still") << "var frames = [1, 2, 3];" << 1 << 30.0 << "";
    QTest::newRow("fps without frames: a still") << "fps = 'x';" << 1 << 30.0 << "";
    QTest::newRow("frames 0") << "frames = 0;" << 1 << 30.0
                              << "Error: frames must be a whole number from 1 to 100000, not 0";
    QTest::newRow("frames fraction") << "frames = 2.5;" << 1 << 30.0
                                     << "Error: frames must be a whole number from 1 to 100000, not 2.5";
    QTest::newRow("frames NaN") << "frames = NaN;" << 1 << 30.0
                                << "Error: frames must be a whole number from 1 to 100000, not NaN";
    QTest::newRow("frames too many") << "frames = 100001;" << 1 << 30.0
                                     << "Error: frames must be a whole number from 1 to 100000, not 100001";
    QTest::newRow("fps 0") << "frames = 4; fps = 0;" << 1 << 30.0
                           << "Error: fps must be a number above 0 and at most 1000, not 0";
    QTest::newRow("fps text") << "frames = 4; fps = '24';" << 1 << 30.0
                              << "Error: fps must be a number above 0 and at most 1000, not 24";
    QTest::newRow("fps too high") << "frames = 4; fps = 1001;" << 1 << 30.0
                                  << "Error: fps must be a number above 0 and at most 1000, not 1001";
    QTest::newRow("fps Infinity") << "frames = 4; fps = Infinity;" << 1 << 30.0
                                  << "Error: fps must be a number above 0 and at most 1000, not Infinity";
}

void tst_Animation::framesAndFps()
{
    QFETCH(QString, script);
    QFETCH(int, frames);
    QFETCH(double, fps);
    QFETCH(QString, error);
    const RenderResult result = ScriptRenderer().render(
        QString(), QStringLiteral("width = 1; height = 1;") + script + QStringLiteral(" function render() {}"), 1);
    QCOMPARE(result.outcome, error.isEmpty() ? RenderResult::Outcome::Picture
                                             : RenderResult::Outcome::ScriptError);
    QCOMPARE(result.errorText, error);
    QCOMPARE(result.frames, frames);
    QCOMPARE(result.fps, fps);
}

void tst_Animation::laterFrameMustAskForTheSameAnimation_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<bool>("same");

    QTest::newRow("same") << "frames = 10; fps = 5;" << true;
    QTest::newRow("frames change") << "frames = frame < 2 ? 10 : 11; fps = 5;" << false;
    QTest::newRow("fps change") << "frames = 10; fps = 5 + frame;" << false;
    QTest::newRow("turns still") << "if (frame < 2) { frames = 10; fps = 5; }" << false;
}

void tst_Animation::laterFrameMustAskForTheSameAnimation()
{
    QFETCH(QString, script);
    QFETCH(bool, same);
    ScriptRenderer renderer;
    renderer.frame = 3;
    renderer.frameRate = 5;
    renderer.expectedFrames = 10;
    renderer.expectedFps = 5;
    const RenderResult result = renderer.render(
        QString(), QStringLiteral("width = 1; height = 1;") + script + QStringLiteral(" function render() {}"), 1);
    QCOMPARE(result.outcome, same ? RenderResult::Outcome::Picture : RenderResult::Outcome::ScriptError);
    if (!same)
        QVERIFY2(result.errorText.contains("in frame 3"), qPrintable(result.errorText));
}

void tst_Animation::frameRange_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QVector<int>>("frames");

    QTest::newRow("one") << "7" << true << QVector<int>{7};
    QTest::newRow("zero") << "0" << true << QVector<int>{0};
    QTest::newRow("dash") << "3-5" << true << QVector<int>{3, 4, 5};
    QTest::newRow("dots") << "3..5" << true << QVector<int>{3, 4, 5};
    QTest::newRow("list, repeated, unordered") << "9,2-3,3,0" << true << QVector<int>{0, 2, 3, 9};
    QTest::newRow("a range of one") << "4-4" << true << QVector<int>{4};
    QTest::newRow("backwards") << "5-3" << false << QVector<int>{};
    QTest::newRow("word") << "all" << false << QVector<int>{};
    QTest::newRow("negative") << "-3" << false << QVector<int>{};
    QTest::newRow("empty piece") << "1,,2" << false << QVector<int>{};
    QTest::newRow("empty") << "" << false << QVector<int>{};
    QTest::newRow("beyond 32 bits") << "4294967296" << false << QVector<int>{};
    QTest::newRow("too many") << "0-200000" << false << QVector<int>{};
    QTest::newRow("fraction") << "1.5" << false << QVector<int>{};
}

void tst_Animation::frameRange()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QVector<int>, frames);
    QVector<int> parsed;
    QString error;
    QCOMPARE(parseFrameRange(text, &parsed, &error), valid);
    if (valid)
        QCOMPARE(parsed, frames);
    else
        QVERIFY(error.startsWith(QLatin1String("--frames")));
}

void tst_Animation::frameFilePath_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("frame");
    QTest::addColumn<bool>("numbered");
    QTest::addColumn<QString>("path");

    QTest::newRow("padded") << "out/f_####.png" << 7 << true << "out/f_0007.png";
    QTest::newRow("more digits than the run") << "f_##.png" << 1234 << true << "f_1234.png";
    QTest::newRow("the last run") << "a##b###.png" << 5 << true << "a##b005.png";
    QTest::newRow("one #") << "#.bmp" << 0 << true << "0.bmp";
    QTest::newRow("# in the folder only") << "run#1/out.png" << 3 << false << "run#1/out.png";
    QTest::newRow("# in the folder and the name") << "run#1/f#.png" << 3 << true << "run#1/f3.png";
    QTest::newRow("none") << "still.png" << 3 << false << "still.png";
}

void tst_Animation::frameFilePath()
{
    QFETCH(QString, pattern);
    QFETCH(int, frame);
    QFETCH(bool, numbered);
    QFETCH(QString, path);
    QCOMPARE(namesFrameFiles(pattern), numbered);
    QCOMPARE(::frameFilePath(pattern, frame), path);
}

void tst_Animation::framePrintOrder_data()
{
    QTest::addColumn<QVector<int>>("frames");
    // "F:text" is a line that frame F printed, "done F" the end of frame F's render.
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QString>("written");

    QTest::newRow("in order as they come") << QVector<int>{0, 1}
                                           << QStringList{"0:a", "done 0", "1:b", "done 1"} << "a b";
    QTest::newRow("later frames wait for the earlier")
        << QVector<int>{0, 1, 2} << QStringList{"1:b", "2:c", "0:a", "done 2", "done 1", "done 0"}
        << "a b c";
    QTest::newRow("a frame after one that never ends")
        << QVector<int>{0, 1, 2} << QStringList{"2:c", "1:b", "done 0", "2:d"} << "b";
    QTest::newRow("the order asked for") << QVector<int>{5, 2} << QStringList{"2:x", "5:y", "done 5"}
                                         << "y x";
    QTest::newRow("before the frames are known") << QVector<int>{} << QStringList{"0:a"} << "a";
}

void tst_Animation::framePrintOrder()
{
    QFETCH(QVector<int>, frames);
    QFETCH(QStringList, events);
    QFETCH(QString, written);
    FramePrintOrder order;
    order.setFrames(frames);
    QStringList texts;
    for (const QString &event : events) {
        QVector<ConsoleLine> lines;
        if (event.startsWith("done ")) {
            lines = order.frameDone(event.mid(5).toInt());
        } else {
            ConsoleLine line;
            line.text = event.section(':', 1);
            lines = order.add(event.section(':', 0, 0).toInt(), {line});
        }
        for (const ConsoleLine &line : lines)
            texts << line.text;
    }
    QCOMPARE(texts.join(' '), written);
}

void tst_Animation::encodes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<double>("fps");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("gif") << "a.gif" << QSize(33, 20) << 25.0
                         << QStringList{"codec_name=gif", "width=33", "height=20",
                                        "nb_read_frames=6", "duration=4"};
    // A rate that is no whole hundredth of a second takes the nearest delay, 3/100 s.
    QTest::newRow("gif, nearest delay") << "b.gif" << QSize(16, 16) << 30.0
                                        << QStringList{"codec_name=gif", "nb_read_frames=6",
                                                       "duration=3"};
    QTest::newRow("mp4, odd size made even") << "a.mp4" << QSize(33, 21) << 30.0
                                             << QStringList{"codec_name=h264", "width=34",
                                                            "height=22", "pix_fmt=yuv420p",
                                                            "r_frame_rate=30/1", "nb_read_frames=6"};
    QTest::newRow("webm") << "a.webm" << QSize(32, 20) << 12.0
                          << QStringList{"codec_name=vp9", "width=32", "height=20",
                                         "r_frame_rate=12/1", "nb_read_frames=6"};
    QTest::newRow("apng") << "a.apng" << QSize(31, 17) << 10.0
                          << QStringList{"codec_name=apng", "width=31", "height=17",
                                         "r_frame_rate=10/1", "nb_read_frames=6"};
}

void tst_Animation::encodes()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QFETCH(double, fps);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    QString error;
    QVERIFY2(encode(path, size, 6, fps, &error), qPrintable(error));
    const QStringList found = probe(path);
    for (const QString &entry : expected)
        QVERIFY2(found.contains(entry), qPrintable(entry + " not in " + found.join(' ')));
    // Every frame lasts as long as the others.
    QStringList durations = found.filter(QRegularExpression("^duration="));
    durations.removeDuplicates();
    QCOMPARE(durations.size(), 1);
    // Nothing but the animation is left beside it.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{name});
}

void tst_Animation::refusals_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("fps");
    QTest::addColumn<QString>("reason");

    QTest::newRow("not an animation") << "a.png" << 30.0 << "not an animation";
    QTest::newRow("gif above 50 fps") << "a.gif" << 60.0 << "at most 50 frames a second";
    QTest::newRow("fifo") << "fifo.mp4" << 30.0 << "not a regular file";
    QTest::newRow("folder") << "folder.gif" << 10.0 << "not a regular file";
}

void tst_Animation::refusals()
{
    QFETCH(QString, name);
    QFETCH(double, fps);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QVERIFY(mkfifo(QFile::encodeName(dir.filePath("fifo.mp4")).constData(), 0644) == 0);
    QVERIFY(QDir(dir.path()).mkdir("folder.gif"));
    AnimationEncoder encoder(dir.filePath(name), QSize(8, 8), fps, 0);
    QString error;
    QVERIFY(!encoder.start(&error));
    QVERIFY2(error.contains(reason), qPrintable(error));
}

void tst_Animation::stoppedEncodingLeavesTheOldFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("kept.mp4");
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
    old.close();
    {
        AnimationEncoder encoder(path, QSize(16, 16), 30, 0);
        QString error;
        QVERIFY(encoder.start(&error));
        QVERIFY(encoder.addFrame(frameImage(QSize(16, 16), 0), &error));
        encoder.abort();
    }
    QFile kept(path);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("old"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"kept.mp4"});
}

void tst_Animation::commandLine_data()
{
    QTest::addColumn<QString>("painting");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("files");   // besides painting.js, after the run
    QTest::addColumn<QString>("says");        // on stderr, or in ffprobe's lines of out.*
    QTest::addColumn<QString>("printed");     // on stdout

    const QString four = animation(4, 10);
    QTest::newRow("numbered files") << four << QStringList{"painting.js", "f_##.png"} << ExitCode::rendered
                                    << QStringList{"f_00.png", "f_01.png", "f_02.png", "f_03.png"} << "" << "";
    QTest::newRow("a range of them") << four << QStringList{"--frames", "1..2", "painting.js", "f_##.bmp"}
                                     << ExitCode::rendered << QStringList{"f_01.bmp", "f_02.bmp"} << "" << "";
    QTest::newRow("frames beyond the animation") << four << QStringList{"--frames", "5,7", "painting.js", "f_#.png"}
                                                 << ExitCode::rendered << QStringList{"f_5.png", "f_7.png"} << "" << "";
    QTest::newRow("one frame into a still") << four << QStringList{"--frames", "3", "painting.js", "one.png"}
                                            << ExitCode::rendered << QStringList{"one.png"} << "" << "";
    QTest::newRow("an animated painting into a still: frame 0") << four << QStringList{"painting.js", "one.png"}
                                                                << ExitCode::rendered << QStringList{"one.png"} << "" << "";
    QTest::newRow("a still painting into numbered files") << "function render() { r = 1; }"
                                                          << QStringList{"painting.js", "f_#.png"}
                                                          << ExitCode::rendered << QStringList{"f_0.png"} << "" << "";
    QTest::newRow("a gif") << four << QStringList{"painting.js", "out.gif"} << ExitCode::rendered
                           << QStringList{"out.gif"} << "nb_read_frames=4" << "";
    QTest::newRow("an mp4 at another rate") << four << QStringList{"--fps", "24", "painting.js", "out.mp4"}
                                            << ExitCode::rendered << QStringList{"out.mp4"} << "r_frame_rate=24/1" << "";
    // The encoder starts at frame 0's size before any frame comes, and again at the first's.
    QTest::newRow("an mp4 of frames larger than frame 0")
        << "width = frame == 0 ? 10 : 14; height = 8; frames = 4; function render() {}"
        << QStringList{"--frames", "2-3", "painting.js", "out.mp4"} << ExitCode::rendered
        << QStringList{"out.mp4"} << "width=14" << "";
    QTest::newRow("several frames into a still") << four << QStringList{"--frames", "1,2", "painting.js", "one.png"}
                                                 << ExitCode::badUsage << QStringList{} << "several frames" << "";
    QTest::newRow("a backwards range") << four << QStringList{"--frames", "3-1", "painting.js", "f_#.png"}
                                       << ExitCode::badUsage << QStringList{} << "--frames" << "";
    QTest::newRow("a word for a range") << four << QStringList{"--frames", "all", "painting.js", "f_#.png"}
                                        << ExitCode::badUsage << QStringList{} << "--frames" << "";
    QTest::newRow("fps 0") << four << QStringList{"--fps", "0", "painting.js", "f_#.png"}
                           << ExitCode::badUsage << QStringList{} << "--fps" << "";
    QTest::newRow("fps too high") << four << QStringList{"--fps", "1001", "painting.js", "f_#.png"}
                                  << ExitCode::badUsage << QStringList{} << "--fps" << "";
    QTest::newRow("a frame that fails") << animation(4, 10, 2) << QStringList{"--frames", "2", "painting.js", "one.png"}
                                        << ExitCode::renderFailed << QStringList{}
                                        << "frame 2: painting.js:3: Error: frame 2" << "";
    QTest::newRow("a failed frame writes no animation") << animation(4, 10, 3) << QStringList{"painting.js", "out.webm"}
                                                        << ExitCode::renderFailed << QStringList{} << "frame 3:" << "";
    QTest::newRow("frames that change") << "width = 4; height = 4; frames = frame < 2 ? 4 : 5;"
                                           " function render() {}"
                                        << QStringList{"--frames", "3", "painting.js", "one.png"}
                                        << ExitCode::renderFailed << QStringList{} << "frame 3:" << "";
    // Refused before any frame renders: these would never end.
    QTest::newRow("a gif above 50 fps") << "width = 12; height = 8; frames = 4; fps = 60;"
                                           " function render() { while (true) {} }"
                                        << QStringList{"painting.js", "out.gif"}
                                        << ExitCode::unwritableOutput << QStringList{} << "at most 50" << "";

    // As one process rendering the frames one after another prints them, with frame 0 last
    // to finish; the top level that learns the frames prints only in frame 0's own render.
    QTest::newRow("printed in frame order") << printingFrames() << QStringList{"--jobs", "2", "painting.js", "f_#.png"}
                                            << ExitCode::rendered << QStringList{"f_0.png", "f_1.png", "f_2.png"}
                                            << "" << "0\n0\n1\n1\n2\n2\n";
    QTest::newRow("printed by the one frame named") << printingFrames() << QStringList{"--frames", "2", "painting.js", "one.png"}
                                                    << ExitCode::rendered << QStringList{"one.png"} << "" << "2\n2\n";
    // Frame 0 renders to its end after frame 1 failed; frame 2 does not start.
    QTest::newRow("printed up to the failure")
        << printingFrames(1) << QStringList{"--jobs", "2", "painting.js", "f_#.png"} << ExitCode::renderFailed
        << QStringList{"f_0.png"} << "frame 1: painting.js:6: Error: frame 1" << "0\n0\n1\n1\n";
    QTest::newRow("printed before the top level failed")
        << "width = 12; height = 8; frames = 3; print('before'); throw new Error('top');"
        << QStringList{"painting.js", "f_#.png"} << ExitCode::renderFailed << QStringList{}
        << "frame 0: painting.js:1: Error: top" << "before\n";
    QString manyLines;
    for (int frame = 0; frame < 2; ++frame) {
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 12; ++x) {
                for (int i = 0; i < 13; ++i)
                    manyLines += QStringLiteral("%1 %2 %3 %4\n").arg(frame).arg(x).arg(y).arg(i);
            }
        }
    }
    QTest::newRow("every printed line, beyond the window's 1000")
        << "width = 12; height = 8; frames = 2;\n"
           "function render() { for (var i = 0; i < 13; ++i) print(frame, x, y, i); }"
        << QStringList{"--jobs", "2", "painting.js", "f_#.png"} << ExitCode::rendered
        << QStringList{"f_0.png", "f_1.png"} << "" << manyLines;
}

void tst_Animation::commandLine()
{
    QFETCH(QString, painting);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QStringList, files);
    QFETCH(QString, says);
    QFETCH(QString, printed);
    QTemporaryDir folder;
    QVERIFY(writeBytes(folder.filePath("painting.js"), painting.toUtf8()));
    const Run run = runRenderer(arguments, folder.path());
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.output, printed);
    QStringList expected = files + QStringList{"painting.js"};
    expected.sort();
    QCOMPARE(filesIn(folder.path()), expected);
    if (exitCode != ExitCode::rendered) {
        QVERIFY2(run.errors.contains(says), qPrintable(run.errors));
        QCOMPARE(run.errors.count('\n'), 1);
    } else if (!says.isEmpty()) {
        QVERIFY(probe(folder.filePath(files.first())).contains(says));
    }
    for (const QString &file : files) {
        if (file.endsWith(".png") || file.endsWith(".bmp"))
            QCOMPARE(QImage(folder.filePath(file)).size(), painting.startsWith("function") ? QSize(640, 480) : QSize(12, 8));
    }
}

void tst_Animation::missingFfmpegIsToldBeforeAnyFrame()
{
    QTemporaryDir folder;
    QVERIFY(writeBytes(folder.filePath("painting.js"),
                       "width = 12; height = 8; frames = 4; function render() { while (true) {} }"));
    QProcess renderer;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"), folder.path());
    renderer.setProcessEnvironment(environment);
    renderer.setWorkingDirectory(folder.path());
    renderer.start(QDir(appDir()).filePath("pictoloom-render"), {"painting.js", "out.mp4"});
    QVERIFY(renderer.waitForFinished(60000));
    QCOMPARE(renderer.exitCode(), int(ExitCode::unwritableOutput));
    QVERIFY(renderer.readAllStandardError().contains("Debian's package ffmpeg"));
    QCOMPARE(filesIn(folder.path()), QStringList{"painting.js"});
}

void tst_Animation::noOverwriteLeavesFramesThatExist()
{
    QTemporaryDir folder;
    QVERIFY(writeBytes(folder.filePath("painting.js"), animation(3, 10).toUtf8()));
    QVERIFY(writeBytes(folder.filePath("f_1.png"), "mine"));
    QCOMPARE(runRenderer({"--no-overwrite", "painting.js", "f_#.png"}, folder.path()).exitCode,
             ExitCode::rendered);
    QCOMPARE(readBytes(folder.filePath("f_1.png")), QByteArray("mine"));
    QCOMPARE(QImage(folder.filePath("f_2.png")).size(), QSize(12, 8));
    // Without it the file is rendered again.
    QCOMPARE(runRenderer({"painting.js", "f_#.png"}, folder.path()).exitCode, ExitCode::rendered);
    QCOMPARE(QImage(folder.filePath("f_1.png")).size(), QSize(12, 8));
}

void tst_Animation::stopSignalsLeaveOnlyWholeFiles_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<QString>("output");
    QTest::newRow("SIGTERM, mp4") << int(SIGTERM) << "out.mp4";
    QTest::newRow("SIGINT, gif") << int(SIGINT) << "out.gif";
    QTest::newRow("SIGHUP, numbered") << int(SIGHUP) << "f_###.png";
}

void tst_Animation::stopSignalsLeaveOnlyWholeFiles()
{
    QFETCH(int, signal);
    QFETCH(QString, output);
    QTemporaryDir folder;
    // Slow enough to be stopped halfway: frame 0 is quick, every other frame spins.
    QVERIFY(writeBytes(folder.filePath("painting.js"),
                       "width = 40; height = 30; frames = 200;\n"
                       "function render() { for (var i = 0; i < 2000 * (frame > 0); ++i) {} r = frame / 200; }"));
    QProcess renderer;
    renderer.setWorkingDirectory(folder.path());
    renderer.start(QDir(appDir()).filePath("pictoloom-render"), {"--jobs", "2", "painting.js", output});
    QVERIFY(renderer.waitForStarted());
    QTest::qWait(1500);
    ::kill(renderer.processId(), signal);
    QVERIFY(renderer.waitForFinished(20000));
    QCOMPARE(renderer.exitStatus(), QProcess::CrashExit);
    QTRY_VERIFY_WITH_TIMEOUT(QProcess::execute("pgrep", {"-f", folder.path()}) != 0, 5000);
    for (const QString &file : filesIn(folder.path())) {
        if (file == "painting.js")
            continue;
        QVERIFY2(file.startsWith("f_") && !QImage(folder.filePath(file)).isNull(), qPrintable(file));
    }
}

void tst_Animation::gnuParallelGivesTheSameFrames()
{
    if (QStandardPaths::findExecutable("parallel").isEmpty())
        QFAIL("GNU parallel is needed: the test command installs Debian's package parallel");
    QTemporaryDir folder;
    QVERIFY(writeBytes(folder.filePath("painting.js"), animation(6, 10).toUtf8()));
    QVERIFY(QDir(folder.path()).mkpath("one") && QDir(folder.path()).mkpath("spread"));
    QCOMPARE(runRenderer({"painting.js", "one/f_####.png"}, folder.path()).exitCode, ExitCode::rendered);
    QProcess parallel;
    parallel.setWorkingDirectory(folder.path());
    parallel.start("parallel", {QDir(appDir()).filePath("pictoloom-render"), "--frames", "{}",
                                "painting.js", "spread/f_####.png", ":::", "0", "1", "2", "3", "4", "5"});
    QVERIFY(parallel.waitForFinished(120000));
    QCOMPARE(parallel.exitCode(), 0);
    const QStringList frames = filesIn(folder.filePath("one"));
    QCOMPARE(frames.size(), 6);
    QCOMPARE(filesIn(folder.filePath("spread")), frames);
    for (const QString &frame : frames)
        QCOMPARE(readBytes(folder.filePath("spread/" + frame)), readBytes(folder.filePath("one/" + frame)));
}

QTEST_GUILESS_MAIN(tst_Animation)
#include "tst_animation.moc"
