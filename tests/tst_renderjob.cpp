// Render jobs as the window and the command line run them: renderer processes, their rows
// shared out, progress, failures in row order, stopping, and renderers that misbehave.

#include "processrender.h"
#include "referencerenderer.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using Outcome = RenderResult::Outcome;
Q_DECLARE_METATYPE(RenderResult::Outcome)

class tst_RenderJob : public QObject
{
    Q_OBJECT

private slots:
    void progressOfSomeRows_data();
    void progressOfSomeRows();
    void rowsAsTheyAreRendered_data();
    void rowsAsTheyAreRendered();
    void stopsScriptsThatNeverReturn_data();
    void stopsScriptsThatNeverReturn();
    void parallelRenderMatchesOneProcess_data();
    void parallelRenderMatchesOneProcess();
    void parallelRenderSharesRowsOut();
    void processesStartedAheadForAParallelPainting();
    void parallelRenderFailsAtTheFirstPixel_data();
    void parallelRenderFailsAtTheFirstPixel();
    void missingRendererIsAFailureNotACrash();
    void rendererThatMisbehaves_data();
    void rendererThatMisbehaves();
    void startsNoMoreProcessesThanTakeRows_data();
    void startsNoMoreProcessesThanTakeRows();
    void printsInTheOrderOfOneProcess_data();
    void printsInTheOrderOfOneProcess();
    void rendersOnePixelAlone_data();
    void rendersOnePixelAlone();
};

namespace {

// "text@x,y" for a pixel's line, the text alone for the top level's.
QStringList shown(const QVector<ConsoleLine> &lines)
{
    QStringList texts;
    for (const ConsoleLine &line : lines) {
        texts << (line.isFromTopLevel() ? line.text
                                        : QStringLiteral("%1@%2,%3").arg(line.text)
                                              .arg(line.pixel.x()).arg(line.pixel.y()));
    }
    return texts;
}

} // namespace

void tst_RenderJob::progressOfSomeRows_data()
{
    QTest::addColumn<int>("processes");
    QTest::newRow("one process") << 1;
    QTest::newRow("three processes") << 3;
}

// Rows 30 to 59 of 100: progress names rows of the picture, from the first one rendered.
void tst_RenderJob::progressOfSomeRows()
{
    QFETCH(int, processes);
    RenderRequest request;
    request.paintingText = QStringLiteral("width = 3; height = 100;");
    request.firstRow = 30;
    request.lastRow = 60;
    request.processes = processes;
    const ProcessRender run = renderInProcess(request);
    QCOMPARE(run.result.image.size(), QSize(3, 30));
    QVERIFY(!run.progress.isEmpty());
    QCOMPARE(run.progress.first(), 30);
    for (int row : run.progress)
        QVERIFY2(row >= 30 && row < 60, qPrintable(QString::number(row)));
}

void tst_RenderJob::rowsAsTheyAreRendered_data()
{
    QTest::addColumn<int>("processes");
    QTest::newRow("one process") << 1;
    QTest::newRow("three processes") << 3;
}

// Each row takes at least 5 ms, so the render lasts a second or more: the rows are told a few
// times a second, each once, and read from the renderers' memory as the picture has them.
void tst_RenderJob::rowsAsTheyAreRendered()
{
    QFETCH(int, processes);
    RenderRequest request;
    request.paintingText = QStringLiteral(
        "width = 16; height = 300;\n"
        "function render() {\n"
        "    if (x == 0) { var t = Date.now(); while (Date.now() - t < 5) {} }\n"
        "    r = y / height; g = x / width; b = 0.5;\n"
        "}");
    request.processes = processes;
    const ProcessRender render = renderInProcess(request);
    QCOMPARE(render.result.outcome, Outcome::Picture);
    const QImage &picture = render.result.image;

    QVERIFY2(render.rowsReady.size() >= 5, qPrintable(QString::number(render.rowsReady.size())));
    QVector<bool> told(picture.height(), false);
    int rowsTold = 0;
    for (int i = 0; i < render.rowsReady.size(); ++i) {
        const RowRange &rows = render.rowsReady.at(i);
        QVERIFY(!rows.isEmpty() && rows.first >= 0 && rows.last <= picture.height());
        for (int y = rows.first; y < rows.last; ++y) {
            QVERIFY2(!told[y], qPrintable(QStringLiteral("row %1 told twice").arg(y)));
            told[y] = true;
            ++rowsTold;
            for (int x = 0; x < picture.width(); ++x)
                QCOMPARE(render.rowsSeen.pixel(x, y), picture.pixel(x, y));
        }
        // Ranges told together come within a millisecond; otherwise a pause lies between.
        const qint64 since = i > 0 ? render.rowsReadyMs.at(i) - render.rowsReadyMs.at(i - 1) : 0;
        QVERIFY2(since <= 1 || since >= 45, qPrintable(QString::number(since)));
    }
    QVERIFY2(rowsTold >= picture.height() / 2, qPrintable(QString::number(rowsTold)));
    if (processes == 1) {
        for (int i = 1; i < render.rowsReady.size(); ++i)
            QCOMPARE(render.rowsReady.at(i).first, render.rowsReady.at(i - 1).last);
    }
}

