#ifndef ENGINE_PIXELPROBE_H
#define ENGINE_PIXELPROBE_H

#include "core/renderresult.h"

#include <QPoint>
#include <QScriptValue>

class QScriptEngine;

// Renders one pixel alone, once the scripts have run, for the window's inspected pixel: host is
// the render driver's object, renderFunction the render the scripts left, place the pixel in
// painting units. Returns the Error that render() returned or threw; otherwise an invalid value,
// and *result holds the numbers render() left in r, g and b as text and the bytes they became.
QScriptValue probePixel(QScriptEngine &engine, const QScriptValue &host,
                          const QScriptValue &renderFunction, QPoint place, int step,
                          RenderResult *result);

#endif // ENGINE_PIXELPROBE_H
