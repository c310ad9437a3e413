#include "app/imageview.h"
#include "app/mainwindow.h"
#include "engine/scriptrenderer.h"
#include "testsupport.h"

#include <QAction>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

#include <sys/stat.h>

namespace {

// Every pixel differs from its neighbours, so a picture that is shifted, scaled or cut shows.
QString patternPainting(int width, int height)
{
    return QStringLiteral("width = %1; height = %2;\n"
                          "function render() {\n"
                          "    r = x / width; g = y / height; b = ((x * 7 + y * 3) % 11) / 10;\n"
                          "}\n")
        .arg(width)
        .arg(height);
}

QImage renderedPicture(const QString &painting)
{
    return ScriptRenderer().render(QString(), painting, 1).image;
}

QImage whiteFramed(const QImage &picture)
{
    QImage framed(picture.width() + 40, picture.height() + 40, QImage::Format_RGB32);
    for (int y = 0; y < framed.height(); ++y) {
        for (int x = 0; x < framed.width(); ++x)
            framed.setPixel(x, y, qRgb(255, 255, 255));
    }
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x)
            framed.setPixel(x + 20, y + 20, picture.pixel(x, y));
    }
    return framed;
}

// Every file below the folder, hidden ones too, so that a left-over temporary file shows.
QStringList filesIn(const QString &folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    files.sort();
    return files;
}

QImage readPicture(const QString &path)
{
    return QImage(path).convertToFormat(QImage::Format_RGB32);
}

void setText(MainWindow &window, const char *editor, const QString &text)
{
    part<QPlainTextEdit>(&window, editor)->setPlainText(text);
}

QString statusText(MainWindow &window)
{
    return part<QLabel>(&window, "statusLabel")->text();
}

// The status text stands out from the window's other texts.
bool statusIsError(MainWindow &window)
{
    return part<QLabel>(&window, "statusLabel")->palette().color(QPalette::WindowText)
        != window.palette().color(QPalette::WindowText);
}

void setOption(MainWindow &window, const QString &text, bool on)
{
    QAction *action = findAction(&window, text);
    QVERIFY(action);
    action->setChecked(on);
}

} // namespace

class tst_Export : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetAppDir(); }

    void writesTheFullSizePicture_data();
    void writesTheFullSizePicture();
    void formatFollowsTheSuffix_data();
    void formatFollowsTheSuffix();
    void failedExportIsReported_data();
    void failedExportIsReported();
    void onlyRegularFilesAreReplaced_data();
    void onlyRegularFilesAreReplaced();
    void scriptErrorIsReportedOnce_data();
    void scriptErrorIsReportedOnce();
    void cancelledDialogRendersNothing();
    void escapeStopsAnExport();
    void exportLeavesTheViewAndFilesAlone();
};

void tst_Export::writesTheFullSizePicture_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("frame");
    QTest::addColumn<bool>("lowQuality");

    QTest::newRow("framed, low quality preview on") << 640 << 480 << true << true;
    QTest::newRow("framed, low quality preview off") << 640 << 480 << true << false;
    QTest::newRow("unframed, low quality preview on") << 640 << 480 << false << true;
    QTest::newRow("framed 300 x 200") << 300 << 200 << true << true;
    QTest::newRow("unframed 300 x 200") << 300 << 200 << false << true;
    QTest::newRow("framed single pixel") << 1 << 1 << true << true;
}

