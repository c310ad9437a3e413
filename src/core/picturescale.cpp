#include "core/picturescale.h"

#include <QLocale>

#include <cmath>
#include <limits>

double PictureScale::scaledLength(double length, double scale)
{
    const double product = length * scale;
    if (!std::isfinite(product))
        return product;
    const double nearest = std::round(product);
    const double unit = std::nextafter(std::abs(product), std::numeric_limits<double>::infinity())
        - std::abs(product);
    if (nearest > product && nearest - product <= 4 * unit)
        return nearest;
    return std::floor(product);
}

QString numberText(double value)
{
    if (value == 0)
        return QStringLiteral("0");
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}
