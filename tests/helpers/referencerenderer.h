#ifndef REFERENCERENDERER_H
#define REFERENCERENDERER_H

#include "engine/scriptrenderer.h"

// The plainest possible renderer: one host call per pixel, every global set and read through
// the engine's API. Slow, but obviously right, so the real renderer is checked against it.
// Exceptions that a setter, getter or render leaves behind are cleared after every step, so
// each pixel behaves alike.
// The byte for one channel: the low 8 bits of the exact product value x 255 truncated toward
// zero; 0 for values that are not finite or whose product leaves 32 bits.
quint8 channelByte(double value);

// With scale K and samples S: floor(side x K / step) pixels a side, each the mean of S x S
// samples, sample (a, b) of pixel (j, i) at x = ((j + (a + 0.5) / S) - 0.5) / (K / step).
RenderResult referenceRender(const QString &stdlibText, const QString &paintingText, int step,
                             double scale = 1, int samples = 1);

#endif // REFERENCERENDERER_H
