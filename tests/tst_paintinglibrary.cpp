#include "app/imageview.h"
#include "app/mainwindow.h"
#include "app/rendercontroller.h"
#include "testsupport.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

#include <sys/stat.h>
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

using Answers = std::function<void(DialogAnswerer &)>;

Answers clicking(QMessageBox::StandardButton button)
{
    return [button](DialogAnswerer &answerer) { answerer.answerMessageBox(button); };
}

Answers clicking(const QString &buttonText)
{
    return [buttonText](DialogAnswerer &answerer) { answerer.answerButton(buttonText); };
}

const QByteArray latin1Bytes("// caf\xe9 cr\xe8me\nfunction render() {}\n");

void writeAAndB()
{
    QVERIFY(QDir(appDir()).mkdir(QStringLiteral("paintings")));
    QVERIFY(writeBytes(paintingFile(QStringLiteral("A.js")), "// A\n"));
    QVERIFY(writeBytes(paintingFile(QStringLiteral("b.js")), "// b\n"));
}

// The painting b, current, with an unsaved edit; with the external editor on, b.js has since
// been rewritten by the other program.
void prepareB(MainWindow &window, bool external)
{
    pick(window, QStringLiteral("b"));
    paintingEditor(&window)->setPlainText(QStringLiteral("// b, edited"));
    if (external) {
        findAction(&window, "Use External Editor")->setChecked(true);
        QVERIFY(writeBytes(paintingFile(QStringLiteral("b.js")), "// b, from outside\n"));
    }
}

QRgb thumbnailCentre(MainWindow &window, const QString &title)
{
    QComboBox *list = paintingList(&window);
    const QIcon icon = list->itemIcon(list->findText(title));
    const QImage picture = icon.pixmap(list->iconSize()).toImage();
    return picture.isNull() ? 0 : picture.pixel(picture.width() / 2, picture.height() / 2);
}

RenderResult pictureOf(QRgb colour, RenderResult::Outcome outcome = RenderResult::Outcome::Picture)
{
    RenderResult result;
    result.outcome = outcome;
    result.image = QImage(64, 48, QImage::Format_RGB32);
    result.image.fill(colour);
    return result;
}

} // namespace

Q_DECLARE_METATYPE(Answers)
Q_DECLARE_METATYPE(RenderTask::Purpose)
Q_DECLARE_METATYPE(RenderResult::Outcome)

class tst_PaintingLibrary : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void firstStart();
    void listing_data();
    void listing();

    void pickWithBuiltInEditor();
    void pickWithExternalEditor();
    void pickingTheCurrentEntryDoesNothing();
    void pickFromTheOpenedListGivesThePaintingTheKeys_data();
    void pickFromTheOpenedListGivesThePaintingTheKeys();
    void unchangedDocumentsAreNotWritten_data();
    void unchangedDocumentsAreNotWritten();
    void editedDocumentKeepsItsCharacters_data();
    void editedDocumentKeepsItsCharacters();

    void closeSavesBothDocuments();
    void textIsBackAfterARestart();
    void destroyedWindowWarnsOfFailedSaves();
    void filesThatAreNotReadAreNotWritten_data();
    void filesThatAreNotReadAreNotWritten();
    void undecodablePaintingAsksBeforeItsFirstSave_data();
    void undecodablePaintingAsksBeforeItsFirstSave();
    void failedSaveOnPickAsks_data();
    void failedSaveOnPickAsks();
    void fileChangedOnDiskAsks_data();
    void fileChangedOnDiskAsks();
    void closeAsksWhenASaveFails_data();
    void closeAsksWhenASaveFails();
    void veryLongLinesAreWrappedAnywhere();

    void commandMakesThePaintingCurrent_data();
    void commandMakesThePaintingCurrent();
    void deleteMovesTheFileToTheTrash_data();
    void deleteMovesTheFileToTheTrash();
    void theSketchbookIsNeitherRenamedNorDeleted();
    void undoSurvivesASwitch_data();
    void undoSurvivesASwitch();
    void rendersBecomeThumbnails_data();
    void rendersBecomeThumbnails();
    void thumbnailsStayThroughRefills();

private:
    QString trashPath(const QString &relative) const
    {
        return userFolders.filePath("data/Trash/" + relative);
    }

    QTemporaryDir userFolders;   // the home and the data folder, with the trash
};