void tst_RenderJob::stopsScriptsThatNeverReturn_data()
{
    QTest::addColumn<QString>("stdlib");
    QTest::addColumn<QString>("painting");

    QTest::newRow("library loops") << "while (true) {}" << "";
    QTest::newRow("painting loops") << "" << "for (;;) {}";
    QTest::newRow("render loops at the first pixel") << "" << "function render() { while (true) {} }";
    QTest::newRow("render loops late") << "" << "width = 50; height = 50; function render() { while (y == 40) {} }";
    QTest::newRow("loop that catches everything") << "" << "function render() { for (;;) { try { while (true) {} } catch (e) {} } }";
    QTest::newRow("recursion that catches its overflow") << "" << "function f() { try { f(); } catch (e) { f(); } } f();";
    QTest::newRow("one long built-in call") << "" << "var t = []; t.length = 4294967295; t.indexOf(1);";
}

void tst_RenderJob::stopsScriptsThatNeverReturn()
{
    QFETCH(QString, stdlib);
    QFETCH(QString, painting);

    RenderRequest request;
    request.stdlibText = stdlib;
    request.paintingText = painting;
    const ProcessRender run = renderInProcess(request, 300);
    QCOMPARE(run.result.outcome, Outcome::Stopped);
    QVERIFY(run.result.image.isNull());
    // The renderer is killed, not asked: it finishes at once.
    QVERIFY2(run.stopMs < 500, qPrintable(QString::number(run.stopMs)));
}

void tst_RenderJob::parallelRenderMatchesOneProcess_data()
{
    QTest::addColumn<QString>("painting");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("processes");
    QTest::addColumn<bool>("sameAsOneProcess");

    const QString rings = QStringLiteral(
        "width = 61; height = 47;\n"
        "function render() { var d = Math.sqrt((x - 30) * (x - 30) + (y - 20) * (y - 20));"
        " r = 0.5 + 0.5 * Math.sin(d / 3); g = x / width; b = y / height; }\n");
    QTest::newRow("the painting asks, one process per core") << "parallel = true;\n" + rings << 1 << 0 << true;
    QTest::newRow("the painting asks, low quality") << "parallel = true;\n" + rings << 2 << 0 << true;
    QTest::newRow("three processes, rows not divisible") << rings << 1 << 3 << true;
    QTest::newRow("more processes than rows") << rings + "height = 3;" << 1 << 5 << true;
    QTest::newRow("the library asks") << rings + "parallel = !!this.parallel;" << 1 << 0 << true;
    QTest::newRow("a counter without parallel stays exact")
        << "width = 4; height = 8; var n = 0; function render() { r = n++ / 255; }" << 1 << 0 << true;
}

void tst_RenderJob::parallelRenderMatchesOneProcess()
{
    QFETCH(QString, painting);
    QFETCH(int, step);
    QFETCH(int, processes);
    QFETCH(bool, sameAsOneProcess);

    RenderRequest request;
    request.paintingText = painting;
    request.step = step;
    request.processes = 1;
    const ProcessRender one = renderInProcess(request);
    request.processes = processes;
    if (processes == 0 && RenderClient::coreCount() < 2)
        QSKIP("one core: the painting's parallel changes nothing");
    const ProcessRender shared = renderInProcess(request);

    QCOMPARE(shared.result.outcome, Outcome::Picture);
    QCOMPARE(shared.result.image.size(), one.result.image.size());
    QCOMPARE(shared.result.image == one.result.image, sameAsOneProcess);
    QCOMPARE(shared.started, QList<int>{one.result.image.height()});
    QVERIFY(!shared.progress.isEmpty());
    QCOMPARE(shared.progress.first(), 0);
}

