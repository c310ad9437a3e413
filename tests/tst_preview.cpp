#include "app/imageview.h"
#include "app/mainwindow.h"
#include "testsupport.h"

#include "app/codeeditor.h"
#include "app/consolepanel.h"
#include "app/pixelreadout.h"
#include "app/renderprogress.h"

#include <QAction>
#include <QApplication>
#include <QColor>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QtTest>

class tst_Preview : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetAppDir(); }
    void showsThePictureAndItsTime_data();
    void showsThePictureAndItsTime();
    void failedPreviewKeepsThePictureAndSaysWhy_data();
    void failedPreviewKeepsThePictureAndSaysWhy();
    void rowsShowAsTheyRender_data();
    void rowsShowAsTheyRender();
    void sizeThatLeavesNoPixelsIsSaid_data();
    void sizeThatLeavesNoPixelsIsSaid();
    void pictureTooLargeIsNotAScriptError();
    void builtInEditingSavesThePaintingFirst();
    void externalEditingReloadsBothScriptsFirst();
    void escapeStopsARenderThatNeverEnds();
    void progressTellsTheTime_data();
    void progressTellsTheTime();
    void commandsDuringARender_data();
    void commandsDuringARender();
    void scriptErrorShowsWhereItHappened_data();
    void scriptErrorShowsWhereItHappened();
    void errorLineStaysMarkedUntilTheNextEditOrRender();
    void errorLineIsNotShownInTextEditedDuringTheRender();
    void liveRenderNeitherSavesNorAsks_data();
    void liveRenderNeitherSavesNorAsks();
    void consoleShowsTheLatestRender_data();
    void consoleShowsTheLatestRender();
    void consoleOpensUnlessTheUserHidIt();
    void consoleWithTheExternalEditor();
    void clickInspectsThePixel_data();
    void clickInspectsThePixel();
};

void tst_Preview::showsThePictureAndItsTime_data()
{
    QTest::addColumn<QString>("painting");
    QTest::addColumn<bool>("lowQuality");
    QTest::addColumn<QSize>("pictureSize");
    QTest::addColumn<int>("maximumWidth");

    const QString red = QStringLiteral("function render() { r = 1; }\n");
    QTest::newRow("low quality halves the picture") << red << true << QSize(320, 240) << 640;
    QTest::newRow("odd width at low quality") << red + "width = 641;" << true << QSize(320, 240) << 640;
    QTest::newRow("full quality") << red << false << QSize(640, 480) << 640;
    QTest::newRow("small painting") << red + "width = 300; height = 200;" << true << QSize(150, 100) << 300;
    QTest::newRow("no-break space in a string reaches the script")
        << QString("function render() { r = '\\u00a0' == '%1' ? 1 : 0; }").arg(QChar(0xA0)) << true
        << QSize(320, 240) << 640;
}

void tst_Preview::showsThePictureAndItsTime()
{
    QFETCH(QString, painting);
    QFETCH(bool, lowQuality);
    QFETCH(QSize, pictureSize);
    QFETCH(int, maximumWidth);

    WindowParts w;
    w.window.show();
    if (!lowQuality)
        w.action("Low Quality Preview")->trigger();
    w.painting->setPlainText(painting);
    DialogAnswerer answerer;
    QVERIFY(w.preview());

    QCOMPARE(answerer.dialogCount, 0);
    QVERIFY(w.view->isVisible());
    QCOMPARE(w.view->sizeHint(), pictureSize);
    QCOMPARE(w.view->maximumWidth(), maximumWidth);
    QVERIFY2(QRegularExpression("^Rendered in \\d+\\.\\d sec$").match(w.status->text()).hasMatch(),
             qPrintable(w.status->text()));
    QCOMPARE(w.statusStack->currentWidget(), static_cast<QWidget *>(w.status));
    QCOMPARE(w.progress->maximum(), pictureSize.height());
    QVERIFY(w.progress->value() >= pictureSize.height() - pictureSize.height() / 20 - 1);

    QImage shown(w.view->size(), QImage::Format_RGB32);
    shown.fill(Qt::black);
    w.view->render(&shown);
    QCOMPARE(shown.pixel(shown.width() / 2, shown.height() / 2), qRgb(255, 0, 0));

    // The pixel under the pointer, in painting units, beside the status while it is there.
    auto *readout = part<QLabel>(&w.window, "pixelLabel");
    const QPoint centre = w.view->rect().center();
    // From elsewhere, so that the move to the centre is a move.
    QTest::mouseMove(w.view, QPoint(1, 1));
    QTest::mouseMove(w.view, centre);
    const QPoint place = w.view->pixelAt(centre) * (lowQuality ? 2 : 1);
    QTRY_VERIFY(readout->isVisible());
    QCOMPARE(readout->text(), pixelReadout(place, qRgb(255, 0, 0)));
    QVERIFY(w.status->isVisible());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(w.view, &leave);
    QVERIFY(!readout->isVisible());

    // The picture waited for is the same, and nothing on screen says so.
    const QString status = w.status->text();
    const QImage waitedFor = w.window.renderImage(lowQuality ? 2 : 1);
    QCOMPARE(waitedFor.size(), pictureSize);
    QCOMPARE(waitedFor.pixel(0, 0), qRgb(255, 0, 0));
    QCOMPARE(w.status->text(), status);
    QCOMPARE(w.statusStack->currentWidget(), static_cast<QWidget *>(w.status));
}

