#include "app/mainwindow.h"
#include "testsupport.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QtTest>

namespace {

const QByteArray sketchBytes("// sketch\n");
const QByteArray savedBytes("// b\n");
const QByteArray outsideBytes("// b from outside\r\n// \xcf\x80\n");
const QString editorText = QStringLiteral("// b, edited");
const QString question = QStringLiteral("Painting named like this already exists. Overwrite?");

// Every file of the paintings folder with its bytes.
QMap<QString, QByteArray> folderContent()
{
    QMap<QString, QByteArray> content;
    const QStringList names = QDir(paintingsPath()).entryList(QDir::AllEntries
                                                              | QDir::NoDotAndDotDot);
    for (const QString &name : names)
        content.insert(name, readBytes(paintingFile(name)));
    return content;
}

// Painting b is current with unsaved changes; with the external editor on, b.js has since
// been rewritten by the other program.
void prepare(MainWindow &window, bool external)
{
    paintingList(&window)->setCurrentIndex(paintingList(&window)->findText(QStringLiteral("b")));
    paintingEditor(&window)->setPlainText(editorText);
    if (external) {
        findAction(&window, QStringLiteral("Use External Editor"))->setChecked(true);
        QVERIFY(writeBytes(paintingFile(QStringLiteral("b.js")), outsideBytes));
    }
}

void answerNothing(DialogAnswerer &)
{
}

} // namespace

class tst_SaveCopy : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void nothingChanges_data();
    void nothingChanges();
    void copyBecomesCurrent_data();
    void copyBecomesCurrent();

    void questionOffersYesAndNo();
    void externalCopyOfAFileNotYetSaved();
    void nameThatCannotBeWrittenKeepsTheText();
};

void tst_SaveCopy::init()
{
    resetAppDir();
    QVERIFY(QDir(appDir()).mkdir(QStringLiteral("paintings")));
    QVERIFY(writeBytes(paintingFile(QStringLiteral("Sketchbook.js")), sketchBytes));
    QVERIFY(writeBytes(paintingFile(QStringLiteral("b.js")), savedBytes));
}

using Answers = std::function<void(DialogAnswerer &)>;
Q_DECLARE_METATYPE(Answers)

void tst_SaveCopy::nothingChanges_data()
{
    QTest::addColumn<bool>("external");
    QTest::addColumn<bool>("rainExists");
    QTest::addColumn<Answers>("answers");
    QTest::addColumn<QString>("message");

    const auto name = [](const QString &text) {
        return Answers([text](DialogAnswerer &a) { a.answerInput(text); });
    };
    const auto nameThen = [](const QString &text, std::function<void(QWidget *)> reply) {
        return Answers([text, reply](DialogAnswerer &a) {
            a.answerInput(text);
            a.answerWith(reply);
        });
    };
    const QString refused = QStringLiteral("cannot be a painting's name");

    for (const bool external : {false, true}) {
        const char *mode = external ? "external editor" : "built-in editor";
        QTest::addRow("%s: dialog cancelled", mode)
            << external << false << Answers(answerNothing) << QString();
        QTest::addRow("%s: empty name", mode) << external << false << name(QString()) << QString();
        QTest::addRow("%s: existing name, No", mode)
            << external << true << Answers([](DialogAnswerer &a) {
                   a.answerInput(QStringLiteral("Rain"));
                   a.answerMessageBox(QMessageBox::No);
               }) << question;
        QTest::addRow("%s: existing name, Escape", mode)
            << external << true << nameThen(QStringLiteral("Rain"), [](QWidget *box) {
                   QTest::keyClick(box, Qt::Key_Escape);
               }) << question;
        QTest::addRow("%s: existing name, box closed", mode)
            << external << true
            << nameThen(QStringLiteral("Rain"), [](QWidget *box) { box->close(); }) << question;
        QTest::addRow("%s: name with a slash", mode)
            << external << false << name(QStringLiteral("../Rain")) << refused;
        QTest::addRow("%s: name with a backslash", mode)
            << external << false << name(QStringLiteral("sub\\Rain")) << refused;
        QTest::addRow("%s: dot", mode) << external << false << name(QStringLiteral(".")) << refused;
        QTest::addRow("%s: dot dot", mode)
            << external << false << name(QStringLiteral("..")) << refused;
    }
}

