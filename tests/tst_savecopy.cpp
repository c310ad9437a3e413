#include "app/mainwindow.h"
#include "testsupport.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QInputDialog>
#include <QPlainTextEdit>
#include <QtTest>

#include <sys/stat.h>

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
    void unusableNameIsAskedForAgain();
    void ownNameOfAnUnreadablePainting();
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

// The names that Save Copy refuses, New Painting and Rename Painting refuse as well; a name that
// a painting has is written over only by Save Copy, after asking.
void tst_SaveCopy::nothingChanges_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("external");
    // A painting beside b and The Sketchbook; sketchbook.js takes the place of Sketchbook.js.
    QTest::addColumn<QString>("otherFile");
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
    const QString taken = QStringLiteral("There is already a painting named \"Rain\"");

    for (const QString command : {"Save Copy", "New Painting...", "Rename Painting..."}) {
        for (const bool external : {false, true}) {
            const QByteArray row = (command + (external ? ", external editor" : ", built-in editor"))
                                       .toUtf8();
            const char *mode = row.constData();
            QTest::addRow("%s: dialog cancelled", mode)
                << command << external << "" << Answers(answerNothing) << QString();
            QTest::addRow("%s: empty name", mode)
                << command << external << "" << name(QString()) << QString();
            QTest::addRow("%s: name with a slash", mode)
                << command << external << "" << name(QStringLiteral("../Rain")) << refused;
            QTest::addRow("%s: name with a backslash", mode)
                << command << external << "" << name(QStringLiteral("sub\\Rain")) << refused;
            QTest::addRow("%s: dot", mode)
                << command << external << "" << name(QStringLiteral(".")) << refused;
            QTest::addRow("%s: dot dot", mode)
                << command << external << "" << name(QStringLiteral("..")) << refused;
            QTest::addRow("%s: hidden name", mode)
                << command << external << "" << name(QStringLiteral(".Rain")) << refused;
            QTest::addRow("%s: resource-like name", mode)
                << command << external << "" << name(QStringLiteral(":Rain")) << refused;
            if (command == QLatin1String("Save Copy")) {
                QTest::addRow("%s: existing name, No", mode)
                    << command << external << "Rain.js" << Answers([](DialogAnswerer &a) {
                           a.answerInput(QStringLiteral("Rain"));
                           a.answerMessageBox(QMessageBox::No);
                       }) << question;
                QTest::addRow("%s: existing name, Escape", mode)
                    << command << external << "Rain.js"
                    << nameThen(QStringLiteral("Rain"),
                                [](QWidget *box) { QTest::keyClick(box, Qt::Key_Escape); })
                    << question;
                QTest::addRow("%s: existing name, box closed", mode)
                    << command << external << "Rain.js"
                    << nameThen(QStringLiteral("Rain"), [](QWidget *box) { box->close(); })
                    << question;
                continue;
            }
            // Refused, and asked for again; the answerer turns the second dialog down.
            QTest::addRow("%s: existing name", mode)
                << command << external << "Rain.js" << name(QStringLiteral("Rain")) << taken;
            QTest::addRow("%s: existing name in other letter case is another painting's", mode)
                << command << external << "sketchbook.js" << name(QStringLiteral("sketchbook"))
                << QString("There is already a painting named \"sketchbook\"");
            QTest::addRow("%s: The Sketchbook's name, its file not made yet", mode)
                << command << external << "sketchbook.js" << name(QStringLiteral("Sketchbook"))
                << QString("\"Sketchbook\" is the name of The Sketchbook's file");
        }
    }
    QTest::newRow("Rename Painting...: its own name") << QString("Rename Painting...") << false
                                                      << QString() << name(QStringLiteral("b"))
                                                      << QString();
}

