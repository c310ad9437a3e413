// Hostile and broken scripts: every one must end in a picture, a clear error, no pixels or a
// picture too large to make, never a crash, and none may hold the renderer past the bound.

#include "processrender.h"
#include "engine/scriptrenderer.h"

#include <QtTest>

using Outcome = RenderResult::Outcome;

namespace {

// Longest a script may run before the renderer is stopped, process start included, on a busy
// machine; sanitized renderers start and run several times slower.
// Sanitized runs try the full resolution only, to keep their time.
#if defined(__SANITIZE_ADDRESS__)
constexpr int boundMilliseconds = 6000;
const QList<int> steps = {1};
constexpr bool sanitized = true;
#else
constexpr int boundMilliseconds = 2500;
const QList<int> steps = {1, 2};
constexpr bool sanitized = false;
#endif

enum class Length {
    Ends,       // must end by itself within the bound
    MayBeLong,  // asks for enormous but finite work, so it may be stopped
    Endless,    // never ends, so it must be stopped
};

struct Case
{
    QString name;
    QString stdlib;
    QString painting;
    Length length = Length::Ends;
};

const char basePainting[] =
    "width = 24; height = 16;\n"
    "var palette = [0.1, 0.5, 0.9];\n"
    "function shade(v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }\n"
    "function render() {\n"
    "    var d = Math.sqrt((x - 12) * (x - 12) + (y - 8) * (y - 8));\n"
    "    r = shade(d / 12); g = palette[(x + y) % 3]; b = { valueOf: function () { return y / 16; } };\n"
    "}\n";

const QStringList thrownValues = {
    "undefined", "null", "0", "''", "'text'", "NaN", "Infinity", "true", "{}", "[]",
    "function () {}", "new Error('plain')", "new TypeError('typed')", "new RangeError()",
    "new SyntaxError('s')", "new EvalError('e')", "new URIError('u')", "/re/",
    "(function () { var e = new Error('no string'); e.toString = function () { throw 'nested'; }; return e; })()",
    "(function () { var e = new Error('odd'); e.message = { toString: function () { throw new Error('deeper'); } }; return e; })()",
    "(function () { var o = new Error('proto'); o.__proto__ = null; return o; })()",
};

const QStringList sizeValues = {
    "NaN", "-1", "-0.5", "0.9", "2.5", "1e300", "-1e300", "Infinity", "-Infinity", "'12'", "'abc'",
    "null", "undefined", "true", "[]", "[7]", "{}", "{ valueOf: function () { return 5; } }",
    "{ valueOf: function () { throw new Error('valueOf'); } }",
    "{ valueOf: function () { throw 'valueOf'; } }",
    "{ valueOf: function () { return {}; }, toString: function () { return {}; } }",
    "4294967297", "2147483648", "-2147483649", "65536",
};

QList<Case> corpus()
{
    QList<Case> cases;
    auto add = [&cases](const QString &name, const QString &stdlib, const QString &painting,
                        Length length = Length::Ends) {
        cases.append({name, stdlib, painting, length});
    };

    const QString base = QString::fromLatin1(basePainting);
    for (int cut = 0; cut < base.size(); cut += 3)
        add(QStringLiteral("cut at %1").arg(cut), QString(), base.left(cut));
    for (int at = 0; at < base.size(); at += 9)
        add(QStringLiteral("stray token at %1").arg(at), QString(), QString(base).insert(at, QStringLiteral(") ]} (")));
    for (int cut = 0; cut < base.size(); cut += 25)
        add(QStringLiteral("library cut at %1").arg(cut), base.left(cut), QStringLiteral("function render() { r = 1; }"));

    for (const QString &value : thrownValues) {
        add("library throws " + value, "throw " + value + ";", QString());
        add("painting throws " + value, QString(), "width = 4; height = 3; throw " + value + ";");
        add("painting ends with " + value, QString(), "width = 4; height = 3; (" + value + ");");
        add("render throws " + value, QString(), "width = 5; height = 4; function render() { r = x / 5; if (x == 2 && y == 1) throw " + value + "; }");
        add("render returns " + value, QString(), "width = 5; height = 4; function render() { g = y / 4; return " + value + "; }");
    }

    for (const QString &value : sizeValues) {
        // A size just inside 32 bits can make a picture of a billion pixels.
        const Length length = value.toDouble() >= 1e9 ? Length::MayBeLong : Length::Ends;
        add("width " + value, QString(), "width = " + value + "; height = 3; function render() { r = 1; }", length);
        add("height " + value, QString(), "width = 3; height = " + value + "; function render() { b = 1; }", length);
    }

    add("too large to allocate", QString(), "width = 300000; height = 300000;");
    add("too large, from the library", "width = 2147483647; height = 2147483647;", QString());
    add("huge string", QString(), "var s = 'x'; for (var i = 0; i < 23; i++) s += s; width = 4; height = 2; function render() { r = s.length % 7 / 7; }");
    add("huge string in render", QString(), "width = 2; height = 1; function render() { var s = 'ab'; for (var i = 0; i < 22; i++) s = s + s; g = s.charCodeAt(x) / 255; }");
    add("huge array", QString(), "var a = []; for (var i = 0; i < 2000000; i++) a.push(i); width = 3; height = 3; function render() { r = a[x] / 3; }");
    add("sparse array at the top index", QString(), "var a = []; a[4294967294] = 1; a.length; width = 2; height = 2; function render() { r = a.length; }");
    add("array of enormous length", QString(), "var a = new Array(4294967295); width = 2; height = 2; function render() { r = a.length / 1e10; }");
    add("deep recursion at top level", QString(), "function f(n) { return f(n + 1) + 1; } f(0);");
    add("deep recursion in the library", "function f() { return f(); } f();", QString());
    add("deep recursion in render", QString(), "function f(n) { return 1 + f(n); } function render() { f(0); }");
    add("mutual recursion", QString(), "function a() { return b(); } function b() { return a(); } width = 3; height = 3; function render() { if (y == 2) a(); }");
    add("recursion through a getter", QString(), "this.__defineGetter__('r', function () { return r; }); width = 3; height = 3; function render() {}");
    add("recursion through a setter", QString(), "this.__defineSetter__('x', function (v) { x = v; }); width = 3; height = 3; function render() { g = 1; }");
    add("recursion caught at every depth", QString(), "function f(n) { try { return f(n + 1); } catch (e) { return n; } } width = 3; height = 2; function render() { r = f(0) % 2; }",
        // A catch at every one of thousands of depths takes the sanitizer a long time.
        sanitized ? Length::MayBeLong : Length::Ends);
    add("throwing getters on every channel", QString(), "['r', 'g', 'b'].forEach(function (n) { this.__defineGetter__(n, function () { throw new Error(n); }); }, this); width = 3; height = 3; function render() {}");
    add("throwing setters on the coordinates", QString(), "this.__defineSetter__('x', function () { throw new Error('x'); }); this.__defineSetter__('y', function () { throw 'y'; }); width = 3; height = 3; function render() { r = 1; }");
    add("getters on the size", QString(), "this.__defineGetter__('width', function () { throw new Error('w'); }); function render() {}");
    add("size that changes when read", QString(), "var n = 0; this.__defineGetter__('height', function () { return ++n * 3; }); width = 3; function render() { r = height / 100; }");
    add("read-only coordinates", QString(), "this.__defineGetter__('x', function () { return 1; }); width = 3; height = 3; function render() { r = x; }");
    add("Object.prototype redefined", QString(), "Object.prototype.toString = function () { throw new Error('str'); }; Object.prototype.valueOf = function () { throw 'num'; }; Object.prototype.r = {}; width = 3; height = 3; function render() { g = {}; }");
    add("Object.prototype getters", QString(), "Object.prototype.__defineGetter__('g', function () { throw new Error('proto'); }); delete g; width = 3; height = 3; function render() { r = 1; }");
    add("Object.prototype error thrown", QString(), "Object.prototype.__defineGetter__('render', function () { return function () { throw new Error('found'); }; }); width = 3; height = 3;");
    add("built-ins removed", QString(), "Math = undefined; String = undefined; Array = undefined; Object = undefined; Function = undefined; Error = undefined; width = 3; height = 3; function render() { r = 1; }");
    add("built-in prototypes broken", QString(), "Function.prototype.call = Function.prototype.apply = null; Array.prototype.push = 5; String.prototype.charCodeAt = null; String.fromCharCode = function () { throw new Error('no'); }; width = 3; height = 3; function render() { b = 1; }");
    add("Error constructor replaced", QString(), "Error = function () { return { message: 'fake' }; }; width = 3; height = 3; function render() { return new Error('fake'); }");
    add("render reaches its callers", QString(), "width = 6; height = 4; function render() { var c = arguments.callee.caller; if (c) { try { c(0, 0, 1e9, false); c(-5, -5, 3, true); } catch (e) {} } r = x / 6; }", Length::MayBeLong);
    add("render calls the host's helpers with garbage", QString(),
        "width = 6; height = 4; var done = false; function render() { if (done) return; done = true;"
        " var f = arguments.callee.caller; while (f && f.caller) f = f.caller; if (!f || !f.arguments) return; var a = f.arguments;"
        " try { a[4](1e9); a[5](1e9, -4, 1e9); a[5](0, 0, 1e9); a[5](3, 5, 2); a[6]({}); } catch (e) {} }");
    add("render resizes the run's array", QString(),
        "width = 6; height = 4; function render() { var c = arguments.callee.caller; if (c && x == 0 && y == 0) { try { var out = c(0, 0, 1, false); out.length = 1e6; } catch (e) {} } g = 1; }");
    add("render replaces itself", QString(), "width = 3; height = 3; function render() { render = null; r = 1; }");
    add("render deletes the channels", QString(), "r = g = b = 1; width = 3; height = 3; function render() { delete r; delete g; delete b; }");
    add("eval and Function", QString(), "eval('width = 5; height = 2'); var f = Function('r = x / 5'); function render() { f(); }");
    add("with statement", QString(), "width = 3; height = 3; function render() { with ({ r: 0 }) { r = 1; g = 1; } }");
    add("error with a huge message", QString(), "var s = 'm'; for (var i = 0; i < 18; i++) s += s; throw new Error(s);");
    add("error text with markup", QString(), "throw new Error('<b>bold</b> & <i>x</i>');");
    add("unicode everywhere", "var ü = 1;", "var 名前 = 'Ωmega'; width = 3; height = 3; function render() { r = ü; throw new Error(名前); }");
    add("NUL and surrogates in the text", QString(), QStringLiteral("var s = '\\0\\uD800'; throw new Error(s);"));
    add("endless loop at top level", QString(), "while (true) {}", Length::Endless);
    add("endless loop in the library", "for (;;) {}", QString(), Length::Endless);
    add("endless loop in render", QString(), "width = 3; height = 5; function render() { while (y == 2) {} }", Length::Endless);
    add("endless loop in a getter", QString(), "this.__defineGetter__('b', function () { for (;;) {} }); width = 3; height = 3; function render() {}", Length::Endless);
    add("endless loop that swallows errors", QString(), "function render() { for (;;) { try { while (true) {} } catch (e) {} } }", Length::Endless);
    add("getter that loops forever on width", QString(), "this.__defineGetter__('width', function () { while (true) {} });", Length::Endless);
    return cases;
}

} // namespace

