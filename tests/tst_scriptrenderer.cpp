#include "processrender.h"
#include "referencerenderer.h"
#include "testsupport.h"
#include "client/renderfailure.h"
#include "engine/scriptrenderer.h"

#include <QFile>
#include <QScriptEngine>
#include <QScriptSyntaxCheckResult>
#include <QtTest>

#include <cmath>
#include <limits>
#include <random>

using Outcome = RenderResult::Outcome;
using Source = RenderResult::ErrorSource;
Q_DECLARE_METATYPE(RenderResult::Outcome)
Q_DECLARE_METATYPE(RenderResult::ErrorSource)

namespace {

// An independent statement of the channel rule: with a 64-bit mantissa the product of a double
// and 255 is exact, so truncating it needs no care.
static_assert(std::numeric_limits<long double>::digits >= 61, "needs an exact long double product");

int expectedByte(double value)
{
    if (!std::isfinite(value))
        return 0;
    const long double truncated = truncl(static_cast<long double>(value) * 255.0L);
    if (truncated < -2147483648.0L || truncated > 2147483647.0L)
        return 0;
    return int(static_cast<long long>(truncated) & 0xFF);
}

QString literal(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    return QString::number(value, 'g', 17);
}

QList<double> trickyChannelValues()
{
    QList<double> values = {0.0, -0.0, 1.0, 0.5, 1.0 / 3, 2.0 / 3, 1.5, -0.1, 10.0, -1.0, 255.0,
                            std::numeric_limits<double>::quiet_NaN(),
                            std::numeric_limits<double>::infinity(),
                            -std::numeric_limits<double>::infinity(),
                            std::numeric_limits<double>::denorm_min(),
                            -std::numeric_limits<double>::denorm_min(), 1e300, -1e300};
    for (int k = -600; k <= 600; k += 7) {
        const double v = k / 255.0;
        values << v << std::nextafter(v, 1e9) << std::nextafter(v, -1e9);
    }
    for (double limit : {2147483648.0, 2147483647.0, -2147483648.0, -2147483649.0, 2147483649.0}) {
        double v = limit / 255.0;
        for (int i = 0; i < 4; ++i) {
            values << v << -v;
            v = std::nextafter(v, 0.0);
        }
        v = limit / 255.0;
        for (int i = 0; i < 4; ++i) {
            v = std::nextafter(v, limit > 0 ? 1e300 : -1e300);
            values << v;
        }
    }
    std::mt19937_64 random(20261207);
    std::uniform_real_distribution<double> unit(-2.0, 2.0);
    std::uniform_real_distribution<double> wide(-1e7, 1e7);
    for (int i = 0; i < 300; ++i)
        values << unit(random) << wide(random);
    return values;
}

// Every render goes the window's way, through a renderer process.
RenderResult render(const QString &painting, int step = 1, const QString &stdlib = QString())
{
    return renderInProcess(stdlib, painting, step).result;
}

QRgb pixel(int red, int green, int blue)
{
    return (QRgb(red) << 16) | (QRgb(green) << 8) | QRgb(blue);
}

} // namespace

class tst_ScriptRenderer : public QObject
{
    Q_OBJECT

private slots:
    void driverIsAValidScript();
    void channelByte_data();
    void channelByte();
    void channelRuleInsideTheEngineMatchesTheHost();
    void pictureSize_data();
    void pictureSize();
    void coordinatesAndOrder();
    void channelsPersistBetweenPixels();
    void scriptErrors_data();
    void scriptErrors();
    void errorInStandardLibraryStopsBeforeThePainting();
    void agreesWithThePlainRenderer_data();
    void agreesWithThePlainRenderer();
    void samplesOfAPixel_data();
    void samplesOfAPixel();
    void samplePlacesAndOrder();
    void errorInASampleNamesPixelAndSample();
    void progress_data();
    void progress();
    void everyRenderStartsAfresh();
    void getterOnlyPropertiesIgnoreAssignment_data();
    void getterOnlyPropertiesIgnoreAssignment();
    void pictureIsCompleteOrNone();
    void paintingCannotCallTheDriver_data();
    void paintingCannotCallTheDriver();
};

void tst_ScriptRenderer::driverIsAValidScript()
{
    Q_INIT_RESOURCE(render);
    QFile driver(QStringLiteral(":/render/renderdriver.js"));
    QVERIFY(driver.open(QIODevice::ReadOnly));
    const QScriptSyntaxCheckResult check = QScriptEngine::checkSyntax(QString::fromUtf8(driver.readAll()));
    QVERIFY2(check.state() == QScriptSyntaxCheckResult::Valid,
             qPrintable(QStringLiteral("line %1: %2").arg(check.errorLineNumber()).arg(check.errorMessage())));
}

