// The file faults a user can run into, seen from the window: whatever fails, the text in the
// editors stays, the files on disk keep what they held, and the user is told.

#include "app/imageview.h"
#include "app/mainwindow.h"
#include "testsupport.h"

#include <QComboBox>
#include <QColor>
#include <QDir>
#include <QAction>
#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QProcess>
#include <QtTest>

#include <unistd.h>

namespace {

// Makes a folder impossible to write into for as long as it lives, for root too.
class LockedFolder
{
public:
    explicit LockedFolder(const QString &folder)
        : path(folder)
    {
        if (geteuid() == 0)
            locked = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), path}) == 0;
        else
            locked = QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
    }
    ~LockedFolder()
    {
        if (geteuid() == 0)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), path});
        else
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    const QString path;
    bool locked = false;
};

const QString typed = QStringLiteral("// typed, never saved\nfunction render() { r = 1; }\n");

bool toldAbout(const DialogAnswerer &answerer, const QString &path)
{
    for (const DialogAnswerer::Message &message : answerer.messages)
        if (message.icon == QMessageBox::Warning && message.text.contains(QDir::toNativeSeparators(path)))
            return true;
    return false;
}

} // namespace

class tst_FileFaults : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetAppDir(); }
    void cleanup() { resetAppDir(); }
    void paintingsFolderCannotBeMade();
    void scriptPathIsAFolder_data();
    void scriptPathIsAFolder();
    void folderCannotBeWritten();
    void writeFailsMidway();
    void liveFileTurnsUnreadable_data();
    void liveFileTurnsUnreadable();
};

void tst_FileFaults::paintingsFolderCannotBeMade()
{
    QVERIFY(writeBytes(paintingsPath(), "a file where the folder should be"));
    WindowParts w;
    QCOMPARE(w.list->count(), 1);
    QCOMPARE(w.list->itemText(0), QStringLiteral("The Sketchbook"));

    w.painting->setPlainText(typed);
    DialogAnswerer answerer;
    answerer.answerMessageBox(QMessageBox::Discard);   // and preview all the same
    QVERIFY(w.preview());

    QVERIFY(toldAbout(answerer, paintingFile("Sketchbook.js")));
    QCOMPARE(w.painting->toPlainText(), typed);
    QVERIFY(w.view->isVisibleTo(&w.window));
    QCOMPARE(readBytes(paintingsPath()), QByteArray("a file where the folder should be"));
}

void tst_FileFaults::scriptPathIsAFolder_data()
{
    QTest::addColumn<bool>("standardLibrary");
    QTest::newRow("stdlib.js is a folder") << true;
    QTest::newRow("Sketchbook.js is a folder") << false;
}

void tst_FileFaults::scriptPathIsAFolder()
{
    QFETCH(bool, standardLibrary);
    QVERIFY(QDir().mkpath(paintingsPath()));
    const QString path = standardLibrary ? stdlibFile() : paintingFile("Sketchbook.js");
    QVERIFY(QDir().mkpath(QDir(path).filePath("inside")));

    DialogAnswerer answerer;
    WindowParts w;
    QPlainTextEdit *editor = standardLibrary ? w.stdlib : w.painting;
    QCOMPARE(editor->toPlainText(), QString());
    w.window.show();
    QTRY_COMPARE(answerer.messages.size(), 1);   // that it could not be read
    editor->setPlainText(typed);
    if (standardLibrary) {
        w.window.openStdlibView();
        w.window.openPainter();
    } else {
        QVERIFY(w.preview());
    }

    QVERIFY(toldAbout(answerer, path));
    QCOMPARE(editor->toPlainText(), typed);
    QVERIFY(QFileInfo(path).isDir());
    QVERIFY(QFileInfo(QDir(path).filePath("inside")).isDir());
}