Q_DECLARE_METATYPE(Length)

class tst_Robustness : public QObject
{
    Q_OBJECT

private slots:
    void hostileScripts_data();
    void hostileScripts();
};

void tst_Robustness::hostileScripts_data()
{
    QTest::addColumn<QString>("stdlib");
    QTest::addColumn<QString>("painting");
    QTest::addColumn<Length>("length");
    const QList<Case> cases = corpus();
    for (const Case &c : cases)
        QTest::newRow(qPrintable(c.name)) << c.stdlib << c.painting << c.length;
    qInfo("%d hostile scripts", int(cases.size()));
}

void tst_Robustness::hostileScripts()
{
    QFETCH(QString, stdlib);
    QFETCH(QString, painting);
    QFETCH(Length, length);

    for (int step : steps) {
        RenderRequest request;
        request.stdlibText = stdlib;
        request.paintingText = painting;
        request.step = step;
        const RenderResult result = renderInProcess(request, boundMilliseconds).result;

        switch (result.outcome) {
        case Outcome::Picture:
            QVERIFY(!result.image.isNull());
            QCOMPARE(result.image.format(), QImage::Format_RGB32);
            break;
        case Outcome::ScriptError:
            QVERIFY2(!result.errorText.trimmed().isEmpty(), "an error without text");
            QVERIFY(result.image.isNull());
            break;
        case Outcome::TooLarge:
            // A size beyond 32 bits is told as the painting left it.
            if (result.size.isValid())
                QVERIFY(result.size.width() > 0 && result.size.height() > 0);
            else
                QVERIFY(!result.scriptWidth.isEmpty() && !result.scriptHeight.isEmpty());
            QVERIFY(result.image.isNull());
            break;
        case Outcome::NoPixels:
            QVERIFY(result.image.isNull());
            break;
        case Outcome::Stopped:
            QVERIFY2(length != Length::Ends, "a script that should end was stopped");
            break;
        case Outcome::RendererFailed:
            QFAIL(qPrintable("the renderer stopped: " + result.errorText));
        }
        if (length == Length::Endless)
            QCOMPARE(result.outcome, Outcome::Stopped);
    }
}

QTEST_GUILESS_MAIN(tst_Robustness)
#include "tst_robustness.moc"