void tst_ScriptRenderer::channelByte_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("byte");
    QTest::newRow("one third rounds down") << 1.0 / 3 << 84;
    QTest::newRow("two thirds rounds down") << 2.0 / 3 << 169;
    QTest::newRow("half") << 0.5 << 127;
    QTest::newRow("one") << 1.0 << 255;
    QTest::newRow("zero") << 0.0 << 0;
    QTest::newRow("wraps above one") << 1.5 << 126;
    QTest::newRow("ten wraps") << 10.0 << 246;
    QTest::newRow("negative wraps") << -0.1 << 231;
    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << 0;
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << 0;
    QTest::newRow("beyond 32 bits") << 1e10 << 0;
    QTest::newRow("just below the 32-bit limit") << 2147483647.0 / 255 << expectedByte(2147483647.0 / 255);
}

void tst_ScriptRenderer::channelByte()
{
    QFETCH(double, value);
    QFETCH(int, byte);
    QCOMPARE(int(::channelByte(value)), byte);
    QCOMPARE(expectedByte(value), byte);
}

void tst_ScriptRenderer::channelRuleInsideTheEngineMatchesTheHost()
{
    const QList<double> values = trickyChannelValues();
    QStringList literals;
    for (double value : values)
        literals << literal(value);
    const QString painting = QStringLiteral("var v = [%1];\nwidth = v.length; height = 1;\n"
                                            "function render() { r = v[x]; g = -v[x]; b = v[x] * 2; }")
                                 .arg(literals.join(QLatin1Char(',')));
    const RenderResult result = render(painting);
    QCOMPARE(result.outcome, Outcome::Picture);
    QCOMPARE(result.image.width(), values.size());
    for (int i = 0; i < values.size(); ++i) {
        const double v = values.at(i);
        const QRgb expected = pixel(expectedByte(v), expectedByte(-v), expectedByte(v * 2));
        if (result.image.pixel(i, 0) != (expected | 0xFF000000u))
            QFAIL(qPrintable(QStringLiteral("value %1: got %2, expected %3")
                                 .arg(literal(v))
                                 .arg(result.image.pixel(i, 0) & 0xFFFFFF, 6, 16, QLatin1Char('0'))
                                 .arg(expected, 6, 16, QLatin1Char('0'))));
        QCOMPARE(int(::channelByte(v)), expectedByte(v));
    }
}

