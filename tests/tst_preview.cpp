#include "view/imageview.h"
#include "app/mainwindow.h"
#include "testsupport.h"

#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QTextCursor>
#include <QtTest>

class tst_Preview : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetAppDir(); }
    void showsThePictureAndItsTime_data();
    void showsThePictureAndItsTime();
    void failedPreviewChangesNothingOnScreen_data();
    void failedPreviewChangesNothingOnScreen();
    void pictureTooLargeIsNotAScriptError();
    void builtInEditingSavesThePaintingFirst();
    void externalEditingReloadsBothScriptsFirst();
    void escapeStopsARenderThatNeverEnds();
    void commandsDuringARender_data();
    void commandsDuringARender();
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
    w.window.updatePreview();

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
}

void tst_Preview::failedPreviewChangesNothingOnScreen_data()
{
    QTest::addColumn<QString>("painting");
    QTest::addColumn<int>("boxes");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("says");

    const QString scriptError = QStringLiteral("Script Error");
    QTest::newRow("error at the first pixel") << "function render() { throw new Error('broken'); }" << 1 << scriptError << "Error: broken";
    QTest::newRow("error returned on a later row") << "function render() { if (y > 100) return new Error('late'); }" << 1 << scriptError << "Error: late";
    QTest::newRow("syntax error") << "function render() {" << 1 << scriptError << "SyntaxError";
    QTest::newRow("no pixels") << "width = 0; function render() {}" << 0 << QString() << QString();
    QTest::newRow("the engine crashes") << "var o = { get p() { return 1; } }; o.p = 1; o.p = 2;" << 1 << "Renderer Stopped" << "SIGSEGV";
    QTest::newRow("the renderer aborts") << "function render() { new RegExp(new Array(20001).join('(') + new Array(20001).join(')')); }"
                                         << 1 << "Renderer Stopped" << "signal";
}

void tst_Preview::failedPreviewChangesNothingOnScreen()
{
    QFETCH(QString, painting);
    QFETCH(int, boxes);
    QFETCH(QString, title);
    QFETCH(QString, says);

    WindowParts w;
    w.window.show();
    w.painting->setPlainText(QStringLiteral("width = 20; height = 10; function render() { g = 1; }"));
    w.window.updatePreview();
    const QString shownText = w.status->text();
    const QSize shownSize = w.view->sizeHint();
    QVERIFY(w.view->isVisible());

    w.painting->setPlainText(painting);
    DialogAnswerer answerer;
    w.window.updatePreview();

    QCOMPARE(answerer.messages.size(), boxes);
    if (boxes) {
        QCOMPARE(answerer.messages.first().title, title);
        QVERIFY2(answerer.messages.first().text.contains(says), qPrintable(answerer.messages.first().text));
    }
    QCOMPARE(w.painting->toPlainText(), painting);
    QCOMPARE(w.status->text(), shownText);
    QCOMPARE(w.statusStack->currentWidget(), static_cast<QWidget *>(w.status));
    QVERIFY(w.view->isVisible());
    QCOMPARE(w.view->sizeHint(), shownSize);
}

void tst_Preview::pictureTooLargeIsNotAScriptError()
{
    WindowParts w;
    w.painting->setPlainText(QStringLiteral("width = 200000; height = 200000;"));
    DialogAnswerer answerer;
    w.window.updatePreview();
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
    w.window.updatePreview();
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
    w.window.updatePreview();

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
    w.window.updatePreview();

    QVERIFY2(shownWhileRunning.contains("Esc"), qPrintable(shownWhileRunning));
    QCOMPARE(w.painting->toPlainText(), QStringLiteral("function render() { while (true) {} }// typed"));
    QCOMPARE(answerer.dialogCount, 0);
    QCOMPARE(w.status->text(), QStringLiteral("earlier"));
    QCOMPARE(w.statusStack->currentWidget(), static_cast<QWidget *>(w.status));
    QVERIFY(!w.view->isVisible());
}

void tst_Preview::commandsDuringARender_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("pictureShown");
    QTest::addColumn<QString>("status");

    QTest::newRow("Ctrl+R renders the new text") << "preview" << true << "Rendered in";
    QTest::newRow("picking a painting stops the render") << "pick" << false << "";
    QTest::newRow("closing the window stops the render") << "close" << false << "earlier";
}

void tst_Preview::commandsDuringARender()
{
    QFETCH(QString, command);
    QFETCH(bool, pictureShown);
    QFETCH(QString, status);

    QVERIFY(QDir().mkpath(paintingsPath()));
    QVERIFY(writeBytes(paintingFile("Other.js"), "function render() { b = 1; }"));
    WindowParts w;
    w.window.show();
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    w.status->setText(QStringLiteral("earlier"));
    w.painting->setPlainText(QStringLiteral("function render() { while (true) {} }"));

    DialogAnswerer answerer;
    QTimer::singleShot(300, &w.window, [&w, command] {
        if (command == "preview") {
            w.painting->setPlainText(QStringLiteral("function render() { r = 1; }"));
            QTest::keyClick(w.painting, Qt::Key_R, Qt::ControlModifier);
        } else if (command == "pick") {
            w.list->setCurrentIndex(1);
        } else {
            w.window.close();
        }
    });
    QElapsedTimer clock;
    clock.start();
    w.window.updatePreview();

    QVERIFY2(clock.elapsed() < 5000, "the render went on");
    QCOMPARE(answerer.dialogCount, 0);
    QCOMPARE(w.view->isVisible(), pictureShown);
    QVERIFY2(status.isEmpty() ? w.status->text().isEmpty() : w.status->text().startsWith(status),
             qPrintable(w.status->text()));
    QCOMPARE(w.statusStack->currentWidget(), static_cast<QWidget *>(w.status));
    if (command == "close")
        QVERIFY(!w.window.isVisible());
}

QTEST_MAIN(tst_Preview)
#include "tst_preview.moc"