// The trash is a temporary one, never the user's.
void tst_PaintingLibrary::initTestCase()
{
    QVERIFY(userFolders.isValid());
    QVERIFY(QDir(userFolders.path()).mkdir(QStringLiteral("home")));
    qputenv("HOME", QFile::encodeName(userFolders.filePath("home")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(userFolders.filePath("data")));
    // Where a trash that goes wrong would put its folders.
    QVERIFY(QDir::setCurrent(userFolders.path()));
}

void tst_PaintingLibrary::init()
{
    resetAppDir();
    const QString data = userFolders.filePath("data");
    QFile::setPermissions(trashPath("info"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::remove(trashPath(QString()).chopped(1));
    QVERIFY(QDir(data).removeRecursively());
}

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
    // Nothing was typed, so closing writes nothing.
    QVERIFY(!QFileInfo::exists(stdlibFile()));
    QVERIFY(!QFileInfo::exists(paintingFile(QStringLiteral("Sketchbook.js"))));
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
    QTest::newRow("a name like a resource path stays in the folder")
        << QStringList{":colon.js"} << QStringList()
        << QStringList{"The Sketchbook", ":colon"} << QStringList{"Sketchbook.js", ":colon.js"};
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
    // Leaving The Sketchbook unchanged did not write it.
    QVERIFY(!QFileInfo::exists(paintingFile(QStringLiteral("Sketchbook.js"))));

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

    QCOMPARE(desktop.urls, QList<QUrl>({QUrl::fromLocalFile(paintingFile(QStringLiteral("A.js")))}));
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

void tst_PaintingLibrary::pickFromTheOpenedListGivesThePaintingTheKeys_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("external");
    QTest::addColumn<bool>("editorHasFocus");

    QTest::newRow("click in the opened list") << "click" << false << true;
    QTest::newRow("Return in the opened list") << "Return" << false << true;
    QTest::newRow("Down on the closed list steps on") << "Down" << false << false;
    QTest::newRow("external editor: the list keeps the keys") << "Return" << true << false;
}

void tst_PaintingLibrary::pickFromTheOpenedListGivesThePaintingTheKeys()
{
    QFETCH(QString, how);
    QFETCH(bool, external);
    QFETCH(bool, editorHasFocus);
    QVERIFY(QDir(appDir()).mkdir(QStringLiteral("paintings")));
    QVERIFY(writeBytes(paintingFile(QStringLiteral("A.js")), "// A\n"));
    QVERIFY(writeBytes(paintingFile(QStringLiteral("b.js")), "// b\n"));
    DesktopRecorder desktop;
    MainWindow window;
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    findAction(&window, "Use External Editor")->setChecked(external);
    QComboBox *list = paintingList(&window);
    list->setFocus();
    QTRY_VERIFY(list->hasFocus());

    if (how == QLatin1String("Down")) {
        QTest::keyClick(list, Qt::Key_Down);
    } else {
        list->showPopup();
        QAbstractItemView *popup = list->view();
        QTRY_VERIFY(popup->isVisible());
        const QModelIndex entry = list->model()->index(1, 0);
        if (how == QLatin1String("click")) {
            // The popup takes no click in the moment after it opens.
            QTest::qWait(QApplication::doubleClickInterval() + 100);
            const QPoint at = popup->visualRect(entry).center();
            QTest::mouseMove(popup->viewport(), at);
            QTest::mouseClick(popup->viewport(), Qt::LeftButton, {}, at);
        } else {
            popup->setCurrentIndex(entry);
            QTest::keyClick(popup, Qt::Key_Return);
        }
        QTRY_VERIFY(!popup->isVisible());
    }

    QCOMPARE(list->currentText(), QStringLiteral("A"));
    // Where the keys go once the window is active again, as it is after the popup.
    QWidget *keys = editorHasFocus ? static_cast<QWidget *>(paintingEditor(&window)) : list;
    QTRY_COMPARE(window.focusWidget(), keys);
    QTest::qWait(50);
    QCOMPARE(window.focusWidget(), keys);
    // The key that picked went nowhere else.
    QCOMPARE(paintingEditor(&window)->toPlainText(), external ? QString() : QStringLiteral("// A\n"));
}

void tst_PaintingLibrary::unchangedDocumentsAreNotWritten_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("notices");

    QTest::newRow("line ends of all kinds") << QByteArray("a = 1;\r\nb = 2;\rc = 3;\n") << 0;
    QTest::newRow("no-break space and line separator")
        << QByteArray("s = 'a\xc2\xa0" "b\xe2\x80\xa8" "c';\n") << 0;
    QTest::newRow("byte-order mark") << QByteArray("\xef\xbb\xbf" "r = 1;") << 0;
    QTest::newRow("a character the editor shows as a line break")
        << QByteArray("s = 'a\xef\xb7\x90" "b';\n") << 1;
    QTest::newRow("bytes that are not UTF-8") << latin1Bytes << 1;
}

void tst_PaintingLibrary::unchangedDocumentsAreNotWritten()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, notices);
    QVERIFY(QDir(appDir()).mkdir(QStringLiteral("paintings")));
    QVERIFY(writeBytes(paintingFile(QStringLiteral("b.js")), bytes));
    QVERIFY(writeBytes(stdlibFile(), bytes));
    DialogAnswerer answerer;
    {
        MainWindow window;
        window.show();
        pick(window, QStringLiteral("b"));
        window.updatePreview();
        QVERIFY(waitForRender(window));
        window.openStdlibView();
        window.openPainter();
        pick(window, QStringLiteral("The Sketchbook"));
        QVERIFY(window.close());
    }
    QCOMPARE(readBytes(paintingFile(QStringLiteral("b.js"))), bytes);
    QCOMPARE(readBytes(stdlibFile()), bytes);
    QVERIFY(!QFileInfo::exists(paintingFile(QStringLiteral("Sketchbook.js"))));
    // One for each of the two files; the preview's script error makes no difference here.
    int told = 0;
    for (const DialogAnswerer::Message &message : answerer.messages)
        told += message.title == QLatin1String("Text Not Shown Exactly");
    QCOMPARE(told, 2 * notices);
}