void tst_Preview::failedPreviewKeepsThePictureAndSaysWhy_data()
{
    QTest::addColumn<QString>("painting");
    QTest::addColumn<int>("boxes");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("says");
    QTest::addColumn<QString>("status");

    const QString scriptError = QStringLiteral("Script Error");
    QTest::newRow("error at the first pixel") << "function render() { throw new Error('broken'); }" << 1 << scriptError << "Error: broken"
        << "Error: broken (The Sketchbook, line 1, at pixel (0, 0))";
    QTest::newRow("error returned on a later row") << "function render() { if (y > 100) return new Error('late'); }" << 1 << scriptError << "Error: late"
        << "Error: late (At pixel (0, 102))";
    QTest::newRow("syntax error") << "function render() {" << 1 << scriptError << "SyntaxError"
        << "SyntaxError: Parse error (The Sketchbook, line 1)";
    QTest::newRow("the engine crashes") << "var o = { get p() { return 1; } }; o.p = 1; o.p = 2;" << 1 << "Renderer Stopped" << "SIGSEGV"
        << "The renderer stopped: it was ended by the signal SIGSEGV";
    QTest::newRow("the renderer aborts") << "function render() { new RegExp(new Array(20001).join('(') + new Array(20001).join(')')); }"
                                         << 1 << "Renderer Stopped" << "signal" << "The renderer stopped: it was ended by the signal";
}

// The picture shown before stays, faded; the status says in red why there is no new one,
// until the next edit.
void tst_Preview::failedPreviewKeepsThePictureAndSaysWhy()
{
    QFETCH(QString, painting);
    QFETCH(int, boxes);
    QFETCH(QString, title);
    QFETCH(QString, says);
    QFETCH(QString, status);

    WindowParts w;
    w.window.show();
    w.painting->setPlainText(QStringLiteral("width = 20; height = 10; function render() { g = 1; }"));
    QVERIFY(w.preview());
    const QColor usual = w.status->palette().color(QPalette::WindowText);
    const QSize shownSize = w.view->sizeHint();
    QVERIFY(w.view->isVisible());

    w.painting->setPlainText(painting);
    DialogAnswerer answerer;
    QVERIFY(w.preview());

    QCOMPARE(answerer.messages.size(), boxes);
    if (boxes) {
        QCOMPARE(answerer.messages.first().title, title);
        QVERIFY2(answerer.messages.first().text.contains(says), qPrintable(answerer.messages.first().text));
    }
    QCOMPARE(w.painting->toPlainText(), painting);
    // The box's text stays readable once it is closed.
    QVERIFY(w.console->isVisible());
    QVERIFY2(w.console->toPlainText().contains(says), qPrintable(w.console->toPlainText()));
    QVERIFY2(w.status->text().startsWith(status), qPrintable(w.status->text()));
    QVERIFY(w.status->palette().color(QPalette::WindowText) != usual);
    QCOMPARE(w.statusStack->currentWidget(), static_cast<QWidget *>(w.status));
    QVERIFY(w.view->isVisible());
    QCOMPARE(w.view->sizeHint(), shownSize);
    QVERIFY(w.view->isOutOfDate());

    w.painting->moveCursor(QTextCursor::End);
    w.painting->insertPlainText(QStringLiteral(" "));
    QCOMPARE(w.status->text(), QString());
    QCOMPARE(w.status->palette().color(QPalette::WindowText), usual);
}

void tst_Preview::rowsShowAsTheyRender_data()
{
    QTest::addColumn<QString>("before");   // a painting previewed first; none leaves the view hidden
    QTest::addColumn<bool>("sameSize");
    QTest::addColumn<bool>("fails");
    QTest::addColumn<QString>("status");

    const QString sameSize = QStringLiteral("width = 40; height = 40; function render() { b = 1; }");
    const QString otherSize = QStringLiteral("width = 60; height = 60; function render() { b = 1; }");
    const QString stopped = QStringLiteral("The render was stopped");
    const QString failed = QStringLiteral("Error: late (The Sketchbook, line 2, at pixel (0, 20))");
    QTest::newRow("hidden view, Escape") << QString() << false << false << stopped;
    QTest::newRow("hidden view, failure") << QString() << false << true << failed;
    QTest::newRow("same size, Escape") << sameSize << true << false << stopped;
    QTest::newRow("same size, failure") << sameSize << true << true << failed;
    QTest::newRow("another size, Escape") << otherSize << false << false << stopped;
    QTest::newRow("another size, failure") << otherSize << false << true << failed;
}

