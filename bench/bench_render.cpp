// Renders reference paintings and compares the renderer in a process of its own, as the window
// and the command line run it, with the same renderer running inside the calling process.
// Wall-clock seconds, best of a few runs: process start and the picture's transfer count. CPU
// seconds, of this process and the renderers it waited for, tell the same on a busy machine.

#include "render/renderclient.h"
#include "render/scriptrenderer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>

#include <sys/resource.h>

namespace {

const int runs = 3;

QString rings(int width, int height)
{
    return QStringLiteral("width = %1; height = %2;\n"
                          "function render() {"
                          "  var dx = x - width / 2, dy = y - height / 2;"
                          "  var d = Math.sqrt(dx * dx + dy * dy);"
                          "  r = 0.5 + 0.5 * Math.sin(d / 10); g = r * 0.5; b = 1 - r; }")
        .arg(width)
        .arg(height);
}

QString gradient(int width, int height)
{
    return QStringLiteral("width = %1; height = %2;\n"
                          "function render() { r = x / width; g = 0.5; b = y / height; }")
        .arg(width)
        .arg(height);
}

struct Seconds
{
    double wall = 1e300;
    double cpu = 1e300;
};

// CPU time of this process and of its children that have ended.
double cpuSeconds()
{
    double seconds = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage;
        getrusage(who, &usage);
        seconds += usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
            + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    return seconds;
}

void wait(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

Seconds inProcessSeconds(const QString &painting, int step)
{
    Seconds best;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer clock;
        clock.start();
        const double cpu = cpuSeconds();
        ScriptRenderer renderer;
        const ScriptRenderer::Result result = renderer.render(QString(), painting, step);
        best.wall = std::min(best.wall, clock.nsecsElapsed() / 1e9);
        best.cpu = std::min(best.cpu, cpuSeconds() - cpu);
        if (result.outcome != ScriptRenderer::Outcome::Picture)
            std::printf("  (in-process render failed)\n");
    }
    return best;
}

// prepared: a renderer started ahead and waiting for its job, as the window keeps one.
Seconds processSeconds(const QString &painting, int step, int processes, bool prepared)
{
    Seconds best;
    for (int run = 0; run < runs; ++run) {
        RenderClient client;
        if (prepared) {
            client.prepare();
            wait(300);
        }
        RenderRequest request;
        request.paintingText = painting;
        request.step = step;
        request.processes = processes;
        QElapsedTimer clock;
        clock.start();
        const double cpu = cpuSeconds();
        RenderJob *job = client.start(request);
        QEventLoop loop;
        QObject::connect(job, &RenderJob::finished, &loop, &QEventLoop::quit);
        loop.exec();
        best.wall = std::min(best.wall, clock.nsecsElapsed() / 1e9);
        if (job->result().outcome != ScriptRenderer::Outcome::Picture)
            std::printf("  (render failed: %s)\n", qPrintable(job->result().errorText));
        delete job;
        best.cpu = std::min(best.cpu, cpuSeconds() - cpu);
    }
    return best;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::printf("Wall-clock seconds, best of %d runs, on %d cores.\n\n", runs,
                RenderClient::coreCount());

    std::printf("2400 x 1800, one process\n%-10s %12s %14s %8s %12s %14s %8s\n", "painting",
                "in-process", "own process", "ratio", "CPU inside", "CPU own", "ratio");
    const struct
    {
        const char *name;
        QString script;
    } paintings[] = {{"rings", rings(2400, 1800)}, {"gradient", gradient(2400, 1800)}};
    for (const auto &painting : paintings) {
        const Seconds inside = inProcessSeconds(painting.script, 1);
        const Seconds outside = processSeconds(painting.script, 1, 1, false);
        std::printf("%-10s %12.3f %14.3f %8.2f %12.3f %14.3f %8.2f\n", painting.name, inside.wall,
                    outside.wall, outside.wall / inside.wall, inside.cpu, outside.cpu,
                    outside.cpu / inside.cpu);
        std::fflush(stdout);
    }

    std::printf("\n2400 x 1800 rings with parallel = true\n%-10s %12s %10s\n", "processes",
                "seconds", "speed-up");
    QList<int> counts = {1, 2};
    if (RenderClient::coreCount() > 2)
        counts << RenderClient::coreCount();
    const QString parallelRings = QStringLiteral("parallel = true;\n") + rings(2400, 1800);
    double one = 0;
    for (int processes : counts) {
        const double seconds = processSeconds(parallelRings, 1, processes, false).wall;
        if (processes == 1)
            one = seconds;
        std::printf("%-10d %12.3f %9.2fx\n", processes, seconds, one / seconds);
        std::fflush(stdout);
    }

    std::printf("\n640 x 480 rings, half-resolution preview\n%-34s %10s\n", "", "ms");
    const QString preview = rings(640, 480);
    const double inside = inProcessSeconds(preview, 2).wall * 1000;
    const double prepared = processSeconds(preview, 2, 1, true).wall * 1000;
    const double cold = processSeconds(preview, 2, 1, false).wall * 1000;
    std::printf("%-34s %10.1f\n%-34s %10.1f  (+%.1f)\n%-34s %10.1f  (+%.1f)\n", "in-process", inside,
                "renderer started ahead", prepared, prepared - inside, "renderer started for the job",
                cold, cold - inside);
    return 0;
}