void tst_PaintingLibrary::editedDocumentKeepsItsCharacters_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("saved");

    QTest::newRow("no-break space and line separator")
        << QByteArray("s = 'a\xc2\xa0" "b\xe2\x80\xa8" "c';\n")
        << QByteArray("xs = 'a\xc2\xa0" "b\xe2\x80\xa8" "c';\n");
    QTest::newRow("line ends become line feeds")
        << QByteArray("a = 1;\r\nb = 2;\rc = 3;\n") << QByteArray("xa = 1;\nb = 2;\nc = 3;\n");
    QTest::newRow("characters outside the basic plane")
        << QByteArray("// \xf0\x9f\x8e\xa8 \xe6\x97\xa5") << QByteArray("x// \xf0\x9f\x8e\xa8 \xe6\x97\xa5");
}

void tst_PaintingLibrary::editedDocumentKeepsItsCharacters()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, saved);
    QVERIFY(QDir(appDir()).mkdir(QStringLiteral("paintings")));
    QVERIFY(writeBytes(paintingFile(QStringLiteral("Sketchbook.js")), bytes));
    QVERIFY(writeBytes(stdlibFile(), bytes));
    {
        MainWindow window;
        QTest::keyClicks(paintingEditor(&window), QStringLiteral("x"));
        QTest::keyClicks(stdlibEditor(&window), QStringLiteral("x"));
    }
    QCOMPARE(readBytes(paintingFile(QStringLiteral("Sketchbook.js"))), saved);
    QCOMPARE(readBytes(stdlibFile()), saved);
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
        QTest::keyClicks(editor, QStringLiteral("r = x / width;"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTest::keyClicks(editor, QStringLiteral("}"));
        window.close();
    }
    MainWindow window;
    QCOMPARE(paintingList(&window)->currentText(), QStringLiteral("The Sketchbook"));
    QCOMPARE(paintingEditor(&window)->toPlainText(),
             QStringLiteral("function render() {\n    r = x / width;\n}"));
}

void tst_PaintingLibrary::destroyedWindowWarnsOfFailedSaves()
{
    DialogAnswerer answerer;
    {
        MainWindow window;
        // Folders where the two files should go make both saves fail.
        QVERIFY(QDir(appDir()).mkdir(QStringLiteral("stdlib.js")));
        QVERIFY(QDir(paintingsPath()).mkdir(QStringLiteral("Sketchbook.js")));
        stdlibEditor(&window)->setPlainText(QStringLiteral("lost"));
        paintingEditor(&window)->setPlainText(QStringLiteral("lost too"));
        for (const QString &path : {stdlibFile(), paintingFile(QStringLiteral("Sketchbook.js"))}) {
            QTest::ignoreMessage(QtWarningMsg,
                                 qPrintable(QStringLiteral("Could not save %1: it has changed on "
                                                           "disk since it was opened or last saved.")
                                                .arg(QDir::toNativeSeparators(path))));
        }
    }
    QCOMPARE(answerer.dialogCount, 0);
}

void tst_PaintingLibrary::filesThatAreNotReadAreNotWritten_data()
{
    QTest::addColumn<bool>("standardLibrary");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");

    for (const bool standardLibrary : {false, true}) {
        const char *file = standardLibrary ? "stdlib.js" : "Sketchbook.js";
        QTest::addRow("%s is a named pipe", file) << standardLibrary << "fifo" << "not a regular file";
        QTest::addRow("%s links to /dev/zero", file)
            << standardLibrary << "device" << "not a regular file";
        QTest::addRow("%s is larger than 16 MB", file)
            << standardLibrary << "large" << "more than the 16.0 MB a script may have";
    }
}

void tst_PaintingLibrary::filesThatAreNotReadAreNotWritten()
{
    QFETCH(bool, standardLibrary);
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    QVERIFY(QDir(appDir()).mkdir(QStringLiteral("paintings")));
    const QString path = standardLibrary ? stdlibFile() : paintingFile(QStringLiteral("Sketchbook.js"));
    if (kind == QLatin1String("fifo")) {
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == QLatin1String("device")) {
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(maxTextFileSize + 1));
    }
    const QFileInfo before(path);
    DialogAnswerer answerer;
    {
        MainWindow window;
        QPlainTextEdit *editor = standardLibrary ? stdlibEditor(&window) : paintingEditor(&window);
        QCOMPARE(editor->toPlainText(), QString());
        // The notice follows the window, over it.
        QCOMPARE(answerer.dialogCount, 0);
        bool overTheWindow = false;
        answerer.answerWith([&window, &overTheWindow](QWidget *box) {
            overTheWindow = window.isVisible() && box->parentWidget() == &window;
            box->close();
        });
        window.show();
        QTRY_COMPARE(answerer.messages.size(), 1);
        QVERIFY(overTheWindow);
        QCOMPARE(answerer.messages.at(0).title, QStringLiteral("Could Not Read"));
        QVERIFY2(answerer.messages.at(0).text.startsWith(
                     QStringLiteral("Could not read %1: ").arg(QDir::toNativeSeparators(path))),
                 qPrintable(answerer.messages.at(0).text));
        QVERIFY2(answerer.messages.at(0).text.contains(reason),
                 qPrintable(answerer.messages.at(0).text));

        // Text typed over it is never written there, even when no one can be asked.
        editor->setPlainText(QStringLiteral("typed"));
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("^Could not save .*: it could not "
                                                               "be read when it was opened")));
    }
    QCOMPARE(answerer.messages.size(), 1);
    const QFileInfo after(path);
    QCOMPARE(after.isSymLink(), before.isSymLink());
    QCOMPARE(after.isFile(), before.isFile());
    QCOMPARE(after.size(), before.size());
}