void tst_SaveCopy::nothingChanges()
{
    QFETCH(bool, external);
    QFETCH(bool, rainExists);
    QFETCH(Answers, answers);
    QFETCH(QString, message);
    if (rainExists)
        QVERIFY(writeBytes(paintingFile(QStringLiteral("Rain.js")), "// rain\n"));
    MainWindow window;
    DesktopRecorder desktop;
    prepare(window, external);
    const QMap<QString, QByteArray> before = folderContent();
    const QStringList titles = listTitles(&window);
    desktop.urls.clear();
    DialogAnswerer answerer;
    answers(answerer);

    window.saveFileAs();

    QCOMPARE(folderContent(), before);
    QVERIFY(!QFileInfo::exists(paintingsPath() + QStringLiteral("/../Rain.js")));
    QCOMPARE(listTitles(&window), titles);
    QCOMPARE(paintingList(&window)->currentText(), QStringLiteral("b"));
    QCOMPARE(paintingEditor(&window)->toPlainText(), editorText);
    QVERIFY(desktop.urls.isEmpty());
    if (message.isEmpty()) {
        QCOMPARE(answerer.messages.size(), 0);
    } else {
        QCOMPARE(answerer.messages.size(), 1);
        QCOMPARE(answerer.messages.at(0).title, QStringLiteral("Save As"));
        QVERIFY2(answerer.messages.at(0).text.contains(message),
                 qPrintable(answerer.messages.at(0).text));
    }
}

void tst_SaveCopy::copyBecomesCurrent_data()
{
    QTest::addColumn<bool>("external");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("rainExists");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("titles");

    const QStringList withRain{"The Sketchbook", "Rain", "b"};
    for (const bool external : {false, true}) {
        const char *mode = external ? "external editor" : "built-in editor";
        QTest::addRow("%s: new name", mode)
            << external << "Rain" << false << "Rain.js" << "Rain" << withRain;
        QTest::addRow("%s: existing name, Yes", mode)
            << external << "Rain" << true << "Rain.js" << "Rain" << withRain;
        QTest::addRow("%s: suffix typed too", mode)
            << external << "Rain.js" << false << "Rain.js.js" << "Rain.js"
            << QStringList{"The Sketchbook", "Rain.js", "b"};
        QTest::addRow("%s: the painting's own name, Yes", mode)
            << external << "b" << false << "b.js" << "b" << QStringList{"The Sketchbook", "b"};
        QTest::addRow("%s: Sketchbook, Yes", mode)
            << external << "Sketchbook" << false << "Sketchbook.js" << "The Sketchbook"
            << QStringList{"The Sketchbook", "b"};
    }
}

void tst_SaveCopy::copyBecomesCurrent()
{
    QFETCH(bool, external);
    QFETCH(QString, name);
    QFETCH(bool, rainExists);
    QFETCH(QString, fileName);
    QFETCH(QString, title);
    QFETCH(QStringList, titles);
    if (rainExists)
        QVERIFY(writeBytes(paintingFile(QStringLiteral("Rain.js")), "// rain\n"));
    MainWindow window;
    DesktopRecorder desktop;
    prepare(window, external);
    desktop.urls.clear();
    const QByteArray current = readBytes(paintingFile(QStringLiteral("b.js")));
    DialogAnswerer answerer;
    answerer.answerInput(name);
    answerer.answerMessageBox(QMessageBox::Yes);
    const bool asksFirst = rainExists || fileName == QLatin1String("b.js")
                           || fileName == QLatin1String("Sketchbook.js");

    window.saveFileAs();

    QCOMPARE(answerer.messages.size(), asksFirst ? 1 : 0);
    QCOMPARE(listTitles(&window), titles);
    QCOMPARE(paintingList(&window)->currentText(), title);
    const QString newFile = paintingFile(fileName);
    if (external) {
        QCOMPARE(readBytes(newFile), current);
        // Emptying the list, The Sketchbook as its first entry, then the copy when listed.
        QList<QUrl> opened{QUrl(), QUrl(paintingFile(QStringLiteral("Sketchbook.js")))};
        if (fileName != QLatin1String("Sketchbook.js"))
            opened << QUrl(newFile);
        QCOMPARE(desktop.urls, opened);
    } else {
        QCOMPARE(readBytes(newFile), editorText.toUtf8());
        QCOMPARE(paintingEditor(&window)->toPlainText(), editorText);
    }
    // The painting that was current keeps its last saved content, and The Sketchbook is
    // written back with its own.
    if (fileName != QLatin1String("b.js"))
        QCOMPARE(readBytes(paintingFile(QStringLiteral("b.js"))), current);
    if (fileName != QLatin1String("Sketchbook.js"))
        QCOMPARE(readBytes(paintingFile(QStringLiteral("Sketchbook.js"))), sketchBytes);
}

