// Times pictoloom-render on the command line rendering a 16-frame 480 x 360 animation: frames
// per second with 1, 2 and one process per core, and what encoding an MP4 adds to writing the
// same frames as BMP files. Wall-clock, the best of a few interleaved rounds.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int rounds = 3;
constexpr int frameCount = 16;

const char painting[] =
    "width = 480; height = 360; frames = 16; fps = 30;\n"
    "function render() {\n"
    "    var dx = x - width / 2, dy = y - height / 2;\n"
    "    var d = Math.sqrt(dx * dx + dy * dy);\n"
    "    r = 0.5 + 0.5 * Math.sin(d / 8 - time * 6.283);\n"
    "    g = r * 0.6; b = 1 - r / 2;\n"
    "}\n";

double runSeconds(const QString &folder, const QStringList &arguments)
{
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    QProcess renderer;
    renderer.setWorkingDirectory(folder);
    QElapsedTimer clock;
    clock.start();
    renderer.start(QCoreApplication::applicationDirPath() + QStringLiteral("/pictoloom-render"),
                   arguments);
    renderer.waitForFinished(-1);
    const double seconds = clock.nsecsElapsed() / 1e9;
    if (renderer.exitCode() != 0)
        std::printf("  (failed: %s)\n", renderer.readAllStandardError().constData());
    return seconds;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString script = dir.filePath(QStringLiteral("Waves.js"));
    QFile file(script);
    file.open(QIODevice::WriteOnly);
    file.write(painting);
    file.close();
    const int cores = qMax(1, QThread::idealThreadCount());
    const QString out = dir.filePath(QStringLiteral("out"));

    struct Way
    {
        const char *name;
        QStringList arguments;
        double best = 1e9;
    };
    std::vector<Way> ways = {
        {"1 process, BMP files", {"--jobs", "1", script, "f_####.bmp"}},
        {"2 processes, BMP files", {"--jobs", "2", script, "f_####.bmp"}},
        {"one per core, BMP files", {"--jobs", QString::number(cores), script, "f_####.bmp"}},
        {"one per core, MP4", {"--jobs", QString::number(cores), script, "out.mp4"}},
    };
    for (int round = 0; round < rounds; ++round) {
        for (Way &way : ways)
            way.best = std::min(way.best, runSeconds(out, way.arguments));
    }
    std::printf("A %d-frame 480 x 360 animation on the command line (%d cores), best of %d:\n",
                frameCount, cores, rounds);
    for (const Way &way : ways)
        std::printf("  %-26s %6.2f s  %6.1f frames/s\n", way.name, way.best, frameCount / way.best);
    std::printf("  2 processes take %.2f x the time of one\n", ways[1].best / ways[0].best);
    std::printf("  MP4 takes %.2f x the time of BMP files\n", ways[3].best / ways[2].best);
    return 0;
}