void tst_PaintingLibrary::undecodablePaintingAsksBeforeItsFirstSave_data()
{
    QTest::addColumn<Answers>("answers");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QByteArray>("saved");

    QTest::newRow("Save") << clicking(QMessageBox::Save) << "A" << QByteArray("typed");
    QTest::newRow("Discard") << clicking(QMessageBox::Discard) << "A" << latin1Bytes;
    QTest::newRow("Cancel") << clicking(QMessageBox::Cancel) << "b" << latin1Bytes;
}

void tst_PaintingLibrary::undecodablePaintingAsksBeforeItsFirstSave()
{
    QFETCH(Answers, answers);
    QFETCH(QString, current);
    QFETCH(QByteArray, saved);
    QVERIFY(QDir(appDir()).mkdir(QStringLiteral("paintings")));
    QVERIFY(writeBytes(paintingFile(QStringLiteral("A.js")), "// A\n"));
    QVERIFY(writeBytes(paintingFile(QStringLiteral("b.js")), latin1Bytes));
    DialogAnswerer answerer;
    MainWindow window;
    window.show();

    // Shown with replacement characters and told once; left untouched, it is not written.
    pick(window, QStringLiteral("b"));
    QCOMPARE(paintingEditor(&window)->toPlainText(),
             QStringLiteral("// caf\ufffd cr\ufffdme\nfunction render() {}\n"));
    pick(window, QStringLiteral("A"));
    pick(window, QStringLiteral("b"));
    QCOMPARE(answerer.messages.size(), 1);
    QCOMPARE(answerer.messages.at(0).title, QStringLiteral("Text Not Shown Exactly"));
    QVERIFY(answerer.messages.at(0).text.contains(
        QDir::toNativeSeparators(paintingFile(QStringLiteral("b.js")))));
    QCOMPARE(readBytes(paintingFile(QStringLiteral("b.js"))), latin1Bytes);

    paintingEditor(&window)->setPlainText(QStringLiteral("typed"));
    answers(answerer);
    pick(window, QStringLiteral("A"));

    QCOMPARE(answerer.messages.size(), 2);
    QCOMPARE(answerer.messages.at(1).title, QStringLiteral("Replace the File?"));
    QCOMPARE(paintingList(&window)->currentText(), current);
    QCOMPARE(readBytes(paintingFile(QStringLiteral("b.js"))), saved);
    if (current == QLatin1String("b"))
        QCOMPARE(paintingEditor(&window)->toPlainText(), QStringLiteral("typed"));
    paintingEditor(&window)->setPlainText(QStringLiteral("// A\n"));
    pick(window, QStringLiteral("A"));
}

void tst_PaintingLibrary::failedSaveOnPickAsks_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("editorText");
    QTest::addColumn<QByteArray>("saved");

    QTest::newRow("Retry once the disk has room") << "Retry" << "A" << "// A\n" << QByteArray("// b, edited");
    QTest::newRow("Discard") << "Discard" << "A" << "// A\n" << QByteArray("// b\n");
    QTest::newRow("Cancel") << "Cancel" << "b" << "// b, edited" << QByteArray("// b\n");
    QTest::newRow("Escape") << "Escape" << "b" << "// b, edited" << QByteArray("// b\n");
}

void tst_PaintingLibrary::failedSaveOnPickAsks()
{
    QFETCH(QString, answer);
    QFETCH(QString, current);
    QFETCH(QString, editorText);
    QFETCH(QByteArray, saved);
    QVERIFY(QDir(appDir()).mkdir(QStringLiteral("paintings")));
    QVERIFY(writeBytes(paintingFile(QStringLiteral("A.js")), "// A\n"));
    QVERIFY(writeBytes(paintingFile(QStringLiteral("b.js")), "// b\n"));
    DialogAnswerer answerer;
    MainWindow window;
    pick(window, QStringLiteral("b"));
    paintingEditor(&window)->setPlainText(QStringLiteral("// b, edited"));
    std::optional<FileSizeLimit> diskFull(0);
    answerer.answerWith([&](QWidget *box) {
        if (answer == QLatin1String("Retry"))
            diskFull.reset();
        if (answer == QLatin1String("Escape"))
            QTest::keyClick(box, Qt::Key_Escape);
        else
            findButton(box, answer)->click();
    });

    pick(window, QStringLiteral("A"));
    diskFull.reset();

    QCOMPARE(answerer.messages.size(), 1);
    const DialogAnswerer::Message message = answerer.messages.at(0);
    QCOMPARE(message.icon, QMessageBox::Warning);
    QCOMPARE(message.title, QStringLiteral("Could Not Save"));
    QVERIFY2(message.text.startsWith(
                 QStringLiteral("Could not save %1: File too large.")
                     .arg(QDir::toNativeSeparators(paintingFile(QStringLiteral("b.js"))))),
             qPrintable(message.text));
    QCOMPARE(paintingList(&window)->currentText(), current);
    QCOMPARE(paintingEditor(&window)->toPlainText(), editorText);
    QCOMPARE(readBytes(paintingFile(QStringLiteral("b.js"))), saved);
    paintingEditor(&window)->setPlainText(editorText == QLatin1String("// A\n") ? editorText
                                                                              : QString::fromUtf8(saved));
}

