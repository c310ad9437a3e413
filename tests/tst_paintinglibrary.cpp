#include "view/imageview.h"
#include "app/mainwindow.h"
#include "testsupport.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTemporaryFile>
#include <QtTest>

#include <unistd.h>

namespace {

QStringList pathsOf(MainWindow &window)
{
    QStringList paths;
    QComboBox *list = paintingList(&window);
    for (int i = 0; i < list->count(); ++i)
        paths << list->itemData(i, Qt::UserRole).toString();
    return paths;
}

void pick(MainWindow &window, const QString &title)
{
    QComboBox *list = paintingList(&window);
    const int index = list->findText(title);
    QVERIFY2(index >= 0, qPrintable(title));
    list->setCurrentIndex(index);
}

// Whatever the process writes to standard error while this lives ends up in text().
class StandardErrorCapture
{
public:
    StandardErrorCapture()
    {
        file.open();
        std::fflush(stderr);
        saved = dup(STDERR_FILENO);
        dup2(file.handle(), STDERR_FILENO);
    }
    ~StandardErrorCapture() { restore(); }

    QString text()
    {
        restore();
        return QString::fromLocal8Bit(readBytes(file.fileName()));
    }

private:
    void restore()
    {
        if (saved < 0)
            return;
        std::fflush(stderr);
        dup2(saved, STDERR_FILENO);
        close(saved);
        saved = -1;
    }

    QTemporaryFile file;
    int saved = -1;
};

const QByteArray latin1Bytes("// caf\xe9 cr\xe8me\nfunction render() {}\n");

} // namespace

class tst_PaintingLibrary : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetAppDir(); }

    void firstStart();
    void listing_data();
    void listing();

    void pickWithBuiltInEditor();
    void pickWithExternalEditor();
    void pickingTheCurrentEntryDoesNothing();
    void lineEndsAndEncodingSurviveARoundTrip();

    void closeSavesBothDocuments();
    void textIsBackAfterARestart();
    void closeReportsFailedSavesOnStandardError();
    void unreadablePaintingIsNotOverwritten();
    void unreadableStandardLibraryIsNotOverwritten();
    void failedSaveOnPickIsReportedAndUndoesThePick();
};

void tst_PaintingLibrary::firstStart()
{
    QVERIFY(!QFileInfo::exists(paintingsPath()));
    {
        MainWindow window;
        QVERIFY(QFileInfo(paintingsPath()).isDir());
        QCOMPARE(listTitles(&window), QStringList(QStringLiteral("The Sketchbook")));
        QCOMPARE(pathsOf(window), QStringList(paintingFile(QStringLiteral("Sketchbook.js"))));
        QCOMPARE(paintingList(&window)->currentIndex(), 0);
        QCOMPARE(paintingEditor(&window)->toPlainText(), QString());
        QCOMPARE(stdlibEditor(&window)->toPlainText(), QString());

        QCOMPARE(QDir(paintingsPath()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList());
        QVERIFY(!QFileInfo::exists(stdlibFile()));
    }
    // Closing is the first save moment: both files appear, empty as their editors.
    QVERIFY(QFileInfo(stdlibFile()).isFile());
    QVERIFY(QFileInfo(paintingFile(QStringLiteral("Sketchbook.js"))).isFile());
    QCOMPARE(QFileInfo(stdlibFile()).size(), 0);
    QCOMPARE(QFileInfo(paintingFile(QStringLiteral("Sketchbook.js"))).size(), 0);
}

void tst_PaintingLibrary::listing_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QStringList>("listedFiles");

    QTest::newRow("scripts only, sketchbook once, no folders")
        << QStringList{"b.js", "A.js", "Sketchbook.js", "notes.txt"} << QStringList{"dir.js"}
        << QStringList{"The Sketchbook", "A", "b"}
        << QStringList{"Sketchbook.js", "A.js", "b.js"};
    QTest::newRow("suffix in capitals")
        << QStringList{"Rain.JS"} << QStringList()
        << QStringList{"The Sketchbook", "Rain"} << QStringList{"Sketchbook.js", "Rain.JS"};
    QTest::newRow("sketchbook in other letter case is an ordinary painting")
        << QStringList{"sketchbook.js", "Sketchbook.JS"} << QStringList()
        << QStringList{"The Sketchbook", "Sketchbook", "sketchbook"}
        << QStringList{"Sketchbook.js", "Sketchbook.JS", "sketchbook.js"};
    QTest::newRow("order by character code")
        << QStringList{"b.js", "_x.js", "a.js", "B.js", "10.js", "9.js"} << QStringList()
        << QStringList{"The Sketchbook", "10", "9", "B", "_x", "a", "b"}
        << QStringList{"Sketchbook.js", "10.js", "9.js", "B.js", "_x.js", "a.js", "b.js"};
}

