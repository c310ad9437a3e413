// Renders every example painting with the starter standard library at 640 x 480, as a user's
// first preview at full quality would, and prints how long each takes.

#include "core/textfile.h"
#include "engine/scriptrenderer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>
#include <ctime>

namespace {

QString scriptText(const QString &path)
{
    TextFileContent content;
    readTextFile(path, &content);
    return content.text;
}

double cpuSeconds()
{
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString examples = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                      : QStringLiteral(PICTOLOOM_EXAMPLES_DIR);
    const QDir dir(examples);
    const QString stdlib = scriptText(dir.filePath(QStringLiteral("stdlib.js")));
    const QFileInfoList paintings = QDir(dir.filePath(QStringLiteral("paintings")))
                                        .entryInfoList({QStringLiteral("*.js")}, QDir::Files,
                                                       QDir::Name);
    std::printf("640 x 480 pixels, CPU seconds of one render\n%-16s %8s\n", "painting", "render");
    int failures = 0;
    for (const QFileInfo &painting : paintings) {
        ScriptRenderer renderer;
        const double start = cpuSeconds();
        const RenderResult result = renderer.render(stdlib,
                                                              scriptText(painting.filePath()), 1);
        const double seconds = cpuSeconds() - start;
        const bool ok = result.outcome == RenderResult::Outcome::Picture;
        failures += ok ? 0 : 1;
        std::printf("%-16s %8.3f%s\n", qPrintable(painting.completeBaseName()), seconds,
                    ok ? "" : qPrintable(QStringLiteral("  failed: ") + result.errorText));
        std::fflush(stdout);
    }
    return failures == 0 ? 0 : 1;
}
