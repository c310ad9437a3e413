#include "app/imageview.h"
#include "app/mainwindow.h"
#include "testsupport.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QtTest>

namespace {

QWidget *currentPage(MainWindow &window)
{
    return part<QStackedWidget>(&window, "editorStack")->currentWidget();
}

QWidget *page(MainWindow &window, const char *name)
{
    return part<QWidget>(&window, name);
}

void pressCtrlL(MainWindow &window)
{
    findAction(&window, QStringLiteral("Edit Standard Library"))->trigger();
}

void setExternalEditor(MainWindow &window, bool on)
{
    findAction(&window, QStringLiteral("Use External Editor"))->setChecked(on);
}

QPixmap somePicture()
{
    QPixmap picture(32, 24);
    picture.fill(Qt::red);
    return picture;
}

} // namespace

class tst_StdlibView : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetAppDir(); }

    void builtInPageWritesOnTheWayOut_data();
    void builtInPageWritesOnTheWayOut();
    void externalCtrlLOpensTheFileEachTime();

    void turningOn_data();
    void turningOn();
    void turningOnKeepsWhatWasTyped();
    void turningOnWhenASaveFailsKeepsBuiltInEditing();
    void noProgramToOpenTheFilesIsSaid();
    void turningOffRereadsBothFiles();
    void closingInExternalModeWritesNothing();
};

void tst_StdlibView::builtInPageWritesOnTheWayOut_data()
{
    QTest::addColumn<bool>("byDoneButton");
    QTest::newRow("back with Ctrl+L") << false;
    QTest::newRow("back with Done") << true;
}

void tst_StdlibView::builtInPageWritesOnTheWayOut()
{
    QFETCH(bool, byDoneButton);
    MainWindow window;

    pressCtrlL(window);
    QCOMPARE(currentPage(window), page(window, "stdlibPage"));
    QVERIFY(!QFileInfo::exists(stdlibFile()));

    stdlibEditor(&window)->setPlainText(QStringLiteral("function f() {}"));
    if (byDoneButton) {
        QPushButton *done = findButton(page(window, "stdlibPage"), "Done");
        QVERIFY(done);
        done->click();
    } else {
        pressCtrlL(window);
    }

    QCOMPARE(currentPage(window), page(window, "paintingPage"));
    QCOMPARE(readBytes(stdlibFile()), QByteArray("function f() {}"));
}

void tst_StdlibView::externalCtrlLOpensTheFileEachTime()
{
    MainWindow window;
    DesktopRecorder desktop;
    setExternalEditor(window, true);
    QVERIFY(writeBytes(stdlibFile(), "// written by the other program\n"));
    desktop.urls.clear();

    pressCtrlL(window);
    pressCtrlL(window);

    QCOMPARE(desktop.urls, QList<QUrl>({QUrl::fromLocalFile(stdlibFile()), QUrl::fromLocalFile(stdlibFile())}));
    QCOMPARE(currentPage(window), page(window, "paintingPage"));
    QCOMPARE(readBytes(stdlibFile()), QByteArray("// written by the other program\n"));
}

void tst_StdlibView::turningOn_data()
{
    QTest::addColumn<bool>("pictureShown");
    QTest::addColumn<bool>("fromStdlibPage");

    QTest::newRow("picture shown, painting page") << true << false;
    QTest::newRow("no picture yet, standard-library page") << false << true;
}

void tst_StdlibView::turningOn()
{
    QFETCH(bool, pictureShown);
    QFETCH(bool, fromStdlibPage);
    MainWindow window;
    DesktopRecorder desktop;
    auto *view = part<ImageView>(&window, "imageView");
    if (pictureShown) {
        view->setPixmap(somePicture());
        view->setVisible(true);
    }
    if (fromStdlibPage)
        pressCtrlL(window);

    setExternalEditor(window, true);

    QVERIFY(paintingEditor(&window)->isHidden());
    QCOMPARE(currentPage(window), page(window, "paintingPage"));
    QCOMPARE(view->isHidden(), !pictureShown);
    QCOMPARE(view->sizeHint(), QSize(0, 0));
    QCOMPARE(desktop.urls,
             QList<QUrl>({QUrl::fromLocalFile(paintingFile(QStringLiteral("Sketchbook.js")))}));
}