void tst_Export::writesTheFullSizePicture()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(bool, frame);
    QFETCH(bool, lowQuality);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("picture.png"));
    const QString painting = patternPainting(width, height);
    MainWindow window;
    setText(window, "paintingEditor", painting);
    setOption(window, QStringLiteral("Save With Frame"), frame);
    setOption(window, QStringLiteral("Low Quality Preview"), lowQuality);

    DialogAnswerer answerer;
    answerer.answerFile(path);
    window.saveImage();
    QVERIFY(waitForRender(window));

    QCOMPARE(answerer.dialogCount, 1);
    const QSize written = frame ? QSize(width + 40, height + 40) : QSize(width, height);
    QCOMPARE(statusText(window), QStringLiteral("Exported picture.png, %1 × %2 pixels")
                                     .arg(written.width())
                                     .arg(written.height()));
    QVERIFY(!statusIsError(window));
    const QImage picture = renderedPicture(painting);
    QCOMPARE(picture.size(), QSize(width, height));
    const QImage file = readPicture(path);
    if (!frame) {
        QCOMPARE(file, picture);
        return;
    }
    QCOMPARE(file.size(), written);
    QCOMPARE(file.pixel(20, 20), picture.pixel(0, 0));
    QCOMPARE(file.pixel(width + 19, height + 19), picture.pixel(width - 1, height - 1));
    QCOMPARE(file, whiteFramed(picture));
}

void tst_Export::formatFollowsTheSuffix_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<bool>("lossless");

    QTest::newRow("png") << "picture.png" << QByteArray("png") << true;
    QTest::newRow("upper-case PNG") << "picture.PNG" << QByteArray("png") << true;
    QTest::newRow("bmp") << "picture.bmp" << QByteArray("bmp") << true;
    QTest::newRow("jpg") << "picture.jpg" << QByteArray("jpeg") << false;
    QTest::newRow("jpeg") << "picture.jpeg" << QByteArray("jpeg") << false;
    QTest::newRow("last suffix counts") << "picture.jpg.bmp" << QByteArray("bmp") << true;
    QTest::newRow("icon within its 256 pixels") << "picture.ico" << QByteArray("ico") << true;
}

void tst_Export::formatFollowsTheSuffix()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, format);
    QFETCH(bool, lossless);

    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    const QString painting = patternPainting(64, 48);
    MainWindow window;
    setText(window, "paintingEditor", painting);

    DialogAnswerer answerer;
    answerer.answerFile(path);
    window.saveImage();
    QVERIFY(waitForRender(window));

    QCOMPARE(answerer.messages.size(), 0);
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    QCOMPARE(reader.format(), format);
    const QImage written = readPicture(path);
    QCOMPARE(written.size(), QSize(104, 88));
    if (lossless)
        QCOMPARE(written, whiteFramed(renderedPicture(painting)));
}

void tst_Export::failedExportIsReported_data()
{
    QTest::addColumn<QString>("painting");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("existing");   // empty: no file at that name beforehand
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<int>("sizeLimit");   // bytes a file may have; -1: no limit

    const QString good = patternPainting(40, 30);
    const QByteArray old("bytes that were here before");

    QTest::newRow("no suffix") << good << "picture" << QByteArray() << "Export Failed"
                               << "no suffix" << -1;
    QTest::newRow("no suffix, file exists")
        << good << "picture" << old << "Export Failed" << "no suffix" << -1;
    QTest::newRow("suffix without image writer")
        << good << "picture.xyz" << QByteArray() << "Export Failed" << "\".xyz\"" << -1;
    QTest::newRow("suffix without image writer, file exists")
        << good << "picture.xyz" << old << "Export Failed" << "\".xyz\"" << -1;
    QTest::newRow("format that can only be read")
        << good << "picture.gif" << old << "Export Failed" << "\".gif\"" << -1;
    QTest::newRow("folder missing")
        << good << "missing/picture.png" << QByteArray() << "Export Failed"
        << "No such file or directory" << -1;
    QTest::newRow("folder cannot be written")
        << good << "locked/picture.png" << QByteArray() << "Export Failed" << "Permission denied"
        << -1;
    QTest::newRow("folder cannot be written, file exists")
        << good << "locked/picture.png" << old << "Export Failed" << "Permission denied" << -1;
    QTest::newRow("width 0") << "width = 0;" << "picture.png" << QByteArray()
                             << "Nothing to Export" << "0 × 480" << -1;
    QTest::newRow("negative height, file exists")
        << "height = -5;" << "picture.png" << old << "Nothing to Export" << "640 × -5" << -1;
    QTest::newRow("width below one")
        << "width = 0.5;" << "picture.png" << QByteArray() << "Nothing to Export" << "0.5 × 480"
        << -1;
    QTest::newRow("width not a number")
        << "width = undefined;" << "picture.png" << QByteArray() << "Nothing to Export"
        << "undefined × 480" << -1;
    QTest::newRow("negative width beyond 32 bits")
        << "width = -1e12;" << "picture.png" << QByteArray() << "Nothing to Export"
        << "-1000000000000 × 480" << -1;
    QTest::newRow("disk full midway, file exists")
        << patternPainting(400, 300) << "picture.bmp" << old << "Export Failed" << "File too large"
        << 4096;
    QTest::newRow("icon larger than 256 pixels")
        << patternPainting(300, 200) << "picture.ico" << QByteArray() << "Export Failed"
        << "at most 256 × 256 pixels, and this one is 340 × 240" << -1;
    QTest::newRow("cursor larger than 256 pixels, file exists")
        << patternPainting(100, 300) << "picture.cur" << old << "Export Failed"
        << "this one is 140 × 340" << -1;
}