void tst_ScriptRenderer::pictureSize_data()
{
    QTest::addColumn<QString>("stdlib");
    QTest::addColumn<QString>("painting");
    QTest::addColumn<int>("step");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("says");   // a part of the failure's words; empty: a picture

    const QString none;
    QTest::newRow("default size") << none << "function render() {}" << 1 << Outcome::Picture << QSize(640, 480) << QString();
    QTest::newRow("default size, low quality") << none << "" << 2 << Outcome::Picture << QSize(320, 240) << QString();
    QTest::newRow("odd width halves down") << none << "width = 641;" << 2 << Outcome::Picture << QSize(320, 240) << QString();
    QTest::newRow("painting size") << none << "width = 300; height = 200;" << 1 << Outcome::Picture << QSize(300, 200) << QString();
    QTest::newRow("library sets the default") << "width = 30; height = 20;" << "" << 1 << Outcome::Picture << QSize(30, 20) << QString();
    QTest::newRow("painting overrides library") << "width = 30; height = 20;" << "width = 7;" << 1 << Outcome::Picture << QSize(7, 20) << QString();
    QTest::newRow("fraction truncates") << none << "width = 9.9; height = '5';" << 1 << Outcome::Picture << QSize(9, 5) << QString();
    QTest::newRow("one pixel at half resolution") << none << "width = 3; height = 2;" << 2 << Outcome::Picture << QSize(1, 1) << QString();
    QTest::newRow("zero width") << none << "width = 0;" << 1 << Outcome::NoPixels << QSize() << "the painting's size, 0 × 480, leaves no pixels";
    QTest::newRow("negative height") << none << "height = -5;" << 1 << Outcome::NoPixels << QSize() << "640 × -5, leaves no pixels";
    QTest::newRow("width rounds to zero at step 2") << none << "width = 1;" << 2 << Outcome::NoPixels << QSize() << QString();
    QTest::newRow("missing width") << none << "delete width; var width;" << 1 << Outcome::NoPixels << QSize() << "undefined × 480, leaves no pixels";
    QTest::newRow("not a number") << none << "width = 'wide';" << 1 << Outcome::NoPixels << QSize() << QString();
    QTest::newRow("infinite") << none << "height = Infinity;" << 1 << Outcome::TooLarge << QSize() << "the painting's size, 640 × Infinity, is too large for a picture";
    QTest::newRow("beyond 32 bits") << none << "width = 1e10;" << 1 << Outcome::TooLarge << QSize() << "the painting's size, 10000000000 × 480, is too large for a picture";
    QTest::newRow("valueOf that throws") << none << "width = { valueOf: function () { throw new Error('no'); } };" << 1 << Outcome::NoPixels << QSize() << QString();
    QTest::newRow("too large to allocate") << none << "width = 100000; height = 100000;" << 1 << Outcome::TooLarge << QSize(100000, 100000) << "a picture of 100000 × 100000 pixels is too large to create";
    QTest::newRow("too large at half size") << none << "width = 2000000000; height = 2000000000;" << 2 << Outcome::TooLarge << QSize(1000000000, 1000000000) << "a picture of 1000000000 × 1000000000 pixels";
    QTest::newRow("just beyond 32 bits") << none << "width = 2147483648;" << 1 << Outcome::TooLarge << QSize() << "2147483648 × 480, is too large";
    QTest::newRow("beyond 32 bits after the step") << none << "height = 4294967296;" << 2 << Outcome::TooLarge << QSize() << "640 × 4294967296, is too large";
    QTest::newRow("within 32 bits after the step") << none << "width = 4294967295;" << 2 << Outcome::TooLarge << QSize(2147483647, 240) << "a picture of 2147483647 × 240 pixels";
    QTest::newRow("too large in the library") << "width = Infinity; height = 1e300;" << "" << 1 << Outcome::TooLarge << QSize() << "Infinity × 1e+300, is too large";
    QTest::newRow("minus infinity") << none << "width = -Infinity;" << 1 << Outcome::NoPixels << QSize() << "-Infinity × 480, leaves no pixels";
    QTest::newRow("NaN") << none << "height = NaN;" << 1 << Outcome::NoPixels << QSize() << "640 × NaN, leaves no pixels";
    QTest::newRow("negative beyond 32 bits") << none << "width = -1e10;" << 1 << Outcome::NoPixels << QSize() << "-10000000000 × 480, leaves no pixels";
    QTest::newRow("too wide but no rows") << none << "width = 1e10; height = 0;" << 1 << Outcome::NoPixels << QSize() << "10000000000 × 0, leaves no pixels";
}

void tst_ScriptRenderer::pictureSize()
{
    QFETCH(QString, stdlib);
    QFETCH(QString, painting);
    QFETCH(int, step);
    QFETCH(Outcome, outcome);
    QFETCH(QSize, size);
    QFETCH(QString, says);

    const RenderResult result = render(painting, step, stdlib);
    QCOMPARE(result.outcome, outcome);
    if (outcome == Outcome::Picture) {
        QCOMPARE(result.image.size(), size);
        QCOMPARE(result.image.format(), QImage::Format_RGB32);
    } else {
        QVERIFY(result.image.isNull());
    }
    if (outcome == Outcome::TooLarge)
        QCOMPARE(result.size, size);
    QVERIFY2(renderFailureText(result).contains(says), qPrintable(renderFailureText(result)));
}

void tst_ScriptRenderer::coordinatesAndOrder()
{
    // Each pixel records the coordinates it was asked for and how many calls came before it.
    const QString painting = QStringLiteral(
        "width = 7; height = 5; var calls = 0;"
        "function render(a, b) { r = (x + 0.5) / 255; g = (y + 0.5) / 255; b = (calls++ + 0.5) / 255; }");
    for (int step : {1, 2}) {
        const QImage image = render(painting, step).image;
        QCOMPARE(image.size(), QSize(7 / step, 5 / step));
        int call = 0;
        for (int row = 0; row < image.height(); ++row) {
            for (int column = 0; column < image.width(); ++column) {
                // The parameter b shadows the global, so blue stays as it was never set: 0.
                QCOMPARE(image.pixel(column, row) & 0xFFFFFF, pixel(column * step, row * step, 0));
                ++call;
            }
        }
        const QImage counted = render(QString(painting).replace("(a, b)", "()"), step).image;
        QCOMPARE(qBlue(counted.pixel(counted.width() - 1, counted.height() - 1)), call - 1);
    }
}

