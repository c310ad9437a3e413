#include "engine/scriptconsole.h"

#include <QScriptContext>
#include <QScriptEngine>
#include <QScriptValueList>

namespace {

bool hasOwnText(const QScriptValue &value)
{
    return value.isString() || value.isNumber() || value.isBool() || value.isNull()
        || value.isUndefined();
}

bool isLineBreak(QChar c)
{
    const ushort unit = c.unicode();
    return unit == '\n' || unit == '\r' || unit == 0x2028 || unit == 0x2029;
}

// The length of the line break at text[at], 0 when there is none: \r\n is one break, and any
// other break character one of its own.
int lineBreakAt(const QString &text, int at)
{
    if (!isLineBreak(text.at(at)))
        return 0;
    return text.at(at) == QLatin1Char('\r') && at + 1 < text.size()
            && text.at(at + 1) == QLatin1Char('\n')
        ? 2
        : 1;
}

int lineBreaks(const QString &text)
{
    int count = 0;
    for (int at = 0; at < text.size(); ++at) {
        const int length = lineBreakAt(text, at);
        if (length > 0) {
            ++count;
            at += length - 1;
        }
    }
    return count;
}

} // namespace

ScriptConsole::ScriptConsole(QScriptEngine &engine, QScriptValue toText,
                             std::array<QScriptValue, 2> pixelLoops, Output lineOutput)
    : text(std::move(toText))
    , loops(std::move(pixelLoops))
    , output(std::move(lineOutput))
    , xName(engine.toStringHandle(QStringLiteral("px")))
    , yName(engine.toStringHandle(QStringLiteral("py")))
{
    auto writer = [&engine, this](ConsoleLine::Kind kind) {
        writers[int(kind)] = Writer{this, kind};
        return engine.newFunction(print, &writers[int(kind)]);
    };
    QScriptValue global = engine.globalObject();
    global.setProperty(QStringLiteral("print"), writer(ConsoleLine::Kind::Log));
    QScriptValue console = engine.newObject();
    console.setProperty(QStringLiteral("log"), writer(ConsoleLine::Kind::Log));
    console.setProperty(QStringLiteral("info"), writer(ConsoleLine::Kind::Info));
    console.setProperty(QStringLiteral("warn"), writer(ConsoleLine::Kind::Warning));
    console.setProperty(QStringLiteral("error"), writer(ConsoleLine::Kind::Error));
    global.setProperty(QStringLiteral("console"), console);
}

QScriptValue ScriptConsole::print(QScriptContext *context, QScriptEngine *, void *data)
{
    const auto *writer = static_cast<const Writer *>(data);
    ScriptConsole *console = writer->console;
    if (!console->output.line)
        return QScriptValue();
    if (console->output.wanted && !console->output.wanted())
        console->count(context);
    else
        console->write(context, writer->kind);
    return QScriptValue();
}

// Only an object's text is a call of the script's own; other values make theirs here, at far
// less cost.
QString ScriptConsole::textOf(const QScriptValue &value)
{
    if (hasOwnText(value))
        return value.toString();
    return text.call(QScriptValue(), QScriptValueList() << value).toString();
}

void ScriptConsole::write(QScriptContext *context, ConsoleLine::Kind kind)
{
    QString joined;
    for (int i = 0; i < context->argumentCount(); ++i) {
        if (i > 0)
            joined += QLatin1Char(' ');
        joined += textOf(context->argument(i));
    }
    ConsoleLine line;
    line.kind = kind;
    line.pixel = pixelOf(context);
    int start = 0;
    for (int at = 0; at < joined.size(); ++at) {
        const int length = lineBreakAt(joined, at);
        if (length == 0)
            continue;
        line.text = joined.mid(start, at - start);
        output.line(line);
        at += length - 1;
        start = at + 1;
    }
    line.text = start == 0 ? joined : joined.mid(start);
    output.line(line);
}

// Numbers, booleans, null and undefined have no line breaks in their text; the spaces between
// the arguments keep a \r and a \n of two of them apart.
void ScriptConsole::count(QScriptContext *context)
{
    qint64 lines = 1;
    for (int i = 0; i < context->argumentCount(); ++i) {
        const QScriptValue argument = context->argument(i);
        if (argument.isString() || !hasOwnText(argument))
            lines += lineBreaks(textOf(argument));
    }
    if (output.counted)
        output.counted(lines);
}

// The pixel loop's own variables say which pixel it is rendering; nothing is spent on it
// per pixel, only when a line is printed.
QPointF ScriptConsole::pixelOf(QScriptContext *context) const
{
    for (QScriptContext *caller = context->parentContext(); caller; caller = caller->parentContext()) {
        const QScriptValue callee = caller->callee();
        if (!callee.strictlyEquals(loops[0]) && !callee.strictlyEquals(loops[1]))
            continue;
        const QScriptValue locals = caller->activationObject();
        return QPointF(locals.property(xName).toNumber(), locals.property(yName).toNumber());
    }
    return QPointF(-1, -1);
}