// Each process runs the scripts afresh and so draws its own shade: every row comes whole from
// one of them. Which process takes which rows is the scheduler's to test.
void tst_RenderJob::parallelRenderSharesRowsOut()
{
    RenderRequest request;
    request.paintingText = QStringLiteral(
        "width = 8; height = 100; var shade = [Math.random(), Math.random(), Math.random()];\n"
        "function render() { r = shade[0]; g = shade[1]; b = shade[2]; }");
    request.processes = 2;
    const ProcessRender render = renderInProcess(request);
    const QImage &image = render.result.image;
    QCOMPARE(image.size(), QSize(8, 100));
    // Progress as one process reports it: from row 0, once in every twentieth of the picture.
    QVERIFY(!render.progress.isEmpty());
    QCOMPARE(render.progress.first(), 0);
    for (int i = 1; i < render.progress.size(); ++i) {
        QVERIFY(render.progress.at(i) / 5 > render.progress.at(i - 1) / 5);
        QVERIFY(render.progress.at(i) < 100);
    }
    QSet<QRgb> shades;
    for (int y = 0; y < image.height(); ++y) {
        shades << image.pixel(0, y);
        for (int x = 1; x < image.width(); ++x)
            QCOMPARE(image.pixel(x, y), image.pixel(0, y));
    }
    QVERIFY2(shades.size() <= 2, qPrintable(QString::number(shades.size())));
}

// After a render that shared its rows out, the next one starts its other processes with the
// first. They take part when the painting asks for it again, and are dismissed when it does not.
void tst_RenderJob::processesStartedAheadForAParallelPainting()
{
    if (RenderClient::coreCount() < 2)
        QSKIP("one core: rows are never shared out");
    const QString rings = QStringLiteral(
        "parallel = true; width = 61; height = 47;\n"
        "function render() { var d = Math.sqrt((x - 30) * (x - 30) + (y - 20) * (y - 20));"
        " r = 0.5 + 0.5 * Math.sin(d / 3); g = x / width; b = y / height; }\n");
    const QImage first = renderInProcess(QString(), rings).result.image;
    QVERIFY(!first.isNull());
    QCOMPARE(renderInProcess(QString(), rings).result.image, first);
    const QString counter = QStringLiteral("width = 4; height = 8; var n = 0; function render() { r = n++ / 255; }");
    QCOMPARE(renderInProcess(QString(), counter).result.image, referenceRender(QString(), counter, 1).image);
}

void tst_RenderJob::parallelRenderFailsAtTheFirstPixel_data()
{
    QTest::addColumn<QString>("painting");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QPoint>("pixel");

    // Ten rows for two processes, in whatever order they get to them.
    const QString tenRows = QStringLiteral("width = 4; height = 10;\n");
    const QString crash = QStringLiteral("var o = { get p() { return 1; } }; o.p = 1; o.p = 2;");
    QTest::newRow("errors in two rows") << tenRows + "function render() { if (y == 8) throw new Error('lower'); if (y == 2 && x == 3) throw new Error('upper'); }"
                                        << Outcome::ScriptError << "Error: upper" << QPoint(3, 2);
    QTest::newRow("an error in the last rows only") << tenRows + "function render() { if (y == 8 && x == 1) return new Error('lower'); }"
                                                    << Outcome::ScriptError << "Error: lower" << QPoint(1, 8);
    QTest::newRow("a crash below an error") << tenRows + "function render() { if (y == 9) { " + crash + " } if (y == 4) throw new Error('upper'); }"
                                            << Outcome::ScriptError << "Error: upper" << QPoint(0, 4);
    QTest::newRow("an error below a crash") << tenRows + "function render() { if (y == 9) throw new Error('lower'); if (y == 3) { " + crash + " } }"
                                            << Outcome::RendererFailed << QString() << QPoint(-1, -1);
    // Each process runs the scripts afresh: a size drawn at random differs from one to the
    // other. The pictures are large enough for the second process to start before the first
    // is done alone.
    QTest::newRow("a width that differs between processes") << "width = 100000 + Math.floor(Math.random() * 1e6); height = 20;"
                                                            << Outcome::ScriptError << "Error: the painting chose another picture size in each process of its parallel render" << QPoint(-1, -1);
    QTest::newRow("a height that differs between processes") << "width = 1; height = 100000 + Math.floor(Math.random() * 1e6);"
                                                             << Outcome::ScriptError << "Error: the painting chose another picture size in each process of its parallel render" << QPoint(-1, -1);
    QTest::newRow("a crash in the last rows only") << tenRows + "function render() { if (y == 6) { " + crash + " } }"
                                                   << Outcome::RendererFailed << QString() << QPoint(-1, -1);
}