void tst_PaintingLibrary::listing()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, folders);
    QFETCH(QStringList, titles);
    QFETCH(QStringList, listedFiles);

    QVERIFY(QDir(appDir()).mkdir(QStringLiteral("paintings")));
    for (const QString &name : files)
        QVERIFY(writeBytes(paintingFile(name), name.toUtf8()));
    for (const QString &name : folders)
        QVERIFY(QDir(paintingsPath()).mkdir(name));

    MainWindow window;

    QCOMPARE(listTitles(&window), titles);
    QStringList paths;
    for (const QString &name : listedFiles)
        paths << paintingFile(name);
    QCOMPARE(pathsOf(window), paths);
    QCOMPARE(paintingList(&window)->currentIndex(), 0);
    QCOMPARE(paintingEditor(&window)->toPlainText(),
             files.contains(QStringLiteral("Sketchbook.js")) ? QStringLiteral("Sketchbook.js")
                                                             : QString());
}

void tst_PaintingLibrary::pickWithBuiltInEditor()
{
    QVERIFY(QDir(appDir()).mkdir(QStringLiteral("paintings")));
    QVERIFY(writeBytes(paintingFile(QStringLiteral("A.js")), "// A\n"));
    QVERIFY(writeBytes(paintingFile(QStringLiteral("b.js")), "// b\n"));
    DialogAnswerer answerer;
    MainWindow window;
    auto *status = part<QLabel>(&window, "statusLabel");
    auto *view = part<ImageView>(&window, "imageView");

    pick(window, QStringLiteral("b"));
    QCOMPARE(paintingEditor(&window)->toPlainText(), QStringLiteral("// b\n"));
    // Leaving The Sketchbook created its file with the (empty) editor text.
    QCOMPARE(readBytes(paintingFile(QStringLiteral("Sketchbook.js"))), QByteArray());

    paintingEditor(&window)->setPlainText(QStringLiteral("// b, edited"));
    status->setText(QStringLiteral("Rendered in 0.4 sec"));
    view->setVisible(true);

    pick(window, QStringLiteral("A"));

    QCOMPARE(readBytes(paintingFile(QStringLiteral("b.js"))), QByteArray("// b, edited"));
    QCOMPARE(paintingEditor(&window)->toPlainText(), QStringLiteral("// A\n"));
    QCOMPARE(status->text(), QString());
    QVERIFY(view->isHidden());
    QCOMPARE(readBytes(paintingFile(QStringLiteral("A.js"))), QByteArray("// A\n"));
    QCOMPARE(answerer.dialogCount, 0);
}

void tst_PaintingLibrary::pickWithExternalEditor()
{
    QVERIFY(QDir(appDir()).mkdir(QStringLiteral("paintings")));
    QVERIFY(writeBytes(paintingFile(QStringLiteral("A.js")), "// A\n"));
    QVERIFY(writeBytes(paintingFile(QStringLiteral("b.js")), "// b\n"));
    DialogAnswerer answerer;
    MainWindow window;
    DesktopRecorder desktop;
    auto *status = part<QLabel>(&window, "statusLabel");
    auto *view = part<ImageView>(&window, "imageView");
    pick(window, QStringLiteral("b"));
    findAction(&window, "Use External Editor")->setChecked(true);
    QVERIFY(writeBytes(paintingFile(QStringLiteral("b.js")), "// b, from outside\n"));
    paintingEditor(&window)->setPlainText(QStringLiteral("stale"));
    QPixmap picture(8, 8);
    picture.fill(Qt::blue);
    view->setPixmap(picture);
    view->setVisible(true);
    status->setText(QStringLiteral("Rendered in 0.4 sec"));
    desktop.urls.clear();

    pick(window, QStringLiteral("A"));

    QCOMPARE(desktop.urls, QList<QUrl>({QUrl(paintingFile(QStringLiteral("A.js")))}));
    QCOMPARE(readBytes(paintingFile(QStringLiteral("b.js"))), QByteArray("// b, from outside\n"));
    QCOMPARE(readBytes(paintingFile(QStringLiteral("A.js"))), QByteArray("// A\n"));
    QCOMPARE(paintingEditor(&window)->toPlainText(), QStringLiteral("stale"));
    QCOMPARE(view->sizeHint(), QSize(0, 0));
    QVERIFY(!view->isHidden());
    QCOMPARE(status->text(), QString());
    QCOMPARE(answerer.dialogCount, 0);
}