void tst_PaintingLibrary::fileChangedOnDiskAsks_data()
{
    QTest::addColumn<QByteArray>("outside");
    QTest::addColumn<Answers>("answers");
    QTest::addColumn<int>("questions");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("editorText");
    QTest::addColumn<QByteArray>("saved");

    const QByteArray changed("// b, from outside\n");
    QTest::newRow("Reload") << changed << clicking(QStringLiteral("Reload")) << 1 << "b"
                            << "// b, from outside\n" << changed;
    QTest::newRow("Overwrite") << changed << clicking(QStringLiteral("Overwrite")) << 1 << "A"
                               << "// A\n" << QByteArray("// b, edited");
    QTest::newRow("Cancel") << changed << clicking(QMessageBox::Cancel) << 1 << "b"
                            << "// b, edited" << changed;
    QTest::newRow("written again with the same bytes: no question")
        << QByteArray("// b\n") << Answers() << 0 << "A" << "// A\n" << QByteArray("// b, edited");
}

void tst_PaintingLibrary::fileChangedOnDiskAsks()
{
    QFETCH(QByteArray, outside);
    QFETCH(Answers, answers);
    QFETCH(int, questions);
    QFETCH(QString, current);
    QFETCH(QString, editorText);
    QFETCH(QByteArray, saved);
    QVERIFY(QDir(appDir()).mkdir(QStringLiteral("paintings")));
    QVERIFY(writeBytes(paintingFile(QStringLiteral("A.js")), "// A\n"));
    QVERIFY(writeBytes(paintingFile(QStringLiteral("b.js")), "// b\n"));
    DialogAnswerer answerer;
    MainWindow window;
    pick(window, QStringLiteral("b"));
    paintingEditor(&window)->setPlainText(QStringLiteral("// b, edited"));
    QVERIFY(writeBytes(paintingFile(QStringLiteral("b.js")), outside));
    if (answers)
        answers(answerer);

    pick(window, QStringLiteral("A"));

    QCOMPARE(answerer.messages.size(), questions);
    if (questions > 0) {
        QCOMPARE(answerer.messages.at(0).title, QStringLiteral("File Changed"));
        QVERIFY(answerer.messages.at(0).text.startsWith(
            QDir::toNativeSeparators(paintingFile(QStringLiteral("b.js")))));
    }
    QCOMPARE(paintingList(&window)->currentText(), current);
    QCOMPARE(paintingEditor(&window)->toPlainText(), editorText);
    QCOMPARE(readBytes(paintingFile(QStringLiteral("b.js"))), saved);
    paintingEditor(&window)->setPlainText(QString::fromUtf8(readBytes(paintingFile(current + ".js"))));
}

void tst_PaintingLibrary::closeAsksWhenASaveFails_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<QByteArray>("saved");

    QTest::newRow("Retry once the disk has room") << "Retry" << true << QByteArray("r = 1;");
    QTest::newRow("Discard") << "Discard" << true << QByteArray("// old\n");
    QTest::newRow("Cancel") << "Cancel" << false << QByteArray("// old\n");
    QTest::newRow("Escape") << "Escape" << false << QByteArray("// old\n");
}

void tst_PaintingLibrary::closeAsksWhenASaveFails()
{
    QFETCH(QString, answer);
    QFETCH(bool, closed);
    QFETCH(QByteArray, saved);
    QVERIFY(QDir(appDir()).mkdir(QStringLiteral("paintings")));
    QVERIFY(writeBytes(paintingFile(QStringLiteral("Sketchbook.js")), "// old\n"));
    DialogAnswerer answerer;
    {
        MainWindow window;
        window.show();
        paintingEditor(&window)->setPlainText(QStringLiteral("r = 1;"));
        std::optional<FileSizeLimit> diskFull(0);
        answerer.answerWith([&](QWidget *box) {
            if (answer == QLatin1String("Retry"))
                diskFull.reset();
            if (answer == QLatin1String("Escape"))
                QTest::keyClick(box, Qt::Key_Escape);
            else
                findButton(box, answer)->click();
        });

        QCOMPARE(window.close(), closed);

        diskFull.reset();
        QCOMPARE(window.isVisible(), !closed);
        QCOMPARE(paintingEditor(&window)->toPlainText(), QStringLiteral("r = 1;"));
        QCOMPARE(answerer.messages.size(), 1);
        QCOMPARE(answerer.messages.at(0).title, QStringLiteral("Could Not Save"));
        QCOMPARE(readBytes(paintingFile(QStringLiteral("Sketchbook.js"))), saved);
        if (!closed)
            paintingEditor(&window)->setPlainText(QStringLiteral("// old\n"));
    }
    // A closed window settled its documents: destroying it writes nothing more.
    QCOMPARE(readBytes(paintingFile(QStringLiteral("Sketchbook.js"))), saved);
    QCOMPARE(answerer.messages.size(), 1);
}