void tst_RenderJob::parallelRenderFailsAtTheFirstPixel()
{
    QFETCH(QString, painting);
    QFETCH(Outcome, outcome);
    QFETCH(QString, message);
    QFETCH(QPoint, pixel);

    RenderRequest request;
    request.paintingText = painting;
    request.processes = 2;
    const RenderResult result = renderInProcess(request).result;
    QCOMPARE(result.outcome, outcome);
    QVERIFY(result.image.isNull());
    QCOMPARE(result.errorPixel, pixel);
    if (outcome == Outcome::ScriptError)
        QCOMPARE(result.errorText, message);
    else
        QVERIFY2(result.errorText.contains("SIGSEGV"), qPrintable(result.errorText));
}

void tst_RenderJob::missingRendererIsAFailureNotACrash()
{
    RenderClient client(QDir(QCoreApplication::applicationDirPath()).filePath("no-such-renderer"));
    client.prepare();
    RenderRequest request;
    request.paintingText = QStringLiteral("function render() { r = 1; }");
    RenderJob *job = client.start(request);
    QSignalSpy finished(job, &RenderJob::finished);
    QVERIFY(finished.wait(10000));
    QCOMPARE(job->result().outcome, Outcome::RendererFailed);
    QVERIFY2(job->result().errorText.contains("no-such-renderer"), qPrintable(job->result().errorText));
    QCOMPARE(finished.size(), 1);
}

// A renderer program that is not one: whatever it says or does, the job finishes once, as
// RendererFailed, with the reason.
void tst_RenderJob::rendererThatMisbehaves_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QString>("reason");

    QTest::newRow("exits at once") << QByteArray("exit 3") << "it exited with the code 3";
    QTest::newRow("says nothing and exits") << QByteArray("exit 0") << "it exited with the code 0";
    QTest::newRow("a message of no known type") << QByteArray("printf '\\0\\0\\0\\10\\0\\0\\0\\4\\0\\0\\0\\77'; exec sleep 10")
                                                << "it sent a message this program does not know";
    QTest::newRow("a frame longer than any message") << QByteArray("printf '\\377\\377\\377\\377'; exec sleep 10")
                                                     << "it sent a message this program does not know";
    QTest::newRow("half a frame, then the end") << QByteArray("printf '\\0\\0\\0\\20abc'; exit 0")
                                                << "it exited with the code 0";
    QTest::newRow("killed") << QByteArray("kill -9 $$") << "SIGKILL";
}

void tst_RenderJob::rendererThatMisbehaves()
{
    QFETCH(QByteArray, script);
    QFETCH(QString, reason);

    QTemporaryDir folder;
    const QString program = folder.filePath("renderer.sh");
    QFile file(program);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n" + script + "\n");
    file.close();
    QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    RenderClient client(program);
    RenderRequest request;
    request.paintingText = QStringLiteral("function render() { r = 1; }");
    RenderJob *job = client.start(request);
    QSignalSpy finished(job, &RenderJob::finished);
    QVERIFY(finished.wait(10000));
    QCOMPARE(job->result().outcome, Outcome::RendererFailed);
    QVERIFY2(job->result().errorText.contains(reason), qPrintable(job->result().errorText));
    QVERIFY(job->result().image.isNull());
    QTest::qWait(50);
    QCOMPARE(finished.size(), 1);
}

void tst_RenderJob::startsNoMoreProcessesThanTakeRows_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("processes");
    QTest::addColumn<int>("running");

    QTest::newRow("more processes than rows") << 3 << 50 << 3;
    QTest::newRow("as many as asked for") << 100 << 5 << 5;
    QTest::newRow("one row, which one process renders") << 1 << 8 << 1;
}

