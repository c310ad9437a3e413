#include "view/pictureexport.h"

#include <QByteArray>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QPointF>
#include <QSaveFile>

QImage PictureExport::framed(const QImage &picture)
{
    QImage frame(picture.width() + 2 * frameMargin, picture.height() + 2 * frameMargin,
                 picture.format());
    if (frame.isNull())
        return frame;
    frame.fill(uint(0xFFFFFF));
    QPainter painter(&frame);
    painter.drawImage(QPointF(frameMargin, frameMargin), picture);
    return frame;
}

PictureExport::WriteResult PictureExport::write(const QImage &image, const QString &fileName)
{
    WriteResult result;
    const QString suffix = QFileInfo(fileName).suffix();
    if (suffix.isEmpty()) {
        result.reason = tr("The name has no suffix, such as .png or .jpg, to choose the image "
                           "format by.");
        return result;
    }
    // Checked before the file is opened: an image writer that finds out late that it has no
    // handler for the format has already emptied the file.
    const QByteArray format = suffix.toLower().toLatin1();
    if (!QImageWriter::supportedImageFormats().contains(format)) {
        result.reason = tr("No image format can be written for the suffix \".%1\"; "
                           "use one such as .png or .jpg.")
                            .arg(suffix);
        return result;
    }

    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        result.reason = file.errorString();
        return result;
    }
    QImageWriter writer(&file, format);
    if (!writer.write(image)) {
        result.reason = writer.error() == QImageWriter::UnknownError
            ? tr("The %1 format could not store this picture.").arg(QString::fromLatin1(format))
            : writer.errorString();
        return result;
    }
    if (!file.commit()) {
        result.reason = file.errorString();
        return result;
    }
    result.written = true;
    return result;
}