void tst_ScriptRenderer::channelsPersistBetweenPixels()
{
    const RenderResult onlyRed = render(QStringLiteral(
        "width = 4; height = 1; g = 0.5;"
        "function render() { r = x / 4; if (x == 2) b = 1; }"));
    QCOMPARE(onlyRed.image.pixel(0, 0) & 0xFFFFFF, pixel(0, 127, 0));
    QCOMPARE(onlyRed.image.pixel(3, 0) & 0xFFFFFF, pixel(191, 127, 255));

    const RenderResult noRender = render(QStringLiteral("width = 3; height = 2; r = 1;"));
    QCOMPARE(noRender.outcome, Outcome::Picture);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            QCOMPARE(noRender.image.pixel(x, y) & 0xFFFFFF, pixel(255, 0, 0));

    const RenderResult parameters = render(QStringLiteral(
        "width = 2; height = 2; function render(x, y) { r = x / width; g = 1; }"));
    QCOMPARE(parameters.image.pixel(1, 1) & 0xFFFFFF, pixel(0, 255, 0));
}

void tst_ScriptRenderer::scriptErrors_data()
{
    QTest::addColumn<QString>("stdlib");
    QTest::addColumn<QString>("painting");
    QTest::addColumn<QString>("message");
    QTest::addColumn<Source>("source");
    QTest::addColumn<int>("line");
    QTest::addColumn<QPoint>("pixel");

    const QPoint none(-1, -1);
    QTest::newRow("syntax error in library") << "function (" << "" << "SyntaxError: Parse error" << Source::Stdlib << 1 << none;
    QTest::newRow("syntax error in painting") << "" << "\n\nvar = 3;" << "SyntaxError: Parse error" << Source::Painting << 3 << none;
    QTest::newRow("thrown at top level") << "" << "\nthrow new TypeError('top');" << "TypeError: top" << Source::Painting << 2 << none;
    QTest::newRow("Error as last value") << "" << "new Error('last')" << "Error: last" << Source::Painting << 0 << none;
    QTest::newRow("thrown at first pixel") << "" << "function render() {\n throw new Error('first'); }" << "Error: first" << Source::Painting << 2 << QPoint(0, 0);
    QTest::newRow("returned midway") << "" << "width = 5; height = 5; function render() { if (x == 3 && y == 2) return new RangeError('mid'); }" << "RangeError: mid" << Source::None << 0 << QPoint(3, 2);
    QTest::newRow("unknown name") << "" << "function render() { nothingHere(); }" << "ReferenceError: Can't find variable: nothingHere" << Source::Painting << 1 << QPoint(0, 0);
    QTest::newRow("thrown in a library function") << "\n\nfunction fail() { throw new Error('lib'); }" << "function render() { if (y == 4) fail(); }" << "Error: lib" << Source::Stdlib << 3 << QPoint(0, 4);
    QTest::newRow("endless recursion") << "" << "function f() { return f(); } function render() { f(); }" << "RangeError: Maximum call stack size exceeded." << Source::Painting << 1 << QPoint(0, 0);
}

void tst_ScriptRenderer::scriptErrors()
{
    QFETCH(QString, stdlib);
    QFETCH(QString, painting);
    QFETCH(QString, message);
    QFETCH(Source, source);
    QFETCH(int, line);
    QFETCH(QPoint, pixel);

    const ProcessRender run = renderInProcess(stdlib, painting, 1);
    const RenderResult &result = run.result;
    const int started = run.started.size();
    QCOMPARE(result.outcome, Outcome::ScriptError);
    QCOMPARE(result.errorText, message);
    QCOMPARE(result.errorSource, source);
    QCOMPARE(result.errorLine, line);
    QCOMPARE(result.errorPixel, pixel);
    QVERIFY(result.image.isNull());
    QCOMPARE(started, painting.contains("render") ? 1 : 0);
}

void tst_ScriptRenderer::errorInStandardLibraryStopsBeforeThePainting()
{
    const RenderResult result =
        render(QStringLiteral("throw new Error('painting ran');"), 1, QStringLiteral("throw new Error('library');"));
    QCOMPARE(result.errorText, QStringLiteral("Error: library"));
}

