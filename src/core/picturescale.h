#ifndef PICTURESCALE_H
#define PICTURESCALE_H

#include <QString>

// How large a picture is rendered and how finely: scale K gives floor(side x K) pixels a side,
// pixel (j, i) at x = j / K, y = i / K; samples S renders S x S samples a pixel.
struct PictureScale
{
    static constexpr double minScale = 0.1;
    static constexpr double maxScale = 16;
    static constexpr int maxSamples = 8;

    // floor(length x scale) for a whole length. A product that lands a few units in the last
    // place below a whole number counts as that number, so that 480 x 2.05 gives 984 as it
    // does on paper, although 2.05 has no exact binary form.
    static double scaledLength(double length, double scale);
};

// A number as the scripts' engine writes it: 312, 0.25, 1e+21.
QString numberText(double value);

#endif // PICTURESCALE_H
