#ifndef PICTUREEXPORT_H
#define PICTUREEXPORT_H

#include <QCoreApplication>
#include <QImage>
#include <QString>

// Frames a rendered picture and writes it to an image file, without any window.
class PictureExport
{
    Q_DECLARE_TR_FUNCTIONS(PictureExport)

public:
    static constexpr int frameMargin = 20;

    // The frame's width around a picture rendered at scale: frameMargin, and frameMargin
    // times the scale, truncated, for a picture enlarged beyond the painting's size.
    static int frameMarginFor(double scale);

    // The picture inside a white border of margin pixels on every side, in the picture's own
    // format; null when an image that large cannot be created.
    static QImage framed(const QImage &picture, int margin = frameMargin);

    // Writes the image in the format that the file name's suffix names, at its own size. A
    // file already at that name is replaced only once the new one is complete, and is left as
    // it was on every failure, when errorString, if given, receives the reason for the user.
    // Anything there that is not a regular file, such as a pipe or a device, is refused.
    static bool write(const QImage &image, const QString &fileName, QString *errorString = nullptr);
};

#endif // PICTUREEXPORT_H