void tst_SaveCopy::questionOffersYesAndNo()
{
    QVERIFY(writeBytes(paintingFile(QStringLiteral("Rain.js")), "// rain\n"));
    MainWindow window;
    QMessageBox::StandardButtons offered;
    DialogAnswerer answerer;
    answerer.answerInput(QStringLiteral("Rain"));
    answerer.answerWith([&offered](QWidget *dialog) {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        if (box)
            offered = box->standardButtons();
        dialog->close();
    });

    window.saveFileAs();

    QCOMPARE(offered, QMessageBox::StandardButtons(QMessageBox::Yes | QMessageBox::No));
    QCOMPARE(answerer.messages.size(), 1);
    QCOMPARE(answerer.messages.at(0).title, QStringLiteral("Save As"));
    QCOMPARE(answerer.messages.at(0).text, question);
    QCOMPARE(answerer.messages.at(0).icon, QMessageBox::Question);
}

void tst_SaveCopy::externalCopyOfAFileNotYetSaved()
{
    QVERIFY(QFile::remove(paintingFile(QStringLiteral("Sketchbook.js"))));
    MainWindow window;
    DesktopRecorder desktop;
    findAction(&window, QStringLiteral("Use External Editor"))->setChecked(true);
    QVERIFY(QFile::remove(paintingFile(QStringLiteral("Sketchbook.js"))));
    desktop.urls.clear();
    DialogAnswerer answerer;
    answerer.answerInput(QStringLiteral("Rain"));

    window.saveFileAs();

    QCOMPARE(answerer.messages.size(), 1);
    QCOMPARE(answerer.messages.at(0).icon, QMessageBox::Warning);
    QVERIFY(answerer.messages.at(0).text.contains(
        QDir::toNativeSeparators(paintingFile(QStringLiteral("Sketchbook.js")))));
    QVERIFY(!QFileInfo::exists(paintingFile(QStringLiteral("Rain.js"))));
    QCOMPARE(listTitles(&window), QStringList({"The Sketchbook", "b"}));
    QVERIFY(desktop.urls.isEmpty());
}

void tst_SaveCopy::nameThatCannotBeWrittenKeepsTheText()
{
    QVERIFY(QDir(paintingsPath()).mkdir(QStringLiteral("Rain.js")));
    MainWindow window;
    prepare(window, false);
    DialogAnswerer answerer;
    answerer.answerInput(QStringLiteral("Rain"));
    answerer.answerMessageBox(QMessageBox::Yes);

    window.saveFileAs();

    QCOMPARE(answerer.messages.size(), 2);
    QCOMPARE(answerer.messages.at(0).text, question);
    QCOMPARE(answerer.messages.at(1).icon, QMessageBox::Warning);
    QVERIFY(answerer.messages.at(1).text.contains(
        QDir::toNativeSeparators(paintingFile(QStringLiteral("Rain.js")))));
    QCOMPARE(paintingList(&window)->currentText(), QStringLiteral("b"));
    QCOMPARE(paintingEditor(&window)->toPlainText(), editorText);
    QCOMPARE(readBytes(paintingFile(QStringLiteral("b.js"))), savedBytes);
}

QTEST_MAIN(tst_SaveCopy)
#include "tst_savecopy.moc"