void tst_StdlibView::turningOnKeepsWhatWasTyped()
{
    MainWindow window;
    DesktopRecorder desktop;
    paintingEditor(&window)->setPlainText(QStringLiteral("r = 1;"));
    stdlibEditor(&window)->setPlainText(QStringLiteral("var k = 2;"));

    setExternalEditor(window, true);

    QCOMPARE(readBytes(paintingFile(QStringLiteral("Sketchbook.js"))), QByteArray("r = 1;"));
    QCOMPARE(readBytes(stdlibFile()), QByteArray("var k = 2;"));
}

void tst_StdlibView::turningOnWhenASaveFailsKeepsBuiltInEditing()
{
    DialogAnswerer answerer;
    MainWindow window;
    DesktopRecorder desktop;
    QVERIFY(QDir(appDir()).mkdir(QStringLiteral("stdlib.js")));
    stdlibEditor(&window)->setPlainText(QStringLiteral("var k = 2;"));
    paintingEditor(&window)->setPlainText(QStringLiteral("r = 1;"));

    setExternalEditor(window, true);

    QCOMPARE(answerer.messages.size(), 1);
    QVERIFY(answerer.messages.at(0).text.contains(QDir::toNativeSeparators(stdlibFile())));
    QVERIFY(!findAction(&window, QStringLiteral("Use External Editor"))->isChecked());
    QVERIFY(!paintingEditor(&window)->isHidden());
    QVERIFY(desktop.urls.isEmpty());
    QCOMPARE(stdlibEditor(&window)->toPlainText(),
             QStringLiteral("var k = 2;"));

    // Still built-in editing: leaving the standard-library page tries to save again.
    pressCtrlL(window);
    pressCtrlL(window);
    QCOMPARE(answerer.messages.size(), 2);
    QVERIFY(QDir(appDir()).rmdir(QStringLiteral("stdlib.js")));
}

// Without a recorder the offscreen desktop has no program for any file.
void tst_StdlibView::noProgramToOpenTheFilesIsSaid()
{
    MainWindow window;
    DialogAnswerer answerer;

    setExternalEditor(window, true);
    pressCtrlL(window);

    QCOMPARE(answerer.messages.size(), 2);
    const QStringList files{paintingFile(QStringLiteral("Sketchbook.js")), stdlibFile()};
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(answerer.messages.at(i).title, QStringLiteral("Could Not Open"));
        QVERIFY2(answerer.messages.at(i).text.contains(QDir::toNativeSeparators(files.at(i))),
                 qPrintable(answerer.messages.at(i).text));
    }
    QVERIFY(findAction(&window, QStringLiteral("Use External Editor"))->isChecked());
    QVERIFY(paintingEditor(&window)->isHidden());
    QCOMPARE(currentPage(window), page(window, "paintingPage"));
}

void tst_StdlibView::turningOffRereadsBothFiles()
{
    {
        MainWindow window;
        DesktopRecorder desktop;
        setExternalEditor(window, true);
        QVERIFY(writeBytes(paintingFile(QStringLiteral("Sketchbook.js")), "// painted outside\n"));
        QVERIFY(writeBytes(stdlibFile(), "// library outside\n"));

        setExternalEditor(window, false);

        QVERIFY(!paintingEditor(&window)->isHidden());
        QCOMPARE(paintingEditor(&window)->toPlainText(),
                 QStringLiteral("// painted outside\n"));
        QCOMPARE(stdlibEditor(&window)->toPlainText(),
                 QStringLiteral("// library outside\n"));
        QCOMPARE(desktop.urls.size(), 1);
    }
    QCOMPARE(readBytes(paintingFile(QStringLiteral("Sketchbook.js"))),
             QByteArray("// painted outside\n"));
    QCOMPARE(readBytes(stdlibFile()), QByteArray("// library outside\n"));
}

void tst_StdlibView::closingInExternalModeWritesNothing()
{
    {
        MainWindow window;
        DesktopRecorder desktop;
        setExternalEditor(window, true);
        stdlibEditor(&window)->setPlainText(QStringLiteral("var k = 2;"));
        paintingEditor(&window)->setPlainText(QStringLiteral("r = 1;"));
    }
    QVERIFY(!QFileInfo::exists(stdlibFile()));
    QVERIFY(!QFileInfo::exists(paintingFile(QStringLiteral("Sketchbook.js"))));
}

QTEST_MAIN(tst_StdlibView)
#include "tst_stdlibview.moc"
