#include "engine/scriptconsole.h"

#include <QRegularExpression>
#include <QScriptContext>
#include <QScriptEngine>
#include <QStringList>

ScriptConsole::ScriptConsole(QScriptEngine &engine, QScriptValue toText, QScriptValue pixelLoop,
                             std::function<void(const ConsoleLine &)> lineOutput)
    : text(std::move(toText))
    , loop(std::move(pixelLoop))
    , output(std::move(lineOutput))
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
    writer->console->write(context, writer->kind);
    return QScriptValue();
}

void ScriptConsole::write(QScriptContext *context, ConsoleLine::Kind kind)
{
    if (!output)
        return;
    QStringList parts;
    for (int i = 0; i < context->argumentCount(); ++i)
        parts << text.call(QScriptValue(), QScriptValueList() << context->argument(i)).toString();
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|[\r\n\u2028\u2029]"));
    ConsoleLine line;
    line.kind = kind;
    line.pixel = pixelOf(context);
    for (const QString &piece : parts.join(QLatin1Char(' ')).split(lineBreak)) {
        line.text = piece;
        output(line);
    }
}

// The pixel loop's own variables say which pixel it is rendering; nothing is spent on it
// per pixel, only when a line is printed.
QPoint ScriptConsole::pixelOf(QScriptContext *context) const
{
    for (QScriptContext *caller = context->parentContext(); caller; caller = caller->parentContext()) {
        if (!caller->callee().strictlyEquals(loop))
            continue;
        const QScriptValue locals = caller->activationObject();
        const int step = locals.property(QStringLiteral("s")).toInt32();
        return QPoint(locals.property(QStringLiteral("j")).toInt32() * step,
                      locals.property(QStringLiteral("sy")).toInt32());
    }
    return QPoint(-1, -1);
}