void tst_PaintingLibrary::veryLongLinesAreWrappedAnywhere()
{
    QVERIFY(QDir(appDir()).mkdir(QStringLiteral("paintings")));
    QVERIFY(writeBytes(paintingFile(QStringLiteral("Long.js")),
                       "var a = 1;\n" + QByteArray(10001, 'x') + "\nvar b = 2;\n"));
    QVERIFY(writeBytes(paintingFile(QStringLiteral("Short.js")), QByteArray(10000, 'x')));
    MainWindow window;
    QPlainTextEdit *editor = paintingEditor(&window);

    pick(window, QStringLiteral("Long"));
    QCOMPARE(editor->wordWrapMode(), QTextOption::WrapAnywhere);
    pick(window, QStringLiteral("Short"));
    QCOMPARE(editor->wordWrapMode(), QTextOption::WrapAtWordBoundaryOrAnywhere);
}

void tst_PaintingLibrary::commandMakesThePaintingCurrent_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("external");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QByteArray>("rain");   // what Rain.js holds; empty: the starter text
    QTest::addColumn<QByteArray>("b");      // what b.js holds; empty: it is gone

    const QByteArray edited("// b, edited");
    const QByteArray outside("// b, from outside\n");
    const QStringList added{"The Sketchbook", "A", "Rain", "b"};
    const QStringList renamed{"The Sketchbook", "A", "Rain"};
    QTest::newRow("New, built-in editor: b saved first")
        << "New Painting..." << false << added << QByteArray() << edited;
    QTest::newRow("New, external editor") << "New Painting..." << true << added << QByteArray()
                                          << outside;
    QTest::newRow("Rename, built-in editor: b saved first")
        << "Rename Painting..." << false << renamed << edited << QByteArray();
    QTest::newRow("Rename, external editor: the file as it is on disk")
        << "Rename Painting..." << true << renamed << outside << QByteArray();
}

void tst_PaintingLibrary::commandMakesThePaintingCurrent()
{
    QFETCH(QString, command);
    QFETCH(bool, external);
    QFETCH(QStringList, titles);
    QFETCH(QByteArray, rain);
    QFETCH(QByteArray, b);
    writeAAndB();
    DesktopRecorder desktop;
    DialogAnswerer answerer;
    MainWindow window;
    prepareB(window, external);
    answerer.answerInput(QStringLiteral("Rain"));

    findAction(&window, command)->trigger();

    QCOMPARE(answerer.dialogCount, 1);
    QCOMPARE(listTitles(&window), titles);
    QCOMPARE(paintingList(&window)->currentText(), QStringLiteral("Rain"));
    const QString rainFile = paintingFile(QStringLiteral("Rain.js"));
    if (rain.isEmpty())
        QVERIFY(readBytes(rainFile).contains("function render() {"));
    else
        QCOMPARE(readBytes(rainFile), rain);
    QCOMPARE(readBytes(paintingFile(QStringLiteral("b.js"))), b);
    QCOMPARE(QFileInfo::exists(paintingFile(QStringLiteral("b.js"))), !b.isEmpty());
    // The external editor gets the file; otherwise the editor shows it, and a starter renders.
    QCOMPARE(desktop.urls.isEmpty() ? QUrl() : desktop.urls.last(),
             external ? QUrl::fromLocalFile(rainFile) : QUrl());
    findAction(&window, "Use External Editor")->setChecked(false);
    QCOMPARE(paintingEditor(&window)->toPlainText().toUtf8(), readBytes(rainFile));
    if (rain.isEmpty())
        QCOMPARE(window.renderImage(1).size(), QSize(640, 480));
}

void tst_PaintingLibrary::deleteMovesTheFileToTheTrash_data()
{
    QTest::addColumn<bool>("external");
    QTest::addColumn<QString>("before");
    QTest::addColumn<Answers>("answers");
    QTest::addColumn<QByteArray>("trashed");   // the file in the trash; empty: nothing moved
    QTest::addColumn<QString>("refusal");      // the box after the question, if any

    const Answers yes = clicking(QMessageBox::Yes);
    const QByteArray edited("// b, edited");
    QTest::newRow("no trash yet, nor a data folder") << false << "no trash" << yes << edited << "";
    QTest::newRow("an empty trash") << false << "empty trash" << yes << edited << "";
    QTest::newRow("external editor: the file as it is on disk")
        << true << "no trash" << yes << QByteArray("// b, from outside\n") << "";
    QTest::newRow("Cancel") << false << "no trash" << clicking(QMessageBox::Cancel) << QByteArray()
                            << "";
    QTest::newRow("saving first is cancelled: the file changed on disk")
        << false << "b.js changed on disk"
        << Answers([](DialogAnswerer &answerer) {
               answerer.answerMessageBox(QMessageBox::Yes);
               answerer.answerMessageBox(QMessageBox::Cancel);
           })
        << QByteArray() << "";
    QTest::newRow("the trash is a file") << false << "trash is a file" << yes << QByteArray()
                                         << "cannot be made";
    QTest::newRow("the trash's files folder is a file")
        << false << "files is a file" << yes << QByteArray() << "cannot be made";
    QTest::newRow("a trash folder that cannot be written to")
        << false << "read-only trash" << yes << QByteArray() << "cannot be written to";
}

