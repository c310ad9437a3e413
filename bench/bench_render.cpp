// Renders reference paintings at full size and compares the renderer with a bare loop that runs
// the same per-pixel work entirely inside the script engine.

#include "render/scriptrenderer.h"

#include <QCoreApplication>
#include <QScriptEngine>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

// CPU time of this process: other programs on a busy machine do not count against either side.
double cpuSeconds()
{
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

struct Painting
{
    const char *name;
    QString script;
};

QString sized(const char *body)
{
    return QStringLiteral("width = 2400; height = 1800;\n") + QString::fromLatin1(body);
}

double bareLoopSeconds(const QString &painting)
{
    QScriptEngine engine;
    engine.globalObject().setProperty(QStringLiteral("width"), QScriptValue(640));
    engine.globalObject().setProperty(QStringLiteral("height"), QScriptValue(480));
    engine.evaluate(painting);
    const double start = cpuSeconds();
    engine.evaluate(QStringLiteral(
        "(function () { var w = width, h = height;"
        "  for (var i = 0; i < h; ++i) for (var j = 0; j < w; ++j) {"
        "    x = j; y = i; render(); +r; +g; +b; } })()"));
    return cpuSeconds() - start;
}

double rendererSeconds(const QString &painting, bool *ok)
{
    ScriptRenderer renderer;
    const double start = cpuSeconds();
    const ScriptRenderer::Result result = renderer.render(QString(), painting, 1);
    const double seconds = cpuSeconds() - start;
    *ok = result.outcome == ScriptRenderer::Outcome::Picture;
    return seconds;
}

} // namespace

int main(int argc, char *argv[])
{
    const int runs = 3;
    QCoreApplication app(argc, argv);
    const Painting paintings[] = {
        {"rings", sized("function render() {"
                        "  var dx = x - 1200, dy = y - 900;"
                        "  var d = Math.sqrt(dx * dx + dy * dy);"
                        "  r = 0.5 + 0.5 * Math.sin(d / 10); g = r * 0.5; b = 1 - r; }")},
        {"gradient", sized("function render() { r = x / width; g = 0.5; b = y / height; }")},
        {"plasma", sized("function render() {"
                         "  var v = Math.sin(x / 37) + Math.sin(y / 23) + Math.sin((x + y) / 51);"
                         "  r = 0.5 + 0.5 * Math.sin(v * 3.1); g = 0.5 + 0.5 * Math.sin(v * 3.1 + 2);"
                         "  b = 0.5 + 0.5 * Math.sin(v * 3.1 + 4); }")},
    };
    std::printf("2400 x 1800 pixels, CPU seconds, best of %d runs\n%-10s %12s %12s %8s\n", runs,
                "painting", "render", "bare loop", "ratio");
    for (const Painting &painting : paintings) {
        bool ok = true;
        double render = 1e300;
        double bare = 1e300;
        for (int run = 0; run < runs; ++run) {
            bool rendered = false;
            render = std::min(render, rendererSeconds(painting.script, &rendered));
            ok = ok && rendered;
            bare = std::min(bare, bareLoopSeconds(painting.script));
        }
        std::printf("%-10s %12.3f %12.3f %8.2f%s\n", painting.name, render, bare, render / bare,
                    ok ? "" : "  (render failed)");
        std::fflush(stdout);
    }
    return 0;
}
