#include "app/consolepanel.h"
#include "engine/scriptrenderer.h"

#include <QtTest>

namespace {

QVector<ConsoleLine> printed(const QString &painting, int step = 1)
{
    QVector<ConsoleLine> lines;
    ScriptRenderer renderer;
    renderer.onConsoleLine = [&lines](const ConsoleLine &line) { lines.append(line); };
    renderer.render(QString(), painting, step);
    return lines;
}

ConsoleLine line(const QString &text, QPoint pixel = QPoint(-1, -1),
                 ConsoleLine::Kind kind = ConsoleLine::Kind::Log)
{
    ConsoleLine made;
    made.kind = kind;
    made.text = text;
    made.pixel = pixel;
    return made;
}

} // namespace

class tst_Console : public QObject
{
    Q_OBJECT

private slots:
    void lines_data();
    void lines();
    void countedLines_data();
    void countedLines();
    void originText_data();
    void originText();
    void panelShowsOriginsAndTheDroppedCount();
};

void tst_Console::lines_data()
{
    QTest::addColumn<QString>("painting");
    QTest::addColumn<int>("step");
    QTest::addColumn<QVector<ConsoleLine>>("lines");

    const QString onePixel = QStringLiteral("width = 1; height = 1; function render() {}\n");
    QTest::newRow("print at the top level") << onePixel + "print('a', 1, true);" << 1
                                            << QVector<ConsoleLine>{line("a 1 true")};
    QTest::newRow("String() of each argument")
        << onePixel + "print([1, 2], {}, null, undefined);" << 1
        << QVector<ConsoleLine>{line("1,2 [object Object] null undefined")};
    QTest::newRow("no format substitution") << onePixel + "console.log('%d%%', 5);" << 1
                                            << QVector<ConsoleLine>{line("%d%% 5")};
    QTest::newRow("no arguments") << onePixel + "print();" << 1 << QVector<ConsoleLine>{line("")};
    QTest::newRow("line breaks give lines") << onePixel + "print('a\\nb\\r\\nc');" << 1
                                            << QVector<ConsoleLine>{line("a"), line("b"), line("c")};
    QTest::newRow("a throwing toString")
        << onePixel + "print({ toString: function () { throw 'no'; } });" << 1
        << QVector<ConsoleLine>{line("no")};
    QTest::newRow("the kinds")
        << onePixel + "console.log(1); console.info(2); console.warn(3); console.error(4);" << 1
        << QVector<ConsoleLine>{line("1"), line("2", {-1, -1}, ConsoleLine::Kind::Info),
                                line("3", {-1, -1}, ConsoleLine::Kind::Warning),
                                line("4", {-1, -1}, ConsoleLine::Kind::Error)};
    QTest::newRow("the pixel that printed")
        << "width = 3; height = 2; function render() { if (x == 2 && y == 1) print('here'); }" << 1
        << QVector<ConsoleLine>{line("here", {2, 1})};
    QTest::newRow("in painting units at half resolution")
        << "width = 8; height = 8; function render() { if (x == 6 && y == 4) console.warn(x, y); }" << 2
        << QVector<ConsoleLine>{line("6 4", {6, 4}, ConsoleLine::Kind::Warning)};
    QTest::newRow("from a function the pixel calls")
        << "width = 2; height = 1; function say() { print('x' + x); }\n"
           "function render() { say(); }" << 1
        << QVector<ConsoleLine>{line("x0", {0, 0}), line("x1", {1, 0})};
}

void tst_Console::lines()
{
    QFETCH(QString, painting);
    QFETCH(int, step);
    QFETCH(QVector<ConsoleLine>, lines);
    const QVector<ConsoleLine> found = printed(painting, step);
    QCOMPARE(found.size(), lines.size());
    for (int i = 0; i < lines.size(); ++i) {
        QCOMPARE(found.at(i).text, lines.at(i).text);
        QCOMPARE(found.at(i).pixel, lines.at(i).pixel);
        QCOMPARE(found.at(i).kind, lines.at(i).kind);
    }
}

// Lines that are only counted cost less to print, and count as the lines they would be; a
// script's toString runs all the same.
void tst_Console::countedLines_data()
{
    QTest::addColumn<QString>("painting");
    QTest::addColumn<qint64>("counted");
    QTest::addColumn<int>("width");   // what the painting left in width

    const QString onePixel = QStringLiteral("height = 1; width = 1; function render() {}\n");
    QTest::newRow("numbers and the like") << onePixel + "print(1, true, null, undefined); print();" << qint64(2) << 1;
    QTest::newRow("line breaks in strings") << onePixel + "print('a\\nb\\r\\nc', 'd\\re'); console.error('\\u2029');" << qint64(6) << 1;
    QTest::newRow("a toString that changes the painting")
        << onePixel + "var o = { toString: function () { width += 2; return 'a\\nb'; } };\n"
                      "print(o, o);" << qint64(3) << 5;
    QTest::newRow("every pixel") << "width = 4; height = 3; function render() { console.log(x, y); }" << qint64(12) << 4;
}

void tst_Console::countedLines()
{
    QFETCH(QString, painting);
    QFETCH(qint64, counted);
    QFETCH(int, width);

    ScriptRenderer renderer;
    int made = 0;
    qint64 total = 0;
    renderer.onConsoleLine = [&made](const ConsoleLine &) { ++made; };
    renderer.consoleWantsLines = [] { return false; };
    renderer.onConsoleLinesCounted = [&total](qint64 lines) { total += lines; };
    const RenderResult result = renderer.render(QString(), painting, 1);
    QCOMPARE(made, 0);
    QCOMPARE(total, counted);
    QCOMPARE(result.size.width(), width);
}

void tst_Console::originText_data()
{
    QTest::addColumn<QPoint>("pixel");
    QTest::addColumn<QString>("text");
    QTest::newRow("top level") << QPoint(-1, -1) << "top level";
    QTest::newRow("pixel") << QPoint(312, 200) << "(312, 200)";
    QTest::newRow("origin") << QPoint(0, 0) << "(0, 0)";
}

void tst_Console::originText()
{
    QFETCH(QPoint, pixel);
    QFETCH(QString, text);
    QCOMPARE(ConsolePanel::originText(line("a", pixel)), text);
}

void tst_Console::panelShowsOriginsAndTheDroppedCount()
{
    ConsolePanel panel;
    panel.appendLines({line(""), line("b", {4, 2}, ConsoleLine::Kind::Error)});
    panel.appendDropped(5);
    panel.appendFailure("Error: no\nsecond");
    QCOMPARE(panel.toPlainText(), QStringLiteral("top level: \n(4, 2): b\n... and 5 more lines, "
                                                 "not shown\nError: no\nsecond"));
    panel.clearLines();
    panel.appendLines({line("c")});
    QCOMPARE(panel.toPlainText(), QStringLiteral("top level: c"));
}

QTEST_MAIN(tst_Console)
#include "tst_console.moc"
