// Renders reference paintings and compares the renderer in a process of its own, as the window
// and the command line run it, with the same renderer running inside the calling process.
// Wall-clock seconds, process start and the picture's transfer included: the best of a few
// rounds in which the ways to render take turns.

#include "client/renderclient.h"
#include "engine/scriptrenderer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QScriptEngine>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QTimer>
#include <QVector>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

#include <unistd.h>

namespace {

const int rounds = 5;

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


void wait(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

double inProcessSeconds(const QString &painting, int step)
{
    QElapsedTimer clock;
    clock.start();
    ScriptRenderer renderer;
    const RenderResult result = renderer.render(QString(), painting, step);
    if (result.outcome != RenderResult::Outcome::Picture)
        std::printf("  (in-process render failed)\n");
    return clock.nsecsElapsed() / 1e9;
}

double renderSeconds(RenderClient *client, const RenderRequest &request)
{
    QElapsedTimer clock;
    clock.start();
    RenderJob *job = client->start(request);
    QEventLoop loop;
    QObject::connect(job, &RenderJob::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const double seconds = clock.nsecsElapsed() / 1e9;
    if (job->result().outcome != RenderResult::Outcome::Picture)
        std::printf("  (render failed: %s)\n", qPrintable(job->result().errorText));
    delete job;
    return seconds;
}

enum class Renderer {
    StartedForTheJob,   // as the command line runs one
    StartedAhead,       // waiting for its job, as the window keeps one from its start
    StartedAheadAgain,  // the same, after a render of the same size, as for the window's next one
};

// One way to render: each call times one render.
using Way = std::function<double()>;

Way inProcess(const QString &painting, int step)
{
    return [painting, step] { return inProcessSeconds(painting, step); };
}

Way inRenderer(const QString &painting, int step, int processes, Renderer renderer)
{
    RenderRequest request;
    request.paintingText = painting;
    request.step = step;
    request.processes = processes;
    auto again = std::make_shared<RenderClient>();
    if (renderer == Renderer::StartedAheadAgain) {
        again->prepare();
        renderSeconds(again.get(), request);
    }
    return [request, renderer, again] {
        RenderClient fresh;
        RenderClient *client = renderer == Renderer::StartedAheadAgain ? again.get() : &fresh;
        if (renderer != Renderer::StartedForTheJob) {
            client->prepare();
            wait(300);
        }
        return renderSeconds(client, request);
    };
}

// The best time of each way. The ways take turns, so that a machine whose speed drifts, as
// virtual machines' does, treats them alike.
QVector<double> bestSeconds(const QVector<Way> &ways)
{
    QVector<double> best(ways.size(), 1e300);
    for (int round = 0; round < rounds; ++round) {
        for (int i = 0; i < ways.size(); ++i)
            best[i] = std::min(best[i], ways[i]());
    }
    return best;
}

// A renderer's resident memory in kB: the most it has held so far, and what it holds now.
struct Resident
{
    qint64 peakKb = 0;
    qint64 nowKb = 0;
};

qint64 statusField(const QByteArray &status, const char *name)
{
    const QRegularExpression field(QLatin1String(name) + QStringLiteral(":\\s+(\\d+) kB"));
    return field.match(QString::fromLatin1(status)).captured(1).toLongLong();
}

// Of this program's child processes, the one that holds the most memory.
Resident rendererResident()
{
    Resident largest;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // pid (name) state ppid ...: the name may hold spaces, so count from its end.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 2 || fields.at(1).toLongLong() != getpid())
            continue;
        QFile status(QStringLiteral("/proc/%1/status").arg(entry));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = status.readAll();
        const Resident resident{statusField(text, "VmHWM"), statusField(text, "VmRSS")};
        if (resident.peakKb > largest.peakKb)
            largest = resident;
    }
    return largest;
}

struct StartFigures
{
    double firstRowMs = 0;   // from the request to the renderer's first row
    double totalMs = 0;
    Resident resident;       // of the renderer, at its last row
};

// A 640 x 480 preview in a renderer started for the job, as the command line starts one. With
// holdAtTheEnd the painting waits at its last pixel, long enough for its memory to be read.
StartFigures previewFromAFreshRenderer(bool holdAtTheEnd)
{
    RenderRequest request;
    request.paintingText = rings(640, 480);
    if (holdAtTheEnd) {
        request.paintingText += QStringLiteral(
            "\nvar ringsAt = render; render = function () { ringsAt();"
            " if (y == height - 2 && x == width - 2) { var t = new Date().getTime();"
            " while (new Date().getTime() - t < 300) {} } };");
    }
    request.step = 2;
    RenderClient client;
    StartFigures figures;
    QElapsedTimer clock;
    clock.start();
    RenderJob *job = client.start(request);
    int lastRow = 0;
    QObject::connect(job, &RenderJob::started, [&](int rows) {
        figures.firstRowMs = clock.nsecsElapsed() / 1e6;
        lastRow = rows - rows / 20;
    });
    QObject::connect(job, &RenderJob::progress, [&](int row) {
        if (holdAtTheEnd && row >= lastRow)
            QTimer::singleShot(150, job, [&figures] { figures.resident = rendererResident(); });
    });
    QEventLoop loop;
    QObject::connect(job, &RenderJob::finished, &loop, &QEventLoop::quit);
    loop.exec();
    figures.totalMs = clock.nsecsElapsed() / 1e6;
    if (job->result().outcome != RenderResult::Outcome::Picture)
        std::printf("  (render failed: %s)\n", qPrintable(job->result().errorText));
    delete job;
    return figures;
}

template<typename Value>
double median(const QVector<StartFigures> &figures, Value value)
{
    QVector<double> values;
    for (const StartFigures &f : figures)
        values << value(f);
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

void printRendererStart()
{
    const int startRounds = 15;
    QVector<StartFigures> timed, held;
    for (int round = 0; round < startRounds; ++round)
        timed << previewFromAFreshRenderer(false);
    for (int round = 0; round < 3; ++round)
        held << previewFromAFreshRenderer(true);
    std::printf("640 x 480 rings preview in a renderer started for the job, median of %d\n"
                "%-40s %8.1f\n%-40s %8.1f\n%-40s %8.0f\n%-40s %8.0f\n\n", startRounds,
                "ms to the first row", median(timed, [](const StartFigures &f) { return f.firstRowMs; }),
                "ms to the picture", median(timed, [](const StartFigures &f) { return f.totalMs; }),
                "renderer's peak resident kB",
                median(held, [](const StartFigures &f) { return double(f.resident.peakKb); }),
                "renderer's resident kB at its last row",
                median(held, [](const StartFigures &f) { return double(f.resident.nowKb); }));
    std::fflush(stdout);
}

// The painting run as a bare loop inside one engine: for every pixel set x and y, call render
// and read r, g and b; nothing else.
double bareLoopSeconds(const QString &painting)
{
    QElapsedTimer clock;
    clock.start();
    QScriptEngine engine;
    engine.evaluate(painting);
    engine.evaluate(QStringLiteral(
        "(function () { var w = width, h = height, cr, cg, cb;"
        "  for (var i = 0; i < h; ++i) for (var j = 0; j < w; ++j) {"
        "    x = j; y = i; render(); cr = r; cg = g; cb = b; } })();"));
    if (engine.hasUncaughtException())
        std::printf("  (bare loop failed: %s)\n", qPrintable(engine.uncaughtException().toString()));
    return clock.nsecsElapsed() / 1e9;
}

// pictoloom-render --jobs 1 writing a BMP, so that image encoding is not counted.
double commandLineSeconds(const QString &painting, const QStringList &options)
{
    QTemporaryDir folder;
    const QString script = folder.filePath(QStringLiteral("painting.js"));
    QFile file(script);
    file.open(QIODevice::WriteOnly);
    file.write(painting.toUtf8());
    file.close();
    const QString stdlib = folder.filePath(QStringLiteral("stdlib.js"));
    QFile emptyStdlib(stdlib);
    emptyStdlib.open(QIODevice::WriteOnly);
    emptyStdlib.close();
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/pictoloom-render");
    QProcess renderer;
    QElapsedTimer clock;
    clock.start();
    renderer.start(program, QStringList{QStringLiteral("--jobs"), QStringLiteral("1"),
                                        QStringLiteral("--stdlib"), stdlib}
                       + options + QStringList{script, folder.filePath(QStringLiteral("out.bmp"))});
    renderer.waitForFinished(-1);
    const double seconds = clock.nsecsElapsed() / 1e9;
    if (renderer.exitCode() != 0)
        std::printf("  (command line failed: %s)\n", renderer.readAllStandardError().constData());
    return seconds;
}

// What the renderer spends on a pixel beyond the painting's own work, and what anti-aliasing
// costs.
void printCostPerPixel()
{
    std::printf("2400 x 1800, one process, best of %d interleaved rounds: the command line\n"
                "writing a BMP against a bare loop in one engine, and with --samples 2\n"
                "%-10s %10s %10s %6s %12s %6s\n", rounds, "painting", "bare loop", "command",
                "ratio", "--samples 2", "ratio");
    const struct
    {
        const char *name;
        QString script;
    } paintings[] = {{"rings", rings(2400, 1800)}, {"gradient", gradient(2400, 1800)}};
    for (const auto &painting : paintings) {
        const QString script = painting.script;
        const QVector<double> seconds = bestSeconds(
            {[script] { return bareLoopSeconds(script); },
             [script] { return commandLineSeconds(script, {}); },
             [script] { return commandLineSeconds(script, {QStringLiteral("--samples"), QStringLiteral("2")}); }});
        std::printf("%-10s %10.3f %10.3f %6.2f %12.3f %6.2f\n", painting.name, seconds[0], seconds[1],
                    seconds[1] / seconds[0], seconds[2], seconds[2] / seconds[1]);
        std::fflush(stdout);
    }
    std::printf("\n");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // "cost": what a pixel costs beyond the painting's own work only.
    if (app.arguments().contains(QStringLiteral("cost"))) {
        printCostPerPixel();
        return 0;
    }
    printRendererStart();
    // "start": the renderer's start and memory only.
    if (app.arguments().contains(QStringLiteral("start")))
        return 0;
    std::printf("Wall-clock seconds, best of %d rounds, on %d cores.\n\n", rounds,
                RenderClient::coreCount());
    printCostPerPixel();

    std::printf("2400 x 1800, one process: in-process, and in a renderer started for the job,\n"
                "started ahead, and started ahead after a render of the same size\n"
                "%-10s %10s %10s %6s %10s %6s %10s %6s\n",
                "painting", "in-process", "for job", "ratio", "ahead", "ratio", "again", "ratio");
    const struct
    {
        const char *name;
        QString script;
    } paintings[] = {{"rings", rings(2400, 1800)}, {"gradient", gradient(2400, 1800)}};
    for (const auto &painting : paintings) {
        const QVector<double> seconds = bestSeconds(
            {inProcess(painting.script, 1),
             inRenderer(painting.script, 1, 1, Renderer::StartedForTheJob),
             inRenderer(painting.script, 1, 1, Renderer::StartedAhead),
             inRenderer(painting.script, 1, 1, Renderer::StartedAheadAgain)});
        std::printf("%-10s %10.3f", painting.name, seconds[0]);
        for (int i = 1; i < seconds.size(); ++i)
            std::printf(" %10.3f %6.2f", seconds[i], seconds[i] / seconds[0]);
        std::printf("\n");
        std::fflush(stdout);
    }

    std::printf("\n2400 x 1800 rings with parallel = true: renderers started for the job, and\n"
                "started ahead after a render like it, as the window renders it again\n"
                "%-10s %10s %8s %8s %10s %8s %8s\n", "processes", "for job", "speed-up", "ratio",
                "again", "speed-up", "ratio");
    QList<int> counts = {1, 2};
    if (RenderClient::coreCount() > 2)
        counts << RenderClient::coreCount();
    const QString parallelRings = QStringLiteral("parallel = true;\n") + rings(2400, 1800);
    QVector<Way> ways;
    for (int processes : counts) {
        ways << inRenderer(parallelRings, 1, processes, Renderer::StartedForTheJob)
             << inRenderer(parallelRings, 1, processes, Renderer::StartedAheadAgain);
    }
    const QVector<double> seconds = bestSeconds(ways);
    for (int i = 0; i < counts.size(); ++i) {
        std::printf("%-10d", counts.at(i));
        for (int way = 0; way < 2; ++way) {
            const double one = seconds[way], these = seconds[2 * i + way];
            std::printf(" %10.3f %7.2fx %8.2f", these, one / these, these / one);
        }
        std::printf("\n");
    }

    std::printf("\n640 x 480 rings, half-resolution preview\n%-34s %10s\n", "", "ms");
    const QString preview = rings(640, 480);
    const QVector<double> ms = bestSeconds({inProcess(preview, 2),
                                            inRenderer(preview, 2, 1, Renderer::StartedAheadAgain),
                                            inRenderer(preview, 2, 1, Renderer::StartedForTheJob)});
    std::printf("%-34s %10.1f\n%-34s %10.1f  (+%.1f)\n%-34s %10.1f  (+%.1f)\n", "in-process",
                ms[0] * 1000, "renderer started ahead", ms[1] * 1000, (ms[1] - ms[0]) * 1000,
                "renderer started for the job", ms[2] * 1000, (ms[2] - ms[0]) * 1000);
    return 0;
}
