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
};

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

QTEST_GUILESS_MAIN(tst_RenderJob)
#include "tst_renderjob.moc"