void tst_FileFaults::folderCannotBeWritten()
{
    QVERIFY(QDir().mkpath(paintingsPath()));
    QVERIFY(writeBytes(paintingFile("Sketchbook.js"), "function render() { g = 1; }\n"));
    QVERIFY(writeBytes(paintingFile("Other.js"), "function render() { b = 1; }\n"));
    WindowParts w;
    w.painting->setPlainText(typed);
    {
        const LockedFolder lock(paintingsPath());
        if (!lock.locked)
            QSKIP("this system cannot make a folder read-only for this user");
        DialogAnswerer answerer;
        QVERIFY(w.preview());
        QVERIFY(toldAbout(answerer, paintingFile("Sketchbook.js")));
        QCOMPARE(w.painting->toPlainText(), typed);

        // Picking another painting cannot save the one being left either, so the pick is
        // undone and its text stays.
        const int warningsBefore = answerer.messages.size();
        w.list->setCurrentIndex(w.list->findText("Other"));
        QCOMPARE(answerer.messages.size(), warningsBefore + 1);
        QVERIFY(toldAbout(answerer, paintingFile("Sketchbook.js")));
        QCOMPARE(w.list->currentText(), QStringLiteral("The Sketchbook"));
        QCOMPARE(w.painting->toPlainText(), typed);
    }
    QCOMPARE(readBytes(paintingFile("Sketchbook.js")), QByteArray("function render() { g = 1; }\n"));
    QCOMPARE(readBytes(paintingFile("Other.js")), QByteArray("function render() { b = 1; }\n"));
}

void tst_FileFaults::writeFailsMidway()
{
    QVERIFY(QDir().mkpath(paintingsPath()));
    const QByteArray old("function render() { r = 0.5; }\n");
    QVERIFY(writeBytes(paintingFile("Sketchbook.js"), old));
    QVERIFY(writeBytes(stdlibFile(), old));
    WindowParts w;
    const QString longText = typed + QString(200000, QLatin1Char(' '));
    w.painting->setPlainText(longText);
    w.stdlib->setPlainText(longText);
    DialogAnswerer answerer;
    {
        const FileSizeLimit limit(4096);
        QVERIFY(w.preview());
        w.window.openStdlibView();
        w.window.openPainter();
    }
    QVERIFY(toldAbout(answerer, paintingFile("Sketchbook.js")));
    QVERIFY(toldAbout(answerer, stdlibFile()));
    QCOMPARE(w.painting->toPlainText(), longText);
    QCOMPARE(w.stdlib->toPlainText(), longText);
    QCOMPARE(readBytes(paintingFile("Sketchbook.js")), old);
    QCOMPARE(readBytes(stdlibFile()), old);
    QCOMPARE(QDir(paintingsPath()).entryList(QDir::Files | QDir::Hidden), QStringList("Sketchbook.js"));
}

void tst_FileFaults::liveFileTurnsUnreadable_data()
{
    QTest::addColumn<bool>("standardLibrary");
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("status");

    QTest::newRow("painting deleted") << false << "delete"
                                      << "Live: could not read Sketchbook.js: there is no such file";
    QTest::newRow("painting turned into a folder")
        << false << "folder" << "Live: could not read Sketchbook.js: it is not a regular file";
    QTest::newRow("standard library turned into a folder")
        << true << "folder" << "Live: could not read stdlib.js: it is not a regular file";
}

// The external editor's files change under a live preview: said in the status area, in red,
// without a box, and the last good picture stays, faded.
void tst_FileFaults::liveFileTurnsUnreadable()
{
    QFETCH(bool, standardLibrary);
    QFETCH(QString, change);
    QFETCH(QString, status);
    QVERIFY(QDir().mkpath(paintingsPath()));
    QVERIFY(writeBytes(paintingFile("Sketchbook.js"), "width = 8; height = 6; function render() { r = 1; }"));
    QVERIFY(writeBytes(stdlibFile(), "var k = 1;"));
    DesktopRecorder desktop;
    DialogAnswerer answerer;
    WindowParts w;
    w.window.show();
    const QColor usual = w.status->palette().color(QPalette::WindowText);
    w.action("Use External Editor")->setChecked(true);
    w.action("Live Preview")->setChecked(true);
    QTRY_VERIFY2(w.status->text().startsWith("Live: rendered in"), qPrintable(w.status->text()));

    const QString path = standardLibrary ? stdlibFile() : paintingFile("Sketchbook.js");
    QVERIFY(QFile::remove(path));
    if (change == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(path));

    QTRY_COMPARE_WITH_TIMEOUT(w.status->text(), status, 10000);
    QVERIFY(w.status->palette().color(QPalette::WindowText) != usual);
    QVERIFY(w.view->isVisible());
    QCOMPARE(w.view->sizeHint(), QSize(4, 3));
    QVERIFY(w.view->isOutOfDate());
    QCOMPARE(answerer.dialogCount, 0);
    QVERIFY(QDir(path).exists() == (change == QLatin1String("folder")));
}

QTEST_MAIN(tst_FileFaults)
#include "tst_filefaults.moc"
