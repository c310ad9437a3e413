#include "engine/scriptrenderer.h"

#include "engine/accessorguard.h"
#include "engine/pixelprobe.h"
#include "engine/scriptconsole.h"

#include "core/picturescale.h"

#include <QFile>
#include <QPoint>
#include <QScriptContext>
#include <QScriptEngine>
#include <QScriptValue>
#include <QScriptValueList>

#include <cmath>
#include <limits>

static void initRenderResources()
{
    Q_INIT_RESOURCE(render);
}

namespace {

const QString driverFileName = QStringLiteral(":/render/renderdriver.js");

// The driver's text, read once; without it no render could run at all.
const QString &driverSource()
{
    static const QString source = [] {
        initRenderResources();
        QFile file(driverFileName);
        if (!file.open(QIODevice::ReadOnly))
            qFatal("The render driver %s is missing", qPrintable(driverFileName));
        return QString::fromUtf8(file.readAll());
    }();
    return source;
}

// Longer runs would pass more arguments to fromCharCode than the engine's stack allows.
constexpr int maxRunLength = 2048;
constexpr int unitsPerPixel = 2;

// A side of the picture: ToInteger of the script's length, scaled and truncated.
double scaledLength(double length, double scale)
{
    const double integer = std::isnan(length) ? 0 : std::trunc(length);
    return PictureScale::scaledLength(integer, scale);
}

// Each pixel is two units: red and green, then blue.
void unpackRun(const QString &bytes, QRgb *pixels, int count)
{
    const ushort *units = bytes.utf16();
    for (int j = 0; j < count; ++j, units += unitsPerPixel)
        pixels[j] = (QRgb(units[0]) << 8) | (units[1] & 0xFF);
}

// The driver calls fromCharCode through its apply, which a script could otherwise give
// fromCharCode as a property of its own and so see the bytes of every run.
void sealFromCharCode(QScriptEngine &engine)
{
    const QScriptValue global = engine.globalObject();
    const QScriptValue apply = global.property(QStringLiteral("Function"))
                                   .property(QStringLiteral("prototype"))
                                   .property(QStringLiteral("apply"));
    global.property(QStringLiteral("String"))
        .property(QStringLiteral("fromCharCode"))
        .setProperty(QStringLiteral("apply"), apply,
                     QScriptValue::ReadOnly | QScriptValue::Undeletable);
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
        , timing(host.property(QStringLiteral("timing")))
    {
    }

    QScriptValue configure;
    QScriptValue drive;
    QScriptValue failedPixel;
    QScriptValue origin;
    QScriptValue settings;
    QScriptValue text;
    QScriptValue timing;
};

// What the host functions that the driver calls work on.
struct RenderState
{
    QImage *image;
    int firstRow;
    int runLength;
    QScriptValue bytes;
    const std::function<void(int, bool)> *onProgress;
    int progressInterval;
    // The next run the host expects. A script can reach the host's functions through the
    // callers of render, so runs are taken only in order and whole: a picture is complete
    // or there is none.
    int nextRow;
    int nextColumn = 0;
    bool disturbed = false;
};

QScriptValue reportProgress(QScriptContext *context, QScriptEngine *, void *data)
{
    const auto *state = static_cast<RenderState *>(data);
    const int row = context->argument(0).toInt32();
    // Counted from the top of the whole picture, so that a process that renders some of the
    // rows reports the rows that a render of the whole picture would.
    if (*state->onProgress)
        (*state->onProgress)(row, row % state->progressInterval == 0);
    return QScriptValue();
}

QScriptValue deliverRun(QScriptContext *context, QScriptEngine *, void *data)
{
    auto *state = static_cast<RenderState *>(data);
    const int row = context->argument(0).toInt32();
    const int first = context->argument(1).toInt32();
    const int last = context->argument(2).toInt32();
    const int width = state->image->width();
    const QScriptValue delivered = context->argument(3);
    if (state->disturbed || row != state->nextRow || first != state->nextColumn
        || last != qMin(first + state->runLength, width) || !delivered.isString()) {
        state->disturbed = true;
        return QScriptValue();
    }
    const QString bytes = delivered.toString();
    if (bytes.size() != unitsPerPixel * state->runLength) {
        state->disturbed = true;
        return QScriptValue();
    }
    auto *line = reinterpret_cast<QRgb *>(state->image->scanLine(row - state->firstRow));
    unpackRun(bytes, line + first, last - first);
    state->nextColumn = last;
    if (last == width) {
        ++state->nextRow;
        state->nextColumn = 0;
    }
    return QScriptValue();
}

QScriptValue isErrorObject(QScriptContext *context, QScriptEngine *)
{
    return QScriptValue(context->argument(0).isError());
}

// The names the two scripts are evaluated under; thrown errors carry them back.
QString scriptFileName(RenderResult::ErrorSource source)
{
    switch (source) {
    case RenderResult::ErrorSource::Stdlib:
        return QStringLiteral("stdlib.js");
    case RenderResult::ErrorSource::Painting:
        return QStringLiteral("painting.js");
    case RenderResult::ErrorSource::None:
        break;
    }
    return QString();
}

// origin is what the driver's origin() returned: the error's file name and line.
void locateError(const QScriptValue &origin, RenderResult::ErrorSource running,
                 RenderResult *result)
{
    result->errorSource = running;
    result->errorLine = 0;
    const QString fileName = origin.property(0).toString();
    for (auto source : {RenderResult::ErrorSource::Stdlib, RenderResult::ErrorSource::Painting}) {
        if (!fileName.isEmpty() && fileName == scriptFileName(source)) {
            result->errorSource = source;
            result->errorLine = qMax(0, origin.property(1).toInt32());
            return;
        }
    }
}

constexpr int maxFrames = 100000;
constexpr double maxFps = 1000;

QString frameError(const QString &text)
{
    return QStringLiteral("Error: ") + text;
}

// The animation that the scripts ask for through frames and fps, or why they cannot have it.
bool readTiming(const QScriptValue &timing, RenderResult *result)
{
    if (!timing.property(0).toBool())
        return true;
    const double frames = timing.property(1).toNumber();
    if (!(frames >= 1 && frames <= maxFrames && frames == std::trunc(frames))) {
        result->errorText = frameError(QStringLiteral("frames must be a whole number from 1 to %1, "
                                                      "not %2")
                                           .arg(maxFrames)
                                           .arg(timing.property(3).toString()));
        return false;
    }
    const double fps = timing.property(5).toBool() ? 30 : timing.property(2).toNumber();
    if (!(fps > 0 && fps <= maxFps)) {
        result->errorText = frameError(QStringLiteral("fps must be a number above 0 and at most "
                                                      "%1, not %2")
                                           .arg(maxFps)
                                           .arg(timing.property(4).toString()));
        return false;
    }
    result->frames = int(frames);
    result->fps = fps;
    return true;
}

} // namespace