void tst_ScriptRenderer::agreesWithThePlainRenderer_data()
{
    QTest::addColumn<QString>("painting");
    const QString size = QStringLiteral("width = 9; height = 7;\n");
    auto row = [&](const char *name, const char *script) { QTest::newRow(name) << size + QLatin1String(script); };

    row("gradient", "function render() { r = x / width; g = 0.5; b = y / height; }");
    row("built-ins redefined",
        "var M = Math; String.fromCharCode = function () { return 'x'; };"
        "Array = function () { throw new Error('Array'); }; Array.prototype.push = null;"
        "Function.prototype.call = function () { throw new Error('call'); };"
        "Function.prototype.apply = function () { throw new Error('apply'); };"
        "Object.prototype.valueOf = function () { return 0.25; };"
        "Math = {}; String = null; undefined = 5;"
        "function render() { r = M.sqrt(x) / 3; g = { }; b = [y / 7]; }");
    row("getters on the channels",
        "var n = 0; this.__defineGetter__('r', function () { return (n++ % 5) / 5; });"
        "this.__defineGetter__('g', function () { if (x % 2) throw new Error('odd'); return 0.5; });"
        "this.__defineGetter__('b', function () { if (y == 3) throw 'three'; return n / 100; });"
        "function render() {}");
    row("setters on the coordinates",
        "var seen = '', xs = 0, ys = 0;"
        "this.__defineSetter__('x', function (v) { seen += 'x'; xs = v; if (v == 4) throw new Error('x'); });"
        "this.__defineGetter__('x', function () { return xs; });"
        "this.__defineSetter__('y', function (v) { seen += 'y'; ys = v; if (v == 2) throw 7; });"
        "this.__defineGetter__('y', function () { return ys; });"
        "function render() { r = seen.length / 200; g = seen.charAt(seen.length - 2) == 'x' ? 1 : 0; b = x / 9 + y / 70; }");
    row("non-Error values thrown midway",
        "function render() { r = x / 9; g = y / 7; if (x == 3) throw 'text'; if (x == 4) throw 42;"
        " if (x == 5) throw { b: 1 }; if (x == 6) throw null; b = 1; }");
    row("objects returned",
        "function render() { r = 0.5; g = x / 9; if (x % 3 == 0) return [1, 2]; if (x % 3 == 1) return this;"
        " if (y == 6) return new String('s'); var o = function () {}; o.prototype = new Error('p'); return new o(); }");
    row("Error returned late", "function render() { r = 1; if (x == 8 && y == 6) return new Error('last pixel'); }");
    row("deep but finite recursion", "function f(n) { return n == 0 ? 0 : 1 + f(n - 1); } function render() { r = f(300 + x) / 1000; }");
    row("state across calls", "var c = 0; function render() { c += 3; r = (c % 256) / 255; g = c / 1000; }");
    row("values that are not numbers",
        "function render() { r = { valueOf: function () { return x / 9; } }; g = { valueOf: function () { throw 'v'; } };"
        " b = x % 3 == 0 ? '0.5' : (x % 3 == 1 ? true : null); }");
    row("undefined channels", "function render() { r = undefined; g = 'abc'; b = -Infinity; }");
    row("render that is not a function", "render = 5; r = 0.3; g = 0.6;");
    row("render replaced while rendering", "function render() { r = 1; render = function () { r = 0; }; }");
    row("channels on the prototype", "Object.prototype.r = 0.75; Object.prototype.b = 0.25; function render() { g = x / 9; }");
    row("size changed while rendering", "function render() { width = 1; height = 1; r = x / 9; }");
    row("the driver's arguments replaced",
        "function render() { var c = arguments.callee.caller; if (c) { try { c.arguments[0] = 1e9; c.caller.arguments[0] = -3;"
        " c.caller.arguments[1] = 1e9; c.caller.arguments.length = 0; } catch (e) {} } r = x / 9; g = y / 7; }");
    row("setters for the indices of arrays",
        "var n = 0; for (var i = 0; i < 40; ++i) { Array.prototype.__defineSetter__(i, function () { ++n; });"
        " Object.prototype.__defineGetter__(i, function () { return 200; }); }"
        " function render() { r = x / 9; b = n / 255; }");
    row("fromCharCode given an apply of its own",
        "var f = String.fromCharCode; f.apply = function () { return 'xx'; }; delete f.apply;"
        "try { Object.defineProperty(f, 'apply', { value: function () { return ''; } }); } catch (e) {}"
        "function render() { r = x / 9; g = y / 7; }");
    row("the fraction of the coordinates", "var n = 0; function render() { r = x - Math.floor(x); g = y - Math.floor(y); b = (n++ % 7) / 6; }");
    row("error after thrown string", "function render() { if (x == 2) throw 's'; if (x == 5 && y == 1) throw new Error('after'); r = x / 9; }");
}

