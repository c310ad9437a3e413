#ifndef SCRIPTCONSOLE_H
#define SCRIPTCONSOLE_H

#include "core/consoleline.h"

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
    // toText: the driver's String() that survives a throwing toString. pixelLoop: the driver's
    // function whose calls render pixels, to tell which pixel printed a line.
    ScriptConsole(QScriptEngine &engine, QScriptValue toText, QScriptValue pixelLoop,
                  std::function<void(const ConsoleLine &)> output);
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
    QPoint pixelOf(QScriptContext *context) const;

    QScriptValue text;
    QScriptValue loop;
    std::function<void(const ConsoleLine &)> output;
    // The engine's functions point here: the console outlives every call of them.
    std::array<Writer, 4> writers;
};

#endif // SCRIPTCONSOLE_H