// The top half of the picture renders at once, then the render waits at its first pixel below:
// for good, until Escape, or for three seconds before it fails.
void tst_Preview::rowsShowAsTheyRender()
{
    QFETCH(QString, before);
    QFETCH(bool, sameSize);
    QFETCH(bool, fails);
    QFETCH(QString, status);

    WindowParts w;
    w.window.show();
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    const QRgb blue = qRgb(0, 0, 255);
    const QRgb red = qRgb(255, 0, 0);
    if (!before.isEmpty()) {
        w.painting->setPlainText(before);
        QVERIFY(w.preview());
    }
    const bool wasVisible = w.view->isVisible();
    const QSize shownSize = w.view->sizeHint();
    const QString wait = fails ? QStringLiteral("var t = Date.now(); while (Date.now() - t < 3000) {}"
                                                " throw new Error('late');")
                               : QStringLiteral("while (true) {}");
    w.painting->setPlainText("width = 40; height = 40;\n"
                             "function render() { r = 1; if (y >= 20) { " + wait + " } }");
    DialogAnswerer answerer;
    w.window.updatePreview();

    QTRY_VERIFY_WITH_TIMEOUT(w.view->isVisible() && w.view->pixelColour(QPoint(0, 9)) == red, 2500);
    QCOMPARE(w.view->sizeHint(), QSize(20, 20));
    QCOMPARE(w.view->pixelColour(QPoint(19, 0)), red);
    const QRgb below = sameSize ? blue : w.view->palette().color(QPalette::Base).rgb();
    QCOMPARE(w.view->pixelColour(QPoint(0, 10)), below);
    QCOMPARE(w.view->pixelColour(QPoint(19, 19)), below);
    if (!fails)
        QTest::keyClick(w.painting, Qt::Key_Escape);
    QVERIFY(waitForRender(w.window));

    QCOMPARE(answerer.messages.size(), fails ? 1 : 0);
    QVERIFY2(w.status->text() == status, qPrintable(w.status->text()));
    QCOMPARE(w.view->isVisible(), wasVisible);
    QCOMPARE(w.view->sizeHint(), shownSize);
    if (wasVisible) {
        QCOMPARE(w.view->pixelColour(QPoint(0, 0)), blue);
        QCOMPARE(w.view->isOutOfDate(), fails);
    }
}

void tst_Preview::sizeThatLeavesNoPixelsIsSaid_data()
{
    QTest::addColumn<QString>("painting");
    QTest::addColumn<QString>("status");

    QTest::newRow("width 0") << "width = 0; function render() {}"
                             << "The painting's size, 0 × 480, leaves no pixels";
    QTest::newRow("negative height") << "height = -5;" << "The painting's size, 640 × -5, leaves no pixels";
    QTest::newRow("-Infinity") << "width = -Infinity;" << "The painting's size, -Infinity × 480, leaves no pixels";
    QTest::newRow("NaN") << "height = NaN;" << "The painting's size, 640 × NaN, leaves no pixels";
}

// Said in the status area, where the render's time would be, over the last picture faded.
void tst_Preview::sizeThatLeavesNoPixelsIsSaid()
{
    QFETCH(QString, painting);
    QFETCH(QString, status);

    WindowParts w;
    w.window.show();
    w.painting->setPlainText(QStringLiteral("width = 20; height = 10; function render() { g = 1; }"));
    QVERIFY(w.preview());
    const QColor usual = w.status->palette().color(QPalette::WindowText);

    w.painting->setPlainText(painting);
    DialogAnswerer answerer;
    QVERIFY(w.preview());

    QCOMPARE(answerer.dialogCount, 0);
    QCOMPARE(w.status->text(), status);
    QVERIFY(w.status->palette().color(QPalette::WindowText) != usual);
    QCOMPARE(w.statusStack->currentWidget(), static_cast<QWidget *>(w.status));
    QVERIFY(w.view->isVisible());
    QCOMPARE(w.view->sizeHint(), QSize(10, 5));
    QVERIFY(w.view->isOutOfDate());

    // The next picture is shown as usual.
    w.painting->setPlainText(QStringLiteral("width = 20; height = 10; function render() { b = 1; }"));
    QVERIFY(w.preview());
    QVERIFY(w.status->text().startsWith("Rendered in"));
    QCOMPARE(w.status->palette().color(QPalette::WindowText), usual);
    QVERIFY(!w.view->isOutOfDate());
}

void tst_Preview::pictureTooLargeIsNotAScriptError()
{
    WindowParts w;
    w.painting->setPlainText(QStringLiteral("width = 200000; height = 200000;"));
    DialogAnswerer answerer;
    QVERIFY(w.preview());
    QCOMPARE(answerer.messages.size(), 1);
    QVERIFY(answerer.messages.first().title != QStringLiteral("Script Error"));
    QVERIFY2(answerer.messages.first().text.contains("100000 × 100000"), qPrintable(answerer.messages.first().text));
    QVERIFY(!w.view->isVisible());
    QCOMPARE(w.statusStack->currentWidget(), static_cast<QWidget *>(w.status));
}