void tst_ScriptRenderer::agreesWithThePlainRenderer()
{
    QFETCH(QString, painting);
    const struct
    {
        int step;
        double scale;
        int samples;
    } qualities[] = {{1, 1, 1}, {2, 1, 1}, {1, 2, 1}, {1, 0.5, 1}, {1, 1, 2}, {1, 3, 3}, {1, 0.7, 4}};
    for (const auto &quality : qualities) {
        const QString name = QStringLiteral("step %1, scale %2, samples %3")
                                 .arg(quality.step).arg(quality.scale).arg(quality.samples);
        const RenderResult expected =
            referenceRender(QString(), painting, quality.step, quality.scale, quality.samples);
        RenderRequest request;
        request.paintingText = painting;
        request.step = quality.step;
        request.scale = quality.scale;
        request.samples = quality.samples;
        const RenderResult actual = renderInProcess(request).result;
        QVERIFY2(actual.outcome == expected.outcome, qPrintable(name));
        QVERIFY2(actual.errorText == expected.errorText, qPrintable(name));
        QVERIFY2(actual.image == expected.image, qPrintable(name));
    }
}

void tst_ScriptRenderer::samplesOfAPixel_data()
{
    QTest::addColumn<QString>("painting");
    QTest::addColumn<int>("samples");
    QTest::addColumn<QRgb>("firstPixel");

    // 1.5 / 255 gives the byte 1 whatever the rounding of its product.
    QTest::newRow("a mean of one half rounds up") << "var n = 0; function render() { r = (n++ % 2) * 1.5 / 255; }" << 2 << pixel(1, 0, 0);
    QTest::newRow("a mean of one quarter rounds down") << "var n = 0; function render() { r = (n++ % 4 == 3) * 1.5 / 255; }" << 2 << pixel(0, 0, 0);
    QTest::newRow("a mean of three quarters rounds up") << "var n = 0; function render() { r = (n++ % 4 != 0) * 1.5 / 255; }" << 2 << pixel(1, 0, 0);
    QTest::newRow("a mean of four ninths rounds down") << "var n = 0; function render() { r = (n++ % 9 < 4) * 1.5 / 255; }" << 3 << pixel(0, 0, 0);
    QTest::newRow("a flat colour stays exact under 4 x 4") << "function render() { r = 0.6; g = 0.2; b = 1; }" << 4 << pixel(152, 51, 255);
    QTest::newRow("half the samples lie left of the pixel's point") << "function render() { b = x < 0 ? 1 : 0; g = y < 0 ? 1 : 0; }" << 2 << pixel(0, 128, 128);
    QTest::newRow("the bytes are averaged, not the values") << "var n = 0; function render() { r = n++ % 2 ? 1.5 : 0.5; }" << 2 << pixel(127, 0, 0);
}

void tst_ScriptRenderer::samplesOfAPixel()
{
    QFETCH(QString, painting);
    QFETCH(int, samples);
    QFETCH(QRgb, firstPixel);
    RenderRequest request;
    request.paintingText = QStringLiteral("width = 3; height = 2;\n") + painting;
    request.samples = samples;
    const RenderResult result = renderInProcess(request).result;
    QCOMPARE(result.outcome, Outcome::Picture);
    QCOMPARE(result.image.size(), QSize(3, 2));
    QCOMPARE(result.image.pixel(0, 0) & 0xFFFFFF, firstPixel);
}

// The samples of a pixel, one after another, row by row within it, about the pixel's point.
void tst_ScriptRenderer::samplePlacesAndOrder()
{
    RenderRequest request;
    request.paintingText = QStringLiteral("width = 2; height = 1; function render() { print(x, y); }");
    request.scale = 2;
    request.samples = 2;
    request.allLines = true;
    const ProcessRender render = renderInProcess(request);
    QCOMPARE(render.result.outcome, Outcome::Picture);
    QCOMPARE(render.result.image.size(), QSize(4, 2));
    QCOMPARE(render.printed.size(), 4 * 2 * 4);
    const QStringList firstPixels = {"-0.125 -0.125", "0.125 -0.125", "-0.125 0.125", "0.125 0.125",
                                     "0.375 -0.125", "0.625 -0.125", "0.375 0.125", "0.625 0.125"};
    for (int i = 0; i < firstPixels.size(); ++i)
        QCOMPARE(render.printed.at(i).text, firstPixels.at(i));
    QCOMPARE(render.printed.at(5).pixel, QPointF(0.625, -0.125));
    QCOMPARE(render.printed.last().text, QStringLiteral("1.625 0.625"));
}

