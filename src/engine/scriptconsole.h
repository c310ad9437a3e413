#ifndef SCRIPTCONSOLE_H
#define SCRIPTCONSOLE_H

#include "core/consoleline.h"

#include <QScriptString>
#include <QScriptValue>

#include <array>
#include <functional>

class QScriptContext;
class QScriptEngine;

// print() and console.log, info, warn and error for the scripts: each argument turned into text
// as String() does, joined by single spaces, and a text with line breaks given as several lines.
// Nothing reaches the process's standard error.
class ScriptConsole
{
public:
    // Where the lines go; nowhere while line is unset.
    struct Output
    {
        std::function<void(const ConsoleLine &)> line;
        // When set and false, the lines printed next are only counted and given to counted:
        // their text and origin are not made. The arguments are turned into text all the same
        // when that may run a script's toString, which the painting may rely on.
        std::function<bool()> wanted;
        std::function<void(qint64 lines)> counted;
    };

    // toText: the driver's String() that survives a throwing toString. pixelLoops: the driver's
    // functions whose calls render pixels, to tell which pixel printed a line.
    ScriptConsole(QScriptEngine &engine, QScriptValue toText,
                  std::array<QScriptValue, 2> pixelLoops, Output output);
    ScriptConsole(const ScriptConsole &) = delete;
    ScriptConsole &operator=(const ScriptConsole &) = delete;

private:
    // What one host function writes: the console and the kind of its lines.
    struct Writer
    {
        ScriptConsole *console = nullptr;
        ConsoleLine::Kind kind = ConsoleLine::Kind::Log;
    };

    static QScriptValue print(QScriptContext *context, QScriptEngine *engine, void *data);
    void write(QScriptContext *context, ConsoleLine::Kind kind);
    void count(QScriptContext *context);
    QString textOf(const QScriptValue &value);
    QPointF pixelOf(QScriptContext *context) const;

    QScriptValue text;
    std::array<QScriptValue, 2> loops;
    Output output;
    // The pixel loops' variables that hold the x and y being rendered.
    QScriptString xName;
    QScriptString yName;
    // The engine's functions point here: the console outlives every call of them.
    std::array<Writer, 4> writers;
};

#endif // SCRIPTCONSOLE_H