void tst_Export::failedExportIsReported()
{
    QFETCH(QString, painting);
    QFETCH(QString, name);
    QFETCH(QByteArray, existing);
    QFETCH(QString, title);
    QFETCH(QString, reason);
    QFETCH(int, sizeLimit);

    QTemporaryDir dir;
    const QString locked = dir.filePath(QStringLiteral("locked"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("locked")));
    const QString path = dir.filePath(name);
    if (!existing.isEmpty())
        QVERIFY(writeBytes(path, existing));
    const QFile::Permissions lockedPermissions = QFile::permissions(locked);
    QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
    const auto unlock = qScopeGuard([&] { QFile::setPermissions(locked, lockedPermissions); });
    if (name.startsWith(QLatin1String("locked/")) && QFileInfo(locked).isWritable())
        QSKIP("This user can write into a read-only folder.");
    const QStringList filesBefore = filesIn(dir.path());
    MainWindow window;
    setText(window, "paintingEditor", painting);

    DialogAnswerer answerer;
    answerer.answerFile(path);
    if (!existing.isEmpty())
        answerer.answerMessageBox(QMessageBox::Yes);   // the dialog's own overwrite question
    {
        std::optional<FileSizeLimit> limit;
        if (sizeLimit >= 0)
            limit.emplace(sizeLimit);
        window.saveImage();
        QVERIFY(waitForRender(window));
    }

    QCOMPARE(filesIn(dir.path()), filesBefore);
    if (!existing.isEmpty())
        QCOMPARE(readBytes(path), existing);
    QCOMPARE(answerer.messages.size(), existing.isEmpty() ? 1 : 2);
    const DialogAnswerer::Message message = answerer.messages.last();
    QCOMPARE(message.title, title);
    QCOMPARE(message.icon, QMessageBox::Warning);
    QVERIFY2(message.text.contains(QLatin1Char(' ') + QDir::toNativeSeparators(path)),
             qPrintable(message.text));
    QVERIFY2(message.text.contains(reason), qPrintable(message.text));
    QCOMPARE(message.format, Qt::PlainText);
    // The status says so too, once the box is closed.
    const QString status = statusText(window);
    if (title == QLatin1String("Nothing to Export"))
        QVERIFY2(status.startsWith("Not exported: the painting's size, " + reason), qPrintable(status));
    else
        QCOMPARE(status, "Could not save the picture as " + QFileInfo(path).fileName());
    QVERIFY(statusIsError(window));
}