void tst_Preview::builtInEditingSavesThePaintingFirst()
{
    WindowParts w;
    const QString painting = QStringLiteral("function render() { throw new Error('still saved'); }");
    w.painting->setPlainText(painting);
    w.stdlib->setPlainText(QStringLiteral("var unsaved = 1;"));
    DialogAnswerer answerer;
    QVERIFY(w.preview());
    QCOMPARE(answerer.messages.size(), 1);
    QCOMPARE(readBytes(paintingFile("Sketchbook.js")), painting.toUtf8());
    QVERIFY(!QFile::exists(stdlibFile()));
}

void tst_Preview::externalEditingReloadsBothScriptsFirst()
{
    DesktopRecorder desktop;
    WindowParts w;
    w.window.show();
    w.action("Use External Editor")->trigger();
    QVERIFY(writeBytes(stdlibFile(), "function level() { return 1; }\n"));
    QVERIFY(writeBytes(paintingFile("Sketchbook.js"), "width = 4; height = 4;\nfunction render() { b = level(); }\n"));
    w.painting->setPlainText(QStringLiteral("typed but never saved"));

    DialogAnswerer answerer;
    QVERIFY(w.preview());

    QCOMPARE(answerer.dialogCount, 0);
    QCOMPARE(w.painting->toPlainText(), QStringLiteral("width = 4; height = 4;\nfunction render() { b = level(); }\n"));
    QCOMPARE(w.stdlib->toPlainText(), QStringLiteral("function level() { return 1; }\n"));
    QCOMPARE(w.view->sizeHint(), QSize(2, 2));
    QVERIFY(w.view->isVisible());
}

void tst_Preview::escapeStopsARenderThatNeverEnds()
{
    WindowParts w;
    w.window.show();
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    w.status->setText(QStringLiteral("earlier"));
    w.painting->setPlainText(QStringLiteral("function render() { while (true) {} }"));

    DialogAnswerer answerer;
    QString shownWhileRunning;
    // The window takes typing during the render, and the status area says how to stop it.
    QTimer::singleShot(200, &w.window, [&w, &shownWhileRunning] {
        shownWhileRunning = w.progress->isVisible() ? w.progress->text() : QString();
        w.painting->moveCursor(QTextCursor::End);
        QTest::keyClicks(w.painting, "// typed");
    });
    QTimer::singleShot(400, &w.window, [&w] { QTest::keyClick(w.painting, Qt::Key_Escape); });
    QVERIFY(w.preview());

    QVERIFY2(shownWhileRunning.contains("Esc"), qPrintable(shownWhileRunning));
    QCOMPARE(w.painting->toPlainText(), QStringLiteral("function render() { while (true) {} }// typed"));
    QCOMPARE(answerer.dialogCount, 0);
    QCOMPARE(w.status->text(), QStringLiteral("The render was stopped"));
    QCOMPARE(w.statusStack->currentWidget(), static_cast<QWidget *>(w.status));
    QVERIFY(!w.view->isVisible());
}

void tst_Preview::progressTellsTheTime_data()
{
    QTest::addColumn<qint64>("elapsedMs");
    QTest::addColumn<qint64>("rowsMs");   // of it, since the rows began
    QTest::addColumn<int>("rowsDone");
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<QString>("text");

    QTest::newRow("no rows yet") << qint64(400) << qint64(0) << 0 << 100 << "0:00 elapsed";
    QTest::newRow("too early to tell") << qint64(5000) << qint64(900) << 50 << 100 << "0:05 elapsed";
    QTest::newRow("half way") << qint64(7300) << qint64(6000) << 50 << 100
                              << "0:07 elapsed, about 0:06 left";
    QTest::newRow("the last moment rounds up") << qint64(2000) << qint64(1500) << 99 << 100
                                               << "0:02 elapsed, about 0:01 left";
    QTest::newRow("minutes") << qint64(125000) << qint64(120000) << 25 << 100
                             << "2:05 elapsed, about 6:00 left";
    QTest::newRow("hours") << qint64(3725000) << qint64(3725000) << 1 << 2
                           << "1:02:05 elapsed, about 1:02:05 left";
}

void tst_Preview::progressTellsTheTime()
{
    QFETCH(qint64, elapsedMs);
    QFETCH(qint64, rowsMs);
    QFETCH(int, rowsDone);
    QFETCH(int, rowCount);
    QFETCH(QString, text);

    QCOMPARE(RenderProgress::timeText(elapsedMs, RenderProgress::timeLeft(rowsMs, rowsDone, rowCount)),
             text);
}

void tst_Preview::commandsDuringARender_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("pictureShown");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("dialogs");

    QTest::newRow("Ctrl+R renders the new text") << "preview" << true << "Rendered in" << 0;
    QTest::newRow("Ctrl+S exports the new text") << "export" << false << "Exported exported.png, 680 × 520 pixels" << 1;
    QTest::newRow("picking a painting stops the render") << "pick" << false << "" << 0;
    QTest::newRow("closing the window stops the render") << "close" << false << "The render was stopped" << 0;
}

