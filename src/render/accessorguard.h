#ifndef ACCESSORGUARD_H
#define ACCESSORGUARD_H

class QScriptEngine;

// Assigning twice to a property that has a getter but no setter crashes this script engine.
// This gives every getter that a script defines through __defineGetter__, Object.defineProperty,
// Object.defineProperties or Object.create a setter that ignores its value, which is what such
// an assignment does anyway. Getters written as object literals cannot be reached this way.
void guardGetterOnlyAccessors(QScriptEngine &engine);

#endif // ACCESSORGUARD_H
