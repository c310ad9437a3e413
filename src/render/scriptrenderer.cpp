#include "scriptrenderer.h"

#include <QScriptEngine>
#include <QScriptString>
#include <QScriptValue>

#include <cmath>
#include <limits>

namespace {

// ToInteger, divided by the step and truncated; anything outside 32 bits counts as negative.
int sampledLength(const QScriptValue &length, int step)
{
    const double quotient = std::trunc(length.toInteger() / step);
    if (!(quotient >= std::numeric_limits<int>::min() && quotient <= std::numeric_limits<int>::max()))
        return -1;
    return int(quotient);
}

} // namespace

quint8 ScriptRenderer::channelByte(double value)
{
    if (!std::isfinite(value))
        return 0;
    double product = std::trunc(value * 255.0);
    // The rounded product can land on the next integer; the fused residual is exact and
    // tells whether the true product lies below it.
    const double residual = std::fma(value, 255.0, -product);
    if (product > 0 && residual < 0)
        product -= 1;
    else if (product < 0 && residual > 0)
        product += 1;
    if (product < std::numeric_limits<qint32>::min() || product > std::numeric_limits<qint32>::max())
        return 0;
    return quint8(qint64(product) & 0xFF);
}

ScriptRenderer::Result ScriptRenderer::render(const QString &stdlibText, const QString &paintingText,
                                              int step)
{
    Result result;
    QScriptEngine engine;
    QScriptValue global = engine.globalObject();
    global.setProperty(QStringLiteral("width"), QScriptValue(640));
    global.setProperty(QStringLiteral("height"), QScriptValue(480));

    for (const QString &text : {stdlibText, paintingText}) {
        const QScriptValue value = engine.evaluate(text, QString(), 1);
        if (value.isError()) {
            result.outcome = Outcome::ScriptError;
            result.errorText = value.toString();
            return result;
        }
    }

    QScriptValue renderFunction = global.property(QStringLiteral("render"));
    const int width = sampledLength(global.property(QStringLiteral("width")), step);
    const int height = sampledLength(global.property(QStringLiteral("height")), step);
    if (width <= 0 || height <= 0)
        return result;

    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) {
        result.outcome = Outcome::TooLarge;
        result.size = QSize(width, height);
        return result;
    }

    if (onStarted)
        onStarted(height);
    const int interval = height / 20 > 0 ? height / 20 : 1;
    const QScriptString x = engine.toStringHandle(QStringLiteral("x"));
    const QScriptString y = engine.toStringHandle(QStringLiteral("y"));
    const QScriptString r = engine.toStringHandle(QStringLiteral("r"));
    const QScriptString g = engine.toStringHandle(QStringLiteral("g"));
    const QScriptString b = engine.toStringHandle(QStringLiteral("b"));
    for (int i = 0; i < height; ++i) {
        if (i % interval == 0 && onProgress)
            onProgress(i);
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(i));
        for (int j = 0; j < width; ++j) {
            global.setProperty(x, QScriptValue(j * step));
            global.setProperty(y, QScriptValue(i * step));
            const QScriptValue returned = renderFunction.call();
            if (returned.isError()) {
                result.outcome = Outcome::ScriptError;
                result.errorText = returned.toString();
                return result;
            }
            const quint8 red = channelByte(global.property(r).toNumber());
            const quint8 green = channelByte(global.property(g).toNumber());
            const quint8 blue = channelByte(global.property(b).toNumber());
            line[j] = (QRgb(red) << 16) | (QRgb(green) << 8) | blue;
        }
    }
    result.outcome = Outcome::Picture;
    result.image = image;
    return result;
}