void tst_Preview::commandsDuringARender()
{
    QFETCH(QString, command);
    QFETCH(bool, pictureShown);
    QFETCH(QString, status);
    QFETCH(int, dialogs);

    QVERIFY(QDir().mkpath(paintingsPath()));
    QVERIFY(writeBytes(paintingFile("Other.js"), "function render() { b = 1; }"));
    WindowParts w;
    w.window.show();
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    w.status->setText(QStringLiteral("earlier"));
    w.painting->setPlainText(QStringLiteral("function render() { while (true) {} }"));

    DialogAnswerer answerer;
    QTemporaryDir folder;
    const QString exported = folder.filePath("exported.png");
    answerer.answerFile(exported);
    QTimer::singleShot(300, &w.window, [&w, command] {
        if (command == "preview" || command == "export") {
            w.painting->setPlainText(QStringLiteral("function render() { r = 1; }"));
            QTest::keyClick(w.painting, command == "preview" ? Qt::Key_R : Qt::Key_S,
                            Qt::ControlModifier);
        } else if (command == "pick") {
            w.list->setCurrentIndex(1);
        } else {
            w.window.close();
        }
    });
    QElapsedTimer clock;
    clock.start();
    QVERIFY(w.preview());

    // Without the command the endless render would hold the call for good.
    QVERIFY2(clock.elapsed() < 60000, "the render went on");
    QCOMPARE(answerer.dialogCount, dialogs);
    QCOMPARE(QImage(exported).size(), dialogs ? QSize(680, 520) : QSize(0, 0));
    QCOMPARE(w.view->isVisible(), pictureShown);
    QVERIFY2(status.isEmpty() ? w.status->text().isEmpty() : w.status->text().startsWith(status),
             qPrintable(w.status->text()));
    QCOMPARE(w.statusStack->currentWidget(), static_cast<QWidget *>(w.status));
    if (command == "close")
        QVERIFY(!w.window.isVisible());
}

void tst_Preview::scriptErrorShowsWhereItHappened_data()
{
    QTest::addColumn<QString>("stdlib");
    QTest::addColumn<QString>("painting");
    QTest::addColumn<bool>("external");
    QTest::addColumn<bool>("fromStdlibPage");
    QTest::addColumn<QString>("place");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("editor");   // the one showing the line; none moves when empty
    QTest::addColumn<int>("line");

    const QString thrown = "function render() {\n    r = 1;\n    throw new Error('no');\n}";
    const QString library = "// helpers\nfunction fail() { throw new Error('lib'); }";
    const QString callsLibrary = "function render() { if (y == 4) fail(); }";
    QTest::newRow("thrown in render") << "" << thrown << false << false
        << "The Sketchbook, line 3, at pixel (0, 0)" << "paintingPage" << "paintingEditor" << 3;
    QTest::newRow("syntax error in the painting") << "" << "var a = 1;\nvar = 2;" << false << false
        << "The Sketchbook, line 2" << "paintingPage" << "paintingEditor" << 2;
    QTest::newRow("thrown in a library function") << library << callsLibrary << false << false
        << "stdlib.js, line 2, at pixel (0, 4)" << "stdlibPage" << "stdlibEditor" << 2;
    QTest::newRow("syntax error in the library") << "function (" << "" << false << false
        << "stdlib.js, line 1" << "stdlibPage" << "stdlibEditor" << 1;
    QTest::newRow("painting error seen from the library page") << "" << "\nthrow new Error('top');"
        << false << true << "The Sketchbook, line 2" << "paintingPage" << "paintingEditor" << 2;
    QTest::newRow("Error returned by render")
        << "" << "width = 5; height = 5; function render() { if (x == 3 && y == 2) return new Error('mid'); }"
        << false << false << "At pixel (3, 2)" << "paintingPage" << "" << 0;
    QTest::newRow("external editor: the file and line, nothing moves") << "" << thrown << true << false
        << "Sketchbook.js, line 3, at pixel (0, 0)" << "paintingPage" << "" << 0;
    QTest::newRow("external editor: a library error keeps the page") << library << callsLibrary
        << true << false << "stdlib.js, line 2, at pixel (0, 4)" << "paintingPage" << "" << 0;
}

