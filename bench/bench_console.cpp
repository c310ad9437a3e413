// What the console costs: the Rings example as the window previews it (640 x 480 at half
// resolution, in a renderer started ahead), without and with a print() in every pixel; and how
// long an inspected pixel of a 640 x 480 painting takes to answer, in a renderer started ahead,
// from the request to the result and, run from a copy (tests/run-from-copy.sh), from a click on
// the window's picture to the console's text; and how long the console takes to show the lines
// of an animation's frame, as it does for every frame shown while playing.

#include "app/consolecontroller.h"
#include "app/consolepanel.h"
#include "app/imageview.h"
#include "app/mainwindow.h"
#include "app/rendercontroller.h"
#include "client/renderclient.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QVector>
#include <QWindow>

#include <algorithm>
#include <cstdio>

namespace {

QString readExample(const QString &relative)
{
    QFile file(QStringLiteral(PICTOLOOM_EXAMPLES_DIR "/") + relative);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(file.fileName()));
    return QString::fromUtf8(file.readAll());
}

void wait(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

// Milliseconds from the request to the result, in a renderer started ahead as the window
// keeps one; the client has rendered before, so the renderer waits as it would for the next.
double renderMs(RenderClient *client, const RenderRequest &request, RenderResult *result = nullptr)
{
    wait(300);
    QElapsedTimer clock;
    clock.start();
    RenderJob *job = client->start(request);
    QEventLoop loop;
    QObject::connect(job, &RenderJob::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const double ms = clock.nsecsElapsed() / 1e6;
    if (job->result().outcome != RenderResult::Outcome::Picture)
        std::printf("  (render failed: %s)\n", qPrintable(job->result().errorText));
    if (result)
        *result = job->result();
    delete job;
    return ms;
}

void printPreviewWithPrint(const QString &stdlib, const QString &rings)
{
    const int rounds = 7;
    RenderRequest plain;
    plain.stdlibText = stdlib;
    plain.paintingText = rings;
    plain.step = 2;
    RenderRequest printing = plain;
    // The last line of render(), as a user would add it.
    const int end = rings.lastIndexOf(QLatin1Char('}'));
    printing.paintingText = rings.left(end) + QStringLiteral("    print(x, y, r);\n") + rings.mid(end);
    RenderClient client;
    client.prepare();
    renderMs(&client, plain);
    double best[2] = {1e300, 1e300};
    RenderResult printed;
    for (int round = 0; round < rounds; ++round) {
        best[0] = std::min(best[0], renderMs(&client, plain));
        best[1] = std::min(best[1], renderMs(&client, printing, &printed));
    }
    std::printf("Rings as a 640 x 480 preview (320 x 240 pixels), renderer started ahead, best "
                "of %d\n%-36s %8.1f ms\n%-36s %8.1f ms  (%.2f times; %d lines kept, %lld "
                "counted)\n\n",
                rounds, "without print", best[0], "with print(x, y, r) in every pixel", best[1],
                best[1] / best[0], printed.console.lines.size(),
                static_cast<long long>(printed.console.dropped));
    std::fflush(stdout);
}

void printInspection(const QString &stdlib, const QString &rings)
{
    const int rounds = 21;
    RenderRequest request;
    request.stdlibText = stdlib;
    request.paintingText = rings;
    request.inspectedPlace = QPoint(312, 200);
    RenderClient client;
    client.prepare();
    renderMs(&client, request);
    QVector<double> ms;
    for (int round = 0; round < rounds; ++round)
        ms << renderMs(&client, request);
    std::printf("An inspected pixel of Rings (640 x 480), renderer started ahead, median of "
                "%d\n%-36s %8.1f ms  (fastest %.1f, slowest %.1f)\n",
                rounds, "request to result", median(ms), *std::min_element(ms.begin(), ms.end()),
                *std::max_element(ms.begin(), ms.end()));
    std::fflush(stdout);
}

// A click on the window's picture until the console tells the pixel's values.
void printInspectionInTheWindow(const QString &rings)
{
    const QDir appDir(QCoreApplication::applicationDirPath());
    appDir.mkpath(QStringLiteral("paintings"));
    QFile file(appDir.filePath(QStringLiteral("paintings/Sketchbook.js")));
    if (!file.open(QIODevice::WriteOnly) || file.write(rings.toUtf8()) < 0)
        qFatal("cannot write the painting");
    file.close();

    MainWindow window;
    window.resize(1100, 700);
    window.show();
    while (!window.windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    auto *renders = window.findChild<RenderController *>();
    QEventLoop previewDone;
    QObject::connect(renders, &RenderController::finished, &previewDone, &QEventLoop::quit);
    window.updatePreview();
    previewDone.exec();
    auto *view = window.findChild<ImageView *>(QStringLiteral("imageView"));
    auto *console = window.findChild<ConsolePanel *>();
    const QPoint centre = view->rect().center();
    // The pointer comes over the picture before it clicks.
    QTest::mouseMove(view, centre);
    const int rounds = 21;
    QVector<double> ms;
    for (int round = 0; round <= rounds; ++round) {
        wait(300);
        console->clearLines();
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, centre);
        while (!console->toPlainText().contains(QStringLiteral("which become"))) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            if (clock.elapsed() > 10000)
                qFatal("the console told nothing");
        }
        if (round > 0)
            ms << clock.nsecsElapsed() / 1e6;
    }
    std::printf("%-36s %8.1f ms  (fastest %.1f, slowest %.1f)\n", "click to the console's text",
                median(ms), *std::min_element(ms.begin(), ms.end()),
                *std::max_element(ms.begin(), ms.end()));
}

// Frames that print a line in each of their first pixels, up to the lines a render keeps.
void printFrameLines()
{
    ConsolePanel panel;
    panel.resize(640, 160);
    panel.show();
    QAction showAction(nullptr);
    ConsoleController console(&panel, &showAction);
    constexpr int frames = 8;
    constexpr int rounds = 40;
    std::printf("A frame's lines shown in the console, as playing shows them, mean of %d frames:\n",
                rounds);
    for (const int count : {10, 100, ConsoleLines::kept}) {
        QVector<ConsoleLines> printed(frames);
        for (int frame = 0; frame < frames; ++frame) {
            QVector<ConsoleLine> lines(count);
            for (int i = 0; i < count; ++i) {
                lines[i].text = QStringLiteral("frame %1, d = %2").arg(frame).arg(i * 0.37);
                lines[i].pixel = QPoint(i % 320, i / 320);
            }
            printed[frame].append(lines);
        }
        QElapsedTimer clock;
        clock.start();
        for (int round = 0; round < rounds; ++round) {
            console.showRender(printed.at(round % frames), QString());
            QCoreApplication::processEvents();
        }
        std::printf("  %4d lines %8.2f ms a frame\n", count, clock.nsecsElapsed() / 1e6 / rounds);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString stdlib = readExample(QStringLiteral("stdlib.js"));
    const QString rings = readExample(QStringLiteral("paintings/Rings.js"));
    printPreviewWithPrint(stdlib, rings);
    printInspection(stdlib, rings);
    printFrameLines();
    // The window reads its scripts beside the executable, so it runs from a copy elsewhere.
    if (QCoreApplication::applicationDirPath().startsWith(QDir::tempPath()))
        printInspectionInTheWindow(rings);
    else
        std::printf("(run from a copy, with tests/run-from-copy.sh, for the click in the window)\n");
    return 0;
}
