#include "render/scriptrenderer.h"

#include "render/accessorguard.h"

#include <QScriptContext>
#include <QScriptEngine>
#include <QScriptValue>
#include <QScriptValueList>
#include <QPoint>
#include <QStringList>
#include <QTimer>

#include <cmath>
#include <limits>

namespace {

// Calling into the engine once per pixel costs far more than the pixel itself, so the pixels
// are rendered in runs by one call of a function that lives inside the engine: it sets x and y,
// calls render, reads r, g and b and turns each into its channel byte exactly as channelByte()
// does. It is made before the painting scripts run and uses no built-in that a script could
// redefine, and it is made by a script rather than by a call from the host, because functions
// whose scope a host call created run several times slower in this engine. An object that
// render returns or throws goes back to the host, which alone can tell an Error object from any
// other; the run then resumes after it. The bytes of a run come back in an array, two numbers
// per pixel, (R << 8) | G and B, which the host turns into one string.
const char runRendererSource[] = R"JS(
(function (global, toText) {
    var render, renderIsFunction, step, bytes, column = 0, end = 0, y = 0;
    // Beyond (-2^31, 2^31) only a product rounded onto one of the limits can truncate to a
    // 32-bit value with a non-zero low byte.
    function edgeByte(v, p) {
        if (p === 2147483648)
            return (v * 256 - p) - v < 0 ? 255 : 0;
        if (p === -2147483648)
            return (v * 256 - p) - v > 0 ? 1 : 0;
        return 0;
    }
    function number(value) {
        try { return +value; } catch (e) { return NaN; }
    }
    function text(value) {
        try {
            return toText(value);
        } catch (thrown) {
            try { return toText(thrown); } catch (e) { return ""; }
        }
    }
    // What the host reads once the scripts have run: render, then width and height as numbers
    // and as text. Getters and conversions may run script code, so this too runs stoppably.
    function settings() {
        var f, w, h;
        try { f = global.render; } catch (e) {}
        try { w = global.width; } catch (e) {}
        try { h = global.height; } catch (e) {}
        return [f, number(w), number(h), text(w), text(h)];
    }
    // The file name and line the engine gave a thrown error; getters may run script code.
    function origin(error) {
        var file, line;
        try { file = error.fileName; } catch (e) {}
        try { line = error.lineNumber; } catch (e) {}
        return [typeof file === "string" ? file : "", typeof line === "number" ? line : 0];
    }
    // Where the pixel whose render call returned or threw an object was, in script units.
    function failedPixel() {
        return [column * step, y];
    }
    function configure(renderValue, isFunction, stepValue, bytesValue) {
        render = renderValue;
        renderIsFunction = isFunction;
        step = stepValue;
        bytes = bytesValue;
    }
    function run(row, first, last, resuming) {
        // Locals, because the engine reaches them faster than the enclosing function's.
        var g = global, f = render, callRender = renderIsFunction, out = bytes;
        var j, at, returned, red, green, blue, p, t, e, stop, sy, s = step;
        if (resuming) {
            j = column;
            at = 2 * (j - first);
        } else {
            j = first;
            at = 0;
            end = last;
            y = row * step;
        }
        stop = end;
        sy = y;
        for (;;) {
            if (!resuming) {
                if (j >= stop)
                    return out;
                try { g.x = j * s; } catch (e) {}
                try { g.y = sy; } catch (e) {}
                if (callRender) {
                    try { returned = f(); } catch (e) { returned = e; }
                    if (returned !== void 0 && typeof returned === "object" && returned !== null) {
                        column = j;
                        return returned;
                    }
                }
            }
            resuming = false;
            try { red = +g.r; } catch (e) { red = 0; }
            try { green = +g.g; } catch (e) { green = 0; }
            try { blue = +g.b; } catch (e) { blue = 0; }
            %CHANNEL(red)%
            %CHANNEL(green)%
            %CHANNEL(blue)%
            out[at] = (red << 8) | green;
            out[at + 1] = blue;
            at += 2;
            ++j;
        }
    }
    // Renders the rows in runs, handing each run's bytes to the host. It runs inside an
    // evaluation rather than a host call, because only an evaluation can be stopped.
    function drive(width, height, runLength, interval, progress, deliver, isError) {
        var i, first, last, result;
        for (i = 0; i < height; ++i) {
            if (i % interval === 0)
                progress(i);
            for (first = 0; first < width; first += runLength) {
                last = first + runLength < width ? first + runLength : width;
                result = run(i, first, last, false);
                while (result !== bytes) {
                    if (isError(result))
                        return result;
                    result = run(i, first, last, true);
                }
                deliver(i, first, last);
            }
        }
        return bytes;
    }
    return { configure: configure, drive: drive, failedPixel: failedPixel, origin: origin,
             settings: settings, text: text };
})(this, String)
)JS";