void tst_Preview::scriptErrorShowsWhereItHappened()
{
    QFETCH(QString, stdlib);
    QFETCH(QString, painting);
    QFETCH(bool, external);
    QFETCH(bool, fromStdlibPage);
    QFETCH(QString, place);
    QFETCH(QString, page);
    QFETCH(QString, editor);
    QFETCH(int, line);

    WindowParts w;
    w.window.show();
    QApplication::setActiveWindow(&w.window);
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    w.window.setLowQuality(false);
    w.stdlib->setPlainText(stdlib);
    w.painting->setPlainText(painting);
    for (QPlainTextEdit *e : {w.painting, w.stdlib}) {
        QTextCursor cursor = e->textCursor();
        cursor.setPosition(1);
        e->setTextCursor(cursor);
    }
    DesktopRecorder desktop;
    if (external)
        w.action("Use External Editor")->setChecked(true);
    if (fromStdlibPage)
        w.window.toggleStdlibView();

    DialogAnswerer answerer;
    QString informative;
    bool plainText = false;
    answerer.answerWith([&](QWidget *dialog) {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        QVERIFY(box);
        informative = box->informativeText();
        plainText = box->textFormat() == Qt::PlainText;
        for (QLabel *label : box->findChildren<QLabel *>()) {
            if (label->text() == informative)
                plainText = plainText && label->textFormat() == Qt::PlainText;
        }
        box->accept();
    });
    QVERIFY(w.preview());

    QCOMPARE(answerer.messages.size(), 1);
    QCOMPARE(answerer.messages.first().title, QStringLiteral("Script Error"));
    QVERIFY(answerer.messages.first().text.contains("Error: "));
    QCOMPARE(informative, place);
    QVERIFY2(plainText, "script text in the box is not shown as plain text");
    QVERIFY2(w.console->toPlainText().endsWith(QStringLiteral(" (%1)").arg(place)),
             qPrintable(w.console->toPlainText()));
    QCOMPARE(part<QStackedWidget>(&w.window, "editorStack")->currentWidget(),
             part<QWidget>(&w.window, page));
    for (CodeEditor *e : {static_cast<CodeEditor *>(w.painting), static_cast<CodeEditor *>(w.stdlib)}) {
        if (e->objectName() == editor) {
            QCOMPARE(e->textCursor().position(), e->document()->findBlockByNumber(line - 1).position());
            QCOMPARE(e->errorLine(), line);
            QCOMPARE(w.window.focusWidget(), static_cast<QWidget *>(e));
        } else {
            QCOMPARE(e->textCursor().blockNumber(), 0);
            QCOMPARE(e->errorLine(), 0);
        }
    }
}

void tst_Preview::errorLineStaysMarkedUntilTheNextEditOrRender()
{
    WindowParts w;
    auto *painting = static_cast<CodeEditor *>(w.painting);
    auto *stdlib = static_cast<CodeEditor *>(w.stdlib);
    w.stdlib->setPlainText("function check() {\n    if (broken) throw new Error('broken');\n}");
    w.painting->setPlainText("var broken = true;\nfunction render() { check(); }");
    DialogAnswerer answerer;
    QVERIFY(w.preview());
    QCOMPARE(answerer.messages.size(), 1);
    QCOMPARE(stdlib->errorLine(), 2);

    // Mending the painting leaves the library's mark; the render that follows ends it.
    w.painting->setPlainText("var broken = false;\nfunction render() { check(); }");
    QCOMPARE(stdlib->errorLine(), 2);
    QVERIFY(w.preview());
    QCOMPARE(answerer.messages.size(), 1);
    QVERIFY(!w.view->isHidden());
    QCOMPARE(stdlib->errorLine(), 0);

    // An error in the painting, then an edit there.
    w.window.openPainter();
    w.painting->setPlainText("var broken = true;\nfunction render() { if (broken) throw new Error('own'); }");
    QVERIFY(w.preview());
    QCOMPARE(answerer.messages.size(), 2);
    QCOMPARE(painting->errorLine(), 2);
    QTest::keyClick(w.painting, Qt::Key_X);
    QCOMPARE(painting->errorLine(), 0);
    QCOMPARE(w.painting->document()->findBlockByNumber(1).text().left(1), QStringLiteral("x"));
}

void tst_Preview::errorLineIsNotShownInTextEditedDuringTheRender()
{
    WindowParts w;
    auto *painting = static_cast<CodeEditor *>(w.painting);
    w.painting->setPlainText("function render() {\n    throw new Error('late');\n}");
    // The window takes input while the renderer works: here a line typed at the top, which
    // moves the error's line down by one.
    QTimer::singleShot(0, w.painting, [&w] {
        w.painting->moveCursor(QTextCursor::Start);
        w.painting->insertPlainText("// typed meanwhile\n");
    });
    DialogAnswerer answerer;
    QVERIFY(w.preview());

    QCOMPARE(answerer.messages.size(), 1);
    QCOMPARE(painting->errorLine(), 0);
    QCOMPARE(w.painting->textCursor().blockNumber(), 1);
}

void tst_Preview::liveRenderNeitherSavesNorAsks_data()
{
    QTest::addColumn<QString>("painting");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("outOfDate");
    QTest::addColumn<QSize>("pictureSize");   // at half resolution
    QTest::addColumn<QString>("console");

    const QSize before(10, 5);
    QTest::newRow("picture") << "function render() { r = 1; }" << "Live: rendered in" << false << QSize(320, 240) << "";
    QTest::newRow("syntax error, with its line")
        << "function render() {\n  g = ;\n}" << "SyntaxError: Parse error (The Sketchbook, line 2)" << true << before
        << "SyntaxError: Parse error (The Sketchbook, line 2)";
    QTest::newRow("error from render, with its pixel")
        << "function render() { if (y == 4) throw new Error('four'); }" << "Error: four" << true << before
        << "Error: four (The Sketchbook, line 1, at pixel (0, 4))";
    QTest::newRow("no pixels") << "height = 0;" << "Live: the painting's size, 640 × 0, leaves no pixels" << true << before
        << "The painting's size, 640 × 0, leaves no pixels";
    QTest::newRow("printed lines") << "print('live'); function render() { r = 1; }" << "Live: rendered in" << false << QSize(320, 240)
        << "top level: live";
}