void tst_RenderJob::startsNoMoreProcessesThanTakeRows()
{
    QFETCH(int, rows);
    QFETCH(int, processes);
    QFETCH(int, running);

    RenderRequest request;
    request.paintingText = QStringLiteral("width = 2; height = %1; function render() { for (;;) {} }").arg(rows);
    request.processes = processes;
    const QList<qint64> before = runningChildren(QCoreApplication::applicationPid());
    auto renderers = [&before] {
        QList<qint64> children = runningChildren(QCoreApplication::applicationPid());
        for (qint64 child : before)
            children.removeAll(child);
        return children.size();
    };
    RenderClient client;
    RenderJob *job = client.start(request);
    // Until the rows are known, no more than the cores could keep busy.
    int beforeTheRows = -1;
    connect(job, &RenderJob::started, this, [&] { beforeTheRows = renderers(); });
    QSignalSpy started(job, &RenderJob::started);
    QVERIFY(started.wait(20000));
    QVERIFY2(beforeTheRows >= 1 && beforeTheRows <= qMin(processes, RenderClient::coreCount()),
             qPrintable(QString::number(beforeTheRows)));
    QTRY_COMPARE_WITH_TIMEOUT(renderers(), running, 10000);
    job->stop();
    delete job;
    QTRY_COMPARE_WITH_TIMEOUT(renderers(), 0, 10000);
}

// Each process runs the top level, and renders the rows it takes in whatever order; the lines
// come as one process prints them.
void tst_RenderJob::printsInTheOrderOfOneProcess_data()
{
    QTest::addColumn<QString>("painting");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("processes");
    QTest::addColumn<bool>("allLines");
    QTest::addColumn<QStringList>("lines");   // the first of them; "+N": N more counted
    QTest::addColumn<qint64>("dropped");

    const QString rows = QStringLiteral("width = 3; height = 12; print('top');\n"
                                        "function render() { if (x == 2) print('row'); }");
    QStringList everyRow{"top"};
    for (int y = 0; y < 12; ++y)
        everyRow << QStringLiteral("row@2,%1").arg(y);
    QTest::newRow("one process") << rows << 1 << 1 << false << everyRow << qint64(0);
    QTest::newRow("three processes") << rows << 1 << 3 << false << everyRow << qint64(0);
    QTest::newRow("the top level once, at half resolution")
        << "width = 6; height = 24; print('top');\nfunction render() { if (x == 4) print('row'); }"
        << 2 << 3 << false << everyRow.mid(0, 1) + QStringList{"row@4,0", "row@4,2", "row@4,4", "row@4,6", "row@4,8", "row@4,10", "row@4,12",
                                                          "row@4,14", "row@4,16", "row@4,18", "row@4,20", "row@4,22"}
        << qint64(0);
    const QString failing = QStringLiteral("width = 3; height = 12; print('top');\n"
                                           "function render() { if (x == 1) print('row');"
                                           " if (y == 5 && x == 1) throw new Error('no'); }");
    QStringList untilTheFailure{"top"};
    for (int y = 0; y <= 5; ++y)
        untilTheFailure << QStringLiteral("row@1,%1").arg(y);
    QTest::newRow("none after the failing pixel, one process") << failing << 1 << 1 << false << untilTheFailure << qint64(0);
    QTest::newRow("none after the failing pixel, three processes") << failing << 1 << 3 << false << untilTheFailure << qint64(0);
    const QString many = QStringLiteral("width = 50; height = 40; print('a\\nb');\n"
                                        "function render() { print(x); }");
    QTest::newRow("a thousand lines kept, the rest counted") << many << 1 << 1 << false << QStringList() << qint64(1002);
    QTest::newRow("a thousand lines kept across processes") << many << 1 << 4 << false << QStringList() << qint64(1002);
    QTest::newRow("every line when asked") << many << 1 << 4 << true << QStringList() << qint64(1002);
}