// The channel rule for a number v, written out three times because a call costs more than the
// rule. Only a rounded product that lands on an integer can be one too far from zero; the sign
// of (v * 256 - t) - v, which is computed exactly, tells whether the true product lies below t.
// Products on or beyond the 32-bit limits take the exact but slower edgeByte().
const char channelSource[] = R"JS(
            p = V * 255;
            if (p > -2147483648 && p < 2147483648) {
                t = p | 0;
                if (t === p && t !== 0) {
                    e = (V * 256 - t) - V;
                    if (t > 0) {
                        if (e < 0)
                            t -= 1;
                    } else if (e > 0) {
                        t += 1;
                    }
                }
                V = t & 255;
            } else {
                V = edgeByte(V, p);
            }
)JS";

QString runRendererProgram()
{
    QString program = QString::fromLatin1(runRendererSource);
    for (const char *name : {"red", "green", "blue"}) {
        QString channel = QString::fromLatin1(channelSource);
        channel.replace(QLatin1Char('V'), QLatin1String(name));
        program.replace(QStringLiteral("%CHANNEL(%1)%").arg(QLatin1String(name)), channel);
    }
    return program;
}

// Longer runs would pass more arguments to fromCharCode than the engine's stack allows.
constexpr int maxRunLength = 2048;

// ToInteger, divided by the step and truncated; anything outside 32 bits counts as negative.
int sampledLength(double length, int step)
{
    const double integer = std::isnan(length) ? 0 : std::trunc(length);
    const double quotient = std::trunc(integer / step);
    if (!(quotient >= std::numeric_limits<int>::min() && quotient <= std::numeric_limits<int>::max()))
        return -1;
    return int(quotient);
}

void unpackRun(const QString &bytes, QRgb *pixels, int count)
{
    const ushort *units = bytes.utf16();
    for (int j = 0; j < count; ++j)
        pixels[j] = (QRgb(units[2 * j]) << 8) | (units[2 * j + 1] & 0xFF);
}

// The functions of the host program, taken out once, before any script could change them.
struct HostFunctions
{
    explicit HostFunctions(const QScriptValue &host)
        : configure(host.property(QStringLiteral("configure")))
        , drive(host.property(QStringLiteral("drive")))
        , failedPixel(host.property(QStringLiteral("failedPixel")))
        , origin(host.property(QStringLiteral("origin")))
        , settings(host.property(QStringLiteral("settings")))
        , text(host.property(QStringLiteral("text")))
    {
    }

    QScriptValue configure;
    QScriptValue drive;
    QScriptValue failedPixel;
    QScriptValue origin;
    QScriptValue settings;
    QScriptValue text;
};

// Only an evaluation can be stopped, so every call that may run script code goes through one,
// with the function and its arguments in a context of their own, out of the scripts' sight.
QScriptValue callStoppably(QScriptEngine &engine, const QScriptValue &function,
                           const QScriptValueList &arguments = QScriptValueList())
{
    QScriptContext *context = engine.pushContext();
    QScriptValue names = context->activationObject();
    names.setProperty(QStringLiteral("f"), function);
    QStringList parameters;
    for (int i = 0; i < arguments.size(); ++i) {
        parameters << QStringLiteral("a%1").arg(i);
        names.setProperty(parameters.last(), arguments.at(i));
    }
    const QScriptValue result =
        engine.evaluate(QStringLiteral("f(%1)").arg(parameters.join(QLatin1Char(','))));
    engine.popContext();
    return result;
}

// What the host functions that the driver calls work on.
struct RenderState
{
    QImage *image;
    QScriptValue fromCharCode;
    QScriptValue bytes;
    quint32 bytesLength;
    const std::function<void(int)> *onProgress;
};

QScriptValue reportProgress(QScriptContext *context, QScriptEngine *, void *data)
{
    const auto *state = static_cast<RenderState *>(data);
    if (*state->onProgress)
        (*state->onProgress)(context->argument(0).toInt32());
    return QScriptValue();
}

QScriptValue deliverRun(QScriptContext *context, QScriptEngine *, void *data)
{
    auto *state = static_cast<RenderState *>(data);
    const int row = context->argument(0).toInt32();
    const int first = context->argument(1).toInt32();
    const int last = context->argument(2).toInt32();
    // A script can reach this function through the callers of render, so nothing it is given
    // is trusted: the run must lie inside the picture and the array must be the host's own size.
    if (row < 0 || row >= state->image->height() || first < 0 || first > last
        || last > state->image->width()
        || state->bytes.property(QStringLiteral("length")).toUInt32() != state->bytesLength)
        return QScriptValue();
    const QString bytes = state->fromCharCode.call(QScriptValue(), state->bytes).toString();
    const int count = qMin(last - first, int(bytes.size() / 2));
    unpackRun(bytes, reinterpret_cast<QRgb *>(state->image->scanLine(row)) + first, count);
    return QScriptValue();
}

QScriptValue isErrorObject(QScriptContext *context, QScriptEngine *)
{
    return QScriptValue(context->argument(0).isError());
}