void tst_Preview::liveRenderNeitherSavesNorAsks()
{
    QFETCH(QString, painting);
    QFETCH(QString, status);
    QFETCH(bool, outOfDate);
    QFETCH(QSize, pictureSize);
    QFETCH(QString, console);

    WindowParts w;
    w.window.show();
    w.painting->setPlainText(QStringLiteral("width = 20; height = 10; function render() { b = 1; }"));
    DialogAnswerer answerer;
    w.action("Live Preview")->trigger();
    QTRY_VERIFY(w.status->text().startsWith("Live: rendered in"));
    QCOMPARE(w.view->sizeHint(), QSize(10, 5));

    // Typing starts the next live render after a pause.
    w.painting->setPlainText(painting);
    QTRY_VERIFY2_WITH_TIMEOUT(w.status->text().startsWith(status) && w.view->sizeHint() == pictureSize,
                              qPrintable(w.status->text()), 10000);
    QCOMPARE(w.view->isOutOfDate(), outOfDate);
    QVERIFY(w.view->isVisible());
    QCOMPARE(answerer.dialogCount, 0);
    QVERIFY(!QFile::exists(paintingFile("Sketchbook.js")));
    QCOMPARE(w.console->toPlainText(), console);
    QCOMPARE(w.console->isVisible(), !console.isEmpty());
}

void tst_Preview::consoleShowsTheLatestRender_data()
{
    QTest::addColumn<QString>("painting");
    QTest::addColumn<QString>("console");   // its lines; the panel stays closed when empty

    QTest::newRow("the top level and a pixel, in painting units")
        << "print('a'); width = 8; height = 8;\nfunction render() { if (x == 6 && y == 6) console.warn('w'); }"
        << "top level: a\n(6, 6): w";
    QTest::newRow("nothing printed") << "function render() { r = 1; }" << "";
    QTest::newRow("the lines before a failure, then the failure with its place")
        << "width = 8; height = 8; function render() {\n print(x);\n if (x == 2) throw new Error('two'); }"
        << "(0, 0): 0\n(2, 0): 2\nError: two (The Sketchbook, line 3, at pixel (2, 0))";
    QTest::newRow("a thousand lines and how many more")
        << "width = 100; height = 100; function render() { print(x, y); }" << "%1000 +1500";
}

void tst_Preview::consoleShowsTheLatestRender()
{
    QFETCH(QString, painting);
    QFETCH(QString, console);

    WindowParts w;
    w.window.show();
    w.painting->setPlainText(QStringLiteral("print('earlier'); function render() { r = 1; }"));
    QVERIFY(w.preview());
    QCOMPARE(w.console->toPlainText(), QStringLiteral("top level: earlier"));
    QVERIFY(w.console->isVisible());
    w.action("Show Console")->trigger();
    QVERIFY(!w.console->isVisible());

    // Hidden by the user, it shows the next render all the same once asked for.
    w.painting->setPlainText(painting);
    DialogAnswerer answerer;
    QVERIFY(w.preview());
    QVERIFY(!w.console->isVisible());
    w.action("Show Console")->trigger();
    QVERIFY(w.console->isVisible());
    if (!console.startsWith('%')) {
        QCOMPARE(w.console->toPlainText(), console);
        return;
    }
    const QStringList lines = w.console->toPlainText().split('\n');
    QCOMPARE(lines.size(), ConsoleLines::kept + 1);
    QCOMPARE(lines.first(), QStringLiteral("(0, 0): 0 0"));
    // 50 pixels a row at half resolution.
    QCOMPARE(lines.at(ConsoleLines::kept - 1), QStringLiteral("(98, 38): 98 38"));
    QCOMPARE(lines.last(), QStringLiteral("... and 1500 more lines, not shown"));
}

