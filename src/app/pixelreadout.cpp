#include "app/pixelreadout.h"

QString pixelReadout(const QPoint &place, QRgb colour)
{
    const QString hex = QStringLiteral("#%1").arg(colour & 0xffffff, 6, 16, QLatin1Char('0'));
    return QStringLiteral("x %1, y %2: %3, %4, %5 (%6)")
        .arg(place.x())
        .arg(place.y())
        .arg(qRed(colour))
        .arg(qGreen(colour))
        .arg(qBlue(colour))
        .arg(hex.toUpper());
}
