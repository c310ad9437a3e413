#ifndef REFERENCERENDERER_H
#define REFERENCERENDERER_H

#include "render/scriptrenderer.h"

// The plainest possible renderer: one host call per pixel, every global set and read through
// the engine's API. Slow, but obviously right, so the real renderer is checked against it.
// Exceptions that a setter, getter or render leaves behind are cleared after every step, so
// each pixel behaves alike.
ScriptRenderer::Result referenceRender(const QString &stdlibText, const QString &paintingText,
                                       int step);

#endif // REFERENCERENDERER_H