void tst_Export::onlyRegularFilesAreReplaced_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");   // empty: the picture is written

    QTest::newRow("a named pipe") << "pipe.png" << "It is a named pipe, not a regular file, so it is left as it is.";
    QTest::newRow("a link to /dev/null") << "null.png" << "It is a link to a device, not a regular file";
    QTest::newRow("a link to a regular file") << "link.png" << QString();
}

// Renaming a new file over a pipe or a device would replace it: only regular files are, and a
// link to one keeps linking to it.
void tst_Export::onlyRegularFilesAreReplaced()
{
    QFETCH(QString, name);
    QFETCH(QString, reason);

    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("elsewhere")));
    const QString target = dir.filePath(QStringLiteral("elsewhere/target.png"));
    QVERIFY(writeBytes(target, "earlier"));
    QCOMPARE(mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("pipe.png"))).constData(), 0600), 0);
    QVERIFY(QFile::link(QStringLiteral("/dev/null"), dir.filePath(QStringLiteral("null.png"))));
    QVERIFY(QFile::link(target, dir.filePath(QStringLiteral("link.png"))));
    const QStringList filesBefore = filesIn(dir.path());
    const QString painting = patternPainting(40, 30);
    MainWindow window;
    setText(window, "paintingEditor", painting);

    DialogAnswerer answerer;
    answerer.answerFile(dir.filePath(name));
    answerer.answerMessageBox(QMessageBox::Yes);   // the dialog's own overwrite question
    window.saveImage();
    QVERIFY(waitForRender(window));

    QCOMPARE(filesIn(dir.path()), filesBefore);
    struct stat status;
    QCOMPARE(::lstat(QFile::encodeName(dir.filePath(QStringLiteral("pipe.png"))).constData(), &status), 0);
    QVERIFY(S_ISFIFO(status.st_mode));
    QCOMPARE(::stat("/dev/null", &status), 0);
    QVERIFY(S_ISCHR(status.st_mode));
    QCOMPARE(QFileInfo(dir.filePath(QStringLiteral("null.png"))).symLinkTarget(), QStringLiteral("/dev/null"));
    QCOMPARE(QFileInfo(dir.filePath(QStringLiteral("link.png"))).symLinkTarget(), target);
    if (reason.isEmpty()) {
        QCOMPARE(answerer.messages.size(), 1);
        QCOMPARE(readPicture(target), whiteFramed(renderedPicture(painting)));
        return;
    }
    QCOMPARE(readBytes(target), QByteArray("earlier"));
    QCOMPARE(answerer.messages.size(), 2);
    const DialogAnswerer::Message message = answerer.messages.last();
    QCOMPARE(message.title, QStringLiteral("Export Failed"));
    QVERIFY2(message.text.contains(QDir::toNativeSeparators(dir.filePath(name))), qPrintable(message.text));
    QVERIFY2(message.text.contains(reason), qPrintable(message.text));
}

void tst_Export::scriptErrorIsReportedOnce_data()
{
    QTest::addColumn<QString>("stdlib");
    QTest::addColumn<QString>("painting");

    QTest::newRow("syntax error in the standard library")
        << "function (" << patternPainting(40, 30);
    QTest::newRow("painting throws") << "" << "throw new TypeError('no paint');";
    QTest::newRow("render throws at the first pixel")
        << "" << "function render() { throw new Error('no pixel'); }";
    QTest::newRow("render throws midway")
        << "" << "function render() { if (y == 300) throw new RangeError('row'); r = 1; }";
    QTest::newRow("markup in the message is shown as it stands")
        << "" << "throw new Error('<img src=\"/dev/zero\"><table><tr><td>x');";
}

