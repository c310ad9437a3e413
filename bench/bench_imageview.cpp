// Times what the picture view does many times a second: a new picture of the same size, rows
// arriving during a render, and repaints while zoomed in, for large pictures.

#include "app/imageview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QWheelEvent>
#include <QWindow>

#include <cstdio>
#include <functional>

namespace {

QImage noisyPicture(const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    quint32 seed = 12345;
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            line[x] = 0xff000000u | (seed >> 8);
        }
    }
    return image;
}

// Milliseconds per round of `step`, each followed by the repaint it asked for.
double millisecondsPer(const std::function<void(int)> &step, int rounds)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < rounds; ++i) {
        step(i);
        QCoreApplication::processEvents();
    }
    return timer.nsecsElapsed() / 1e6 / rounds;
}

void zoomIn(ImageView &view, int notches)
{
    const QPoint centre = view.rect().center();
    for (int i = 0; i < notches; ++i) {
        QWheelEvent event(QPointF(centre), QPointF(view.mapToGlobal(centre)), QPoint(),
                          QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(&view, &event);
    }
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

    std::printf("view 800 x 600, milliseconds per update with its repaint\n");
    std::printf("%-12s %-34s %8s\n", "picture", "update", "ms");
    for (const QSize size : {QSize(2400, 1800), QSize(1200, 900)}) {
        const QImage picture = noisyPicture(size);
        const QString name = QStringLiteral("%1 x %2").arg(size.width()).arg(size.height());
        const auto report = [&](const char *what, double ms) {
            std::printf("%-12s %-34s %8.2f\n", qPrintable(name), what, ms);
        };
        const int bandRows = size.height() / 200;   // 200 updates for the whole picture
        const auto nextRows = [&](int i) {
            const int first = i * bandRows % size.height();
            view.updateRows(QPixmap::fromImage(picture), RowRange{first, first + bandRows});
        };

        view.setPixmap(QPixmap::fromImage(picture));
        QCoreApplication::processEvents();
        report("fitted: whole picture", millisecondsPer([&](int) {
                   view.setPixmap(QPixmap::fromImage(picture));
               }, 20));
        report("fitted: rows (1/200 of the height)", millisecondsPer(nextRows, 200));

        for (const int notches : {2, 8, 16, 24}) {
            view.fitToView();
            zoomIn(view, notches);
            const QByteArray zoom = QByteArray::number(view.zoom(), 'f', 2);
            report(("zoom " + zoom + ": repaint").constData(),
                   millisecondsPer([&](int) { view.repaint(); }, 20));
            report(("zoom " + zoom + ": rows").constData(), millisecondsPer(nextRows, 200));
        }
    }
    return 0;
}
