#include "export/pictureexport.h"

#include "core/picturescale.h"

#include "core/safesave.h"

#include <QBuffer>
#include <QByteArray>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QPointF>

namespace {

// Icon files store each side in one byte; the writer shrinks larger pictures to fit.
constexpr int largestIconSide = 256;

bool fail(QString *errorString, const QString &reason)
{
    if (errorString)
        *errorString = reason;
    return false;
}

QString capitalized(const QString &text)
{
    return text.isEmpty() ? text : text.at(0).toUpper() + text.mid(1);
}

} // namespace

int PictureExport::frameMarginFor(double scale)
{
    return scale > 1 ? int(PictureScale::scaledLength(frameMargin, scale)) : frameMargin;
}

QImage PictureExport::framed(const QImage &picture, int margin)
{
    QImage frame(picture.width() + 2 * margin, picture.height() + 2 * margin, picture.format());
    if (frame.isNull())
        return frame;
    frame.fill(uint(0xFFFFFF));
    QPainter painter(&frame);
    painter.drawImage(QPointF(margin, margin), picture);
    return frame;
}

bool PictureExport::write(const QImage &image, const QString &fileName, QString *errorString)
{
    const QString suffix = QFileInfo(fileName).suffix();
    if (suffix.isEmpty()) {
        return fail(errorString, tr("The name has no suffix, such as .png or .jpg, to choose "
                                    "the image format by."));
    }
    const QByteArray format = suffix.toLower().toLatin1();
    if (!QImageWriter::supportedImageFormats().contains(format)) {
        return fail(errorString, tr("No image format can be written for the suffix \".%1\"; "
                                    "use one such as .png or .jpg.")
                                     .arg(suffix));
    }
    if ((format == "ico" || format == "cur")
        && (image.width() > largestIconSide || image.height() > largestIconSide)) {
        return fail(errorString, tr("The .%1 format holds pictures of at most %2 × %2 pixels, "
                                    "and this one is %3 × %4.")
                                     .arg(suffix)
                                     .arg(largestIconSide)
                                     .arg(image.width())
                                     .arg(image.height()));
    }

    // Said before the picture is encoded, which can take long for a large one.
    const QString refusal = unreplaceableReason(fileName);
    if (!refusal.isEmpty())
        return fail(errorString, tr("%1, so it is left as it is.").arg(capitalized(refusal)));

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.write(image)) {
        return fail(errorString, writer.error() == QImageWriter::UnknownError
                                     ? tr("The %1 format could not store this picture.")
                                           .arg(QString::fromLatin1(format))
                                     : writer.errorString());
    }
    return saveFileSafely(fileName, bytes, errorString);
}
