#include "referencerenderer.h"

#include <QScriptEngine>
#include <QScriptValue>

#include <cmath>
#include <limits>

static int sampledLength(const QScriptValue &length, double scale)
{
    const double quotient = std::floor(length.toInteger() * scale);
    if (!(quotient >= std::numeric_limits<int>::min() && quotient <= std::numeric_limits<int>::max()))
        return -1;
    return int(quotient);
}

quint8 channelByte(double value)
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

RenderResult referenceRender(const QString &stdlibText, const QString &paintingText, int step,
                             double scale, int samples)
{
    const double pictureScale = scale / step;
    RenderResult result;
    QScriptEngine engine;
    QScriptValue global = engine.globalObject();
    global.setProperty(QStringLiteral("width"), QScriptValue(640));
    global.setProperty(QStringLiteral("height"), QScriptValue(480));
    for (const QString &text : {stdlibText, paintingText}) {
        const QScriptValue value = engine.evaluate(text, QString(), 1);
        if (value.isError()) {
            result.outcome = RenderResult::Outcome::ScriptError;
            result.errorText = value.toString();
            return result;
        }
    }
    engine.clearExceptions();
    QScriptValue render = global.property(QStringLiteral("render"));
    const int width = sampledLength(global.property(QStringLiteral("width")), pictureScale);
    const int height = sampledLength(global.property(QStringLiteral("height")), pictureScale);
    engine.clearExceptions();
    if (width <= 0 || height <= 0)
        return result;
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) {
        result.outcome = RenderResult::Outcome::TooLarge;
        result.size = QSize(width, height);
        return result;
    }
    auto channel = [&](const char *name) {
        const QScriptValue value = global.property(QLatin1String(name));
        const bool failed = engine.hasUncaughtException();
        engine.clearExceptions();
        const double number = failed ? 0 : value.toNumber();
        engine.clearExceptions();
        return channelByte(number);
    };
    auto place = [&](int index, int sample) {
        return ((index + (sample + 0.5) / samples) - 0.5) / pictureScale;
    };
    const int count = samples * samples;
    for (int i = 0; i < height; ++i) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(i));
        for (int j = 0; j < width; ++j) {
            int sums[3] = {0, 0, 0};
            for (int b = 0; b < samples; ++b) {
                for (int a = 0; a < samples; ++a) {
                    global.setProperty(QStringLiteral("x"), QScriptValue(place(j, a)));
                    engine.clearExceptions();
                    global.setProperty(QStringLiteral("y"), QScriptValue(place(i, b)));
                    engine.clearExceptions();
                    const QScriptValue returned = render.call();
                    engine.clearExceptions();
                    if (returned.isError()) {
                        result.outcome = RenderResult::Outcome::ScriptError;
                        result.errorText = returned.toString();
                        return result;
                    }
                    sums[0] += channel("r");
                    sums[1] += channel("g");
                    sums[2] += channel("b");
                }
            }
            // The mean, rounded to nearest with halves up.
            auto mean = [count](int sum) { return QRgb((2 * sum + count) / (2 * count)); };
            line[j] = (mean(sums[0]) << 16) | (mean(sums[1]) << 8) | mean(sums[2]);
        }
    }
    result.outcome = RenderResult::Outcome::Picture;
    result.image = image;
    return result;
}
