#include "engine/pixelprobe.h"

#include <QScriptContext>
#include <QScriptEngine>
#include <QScriptValueList>

namespace {

QScriptValue isErrorObject(QScriptContext *context, QScriptEngine *)
{
    return QScriptValue(context->argument(0).isError());
}

QScriptValue ignore(QScriptContext *, QScriptEngine *)
{
    return QScriptValue();
}

} // namespace

QScriptValue probePixel(QScriptEngine &engine, const QScriptValue &host,
                          const QScriptValue &renderFunction, QPoint place, int step,
                          RenderResult *result)
{
    const QScriptValue bytes = engine.newArray(3);
    host.property(QStringLiteral("configure"))
        .call(QScriptValue(), QScriptValueList() << renderFunction << renderFunction.isFunction()
                                                 << 1.0 / step << 1 << bytes << 1 << 1
                                                 << engine.newFunction(ignore)
                                                 << engine.newFunction(ignore)
                                                 << engine.newFunction(isErrorObject));
    const QScriptValue answer = host.property(QStringLiteral("inspect"))
                                    .call(QScriptValue(), QScriptValueList()
                                                              << place.x() / step << place.y() / step);
    if (!answer.isArray())
        return answer;
    result->channelValues.clear();
    for (quint32 channel = 0; channel < 3; ++channel)
        result->channelValues << answer.property(channel).toString();
    result->pixelColour = qRgb(answer.property(3).toInt32(), answer.property(4).toInt32(),
                               answer.property(5).toInt32());
    return QScriptValue();
}
