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

RenderResult referenceRender(const QString &stdlibText, const QString &paintingText,
                                       int step);

#endif // REFERENCERENDERER_H