// The names the two scripts are evaluated under; thrown errors carry them back.
QString scriptFileName(ScriptRenderer::ErrorSource source)
{
    switch (source) {
    case ScriptRenderer::ErrorSource::Stdlib:
        return QStringLiteral("stdlib.js");
    case ScriptRenderer::ErrorSource::Painting:
        return QStringLiteral("painting.js");
    case ScriptRenderer::ErrorSource::None:
        break;
    }
    return QString();
}

// origin is what the driver's origin() returned: the error's file name and line.
void locateError(const QScriptValue &origin, ScriptRenderer::ErrorSource running,
                 ScriptRenderer::Result *result)
{
    result->errorSource = running;
    result->errorLine = 0;
    const QString fileName = origin.property(0).toString();
    for (auto source : {ScriptRenderer::ErrorSource::Stdlib, ScriptRenderer::ErrorSource::Painting}) {
        if (!fileName.isEmpty() && fileName == scriptFileName(source)) {
            result->errorSource = source;
            result->errorLine = qMax(0, origin.property(1).toInt32());
            return;
        }
    }
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
    QScriptEngine engine;
    bool stopped = false;
    QTimer stopCheck;
    if (shouldStop) {
        engine.setProcessEventsInterval(100);
        stopCheck.setInterval(50);
        QObject::connect(&stopCheck, &QTimer::timeout, [this, &engine, &stopped] {
            if (!stopped && shouldStop()) {
                stopped = true;
                engine.abortEvaluation();
            }
        });
        stopCheck.start();
    }
    Result result;
    auto stop = [&result]() -> Result & {
        result = Result();
        result.outcome = Outcome::Stopped;
        return result;
    };

    QScriptValue global = engine.globalObject();
    guardGetterOnlyAccessors(engine);
    global.setProperty(QStringLiteral("width"), QScriptValue(640));
    global.setProperty(QStringLiteral("height"), QScriptValue(480));
    // Made before the scripts run, so that nothing they redefine can reach the host's work.
    const QScriptValue host = engine.evaluate(runRendererProgram());
    const QScriptValue fromCharCode =
        global.property(QStringLiteral("String")).property(QStringLiteral("fromCharCode"));
    HostFunctions functions{host};
    // The script that was running tells the source of an error that carries no location of
    // its own: only thrown errors get a file name and line from the engine.
    auto scriptError = [&](const QScriptValue &error, ErrorSource running) -> Result & {
        const QString text =
            callStoppably(engine, functions.text, QScriptValueList() << error).toString();
        if (stopped)
            return stop();
        result.outcome = Outcome::ScriptError;
        const QScriptValue origin =
            callStoppably(engine, functions.origin, QScriptValueList() << error);
        if (stopped)
            return stop();
        result.errorText = text.isEmpty() ? QStringLiteral("Error") : text;
        locateError(origin, running, &result);
        return result;
    };

    const struct
    {
        const QString &text;
        ErrorSource source;
    } scripts[] = {{stdlibText, ErrorSource::Stdlib}, {paintingText, ErrorSource::Painting}};
    for (const auto &script : scripts) {
        const QScriptValue value = engine.evaluate(script.text, scriptFileName(script.source), 1);
        if (stopped)
            return stop();
        if (value.isError())
            return scriptError(value, script.source);
    }
    engine.clearExceptions();

    const QScriptValue settings = callStoppably(engine, functions.settings);
    if (stopped)
        return stop();
    const QScriptValue renderFunction = settings.property(0);
    const int width = sampledLength(settings.property(1).toNumber(), step);
    const int height = sampledLength(settings.property(2).toNumber(), step);
    if (width <= 0 || height <= 0) {
        result.scriptWidth = settings.property(3).toString();
        result.scriptHeight = settings.property(4).toString();
        return result;
    }

    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) {
        result.outcome = Outcome::TooLarge;
        result.size = QSize(width, height);
        return result;
    }

    if (onStarted)
        onStarted(height);
    const int runLength = qMin(width, maxRunLength);
    RenderState state{&image, fromCharCode, engine.newArray(2 * runLength), quint32(2 * runLength),
                      &onProgress};
    functions.configure.call(QScriptValue(),
                             QScriptValueList() << renderFunction << renderFunction.isFunction()
                                                << step << state.bytes);
    const QScriptValue outcome = callStoppably(
        engine, functions.drive,
        QScriptValueList() << width << height << runLength << (height / 20 > 0 ? height / 20 : 1)
                           << engine.newFunction(reportProgress, &state)
                           << engine.newFunction(deliverRun, &state)
                           << engine.newFunction(isErrorObject));
    if (stopped)
        return stop();
    // Anything else than the bytes is an Error from render, or something the driver itself
    // could not catch.
    if (!outcome.strictlyEquals(state.bytes)) {
        scriptError(outcome, ErrorSource::None);
        if (result.outcome == Outcome::ScriptError) {
            const QScriptValue pixel = functions.failedPixel.call();
            result.errorPixel = QPoint(pixel.property(0).toInt32(), pixel.property(1).toInt32());
        }
        return result;
    }
    result.outcome = Outcome::Picture;
    result.image = image;
    return result;
}
