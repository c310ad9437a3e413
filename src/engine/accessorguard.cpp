#include "engine/accessorguard.h"

#include <QScriptContext>
#include <QScriptEngine>
#include <QScriptValue>
#include <QScriptValueIterator>
#include <QScriptValueList>

namespace {

// The built-ins a guard needs live in its function's data, where scripts cannot reach them.
QScriptValue tool(QScriptContext *context, const char *name)
{
    return context->callee().data().property(QLatin1String(name));
}

QScriptValueList argumentsOf(QScriptContext *context)
{
    QScriptValueList arguments;
    for (int i = 0; i < context->argumentCount(); ++i)
        arguments << context->argument(i);
    return arguments;
}

QScriptValue ignoreValue(QScriptContext *, QScriptEngine *)
{
    return QScriptValue();
}

// The host writes x and y on the global object before every pixel, where they may also come
// from Object.prototype. Those are the only places the guard covers: a getter-only property
// anywhere else is assigned only by the scripts themselves.
bool isHostCoordinate(QScriptEngine *engine, const QScriptValue &object, const QScriptValue &name)
{
    if (!object.isObject())
        return false;
    const QString key = name.toString();
    if (key != QLatin1String("x") && key != QLatin1String("y"))
        return false;
    const QScriptValue global = engine->globalObject();
    return object.strictlyEquals(global) || object.strictlyEquals(global.property(QStringLiteral("Object")).property(QStringLiteral("prototype")));
}

bool hasSetter(QScriptContext *context, const QScriptValue &object, const QScriptValue &name)
{
    if (!object.isObject())
        return false;
    const QScriptValue existing = tool(context, "getOwnPropertyDescriptor")
                                      .call(QScriptValue(), QScriptValueList() << object << name);
    return existing.isObject() && existing.property(QStringLiteral("set")).isFunction();
}

// The descriptor as given, or a copy with the ignoring setter when it would leave a getter alone.
QScriptValue withSetter(QScriptContext *context, QScriptEngine *engine, const QScriptValue &object,
                        const QScriptValue &name, const QScriptValue &descriptor)
{
    if (!isHostCoordinate(engine, object, name) || !descriptor.isObject()
        || !descriptor.property(QStringLiteral("get")).isFunction()
        || descriptor.property(QStringLiteral("set")).isValid() || hasSetter(context, object, name))
        return descriptor;
    QScriptValue copy = engine->newObject();
    for (const char *key : {"get", "enumerable", "configurable"}) {
        const QScriptValue value = descriptor.property(QLatin1String(key));
        if (value.isValid())
            copy.setProperty(QLatin1String(key), value);
    }
    copy.setProperty(QStringLiteral("set"), tool(context, "ignore"));
    return copy;
}

QScriptValue withSetters(QScriptContext *context, QScriptEngine *engine, const QScriptValue &object,
                         const QScriptValue &descriptors)
{
    if (!descriptors.isObject())
        return descriptors;
    QScriptValue copy = engine->newObject();
    QScriptValueIterator it(descriptors);
    while (it.hasNext()) {
        it.next();
        if (it.flags() & QScriptValue::SkipInEnumeration)
            continue;
        copy.setProperty(it.scriptName(),
                         withSetter(context, engine, object, QScriptValue(it.name()), it.value()));
    }
    return copy;
}

QScriptValue defineGetter(QScriptContext *context, QScriptEngine *engine)
{
    QScriptValue self = context->thisObject();
    const QScriptValue result = tool(context, "original").call(self, argumentsOf(context));
    if (engine->hasUncaughtException())
        return result;
    if (!isHostCoordinate(engine, self, context->argument(0)))
        return result;
    QScriptValueList name = QScriptValueList() << context->argument(0);
    if (!tool(context, "lookupSetter").call(self, name).isFunction())
        tool(context, "defineSetter").call(self, name << tool(context, "ignore"));
    return result;
}

QScriptValue defineProperty(QScriptContext *context, QScriptEngine *engine)
{
    QScriptValueList arguments = argumentsOf(context);
    if (arguments.size() >= 3)
        arguments[2] = withSetter(context, engine, arguments[0], arguments[1], arguments[2]);
    return tool(context, "original").call(context->thisObject(), arguments);
}

QScriptValue defineProperties(QScriptContext *context, QScriptEngine *engine)
{
    QScriptValueList arguments = argumentsOf(context);
    if (arguments.size() >= 2)
        arguments[1] = withSetters(context, engine, arguments[0], arguments[1]);
    return tool(context, "original").call(context->thisObject(), arguments);
}

void replace(QScriptEngine &engine, QScriptValue owner, const QString &name,
             QScriptEngine::FunctionSignature guard, QScriptValue tools)
{
    const QScriptValue original = owner.property(name);
    tools.setProperty(QStringLiteral("original"), original);
    QScriptValue function =
        engine.newFunction(guard, original.property(QStringLiteral("length")).toInt32());
    function.setData(tools);
    owner.setProperty(name, function, QScriptValue::SkipInEnumeration);
}

} // namespace

void guardHostCoordinates(QScriptEngine &engine)
{
    const QScriptValue global = engine.globalObject();
    QScriptValue object = global.property(QStringLiteral("Object"));
    QScriptValue prototype = object.property(QStringLiteral("prototype"));

    auto tools = [&] {
        QScriptValue made = engine.newObject();
        made.setProperty(QStringLiteral("ignore"), engine.newFunction(ignoreValue, 1));
        made.setProperty(QStringLiteral("lookupSetter"),
                          prototype.property(QStringLiteral("__lookupSetter__")));
        made.setProperty(QStringLiteral("defineSetter"),
                          prototype.property(QStringLiteral("__defineSetter__")));
        made.setProperty(QStringLiteral("getOwnPropertyDescriptor"),
                          object.property(QStringLiteral("getOwnPropertyDescriptor")));
        return made;
    };
    replace(engine, prototype, QStringLiteral("__defineGetter__"), defineGetter, tools());
    replace(engine, object, QStringLiteral("defineProperty"), defineProperty, tools());
    replace(engine, object, QStringLiteral("defineProperties"), defineProperties, tools());
}