void tst_Export::scriptErrorIsReportedOnce()
{
    QFETCH(QString, stdlib);
    QFETCH(QString, painting);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("picture.png"));
    MainWindow window;
    setText(window, "stdlibEditor", stdlib);
    setText(window, "paintingEditor", painting);

    DialogAnswerer answerer;
    answerer.answerFile(path);
    window.saveImage();
    QVERIFY(waitForRender(window));

    QCOMPARE(answerer.messages.size(), 1);
    QCOMPARE(answerer.messages.first().title, QStringLiteral("Script Error"));
    QCOMPARE(answerer.messages.first().icon, QMessageBox::Critical);
    QCOMPARE(answerer.messages.first().format, Qt::PlainText);
    const QString status = statusText(window);
    QVERIFY2(status.startsWith("Not exported: ") && status.contains("Error"), qPrintable(status));
    QVERIFY(statusIsError(window));
    QVERIFY(!QFile::exists(path));
    QVERIFY(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

void tst_Export::cancelledDialogRendersNothing()
{
    QTemporaryDir dir;
    MainWindow window;
    setText(window, "paintingEditor", patternPainting(40, 30));
    auto *statusStack = part<QStackedWidget>(&window, "statusStack");
    QSignalSpy switches(statusStack, &QStackedWidget::currentChanged);

    DialogAnswerer answerer;   // no answer prepared: the file dialog is cancelled
    window.saveImage();
    QVERIFY(waitForRender(window));

    QCOMPARE(answerer.dialogCount, 1);
    QCOMPARE(answerer.messages.size(), 0);
    QCOMPARE(switches.count(), 0);
    QVERIFY(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

void tst_Export::escapeStopsAnExport()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("picture.png"));
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    setText(window, "paintingEditor", QStringLiteral("function render() { while (true) {} }"));
    DialogAnswerer answerer;
    answerer.answerFile(path);
    // Once the file is chosen and the render runs.
    QAction *stopRender = findAction(&window, QStringLiteral("Stop Render"));
    QVERIFY(stopRender);
    connect(stopRender, &QAction::changed, &window, [&window, stopRender] {
        if (!stopRender->isEnabled())
            return;
        QTimer::singleShot(200, stopRender, &QAction::trigger);
    });
    window.saveImage();
    QVERIFY(waitForRender(window));

    QCOMPARE(answerer.dialogCount, 1);
    QCOMPARE(statusText(window), QStringLiteral("The render was stopped; picture.png was not written"));
    QVERIFY(!statusIsError(window));
    QVERIFY(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

// The view keeps its picture, hidden or not; the status names the file written instead of the
// picture's time.
void tst_Export::exportLeavesTheViewAndFilesAlone()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("picture.png"));
    MainWindow window;
    setText(window, "paintingEditor", patternPainting(40, 30));
    auto *statusLabel = part<QLabel>(&window, "statusLabel");
    auto *statusStack = part<QStackedWidget>(&window, "statusStack");
    auto *imageView = part<ImageView>(&window, "imageView");
    statusLabel->setText(QStringLiteral("Rendered in 0.4 sec"));
    QImage shown(12, 9, QImage::Format_RGB32);
    shown.fill(Qt::red);
    imageView->setPixmap(QPixmap::fromImage(shown));
    QSignalSpy switches(statusStack, &QStackedWidget::currentChanged);

    DialogAnswerer answerer;
    answerer.answerFile(path);
    window.saveImage();
    QVERIFY(waitForRender(window));

    QCOMPARE(readPicture(path).size(), QSize(80, 70));
    QCOMPARE(switches.count(), 2);   // to the progress bar and back
    QCOMPARE(statusStack->currentWidget(), statusLabel);
    QCOMPARE(statusLabel->text(), QStringLiteral("Exported picture.png, 80 × 70 pixels"));
    QCOMPARE(statusLabel->toolTip(), QDir::toNativeSeparators(path));
    QCOMPARE(imageView->sizeHint(), QSize(12, 9));
    QVERIFY(imageView->isHidden());
    // The editors' text is exported as it stands; the painting file is not written first.
    QVERIFY(!QFile::exists(paintingFile(QStringLiteral("Sketchbook.js"))));
    QVERIFY(!QFile::exists(stdlibFile()));
}

QTEST_MAIN(tst_Export)
#include "tst_export.moc"