void tst_SaveCopy::nothingChanges()
{
    QFETCH(QString, command);
    QFETCH(bool, external);
    QFETCH(QString, otherFile);
    QFETCH(Answers, answers);
    QFETCH(QString, message);
    if (otherFile == QLatin1String("sketchbook.js"))
        QVERIFY(QFile::remove(paintingFile(QStringLiteral("Sketchbook.js"))));
    if (!otherFile.isEmpty())
        QVERIFY(writeBytes(paintingFile(otherFile), "// other\n"));
    MainWindow window;
    DesktopRecorder desktop;
    prepare(window, external);
    const QMap<QString, QByteArray> before = folderContent();
    const QStringList titles = listTitles(&window);
    desktop.urls.clear();
    DialogAnswerer answerer;
    answers(answerer);

    findAction(&window, command)->trigger();

    QCOMPARE(folderContent(), before);
    QVERIFY(!QFileInfo::exists(paintingsPath() + QStringLiteral("/../Rain.js")));
    QVERIFY(!QFileInfo::exists(QDir::currentPath() + QStringLiteral("/:Rain.js")));
    QCOMPARE(listTitles(&window), titles);
    QCOMPARE(paintingList(&window)->currentText(), QStringLiteral("b"));
    QCOMPARE(paintingEditor(&window)->toPlainText(), editorText);
    QVERIFY(desktop.urls.isEmpty());
    if (message.isEmpty()) {
        QCOMPARE(answerer.messages.size(), 0);
    } else {
        QCOMPARE(answerer.messages.size(), 1);
        QCOMPARE(answerer.messages.at(0).title,
                 command == QLatin1String("Save Copy") ? QStringLiteral("Save As")
                                                       : command.chopped(3));
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
    QTest::addColumn<bool>("asks");
    QTest::addColumn<QStringList>("opened");   // by the desktop, with the external editor

    const QStringList withRain{"The Sketchbook", "Rain", "b"};
    const QStringList withB{"The Sketchbook", "b"};
    for (const bool external : {false, true}) {
        const char *mode = external ? "external editor" : "built-in editor";
        const auto opened = [external](const QStringList &names) {
            return external ? names : QStringList();
        };
        QTest::addRow("%s: new name", mode)
            << external << "Rain" << false << "Rain.js" << "Rain" << withRain << false
            << opened({"Sketchbook.js", "Rain.js"});
        QTest::addRow("%s: existing name, Yes", mode)
            << external << "Rain" << true << "Rain.js" << "Rain" << withRain << true
            << opened({"Sketchbook.js", "Rain.js"});
        QTest::addRow("%s: suffix typed too", mode)
            << external << "Rain.js" << false << "Rain.js.js" << "Rain.js"
            << QStringList{"The Sketchbook", "Rain.js", "b"} << false
            << opened({"Sketchbook.js", "Rain.js.js"});
        QTest::addRow("%s: a space and a percent sign", mode)
            << external << "My 100%" << false << "My 100%.js" << "My 100%"
            << QStringList{"The Sketchbook", "My 100%", "b"} << false
            << opened({"Sketchbook.js", "My 100%.js"});
        QTest::addRow("%s: the painting's own name, Yes", mode)
            << external << "b" << false << "b.js" << "b" << withB << true
            << opened({"Sketchbook.js", "b.js"});
        QTest::addRow("%s: Sketchbook, Yes", mode)
            << external << "Sketchbook" << false << "Sketchbook.js" << "The Sketchbook" << withB
            << true << opened({"Sketchbook.js"});
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
    QFETCH(bool, asks);
    QFETCH(QStringList, opened);
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

    window.saveFileAs();

    QCOMPARE(answerer.messages.size(), asks ? 1 : 0);
    QCOMPARE(listTitles(&window), titles);
    QCOMPARE(paintingList(&window)->currentText(), title);
    const QString newFile = paintingFile(fileName);
    QList<QUrl> urls;
    for (const QString &openedName : opened)
        urls << QUrl::fromLocalFile(paintingFile(openedName));
    QCOMPARE(desktop.urls, urls);
    if (external) {
        QCOMPARE(readBytes(newFile), current);
    } else {
        QCOMPARE(readBytes(newFile), editorText.toUtf8());
        QCOMPARE(paintingEditor(&window)->toPlainText(), editorText);
    }
    // The painting that was current keeps its last saved content, and so does The Sketchbook.
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

void tst_SaveCopy::unusableNameIsAskedForAgain()
{
    MainWindow window;
    prepare(window, false);
    DialogAnswerer answerer;
    answerer.answerInput(QStringLiteral("../Rain"));
    answerer.answerMessageBox(QMessageBox::Ok);
    QString offered;
    answerer.answerWith([&offered](QWidget *dialog) {
        auto *input = qobject_cast<QInputDialog *>(dialog);
        QVERIFY(input);
        offered = input->textValue();
        input->setTextValue(QStringLiteral("Rain"));
        input->accept();
    });

    window.saveFileAs();

    QCOMPARE(answerer.dialogCount, 3);
    QCOMPARE(answerer.messages.size(), 1);
    QVERIFY(answerer.messages.at(0).text.contains("cannot be a painting's name"));
    QCOMPARE(offered, QStringLiteral("../Rain"));
    QCOMPARE(paintingList(&window)->currentText(), QStringLiteral("Rain"));
    QCOMPARE(readBytes(paintingFile(QStringLiteral("Rain.js"))), editorText.toUtf8());
    QVERIFY(!QFileInfo::exists(paintingsPath() + QStringLiteral("/../Rain.js")));
}

void tst_SaveCopy::ownNameOfAnUnreadablePainting()
{
    const QString sketchbook = paintingFile(QStringLiteral("Sketchbook.js"));
    QVERIFY(QFile::remove(sketchbook));
    QCOMPARE(mkfifo(QFile::encodeName(sketchbook).constData(), 0600), 0);
    DialogAnswerer answerer;
    MainWindow window;
    window.show();
    QTRY_COMPARE(answerer.messages.size(), 1);   // that it could not be read
    paintingEditor(&window)->setPlainText(editorText);
    answerer.answerInput(QStringLiteral("Sketchbook"));
    answerer.answerMessageBox(QMessageBox::Yes);

    window.saveFileAs();

    QCOMPARE(answerer.messages.size(), 3);
    QCOMPARE(answerer.messages.at(2).icon, QMessageBox::Warning);
    QVERIFY2(answerer.messages.at(2).text.startsWith(
                 QStringLiteral("Could not save %1: it could not be read")
                     .arg(QDir::toNativeSeparators(sketchbook))),
             qPrintable(answerer.messages.at(2).text));
    QVERIFY(QFileInfo(sketchbook).exists() && !QFileInfo(sketchbook).isFile());
    QCOMPARE(paintingEditor(&window)->toPlainText(), editorText);
    paintingEditor(&window)->clear();
}

QTEST_MAIN(tst_SaveCopy)
#include "tst_savecopy.moc"