void tst_RenderJob::printsInTheOrderOfOneProcess()
{
    QFETCH(QString, painting);
    QFETCH(int, step);
    QFETCH(int, processes);
    QFETCH(bool, allLines);
    QFETCH(QStringList, lines);
    QFETCH(qint64, dropped);

    RenderRequest request;
    request.paintingText = painting;
    request.processes = processes;
    request.step = step;
    request.allLines = allLines;
    const ProcessRender render = renderInProcess(request);
    const ConsoleLines &console = render.result.console;
    if (!lines.isEmpty()) {
        QCOMPARE(shown(console.lines), lines);
        QCOMPARE(console.dropped, dropped);
        QCOMPARE(shown(render.printed), lines);
        return;
    }
    // 2 lines of the top level and 2000 of the pixels: x, row by row.
    QCOMPARE(console.lines.size(), ConsoleLines::kept);
    QCOMPARE(console.dropped, dropped);
    QCOMPARE(render.printed.size(), allLines ? 2002 : ConsoleLines::kept);
    QCOMPARE(render.printed.mid(0, ConsoleLines::kept), console.lines);
    for (int i = 2; i < render.printed.size(); ++i) {
        const ConsoleLine &line = render.printed.at(i);
        QCOMPARE(line.pixel, QPoint((i - 2) % 50, (i - 2) / 50));
        QCOMPARE(line.text, QString::number(line.pixel.x()));
    }
}

void tst_RenderJob::rendersOnePixelAlone_data()
{
    QTest::addColumn<QString>("painting");
    QTest::addColumn<QPoint>("place");
    QTest::addColumn<int>("step");
    QTest::addColumn<QStringList>("values");   // empty: the render failed
    QTest::addColumn<QRgb>("colour");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("error");

    const QString plain = QStringLiteral("function render() { r = x / 640; g = y / 480; b = 1.5; }");
    QTest::newRow("the numbers and the bytes") << plain << QPoint(320, 120) << 1
                                               << QStringList{"0.5", "0.25", "1.5"} << qRgb(127, 63, 126)
                                               << QStringList() << QString();
    QTest::newRow("a place of a half-resolution picture") << plain << QPoint(640, 0) << 2
                                                          << QStringList{"1", "0", "1.5"} << qRgb(255, 0, 126)
                                                          << QStringList() << QString();
    QTest::newRow("what is left unset") << "function render() { r = 'x'; g = undefined; }" << QPoint(0, 0) << 1
                                        << QStringList{"NaN", "NaN", "NaN"} << qRgb(0, 0, 0)
                                        << QStringList() << QString();
    QTest::newRow("a pixel alone, with its state fresh")
        << "var n = 0; print('top'); function render() { n++; r = n / 4; print('n', n); }" << QPoint(5, 7) << 1
        << QStringList{"0.25", "NaN", "NaN"} << qRgb(63, 0, 0)
        << QStringList{"top", "n 1@5,7"} << QString();
    QTest::newRow("an error at the pixel") << "function render() {\n print(x);\n throw new Error('here'); }" << QPoint(8, 9) << 1
                                           << QStringList() << QRgb(0) << QStringList{"8@8,9"} << "Error: here";
    QTest::newRow("an object returned is no error") << "function render() { r = 1; return {}; }" << QPoint(1, 1) << 1
                                                    << QStringList{"1", "NaN", "NaN"} << qRgb(255, 0, 0)
                                                    << QStringList() << QString();
}

void tst_RenderJob::rendersOnePixelAlone()
{
    QFETCH(QString, painting);
    QFETCH(QPoint, place);
    QFETCH(int, step);
    QFETCH(QStringList, values);
    QFETCH(QRgb, colour);
    QFETCH(QStringList, lines);
    QFETCH(QString, error);

    RenderRequest request;
    request.paintingText = painting;
    request.step = step;
    request.inspectedPlace = place;
    const RenderResult result = renderInProcess(request).result;
    QCOMPARE(shown(result.console.lines), lines);
    QVERIFY(result.image.isNull());
    if (!values.isEmpty()) {
        QCOMPARE(result.outcome, Outcome::Picture);
        QCOMPARE(result.channelValues, values);
        QCOMPARE(result.pixelColour, colour);
        return;
    }
    QCOMPARE(result.outcome, Outcome::ScriptError);
    QCOMPARE(result.errorText, error);
    QCOMPARE(result.errorPixel, place);
    QCOMPARE(result.errorLine, 3);
}

QTEST_GUILESS_MAIN(tst_RenderJob)
#include "tst_renderjob.moc"
