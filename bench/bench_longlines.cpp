// Opens the window on paintings whose whole text is one very long line, then previews them:
// how long until the window is on screen with the text, and how long the preview takes.

#include "app/mainwindow.h"
#include "app/rendercontroller.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QWindow>

#include <cstdio>

namespace {

// A painting that renders, all on one line of about the given length, as minified code is.
QByteArray longLinePainting(int length)
{
    QByteArray line("width = 64; height = 48; function render() { r = x / width; }");
    const QByteArray statement(" var a = [1, 2, 3];");
    line.reserve(length + statement.size());
    while (line.size() < length)
        line += statement;
    return line;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The window reads its scripts beside the executable, so it runs from a copy elsewhere.
    if (!QCoreApplication::applicationDirPath().startsWith(QDir::tempPath())) {
        std::fprintf(stderr, "run this from a copy in a temporary folder, e.g. with "
                             "tests/run-from-copy.sh\n");
        return 2;
    }
    const QDir appDir(QCoreApplication::applicationDirPath());
    appDir.mkpath(QStringLiteral("paintings"));

    std::printf("%12s %12s %12s\n", "line length", "open (s)", "preview (s)");
    for (const int length : {100000, 1000000, 5000000}) {
        QFile file(appDir.filePath(QStringLiteral("paintings/Sketchbook.js")));
        if (!file.open(QIODevice::WriteOnly) || file.write(longLinePainting(length)) < length)
            return 1;
        file.close();

        QElapsedTimer timer;
        timer.start();
        MainWindow window;
        window.show();
        while (!window.windowHandle()->isExposed())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        QCoreApplication::processEvents();
        const double openSeconds = timer.elapsed() / 1000.0;

        timer.restart();
        auto *renders = window.findChild<RenderController *>();
        QEventLoop previewDone;
        QObject::connect(renders, &RenderController::finished, &previewDone, &QEventLoop::quit);
        window.updatePreview();
        if (renders->isUserRenderRunning())
            previewDone.exec();
        QCoreApplication::processEvents();
        const double previewSeconds = timer.elapsed() / 1000.0;
        const bool rendered = !window.findChild<QLabel *>(QStringLiteral("statusLabel"))
                                   ->text().isEmpty();
        std::printf("%12d %12.2f %12.2f%s\n", length, openSeconds, previewSeconds,
                    rendered ? "" : " (no picture)");
        std::fflush(stdout);
    }
    return 0;
}
