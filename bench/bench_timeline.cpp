// Plays an animation in the timeline once every frame is kept, and measures the rate at which
// the frames reach the picture view, against the painting's fps.

#include "app/animationplayer.h"
#include "app/codeeditor.h"
#include "app/imageview.h"
#include "app/rendercontroller.h"
#include "app/timeline.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QStackedWidget>
#include <QTimer>
#include <QVector>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int measuredFrames = 100;

struct Figures
{
    double fps = 0;
    double shortestMs = 0;
    double longestMs = 0;
    bool complete = false;
};

// Previews the painting, plays it until every frame is kept, then times the frames shown.
Figures measure(RenderController &renders, AnimationPlayer &player, const QString &painting,
                int step, int frameCount)
{
    RenderTask task;
    task.request.paintingText = painting;
    task.request.step = step;
    QEventLoop loop;
    QVector<qint64> shownNs;
    QElapsedTimer clock;
    const auto connection = QObject::connect(&player, &AnimationPlayer::frameShown, [&] {
        if (player.keptFrames() < frameCount || !player.isPlaying())
            return;
        if (shownNs.isEmpty())
            clock.start();
        shownNs.append(clock.nsecsElapsed());
        if (shownNs.size() > measuredFrames)
            loop.quit();
    });
    QObject::connect(&renders, &RenderController::pictureShown, &loop, [&] {
        if (!player.isPlaying())
            player.togglePlaying();
    });
    renders.start(task);
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(connection);
    player.stop();

    Figures figures;
    if (shownNs.size() <= measuredFrames)
        return figures;
    figures.complete = true;
    figures.fps = measuredFrames / (shownNs.last() / 1e9);
    figures.shortestMs = 1e9;
    for (int i = 1; i < shownNs.size(); ++i) {
        const double ms = (shownNs.at(i) - shownNs.at(i - 1)) / 1e6;
        figures.shortestMs = std::min(figures.shortestMs, ms);
        figures.longestMs = std::max(figures.longestMs, ms);
    }
    return figures;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    RenderController::View view;
    view.window = &window;
    view.statusStack = new QStackedWidget(&window);
    view.statusLabel = new QLabel;
    view.progressBar = new QProgressBar;
    view.statusStack->addWidget(view.statusLabel);
    view.statusStack->addWidget(view.progressBar);
    view.imageView = new ImageView(&window);
    view.imageView->setGeometry(0, 0, 640, 480);
    view.paintingEditor = createCodeEditor();
    view.stdlibEditor = createCodeEditor();
    view.paintingEditor->setParent(&window);
    view.stdlibEditor->setParent(&window);
    auto *timeline = new Timeline(&window);
    timeline->setGeometry(0, 480, 640, 40);
    window.resize(640, 520);
    window.show();
    while (!window.windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);

    RenderController renders(view);
    AnimationPlayer player(timeline, &renders);

    std::printf("kept frames played in a 640 x 480 view, %d frames timed\n", measuredFrames);
    std::printf("%-10s %-10s %6s %10s %8s %12s %12s\n", "painting", "picture", "fps", "measured",
                "off", "shortest ms", "longest ms");
    const struct
    {
        int width;
        int height;
        int step;
        double fps;
    } cases[] = {{640, 480, 2, 30}, {640, 480, 1, 30}, {1280, 960, 1, 30}, {640, 480, 1, 60},
                 {640, 480, 1, 24}};
    for (const auto &c : cases) {
        const int frameCount = 120;
        const QString painting = QStringLiteral("width = %1; height = %2; frames = %3; fps = %4;\n"
                                                "function render() { r = frame / frames; "
                                                "g = x / width; b = y / height; }\n")
                                     .arg(c.width)
                                     .arg(c.height)
                                     .arg(frameCount)
                                     .arg(c.fps);
        const Figures figures = measure(renders, player, painting, c.step, frameCount);
        const QString size = QStringLiteral("%1x%2").arg(c.width).arg(c.height);
        const QString picture = QStringLiteral("%1x%2").arg(c.width / c.step).arg(c.height / c.step);
        if (!figures.complete) {
            std::printf("%-10s %-10s %6.0f   did not play %d kept frames\n", qPrintable(size),
                        qPrintable(picture), c.fps, measuredFrames);
            continue;
        }
        std::printf("%-10s %-10s %6.0f %10.2f %7.1f%% %12.1f %12.1f\n", qPrintable(size),
                    qPrintable(picture), c.fps, figures.fps, 100.0 * (figures.fps - c.fps) / c.fps,
                    figures.shortestMs, figures.longestMs);
    }
    return 0;
}
