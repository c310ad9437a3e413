// Times a preview of a 2400 x 1800 painting with its rows drawn into a shown picture view as
// they arrive, as the window draws them, against the same preview with the picture shown only
// at the end: wall-clock seconds from the request to the picture on screen, the best of a few
// rounds in which the two take turns, and how often the rows were drawn. On a machine that
// other work shares the wall clock drifts; the processor time the window spends does not, and
// its extra is what drawing the rows costs even where the window and the renderers share one
// core.

#include "app/imageview.h"
#include "app/pictureinprogress.h"
#include "client/renderclient.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPixmap>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

const int rounds = 4;

// A painting that takes little time per pixel, so that the rows' cost shows the most.
QString rings(bool parallel)
{
    return QStringLiteral("width = 2400; height = 1800; parallel = %1;\n"
                          "function render() {"
                          "  var dx = x - width / 2, dy = y - height / 2;"
                          "  var d = Math.sqrt(dx * dx + dy * dy);"
                          "  r = 0.5 + 0.5 * Math.sin(d / 10); g = r * 0.5; b = 1 - r; }")
        .arg(parallel ? QStringLiteral("true") : QStringLiteral("false"));
}

QString exampleText(const QString &name)
{
    QFile file(QStringLiteral(PICTOLOOM_EXAMPLES_DIR "/") + name);
    if (!file.open(QIODevice::ReadOnly))
        std::printf("  (cannot read %s)\n", qPrintable(file.fileName()));
    return QString::fromUtf8(file.readAll());
}

struct Painting
{
    const char *name;
    QString stdlib;
    QString painting;
    QList<int> steps;
};

void wait(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

double processorSeconds()
{
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

struct Preview
{
    double seconds = 0;
    double windowSeconds = 0;   // of processor time in this process
    int updates = 0;            // of the rows drawn as they came
};

Preview preview(RenderClient *client, const RenderRequest &request, ImageView *view,
                bool drawRows)
{
    view->setPixmap(QPixmap());
    QCoreApplication::processEvents();
    Preview figures;
    const double processorAtStart = processorSeconds();
    QElapsedTimer clock;
    clock.start();
    RenderJob *job = client->start(request);
    PictureInProgress rows(view);
    if (drawRows) {
        QObject::connect(job, &RenderJob::rowsReady, view, [&](const RowRange &range) {
            rows.drawRows(job->renderedRows(range), range, job->size(), request.step);
            ++figures.updates;
        });
    }
    QEventLoop loop;
    QObject::connect(job, &RenderJob::finished, &loop, &QEventLoop::quit);
    loop.exec();
    rows.finish();
    view->setPixmap(QPixmap::fromImage(job->result().image), request.step);
    view->repaint();
    figures.seconds = clock.nsecsElapsed() / 1e9;
    figures.windowSeconds = processorSeconds() - processorAtStart;
    if (job->result().outcome != RenderResult::Outcome::Picture)
        std::printf("  (render failed: %s)\n", qPrintable(job->result().errorText));
    delete job;
    // The client starts the next renderer ahead, as the window's does between previews.
    wait(300);
    return figures;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    ImageView view;
    view.resize(800, 600);
    view.show();
    while (!view.windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    RenderClient client;
    client.prepare();
    wait(300);

    std::printf("2400 x 1800 painting, view 800 x 600, %d cores, best of %d rounds\n",
                RenderClient::coreCount(), rounds);
    std::printf("%-28s %21s %8s %21s %8s %8s\n", "", "wall-clock seconds", "", "window processor s",
                "", "updates");
    std::printf("%-28s %10s %10s %8s %10s %10s %8s %8s\n", "preview", "at the end", "as rows",
                "cost", "at the end", "as rows", "cost", "a second");
    const QString stdlib = exampleText(QStringLiteral("stdlib.js"));
    const QString size = QStringLiteral("\nwidth = 2400; height = 1800;\n");
    const QList<Painting> paintings{
        {"Rings", QString(), rings(false), {2, 1}},
        {"Rings, parallel", QString(), rings(true), {2, 1}},
        {"Clouds", stdlib, exampleText(QStringLiteral("paintings/Clouds.js")) + size, {2}},
        {"Julia, parallel", stdlib, exampleText(QStringLiteral("paintings/Julia.js")) + size,
         {2, 1}},
    };
    for (const Painting &painting : paintings) {
        for (const int step : painting.steps) {
            RenderRequest request;
            request.stdlibText = painting.stdlib;
            request.paintingText = painting.painting;
            request.step = step;
            double withoutRows = 1e300;
            double withRows = 1e300;
            double windowWithout = 1e300;
            double windowWith = 1e300;
            double updatesPerSecond = 0;
            for (int turn = 0; turn < 2 * rounds; ++turn) {
                // Each goes first in every other round.
                const bool drawRows = (turn + turn / 2) % 2 == 1;
                const Preview figures = preview(&client, request, &view, drawRows);
                if (!drawRows) {
                    withoutRows = std::min(withoutRows, figures.seconds);
                    windowWithout = std::min(windowWithout, figures.windowSeconds);
                    continue;
                }
                windowWith = std::min(windowWith, figures.windowSeconds);
                if (figures.seconds < withRows) {
                    withRows = figures.seconds;
                    updatesPerSecond = figures.updates / figures.seconds;
                }
            }
            const QString name = QStringLiteral("%1, %2")
                                     .arg(QLatin1String(painting.name),
                                          step == 2 ? "half size" : "full size");
            // The window's extra processor time, against the whole preview's time.
            std::printf("%-28s %10.3f %10.3f %7.1f%% %10.3f %10.3f %7.1f%% %8.1f\n",
                        qPrintable(name), withoutRows, withRows,
                        (withRows / withoutRows - 1) * 100, windowWithout, windowWith,
                        (windowWith - windowWithout) / withoutRows * 100, updatesPerSecond);
        }
    }
    return 0;
}
