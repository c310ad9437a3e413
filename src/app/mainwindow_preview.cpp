#include "app/mainwindow.h"

#include "app/imageview.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPixmap>
#include <QTimer>

void MainWindow::updatePreview()
{
    liveTimer->stop();
    stopLiveRender();
    if (useExternalEditor) {
        loadFile();
        loadStdlib();
    } else if (!savePaintingDocument()) {
        return;
    }

    QElapsedTimer timer;
    timer.start();
    const int step = lowQuality ? 2 : 1;
    const QImage picture = renderImage(step);
    if (picture.isNull())
        return;
    const double seconds = timer.elapsed() / 1000.0;

    showStatus(tr("Rendered in %1 sec").arg(seconds, 0, 'f', 1));
    showPicture(picture, step);
}

// The view may grow to the painting's full width, so a half-resolution picture is scaled up.
void MainWindow::showPicture(const QImage &picture, int step)
{
    imageView->setMaximumWidth(picture.width() * step);
    imageView->setPixmap(QPixmap::fromImage(picture));
    imageView->setVisible(true);
}