void tst_ScriptRenderer::errorInASampleNamesPixelAndSample()
{
    RenderRequest request;
    request.paintingText = QStringLiteral(
        "width = 2; height = 2; function render() { if (x > 0.3 && y > 0) throw new Error('here'); }");
    request.samples = 2;
    const RenderResult result = renderInProcess(request).result;
    QCOMPARE(result.outcome, Outcome::ScriptError);
    QCOMPARE(result.errorCell, QPoint(1, 0));
    QCOMPARE(result.errorPixel, QPointF(0.75, 0.25));
}

void tst_ScriptRenderer::progress_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<QList<int>>("rows");

    QTest::newRow("twenty intervals") << 100 << QList<int>{0, 5, 10, 15, 20, 25, 30, 35, 40, 45, 50, 55, 60, 65, 70, 75, 80, 85, 90, 95};
    QTest::newRow("short pictures update every row") << 4 << QList<int>{0, 1, 2, 3};
    QList<int> every;
    for (int row = 0; row < 39; ++row)
        every << row;
    QTest::newRow("39 rows, interval 1") << 39 << every;
    QList<int> everyOther;
    for (int row = 0; row < 41; row += 2)
        everyOther << row;
    QTest::newRow("41 rows, interval 2") << 41 << everyOther;
}

void tst_ScriptRenderer::progress()
{
    QFETCH(int, height);
    QFETCH(QList<int>, rows);

    const ProcessRender run =
        renderInProcess(QString(), QStringLiteral("width = 3; height = %1;").arg(height), 1);
    QCOMPARE(run.result.outcome, Outcome::Picture);
    QCOMPARE(run.started, QList<int>{height});
    QCOMPARE(run.progress, rows);
}

void tst_ScriptRenderer::everyRenderStartsAfresh()
{
    const QString painting = QStringLiteral(
        "if (typeof counter == 'undefined') { counter = 0; width = 2; height = 1; }"
        "function render() { counter++; r = (counter + 0.5) / 255; }");
    const QImage first = render(painting).image;
    const QImage second = render(painting).image;
    QCOMPARE(first.size(), QSize(2, 1));
    QCOMPARE(second, first);
    QCOMPARE(qRed(second.pixel(1, 0)), 2);
    const RenderResult failed = render(QStringLiteral("leftover = 1; width = 5; throw new Error('x');"));
    QCOMPARE(failed.outcome, Outcome::ScriptError);
    QCOMPARE(render(QStringLiteral("if (typeof leftover != 'undefined') width = 1;")).image.size(),
             QSize(640, 480));
}

void tst_ScriptRenderer::getterOnlyPropertiesIgnoreAssignment_data()
{
    QTest::addColumn<QString>("definition");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<int>("red");

    // Assigning twice to a getter without a setter brings the engine down. The host's own
    // writes of x and y are kept from that; the scripts' own writes end only the renderer.
    // Red at pixel (2, 1) is x + y, with the getter standing for one of them.
    QTest::newRow("x through __defineGetter__") << "o = this; this.__defineGetter__('x', function () { return 0.25; });" << Outcome::Picture << 62;
    QTest::newRow("y through defineProperty") << "o = this; Object.defineProperty(this, 'y', { get: function () { return 0.25; } });" << Outcome::Picture << 61;
    QTest::newRow("y through defineProperties") << "o = this; Object.defineProperties(this, { y: { get: function () { return 0.5; } } });" << Outcome::Picture << 125;
    QTest::newRow("x on Object.prototype") << "o = this; Object.prototype.__defineGetter__('x', function () { return 1; });" << Outcome::Picture << 254;
    QTest::newRow("a painting's own object") << "o.__defineGetter__('v', function () { return 0.5; });" << Outcome::RendererFailed << 0;
    QTest::newRow("an object literal") << "o = { get v() { return 0.5; } };" << Outcome::RendererFailed << 0;
}

void tst_ScriptRenderer::getterOnlyPropertiesIgnoreAssignment()
{
    QFETCH(QString, definition);
    QFETCH(Outcome, outcome);
    QFETCH(int, red);

    const QString painting = QStringLiteral("var o = {}; %1\n"
                                            "width = 3; height = 2;\n"
                                            "function render() { o.v = 1; o.v = 1; r = o.v; if (o === this) r = x + y; }")
                                 .arg(definition);
    const RenderResult result = render(painting);
    QCOMPARE(result.outcome, outcome);
    if (outcome == Outcome::Picture)
        QCOMPARE(qRed(result.image.pixel(2, 1)), red);
    else
        QVERIFY2(result.errorText.contains("SIGSEGV"), qPrintable(result.errorText));
}