void tst_PaintingLibrary::deleteMovesTheFileToTheTrash()
{
    QFETCH(bool, external);
    QFETCH(QString, before);
    QFETCH(Answers, answers);
    QFETCH(QByteArray, trashed);
    QFETCH(QString, refusal);
    if (before == QLatin1String("read-only trash") && geteuid() == 0)
        QSKIP("root writes into read-only folders");
    writeAAndB();
    if (before != QLatin1String("no trash") && before != QLatin1String("b.js changed on disk"))
        QVERIFY(QDir().mkpath(trashPath("info")) && QDir().mkpath(trashPath("files")));
    const QString notAFolder = before == QLatin1String("trash is a file")
                                   ? trashPath(QString()).chopped(1)
                                   : trashPath("files");
    if (before.endsWith(QLatin1String("is a file")))
        QVERIFY(QDir(notAFolder).removeRecursively() && writeBytes(notAFolder, "not a folder"));
    if (before == QLatin1String("read-only trash"))
        QVERIFY(QFile::setPermissions(trashPath("info"), QFile::ReadOwner | QFile::ExeOwner));
    DialogAnswerer answerer;
    DesktopRecorder desktop;
    {
        MainWindow window;
        prepareB(window, external);
        if (before == QLatin1String("b.js changed on disk"))
            QVERIFY(writeBytes(paintingFile(QStringLiteral("b.js")), "// b, from outside\n"));
        const QByteArray bytesBefore = readBytes(paintingFile(QStringLiteral("b.js")));
        answers(answerer);

        findAction(&window, "Delete Painting")->trigger();

        QCOMPARE(answerer.messages.at(0).title, QStringLiteral("Delete Painting"));
        QVERIFY(answerer.messages.at(0).text.startsWith(QStringLiteral("Move the painting \"b\"")));
        if (trashed.isEmpty()) {
            QCOMPARE(paintingList(&window)->currentText(), QStringLiteral("b"));
            QVERIFY(!QFileInfo::exists(trashPath("files/b.js")));
            // A trash that refuses comes after the save, and the file stays as it was saved.
            QCOMPARE(readBytes(paintingFile(QStringLiteral("b.js"))),
                     refusal.isEmpty() ? bytesBefore : QByteArray("// b, edited"));
            if (!refusal.isEmpty()) {
                QCOMPARE(answerer.messages.size(), 2);
                QCOMPARE(answerer.messages.at(1).icon, QMessageBox::Warning);
                QVERIFY2(answerer.messages.at(1).text.contains(refusal),
                         qPrintable(answerer.messages.at(1).text));
            }
            window.loadFile();
            return;
        }
        QCOMPARE(answerer.messages.size(), 1);
        QCOMPARE(readBytes(trashPath("files/b.js")), trashed);
        QVERIFY(readBytes(trashPath("info/b.js.trashinfo")).contains("Path="));
        QCOMPARE(listTitles(&window), QStringList({"The Sketchbook", "A"}));
        QCOMPARE(paintingList(&window)->currentText(), QStringLiteral("The Sketchbook"));
        if (external)
            QCOMPARE(desktop.urls.last().fileName(), QStringLiteral("Sketchbook.js"));
        else
            QCOMPARE(paintingEditor(&window)->toPlainText(), QString());
        QVERIFY(window.close());
    }
    // Neither the switch nor the close wrote the painting again.
    QVERIFY(!QFileInfo::exists(paintingFile(QStringLiteral("b.js"))));
}

void tst_PaintingLibrary::theSketchbookIsNeitherRenamedNorDeleted()
{
    writeAAndB();
    DialogAnswerer answerer;
    MainWindow window;
    QAction *rename = findAction(&window, "Rename Painting...");
    QAction *remove = findAction(&window, "Delete Painting");
    const auto enabled = [&] { return QList<bool>{rename->isEnabled(), remove->isEnabled()}; };

    QCOMPARE(enabled(), QList<bool>({false, false}));
    pick(window, QStringLiteral("b"));
    QCOMPARE(enabled(), QList<bool>({true, true}));
    pick(window, QStringLiteral("The Sketchbook"));
    QCOMPARE(enabled(), QList<bool>({false, false}));

    // Leaving b cancelled: b stays current, and so do the entries.
    pick(window, QStringLiteral("b"));
    paintingEditor(&window)->setPlainText(QStringLiteral("// b, edited"));
    QVERIFY(writeBytes(paintingFile(QStringLiteral("b.js")), "// b, from outside\n"));
    answerer.answerMessageBox(QMessageBox::Cancel);
    pick(window, QStringLiteral("The Sketchbook"));
    QCOMPARE(paintingList(&window)->currentText(), QStringLiteral("b"));
    QCOMPARE(enabled(), QList<bool>({true, true}));
    window.loadFile();
}

void tst_PaintingLibrary::undoSurvivesASwitch_data()
{
    QTest::addColumn<QString>("away");   // how b is left and come back to
    QTest::addColumn<QString>("file");   // the file of the painting then
    QTest::addColumn<bool>("undone");

    QTest::newRow("picking another painting") << "A" << "b.js" << true;
    QTest::newRow("a new painting") << "New Painting..." << "b.js" << true;
    QTest::newRow("a copy saved under another name") << "Save Copy" << "Rain.js" << true;
    QTest::newRow("rename, without leaving") << "Rename Painting..." << "Rain.js" << true;
    QTest::newRow("the file changed on disk meanwhile: read anew") << "A" << "b.js" << false;
}