void tst_PaintingLibrary::pickingTheCurrentEntryDoesNothing()
{
    QVERIFY(QDir(appDir()).mkdir(QStringLiteral("paintings")));
    QVERIFY(writeBytes(paintingFile(QStringLiteral("b.js")), "// b\n"));
    MainWindow window;
    pick(window, QStringLiteral("b"));
    paintingEditor(&window)->setPlainText(QStringLiteral("unsaved"));

    pick(window, QStringLiteral("b"));

    QCOMPARE(paintingEditor(&window)->toPlainText(), QStringLiteral("unsaved"));
    QCOMPARE(readBytes(paintingFile(QStringLiteral("b.js"))), QByteArray("// b\n"));
}

void tst_PaintingLibrary::lineEndsAndEncodingSurviveARoundTrip()
{
    const QByteArray dos("var a = 1;\r\nvar b = 2;\r\n");
    const QByteArray unicode("// \xcf\x80 \xe2\x89\x88 3.14, \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x8e\xa8\n"
                             "r = 1;");
    QVERIFY(QDir(appDir()).mkdir(QStringLiteral("paintings")));
    QVERIFY(writeBytes(paintingFile(QStringLiteral("Sketchbook.js")), dos));
    QVERIFY(writeBytes(stdlibFile(), unicode));
    {
        MainWindow window;
        QCOMPARE(paintingEditor(&window)->toPlainText(),
                 QStringLiteral("var a = 1;\nvar b = 2;\n"));
        QCOMPARE(stdlibEditor(&window)->toPlainText(), QString::fromUtf8(unicode));
    }
    QCOMPARE(readBytes(paintingFile(QStringLiteral("Sketchbook.js"))),
             QByteArray("var a = 1;\nvar b = 2;\n"));
    QCOMPARE(readBytes(stdlibFile()), unicode);
}

void tst_PaintingLibrary::closeSavesBothDocuments()
{
    QVERIFY(QDir(appDir()).mkdir(QStringLiteral("paintings")));
    QVERIFY(writeBytes(paintingFile(QStringLiteral("b.js")), "// b\n"));
    {
        MainWindow window;
        pick(window, QStringLiteral("b"));
        QTest::keyClicks(paintingEditor(&window), QStringLiteral("r = 1;"));
        QTest::keyClicks(stdlibEditor(&window), QStringLiteral("function f() {}"));
    }
    QCOMPARE(readBytes(paintingFile(QStringLiteral("b.js"))), QByteArray("r = 1;// b\n"));
    QCOMPARE(readBytes(stdlibFile()), QByteArray("function f() {}"));
}