// A painting that reaches the host's helpers through the callers of render cannot hand over
// a picture with pixels that were never rendered.
void tst_ScriptRenderer::pictureIsCompleteOrNone()
{
    const RenderResult result = render(QStringLiteral(
        "width = 6; height = 4; function render() { var c = arguments.callee.caller; if (c && x == 0 && y == 0) {"
        " var f = c; while (f && f.caller) f = f.caller; try { f.arguments[6](0, 0, 6); f.arguments[6](1, 0, 6); } catch (e) {} } g = 1; }"));
    QVERIFY2(result.outcome == Outcome::ScriptError || result.outcome == Outcome::Picture,
             qPrintable(result.errorText));
    if (result.outcome == Outcome::Picture) {
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x)
                QCOMPARE(qGreen(result.image.pixel(x, y)), 255);
    }
}

// render reaches the driver's own functions through its callers. Whatever way a painting calls
// them, it gets a script error, never a picture with pixels that were not rendered.
void tst_ScriptRenderer::paintingCannotCallTheDriver_data()
{
    QTest::addColumn<QString>("stdlib");
    QTest::addColumn<QString>("painting");

    const QString size = QStringLiteral("width = 60; height = 4;\n");
    QTest::newRow("calls its caller once, then returns an object")
        << QString() << size + "function render() { if (x == 8 && y == 2) { arguments.callee.caller(); return {}; } g = 1; }";
    QTest::newRow("calls its caller at every pixel, catching what it throws")
        << QString() << size + "function render() { try { arguments.callee.caller(); } catch (e) {} g = 1; }";
    QTest::newRow("calls its caller's caller")
        << QString() << size + "function render() { if (x == 58) arguments.callee.caller.caller(0, 1); g = 1; }";
    QTest::newRow("calls its caller through call and apply")
        << QString() << size + "function render() { var c = arguments.callee.caller; if (x == 1) c.call(null); if (x == 2) Function.prototype.apply.call(c, null, []); }";
    QTest::newRow("constructs its caller")
        << QString() << size + "function render() { if (y == 2) new (arguments.callee.caller)(); }";
    QTest::newRow("keeps its caller for a later pixel")
        << QString() << size + "var kept; function render() { if (!kept) kept = arguments.callee.caller; else if (y == 2) kept(); }";
    QTest::newRow("calls its caller recursively")
        << QString() << size + "function render() { var c = arguments.callee.caller; function again(n) { if (n) { c(); again(n - 1); } } if (x == 4) again(40); }";
    // Getters, setters and valueOf have no caller here; they call what render kept.
    QTest::newRow("a getter of a channel calls what render kept")
        << QString() << size + "var kept; this.__defineGetter__('r', function () { if (kept) kept(); return 1; }); function render() { kept = arguments.callee.caller; }";
    QTest::newRow("a valueOf of a channel calls what render kept")
        << QString() << size + "var kept; function render() { kept = arguments.callee.caller; g = { valueOf: function () { kept(); return 0.5; } }; }";
    QTest::newRow("a setter of x calls what render kept")
        << QString() << size + "var v, kept; this.__defineGetter__('x', function () { return v; });"
                               " this.__defineSetter__('x', function (value) { v = value; if (kept) kept.caller(0, 1); }); function render() { kept = arguments.callee.caller; }";
    QTest::newRow("the library's function calls the caller's caller")
        << "function drawTwice() { var d = arguments.callee.caller.caller.caller; d(0, 4); }" << size + "function render() { if (x == 0 && y == 0) drawTwice(); }";
    QTest::newRow("replaces its caller's arguments, then calls it")
        << QString() << size + "function render() { var d = arguments.callee.caller.caller; if (x == 4) { d.arguments[1] = 1e9; d.arguments[0] = -2; d(-2, 1e9); } }";
    QTest::newRow("replaces render with its caller")
        << QString() << size + "function render() { render = arguments.callee.caller; this.render(); }";
}

void tst_ScriptRenderer::paintingCannotCallTheDriver()
{
    QFETCH(QString, stdlib);
    QFETCH(QString, painting);
    for (int step : {1, 2}) {
        const RenderResult result = render(painting, step, stdlib);
        QVERIFY2(result.outcome == Outcome::ScriptError, qPrintable(QStringLiteral("step %1").arg(step)));
        QCOMPARE(result.errorText, QStringLiteral("Error: the painting called the renderer's own "
                                                  "functions, so some pixels would not be rendered"));
        QVERIFY(result.image.isNull());
    }
}

QTEST_GUILESS_MAIN(tst_ScriptRenderer)
#include "tst_scriptrenderer.moc"