void tst_Preview::consoleOpensUnlessTheUserHidIt()
{
    WindowParts w;
    w.window.show();
    QAction *show = w.action("Show Console");
    QVERIFY(!w.console->isVisible());
    QVERIFY(!show->isChecked());
    w.painting->setPlainText(QStringLiteral("width = 4; height = 4; function render() {}"));
    QVERIFY(w.preview());
    QVERIFY(!w.console->isVisible());

    w.painting->setPlainText(QStringLiteral("width = 4; height = 4; print(1); function render() {}"));
    QVERIFY(w.preview());
    QVERIFY(w.console->isVisible());
    QVERIFY(show->isChecked());
    // A render that prints nothing leaves it open, and empty.
    w.painting->setPlainText(QStringLiteral("width = 4; height = 4; function render() {}"));
    QVERIFY(w.preview());
    QVERIFY(w.console->isVisible());
    QCOMPARE(w.console->toPlainText(), QString());

    show->trigger();
    QVERIFY(!w.console->isVisible());
    QVERIFY(!show->isChecked());
    w.painting->setPlainText(QStringLiteral("width = 4; height = 4; print(2); function render() {}"));
    QVERIFY(w.preview());
    QVERIFY(!w.console->isVisible());
    QCOMPARE(w.console->toPlainText(), QStringLiteral("top level: 2"));
    show->trigger();
    QVERIFY(w.console->isVisible());
    QVERIFY(show->isChecked());
}

// With the editor out of the window, the console alone takes its place, and nothing does while
// it is hidden.
void tst_Preview::consoleWithTheExternalEditor()
{
    WindowParts w;
    w.window.show();
    DesktopRecorder desktop;
    w.action("Use External Editor")->setChecked(true);
    QWidget *pane = w.console->parentWidget();
    QVERIFY(!pane->isVisible());
    QVERIFY(writeBytes(paintingFile("Sketchbook.js"), "print('outside'); function render() { r = 1; }"));
    QVERIFY(w.preview());
    QVERIFY(pane->isVisible());
    QVERIFY(!w.painting->isVisible());
    QCOMPARE(w.console->toPlainText(), QStringLiteral("top level: outside"));
    w.action("Show Console")->trigger();
    QVERIFY(!pane->isVisible());
    w.action("Use External Editor")->setChecked(false);
    QVERIFY(pane->isVisible());
    QVERIFY(!w.console->isVisible());
}

void tst_Preview::clickInspectsThePixel_data()
{
    QTest::addColumn<bool>("lowQuality");
    QTest::addColumn<QString>("later");   // the painting as edited after the preview
    // {x} and {y}: the pixel's place in painting units, {r} and {g} them over 100, {bytes} its
    QTest::addColumn<QString>("result");

    const QString note = QStringLiteral("Pixel x {x}, y {y}, rendered alone: both scripts ran afresh for it.\n"
                                        "A painting that keeps state from pixel to pixel may give another "
                                        "value in the full render.\n");
    QTest::newRow("full quality") << false << "" << note + "({x}, {y}): at {x} {y}\nr = {r}, g = {g}, b = 0.5, which become {bytes}";
    QTest::newRow("half resolution: painting units") << true << "" << note + "({x}, {y}): at {x} {y}\nr = {r}, g = {g}, b = 0.5, which become {bytes}";
    QTest::newRow("the scripts as they are now")
        << false << "print('now'); width = 100; height = 80; function render() { b = 1; }"
        << note + "top level: now\nr = NaN, g = NaN, b = 1, which become 0, 0, 255 (#0000FF)";
    QTest::newRow("an error at the pixel")
        << false << "width = 100; height = 80; function render() {\n throw new Error('no ' + x); }"
        << note + "Error: no {x} (The Sketchbook, line 2, at pixel ({x}, {y}))";
}

void tst_Preview::clickInspectsThePixel()
{
    QFETCH(bool, lowQuality);
    QFETCH(QString, later);
    QFETCH(QString, result);

    WindowParts w;
    w.window.resize(900, 600);
    w.window.show();
    w.window.setLowQuality(lowQuality);
    w.painting->setPlainText(QStringLiteral("width = 100; height = 80;\n"
                                            "function render() { r = x / 100; g = y / 100; b = 0.5; print('at', x, y); }"));
    QVERIFY(w.preview());
    if (!later.isEmpty())
        w.painting->setPlainText(later);
    const QPoint point = w.view->rect().center() + QPoint(37, 23);
    const QPoint pixel = w.view->pixelAt(point);
    QVERIFY(pixel.x() >= 0);
    const QPoint place = w.view->paintingPlace(pixel);
    QVERIFY(place.x() >= 10 && place.y() >= 10);
    if (lowQuality)
        QCOMPARE(place, pixel * 2);
    QTest::mouseClick(w.view, Qt::LeftButton, Qt::NoModifier, point);
    const QRgb colour = w.view->pixelColour(pixel);
    const QString bytes = QStringLiteral("%1, %2, %3 (%4)").arg(qRed(colour)).arg(qGreen(colour))
                              .arg(qBlue(colour)).arg(QColor(colour).name().toUpper());
    const QString expected = QString(result)
                                 .replace("{x}", QString::number(place.x()))
                                 .replace("{y}", QString::number(place.y()))
                                 .replace("{r}", QString::number(place.x() / 100.0))
                                 .replace("{g}", QString::number(place.y() / 100.0))
                                 .replace("{bytes}", bytes);
    QTRY_COMPARE_WITH_TIMEOUT(w.console->toPlainText(), expected, 10000);
    QVERIFY(w.console->isVisible());
}

QTEST_MAIN(tst_Preview)
#include "tst_preview.moc"
