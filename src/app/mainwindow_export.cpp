#include "app/mainwindow.h"

#include "app/messagebox.h"
#include "export/pictureexport.h"

#include <QDir>
#include <QFileDialog>

void MainWindow::saveImage()
{
    const QString fileName = QFileDialog::getSaveFileName(this, QString(), QString(), QString());
    if (fileName.isEmpty())
        return;
    const QString shownName = QDir::toNativeSeparators(fileName);

    const RenderResult rendered = renderPicture(1);
    const QImage picture = rendered.image;
    if (picture.isNull()) {
        // Every other failure was reported with the render.
        if (rendered.outcome == RenderResult::Outcome::NoPixels) {
            showPlainMessage(this, QMessageBox::Warning, tr("Nothing to Export"),
                             tr("The painting's size, %1 × %2, leaves no pixels, so %3 "
                                "was not written.")
                                 .arg(rendered.scriptWidth, rendered.scriptHeight, shownName));
        }
        return;
    }

    const QImage output = saveWithFrame ? PictureExport::framed(picture) : picture;
    if (output.isNull()) {
        showPlainMessage(this, QMessageBox::Warning, tr("Export Failed"),
                         tr("A framed picture of %1 × %2 pixels is too large to create, "
                            "so %3 was not written.")
                             .arg(picture.width() + 2 * PictureExport::frameMargin)
                             .arg(picture.height() + 2 * PictureExport::frameMargin)
                             .arg(shownName));
        return;
    }

    QString reason;
    if (!PictureExport::write(output, fileName, &reason)) {
        showPlainMessage(this, QMessageBox::Warning, tr("Export Failed"),
                         tr("Could not save the picture as %1.\n\n%2").arg(shownName, reason));
    }
}