void tst_PaintingLibrary::textIsBackAfterARestart()
{
    {
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QPlainTextEdit *editor = paintingEditor(&window);
        editor->setFocus();
        QTest::keyClicks(editor, QStringLiteral("function render() {"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTest::keyClicks(editor, QStringLiteral("    r = x / width;"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTest::keyClicks(editor, QStringLiteral("}"));
        window.close();
    }
    MainWindow window;
    QCOMPARE(paintingList(&window)->currentText(), QStringLiteral("The Sketchbook"));
    QCOMPARE(paintingEditor(&window)->toPlainText(),
             QStringLiteral("function render() {\n    r = x / width;\n}"));
}

void tst_PaintingLibrary::closeReportsFailedSavesOnStandardError()
{
    DialogAnswerer answerer;
    StandardErrorCapture capture;
    {
        MainWindow window;
        // Folders where the two files should go make both saves fail.
        QVERIFY(QDir(appDir()).mkdir(QStringLiteral("stdlib.js")));
        QVERIFY(QDir(paintingsPath()).mkdir(QStringLiteral("Sketchbook.js")));
        stdlibEditor(&window)->setPlainText(QStringLiteral("lost"));
    }
    const QStringList lines = capture.text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);

    QCOMPARE(answerer.dialogCount, 0);
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines.at(0).startsWith(QStringLiteral("Could not save %1: ")
                                        .arg(QDir::toNativeSeparators(stdlibFile()))),
             qPrintable(lines.at(0)));
    QVERIFY2(lines.at(1).startsWith(
                 QStringLiteral("Could not save %1: ")
                     .arg(QDir::toNativeSeparators(paintingFile(QStringLiteral("Sketchbook.js"))))),
             qPrintable(lines.at(1)));
}

void tst_PaintingLibrary::unreadablePaintingIsNotOverwritten()
{
    QVERIFY(QDir(appDir()).mkdir(QStringLiteral("paintings")));
    QVERIFY(writeBytes(paintingFile(QStringLiteral("A.js")), "// A\n"));
    QVERIFY(writeBytes(paintingFile(QStringLiteral("b.js")), latin1Bytes));
    DialogAnswerer answerer;
    MainWindow window;

    // Loaded as empty and left untouched: nothing of the user's is at stake, so no word.
    pick(window, QStringLiteral("b"));
    QCOMPARE(paintingEditor(&window)->toPlainText(), QString());
    pick(window, QStringLiteral("A"));
    QCOMPARE(readBytes(paintingFile(QStringLiteral("b.js"))), latin1Bytes);
    QCOMPARE(answerer.dialogCount, 0);

    // Typed text is not written over the file; the user is told and stays on the painting.
    pick(window, QStringLiteral("b"));
    paintingEditor(&window)->setPlainText(QStringLiteral("typed"));
    pick(window, QStringLiteral("A"));
    QCOMPARE(readBytes(paintingFile(QStringLiteral("b.js"))), latin1Bytes);
    QCOMPARE(answerer.messages.size(), 1);
    QCOMPARE(answerer.messages.at(0).icon, QMessageBox::Warning);
    QVERIFY(answerer.messages.at(0).text.contains(
        QDir::toNativeSeparators(paintingFile(QStringLiteral("b.js")))));
    QCOMPARE(paintingList(&window)->currentText(), QStringLiteral("b"));
    QCOMPARE(paintingEditor(&window)->toPlainText(), QStringLiteral("typed"));

    // Once the file reads again, its saves are back.
    QVERIFY(writeBytes(paintingFile(QStringLiteral("b.js")), "// b\n"));
    paintingEditor(&window)->clear();
    pick(window, QStringLiteral("A"));
    pick(window, QStringLiteral("b"));
    QCOMPARE(paintingEditor(&window)->toPlainText(), QStringLiteral("// b\n"));
    paintingEditor(&window)->setPlainText(QStringLiteral("// b, edited"));
    pick(window, QStringLiteral("A"));
    QCOMPARE(readBytes(paintingFile(QStringLiteral("b.js"))), QByteArray("// b, edited"));
    QCOMPARE(answerer.messages.size(), 1);
}

void tst_PaintingLibrary::unreadableStandardLibraryIsNotOverwritten()
{
    QVERIFY(writeBytes(stdlibFile(), latin1Bytes));
    {
        StandardErrorCapture capture;
        {
            MainWindow window;
            QCOMPARE(stdlibEditor(&window)->toPlainText(), QString());
        }
        QCOMPARE(capture.text(), QString());
    }
    QCOMPARE(readBytes(stdlibFile()), latin1Bytes);

    StandardErrorCapture capture;
    {
        MainWindow window;
        stdlibEditor(&window)->setPlainText(QStringLiteral("typed"));
    }
    QCOMPARE(readBytes(stdlibFile()), latin1Bytes);
    QVERIFY(capture.text().contains(QDir::toNativeSeparators(stdlibFile())));
}

void tst_PaintingLibrary::failedSaveOnPickIsReportedAndUndoesThePick()
{
    QVERIFY(QDir(appDir()).mkdir(QStringLiteral("paintings")));
    QVERIFY(writeBytes(paintingFile(QStringLiteral("A.js")), "// A\n"));
    QVERIFY(writeBytes(paintingFile(QStringLiteral("b.js")), "// b\n"));
    DialogAnswerer answerer;
    MainWindow window;
    pick(window, QStringLiteral("b"));
    paintingEditor(&window)->setPlainText(QStringLiteral("// b, edited"));
    // Something else puts a folder where the painting was.
    QVERIFY(QFile::remove(paintingFile(QStringLiteral("b.js"))));
    QVERIFY(QDir(paintingsPath()).mkdir(QStringLiteral("b.js")));

    pick(window, QStringLiteral("A"));

    QCOMPARE(answerer.messages.size(), 1);
    const DialogAnswerer::Message message = answerer.messages.at(0);
    QCOMPARE(message.icon, QMessageBox::Warning);
    QCOMPARE(message.title, QStringLiteral("Could Not Save"));
    QVERIFY2(message.text.startsWith(
                 QStringLiteral("Could not save %1: ")
                     .arg(QDir::toNativeSeparators(paintingFile(QStringLiteral("b.js"))))),
             qPrintable(message.text));
    QVERIFY2(message.text.size() > message.text.indexOf(QLatin1String(": ")) + 3,
             qPrintable(message.text));
    QCOMPARE(paintingList(&window)->currentText(), QStringLiteral("b"));
    QCOMPARE(paintingEditor(&window)->toPlainText(), QStringLiteral("// b, edited"));

    // With the folder gone again the painting saves, and the pick goes through.
    QVERIFY(QDir(paintingsPath()).rmdir(QStringLiteral("b.js")));
    pick(window, QStringLiteral("A"));
    QCOMPARE(readBytes(paintingFile(QStringLiteral("b.js"))), QByteArray("// b, edited"));
    QCOMPARE(paintingEditor(&window)->toPlainText(), QStringLiteral("// A\n"));
}

QTEST_MAIN(tst_PaintingLibrary)
#include "tst_paintinglibrary.moc"