using Outcome = RenderResult::Outcome;
using ErrorSource = RenderResult::ErrorSource;

RenderResult ScriptRenderer::render(const QString &stdlibText, const QString &paintingText,
                                              int step)
{
    QScriptEngine engine;
    RenderResult result;
    QScriptValue global = engine.globalObject();
    guardHostCoordinates(engine);
    global.setProperty(QStringLiteral("width"), QScriptValue(640));
    global.setProperty(QStringLiteral("height"), QScriptValue(480));
    global.setProperty(QStringLiteral("frame"), QScriptValue(frame));
    global.setProperty(QStringLiteral("time"), QScriptValue(frame > 0 ? frame / frameRate : 0.0));
    // Made before the scripts run, so that nothing they redefine can reach the host's work.
    const QScriptValue host = engine.evaluate(driverSource(), driverFileName);
    if (!host.isObject())
        qFatal("The render driver failed: %s", qPrintable(host.toString()));
    sealFromCharCode(engine);
    HostFunctions functions{host};
    const ScriptConsole console(engine, functions.text,
                                {host.property(QStringLiteral("pixelLoop")),
                                 host.property(QStringLiteral("sampledPixelLoop"))},
                                {onConsoleLine, consoleWantsLines, onConsoleLinesCounted});
    // The script that was running tells the source of an error that carries no location of
    // its own: only thrown errors get a file name and line from the engine.
    auto scriptError = [&](const QScriptValue &error, ErrorSource running) -> RenderResult & {
        const QString text = functions.text.call(QScriptValue(), QScriptValueList() << error).toString();
        const QScriptValue origin = functions.origin.call(QScriptValue(), QScriptValueList() << error);
        result.outcome = Outcome::ScriptError;
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
        if (value.isError())
            return scriptError(value, script.source);
    }
    engine.clearExceptions();

    if (!readTiming(functions.timing.call(), &result)) {
        result.outcome = Outcome::ScriptError;
        return result;
    }
    // Each frame runs the scripts afresh: they must ask for the animation that frame 0 did.
    if (expectedFrames > 0 && (result.frames != expectedFrames || result.fps != expectedFps)) {
        result.outcome = Outcome::ScriptError;
        result.errorText = frameError(QStringLiteral("the painting set frames = %1 and fps = %2 in "
                                                     "frame %3, but %4 and %5 in frame 0")
                                          .arg(result.frames)
                                          .arg(result.fps)
                                          .arg(frame)
                                          .arg(expectedFrames)
                                          .arg(expectedFps));
        return result;
    }
    const QScriptValue settings = functions.settings.call();
    const QScriptValue renderFunction = settings.property(0);
    const double pictureScale = scale / step;
    const double sampledWidth = scaledLength(settings.property(1).toNumber(), pictureScale);
    const double sampledHeight = scaledLength(settings.property(2).toNumber(), pictureScale);
    // A picture without rows or columns has no pixels, however large its other side.
    const bool noPixels = !(sampledWidth >= 1 && sampledHeight >= 1);
    if (noPixels || sampledWidth > std::numeric_limits<int>::max()
        || sampledHeight > std::numeric_limits<int>::max()) {
        result.outcome = noPixels ? Outcome::NoPixels : Outcome::TooLarge;
        result.scriptWidth = settings.property(3).toString();
        result.scriptHeight = settings.property(4).toString();
        return result;
    }
    const int width = int(sampledWidth);
    const int height = int(sampledHeight);
    result.size = QSize(width, height);
    if (topLevelOnly) {
        result.outcome = Outcome::Picture;
        return result;
    }
    if (inspectedPlace.x() >= 0) {
        const QScriptValue error =
            probePixel(engine, host, renderFunction, inspectedPlace, step, &result);
        if (error.isValid()) {
            scriptError(error, ErrorSource::None);
            result.errorPixel = QPointF(inspectedPlace.x() / step * step,
                                        inspectedPlace.y() / step * step);
            return result;
        }
        result.outcome = Outcome::Picture;
        return result;
    }

    RowRange rows{0, height};
    if (chooseRows)
        rows = chooseRows(result.size, settings.property(5).toBool());
    rows.first = qBound(0, rows.first, height);
    rows.last = qBound(rows.first, rows.last, height);
    QImage image = createImage ? createImage(width, rows.last - rows.first)
                               : QImage(width, rows.last - rows.first, QImage::Format_RGB32);
    if (rows.last > rows.first && image.isNull()) {
        result.outcome = Outcome::TooLarge;
        return result;
    }

    if (onStarted)
        onStarted(result);
    const int runLength = qMin(width, maxRunLength);
    RenderState state{&image, rows.first, runLength, engine.newArray(unitsPerPixel * runLength),
                      &onProgress, height / 20 > 0 ? height / 20 : 1, rows.first};
    functions.configure.call(
        QScriptValue(),
        QScriptValueList() << renderFunction << renderFunction.isFunction() << pictureScale
                           << samples << state.bytes << width << runLength
                           << engine.newFunction(reportProgress, &state)
                           << engine.newFunction(deliverRun, &state)
                           << engine.newFunction(isErrorObject));
    for (bool firstRun = true;; firstRun = false) {
        RowRange run = nextRows ? nextRows() : firstRun ? rows : RowRange{};
        run.first = qBound(rows.first, run.first, rows.last);
        run.last = qBound(run.first, run.last, rows.last);
        if (run.first == run.last)
            break;
        state.nextRow = run.first;
        state.nextColumn = 0;
        const QScriptValue outcome =
            functions.drive.call(QScriptValue(), QScriptValueList() << run.first << run.last);
        if (outcome.isNull() || state.disturbed
            || (outcome.strictlyEquals(state.bytes) && state.nextRow != run.last)) {
            result.outcome = Outcome::ScriptError;
            result.errorText = QStringLiteral("Error: the painting called the renderer's own "
                                              "functions, so some pixels would not be rendered");
            return result;
        }
        // Anything else than the bytes is an Error from render, or something the driver itself
        // could not catch.
        if (!outcome.strictlyEquals(state.bytes)) {
            scriptError(outcome, ErrorSource::None);
            const QScriptValue pixel = functions.failedPixel.call();
            result.errorPixel = QPointF(pixel.property(0).toNumber(), pixel.property(1).toNumber());
            if (scale != 1 || samples != 1)
                result.errorCell = QPoint(pixel.property(2).toInt32(), pixel.property(3).toInt32());
            return result;
        }
    }
    result.outcome = Outcome::Picture;
    result.image = image;
    result.firstRow = rows.first;
    return result;
}
