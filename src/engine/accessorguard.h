#ifndef ACCESSORGUARD_H
#define ACCESSORGUARD_H

class QScriptEngine;

// Assigning twice to a property that has a getter but no setter crashes this script engine, and
// the host assigns x and y before every pixel. This gives a getter that a script defines for x or
// y on the global object or Object.prototype, through __defineGetter__, Object.defineProperty or
// Object.defineProperties, a setter that ignores its value, which is what such an assignment
// does anyway, so the painting renders as the contract says. Elsewhere such a crash is the
// script's own doing, and it ends only the renderer process.
void guardHostCoordinates(QScriptEngine &engine);

#endif // ACCESSORGUARD_H
