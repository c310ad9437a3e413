#ifndef PIXELREADOUT_H
#define PIXELREADOUT_H

#include <QColor>
#include <QPoint>
#include <QString>

// One pixel's place in painting units and its bytes: "x 312, y 200: 204, 105, 26 (#CC691A)".
QString pixelReadout(const QPoint &place, QRgb colour);

#endif // PIXELREADOUT_H