void tst_PaintingLibrary::undoSurvivesASwitch()
{
    QFETCH(QString, away);
    QFETCH(QString, file);
    QFETCH(bool, undone);
    writeAAndB();
    DialogAnswerer answerer;
    MainWindow window;
    QPlainTextEdit *editor = paintingEditor(&window);
    pick(window, QStringLiteral("b"));
    QTest::keyClicks(editor, QStringLiteral("x"));

    if (away == QLatin1String("A")) {
        pick(window, away);
        if (!undone)
            QVERIFY(writeBytes(paintingFile(file), "// b, from outside\n"));
    } else {
        answerer.answerInput(QStringLiteral("Rain"));
        findAction(&window, away)->trigger();
        QCOMPARE(paintingList(&window)->currentText(), QStringLiteral("Rain"));
    }
    if (file == QLatin1String("b.js"))
        pick(window, QStringLiteral("b"));
    QCOMPARE(answerer.messages.size(), 0);
    const QByteArray left = readBytes(paintingFile(file));
    QCOMPARE(editor->toPlainText().toUtf8(), left);
    QCOMPARE(editor->document()->isUndoAvailable(), undone);

    QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
    pick(window, QStringLiteral("A"));

    // The next save moment writes what the undo left.
    QCOMPARE(readBytes(paintingFile(file)), undone ? QByteArray("// b\n") : left);
}

void tst_PaintingLibrary::rendersBecomeThumbnails_data()
{
    QTest::addColumn<RenderTask::Purpose>("purpose");
    QTest::addColumn<RenderResult::Outcome>("outcome");
    QTest::addColumn<bool>("rightAfterAPick");
    QTest::addColumn<bool>("shown");

    using Purpose = RenderTask::Purpose;
    using Outcome = RenderResult::Outcome;
    QTest::newRow("preview") << Purpose::Preview << Outcome::Picture << false << true;
    QTest::newRow("live preview") << Purpose::Live << Outcome::Picture << false << true;
    QTest::newRow("export") << Purpose::Export << Outcome::Picture << false << false;
    QTest::newRow("script error") << Purpose::Preview << Outcome::ScriptError << false << false;
    // It ended before the pick: a picture of the painting left.
    QTest::newRow("told right after a pick") << Purpose::Preview << Outcome::Picture << true
                                             << false;
}

void tst_PaintingLibrary::rendersBecomeThumbnails()
{
    QFETCH(RenderTask::Purpose, purpose);
    QFETCH(RenderResult::Outcome, outcome);
    QFETCH(bool, rightAfterAPick);
    QFETCH(bool, shown);
    writeAAndB();
    MainWindow window;
    pick(window, QStringLiteral("b"));
    if (!rightAfterAPick)
        QCoreApplication::processEvents();

    auto *renders = window.findChild<RenderController *>();
    emit renders->finished(purpose, pictureOf(qRgb(200, 0, 0), outcome));

    QCOMPARE(thumbnailCentre(window, QStringLiteral("b")), shown ? qRgb(200, 0, 0) : 0u);
    QCOMPARE(thumbnailCentre(window, QStringLiteral("The Sketchbook")), 0u);
}

void tst_PaintingLibrary::thumbnailsStayThroughRefills()
{
    QVERIFY(QDir(appDir()).mkdir(QStringLiteral("paintings")));
    QVERIFY(writeBytes(paintingFile(QStringLiteral("b.js")), "function render() { r = 1; }\n"));
    DialogAnswerer answerer;
    WindowParts parts;
    pick(parts.window, QStringLiteral("b"));
    QVERIFY(parts.preview());
    QCOMPARE(thumbnailCentre(parts.window, QStringLiteral("b")), qRgb(255, 0, 0));

    // A copy is a painting not rendered yet; a rename takes the picture along.
    parts.painting->setPlainText(QStringLiteral("function render() { b = 1; }"));
    answerer.answerInput(QStringLiteral("Sea"));
    parts.window.saveFileAs();
    QCOMPARE(thumbnailCentre(parts.window, QStringLiteral("Sea")), 0u);
    QVERIFY(parts.preview());
    answerer.answerInput(QStringLiteral("Ocean"));
    parts.action("Rename Painting...")->trigger();
    answerer.answerInput(QStringLiteral("Rain"));
    parts.action("New Painting...")->trigger();

    QCOMPARE(listTitles(&parts.window), QStringList({"The Sketchbook", "Ocean", "Rain", "b"}));
    QCOMPARE(thumbnailCentre(parts.window, QStringLiteral("Ocean")), qRgb(0, 0, 255));
    QCOMPARE(thumbnailCentre(parts.window, QStringLiteral("b")), qRgb(255, 0, 0));
    QCOMPARE(thumbnailCentre(parts.window, QStringLiteral("Rain")), 0u);
}

QTEST_MAIN(tst_PaintingLibrary)
#include "tst_paintinglibrary.moc"
