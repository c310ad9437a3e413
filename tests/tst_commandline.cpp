// pictoloom-render on the command line, run as a user would run it: no display, its options,
// its exit codes and the one line it says on failure.

#include "renderer/commandline.h"
#include "processrender.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

#include <signal.h>
#include <sys/stat.h>

class tst_CommandLine : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetAppDir(); }
    void renders_data();
    void renders();
    void existingOutputIsLeftAloneOnFailure();
    void printsEveryLineOnStdout_data();
    void printsEveryLineOnStdout();
    void endsWithItsRenderers_data();
    void endsWithItsRenderers();
};

namespace {

// Started with the default action for the signals that end a program, whatever the test
// inherited: a shell running it in the background ignores SIGINT.
class CommandProcess : public QProcess
{
protected:
    void setupChildProcess() override
    {
        for (int signal : {SIGINT, SIGTERM, SIGHUP})
            std::signal(signal, SIG_DFL);
    }
};

} // namespace

void tst_CommandLine::renders_data()
{
    QTest::addColumn<QString>("painting");
    QTest::addColumn<QStringList>("arguments");   // %1 stands for the working folder
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QSize>("outputSize");        // of the last argument; empty: no picture there
    QTest::addColumn<QString>("says");            // in the output, or on stderr on failure

    const QString small = QStringLiteral("width = 30; height = 20; function render() { r = 1; }");
    const QStringList plain = {"%1/painting.js", "%1/out.png"};
    QTest::newRow("a painting") << small << plain << ExitCode::rendered << QSize(30, 20) << QString();
    QTest::newRow("low quality halves it") << small << (QStringList{"--low-quality"} + plain) << ExitCode::rendered << QSize(15, 10) << QString();
    QTest::newRow("the frame adds 40 pixels") << small << (QStringList{"--frame"} + plain) << ExitCode::rendered << QSize(70, 60) << QString();
    QTest::newRow("two processes") << small << (QStringList{"--jobs", "2"} + plain) << ExitCode::rendered << QSize(30, 20) << QString();
    QTest::newRow("one process per core") << small << (QStringList{"--jobs", "0"} + plain) << ExitCode::rendered << QSize(30, 20) << QString();
    QTest::newRow("some rows") << small << (QStringList{"--rows", "5:9"} + plain) << ExitCode::rendered << QSize(30, 5) << QString();
    QTest::newRow("some rows in three processes") << small << (QStringList{"--rows", "5:9", "--jobs", "3"} + plain) << ExitCode::rendered << QSize(30, 5) << QString();
    QTest::newRow("the library beside the program") << "function render() { r = 1; }" << plain << ExitCode::rendered << QSize(12, 8) << QString();
    QTest::newRow("another library") << "function render() { r = 1; }" << (QStringList{"--stdlib", "%1/lib.js"} + plain) << ExitCode::rendered << QSize(4, 2) << QString();
    QTest::newRow("a missing library counts as empty") << "function render() { r = 1; }" << (QStringList{"--stdlib", "%1/none.js"} + plain) << ExitCode::rendered << QSize(640, 480) << QString();
    QTest::newRow("a script error with its line") << "\nthrow new Error('broken');" << plain << ExitCode::renderFailed << QSize() << "painting.js:2: Error: broken";
    QTest::newRow("an empty painting") << "" << (QStringList{"--stdlib", "%1/lib.js"} + plain) << ExitCode::rendered << QSize(4, 2) << QString();
    QTest::newRow("the renderer crashes") << "var o = { get p() { return 1; } }; o.p = 1; o.p = 2;" << plain << ExitCode::renderFailed << QSize() << "SIGSEGV";
    QTest::newRow("a painting that calls the renderer's own functions") << "function render() { if (x == 5) arguments.callee.caller(); }" << plain << ExitCode::renderFailed << QSize() << "painting.js: Error: the painting called the renderer's own functions";
    QTest::newRow("a size beyond 32 bits") << "width = 1e10;" << plain << ExitCode::renderFailed << QSize() << "the painting's size, 10000000000 × 8, is too large for a picture";
    QTest::newRow("an infinite size") << "height = Infinity;" << plain << ExitCode::renderFailed << QSize() << "12 × Infinity, is too large";
    QTest::newRow("a size beyond 32 bits, halved") << "width = 4294967296; height = 2;" << (QStringList{"--low-quality"} + plain) << ExitCode::renderFailed << QSize() << "4294967296 × 2, is too large";
    QTest::newRow("minus infinity leaves no pixels") << "width = -Infinity;" << plain << ExitCode::renderFailed << QSize() << "-Infinity × 8, leaves no pixels";
    QTest::newRow("no pixels") << "width = 0;" << plain << ExitCode::renderFailed << QSize() << "leaves no pixels";
    QTest::newRow("an unreadable painting") << small << QStringList{"%1/missing.js", "%1/out.png"} << ExitCode::unreadableScript << QSize() << "missing.js";
    QTest::newRow("an output that cannot be written") << small << QStringList{"%1/painting.js", "%1/no/such/folder/out.png"} << ExitCode::unwritableOutput << QSize() << "cannot write";
    QTest::newRow("an output that is a named pipe") << small << QStringList{"%1/painting.js", "%1/pipe.png"} << ExitCode::unwritableOutput << QSize() << "It is a named pipe, not a regular file";
    QTest::newRow("an output that links to /dev/null") << small << QStringList{"%1/painting.js", "%1/null.png"} << ExitCode::unwritableOutput << QSize() << "It is a link to a device, not a regular file";
    QTest::newRow("an output that links to a folder") << small << QStringList{"%1/painting.js", "%1/folder.png"} << ExitCode::unwritableOutput << QSize() << "It is a link to a folder";
    QTest::newRow("an output that links to a regular file") << small << QStringList{"%1/painting.js", "%1/link.png"} << ExitCode::rendered << QSize(30, 20) << QString();
    QTest::newRow("an unknown format") << small << QStringList{"%1/painting.js", "%1/out.xyz"} << ExitCode::unwritableOutput << QSize() << ".xyz";
    QTest::newRow("no output named") << small << QStringList{"%1/painting.js"} << ExitCode::badUsage << QSize() << "--help";
    QTest::newRow("an unknown option") << small << (QStringList{"--fast"} + plain) << ExitCode::badUsage << QSize() << "fast";
    QTest::newRow("jobs that are no number") << small << (QStringList{"--jobs", "many"} + plain) << ExitCode::badUsage << QSize() << "--jobs";
    QTest::newRow("negative jobs") << small << (QStringList{"--jobs", "-1"} + plain) << ExitCode::badUsage << QSize() << "--jobs";
    QTest::newRow("the most jobs, more than rows") << small << (QStringList{"--jobs", "256"} + plain) << ExitCode::rendered << QSize(30, 20) << QString();
    QTest::newRow("one job too many") << small << (QStringList{"--jobs", "257"} + plain) << ExitCode::badUsage << QSize() << "--jobs: 257 is too many, the most is 256";
    QTest::newRow("jobs beyond 32 bits") << small << (QStringList{"--jobs", "99999999999"} + plain) << ExitCode::badUsage << QSize() << "--jobs: 99999999999 is too large";
    // Each process may use its share of half the memory: shared by the two that take rows,
    // not by all that were asked for.
    QTest::newRow("memory for the processes that take rows")
        << "width = 4; height = 2; var s = 'x'; for (var i = 0; i < 25; i++) s += s; s.indexOf('y');\n"
           "function render() { r = s.length % 3; }"
        << (QStringList{"--jobs", "256"} + plain) << ExitCode::rendered << QSize(4, 2) << QString();
    QTest::newRow("rows backwards") << small << (QStringList{"--rows", "9:5"} + plain) << ExitCode::badUsage << QSize() << "--rows";
    QTest::newRow("rows that are no numbers") << small << (QStringList{"--rows", "a:b"} + plain) << ExitCode::badUsage << QSize() << "--rows";
    QTest::newRow("rows to beyond the picture") << small << (QStringList{"--rows", "15:40"} + plain) << ExitCode::rendered << QSize(30, 5) << QString();
    QTest::newRow("rows to the largest number") << small << (QStringList{"--rows", "0:2147483647"} + plain) << ExitCode::rendered << QSize(30, 20) << QString();
    QTest::newRow("rows to beyond 32 bits") << small << (QStringList{"--rows", "0:99999999999"} + plain) << ExitCode::badUsage << QSize() << "--rows: 99999999999 is too large";
    QTest::newRow("rows from beyond 32 bits") << small << (QStringList{"--rows", "3:99999999999"} + plain) << ExitCode::badUsage << QSize() << "--rows: 99999999999 is too large";
    QTest::newRow("rows from far beyond 64 bits") << small << (QStringList{"--rows", "99999999999999999999999:1"} + plain) << ExitCode::badUsage << QSize() << "--rows: 99999999999999999999999 is too large";
    QTest::newRow("rows below the picture") << small << (QStringList{"--rows", "20:30"} + plain) << ExitCode::renderFailed << QSize() << "--rows names no row";
    QTest::newRow("scale 2 doubles it") << small << (QStringList{"--scale", "2"} + plain) << ExitCode::rendered << QSize(60, 40) << QString();
    QTest::newRow("scale 3, anti-aliased") << small << (QStringList{"--scale", "3", "--samples", "4"} + plain) << ExitCode::rendered << QSize(90, 60) << QString();
    QTest::newRow("scale 0.5 truncates as low quality does") << "width = 641; height = 21; function render() { r = 1; }" << (QStringList{"--scale", "0.5"} + plain) << ExitCode::rendered << QSize(320, 10) << QString();
    QTest::newRow("a scale with no exact binary form") << "width = 480; height = 100; function render() { r = 1; }" << (QStringList{"--scale", "2.05"} + plain) << ExitCode::rendered << QSize(984, 205) << QString();
    QTest::newRow("the frame at scale 2 is 40 pixels wide") << small << (QStringList{"--scale", "2", "--frame"} + plain) << ExitCode::rendered << QSize(140, 120) << QString();
    QTest::newRow("the frame at scale 0.5 stays 20 pixels wide") << small << (QStringList{"--scale", "0.5", "--frame"} + plain) << ExitCode::rendered << QSize(55, 50) << QString();
    QTest::newRow("rows count the scaled picture") << small << (QStringList{"--scale", "2", "--rows", "30:39"} + plain) << ExitCode::rendered << QSize(60, 10) << QString();
    QTest::newRow("a scale too small") << small << (QStringList{"--scale", "0.09"} + plain) << ExitCode::badUsage << QSize() << "--scale needs a number from 0.1 to 16";
    QTest::newRow("a scale too large") << small << (QStringList{"--scale", "16.5"} + plain) << ExitCode::badUsage << QSize() << "--scale needs a number from 0.1 to 16";
    QTest::newRow("a scale that is no number") << small << (QStringList{"--scale", "big"} + plain) << ExitCode::badUsage << QSize() << "--scale";
    QTest::newRow("scale with low quality") << small << (QStringList{"--scale", "2", "--low-quality"} + plain) << ExitCode::badUsage << QSize() << "--scale and --low-quality do not go together";
    QTest::newRow("no samples") << small << (QStringList{"--samples", "0"} + plain) << ExitCode::badUsage << QSize() << "--samples needs a whole number from 1 to 8";
    QTest::newRow("too many samples") << small << (QStringList{"--samples", "9"} + plain) << ExitCode::badUsage << QSize() << "--samples needs a whole number from 1 to 8";
    QTest::newRow("samples that are no whole number") << small << (QStringList{"--samples", "2.5"} + plain) << ExitCode::badUsage << QSize() << "--samples";
    // Refused when the picture is made, before any pixel: the painting would take hours.
    QTest::newRow("a scaled picture too large to hold") << "width = 60000; height = 60000; function render() { for (;;) {} }" << (QStringList{"--scale", "16"} + plain) << ExitCode::renderFailed << QSize() << "a picture of 960000 × 960000 pixels is too large to create";
    QTest::newRow("help") << small << QStringList{"--help"} << ExitCode::rendered << QSize() << "PAINTING OUTPUT";
}

void tst_CommandLine::renders()
{
    QFETCH(QString, painting);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QSize, outputSize);
    QFETCH(QString, says);

    QTemporaryDir folder;
    QVERIFY(writeBytes(folder.filePath("painting.js"), painting.toUtf8()));
    QVERIFY(writeBytes(folder.filePath("lib.js"), "width = 4; height = 2;"));
    QVERIFY(writeBytes(stdlibFile(), "width = 12; height = 8;"));
    // Outputs that are not regular files, and a link to one that is.
    QVERIFY(QDir(folder.path()).mkpath("elsewhere/folder"));
    QVERIFY(writeBytes(folder.filePath("elsewhere/target.png"), "earlier"));
    QCOMPARE(mkfifo(QFile::encodeName(folder.filePath("pipe.png")).constData(), 0600), 0);
    QVERIFY(QFile::link("/dev/null", folder.filePath("null.png")));
    QVERIFY(QFile::link(folder.filePath("elsewhere/folder"), folder.filePath("folder.png")));
    QVERIFY(QFile::link(folder.filePath("elsewhere/target.png"), folder.filePath("link.png")));
    for (QString &argument : arguments)
        argument.replace("%1", folder.path());

    QProcess renderer;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("QT_QPA_PLATFORM");
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    renderer.setProcessEnvironment(environment);
    renderer.start(QDir(appDir()).filePath("pictoloom-render"), arguments);
    QVERIFY(renderer.waitForFinished(60000));
    const QString output = QString::fromLocal8Bit(renderer.readAllStandardOutput());
    const QString errors = QString::fromLocal8Bit(renderer.readAllStandardError());

    QCOMPARE(renderer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(renderer.exitCode(), exitCode);
    if (exitCode == ExitCode::rendered) {
        QVERIFY2(errors.isEmpty(), qPrintable(errors));
        QVERIFY(output.contains(says));
    } else {
        QVERIFY2(errors.contains(says), qPrintable(errors));
        QCOMPARE(errors.count('\n'), 1);
    }
    // Read only when it is a regular file: reading a pipe would wait for a writer.
    const QString outputPath = arguments.isEmpty() ? QString() : arguments.last();
    const QImage written = QFileInfo(outputPath).isFile() ? QImage(outputPath) : QImage();
    QCOMPARE(written.size(), outputSize.isValid() ? outputSize : QSize(0, 0));

    struct stat status;
    QCOMPARE(::lstat(QFile::encodeName(folder.filePath("pipe.png")).constData(), &status), 0);
    QVERIFY(S_ISFIFO(status.st_mode));
    QCOMPARE(::stat("/dev/null", &status), 0);
    QVERIFY(S_ISCHR(status.st_mode));
    QVERIFY(QFileInfo(folder.filePath("elsewhere/folder")).isDir());
    for (const char *link : {"null.png", "folder.png", "link.png"})
        QVERIFY(QFileInfo(folder.filePath(link)).isSymLink());
    if (outputPath.endsWith("/link.png") && exitCode == ExitCode::rendered)
        QCOMPARE(QImage(folder.filePath("elsewhere/target.png")).size(), outputSize);
    else
        QCOMPARE(readBytes(folder.filePath("elsewhere/target.png")), QByteArray("earlier"));
}

void tst_CommandLine::existingOutputIsLeftAloneOnFailure()
{
    QTemporaryDir folder;
    QVERIFY(writeBytes(folder.filePath("painting.js"), "throw new Error('no');"));
    QVERIFY(writeBytes(folder.filePath("out.png"), "earlier"));
    QProcess renderer;
    renderer.start(QDir(appDir()).filePath("pictoloom-render"),
                   {folder.filePath("painting.js"), folder.filePath("out.png")});
    QVERIFY(renderer.waitForFinished(60000));
    QCOMPARE(renderer.exitCode(), ExitCode::renderFailed);
    QCOMPARE(readBytes(folder.filePath("out.png")), QByteArray("earlier"));
}

// The bare text of every line, all of them, in the order one process prints them; the failure
// alone on stderr.
void tst_CommandLine::printsEveryLineOnStdout_data()
{
    QTest::addColumn<QString>("painting");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("lines");   // %n: n lines, the column numbers of 50 x 60
    QTest::addColumn<QString>("errors");

    const QString rows = QStringLiteral("width = 3; height = 12; print('top', width);\n"
                                        "function render() { if (x == 2) console.warn('row', y); }");
    QStringList everyRow{"top 3"};
    for (int y = 0; y < 12; ++y)
        everyRow << QStringLiteral("row %1").arg(y);
    QTest::newRow("the top level, then the pixels in order") << rows << QStringList() << ExitCode::rendered << everyRow << QString();
    QTest::newRow("the same from three processes") << rows << QStringList{"--jobs", "3"} << ExitCode::rendered << everyRow << QString();
    QTest::newRow("line breaks give lines, every kind of them")
        << "print('a\\nb\\r\\nc\\rd\\u2028e', '', 'f'); width = 1; height = 1;" << QStringList()
        << ExitCode::rendered << QStringList{"a", "b", "c", "d", "e  f"} << QString();
    QTest::newRow("beyond the window's thousand lines")
        << "width = 50; height = 60; function render() { print(x); }" << QStringList{"--jobs", "2"}
        << ExitCode::rendered << QStringList{"%3000"} << QString();
    QTest::newRow("the lines up to the failure, which goes to stderr")
        << "width = 2; height = 9; print('start');\nfunction render() { print(x, y); if (y == 4) throw new Error('stop'); }"
        << QStringList{"--jobs", "2"} << ExitCode::renderFailed
        << QStringList{"start", "0 0", "1 0", "0 1", "1 1", "0 2", "1 2", "0 3", "1 3", "0 4"}
        << "painting.js:2: Error: stop";
}

void tst_CommandLine::printsEveryLineOnStdout()
{
    QFETCH(QString, painting);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QStringList, lines);
    QFETCH(QString, errors);

    QTemporaryDir folder;
    QVERIFY(writeBytes(folder.filePath("painting.js"), painting.toUtf8()));
    QProcess renderer;
    renderer.start(QDir(appDir()).filePath("pictoloom-render"),
                   arguments + QStringList{folder.filePath("painting.js"), folder.filePath("out.png")});
    QVERIFY(renderer.waitForFinished(60000));
    QCOMPARE(renderer.exitCode(), exitCode);
    const QString said = QString::fromUtf8(renderer.readAllStandardError());
    QVERIFY2(errors.isEmpty() ? said.isEmpty() : said.endsWith(errors + "\n") && said.count('\n') == 1,
             qPrintable(said));
    QStringList output = QString::fromUtf8(renderer.readAllStandardOutput()).split('\n');
    QCOMPARE(output.takeLast(), QString());
    if (lines.size() == 1 && lines.first().startsWith('%')) {
        const int count = lines.first().mid(1).toInt();
        lines.clear();
        for (int i = 0; i < count; ++i)
            lines << QString::number(i % 50);
    }
    QCOMPARE(output, lines);
}

// However the command line ends, its renderers end with it, busy as they are, and no output
// nor any temporary file is left.
void tst_CommandLine::endsWithItsRenderers_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGHUP") << SIGHUP;
    QTest::newRow("SIGKILL") << SIGKILL;
}

void tst_CommandLine::endsWithItsRenderers()
{
    QFETCH(int, signal);

    QTemporaryDir folder;
    QVERIFY(writeBytes(folder.filePath("painting.js"),
                       "width = 4; height = 40; function render() { for (;;) {} }"));
    CommandProcess command;
    command.start(QDir(appDir()).filePath("pictoloom-render"),
                  {"--jobs", "2", folder.filePath("painting.js"), folder.filePath("out.png")});
    QVERIFY(command.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(runningChildren(command.processId()).size(), 2, 20000);
    const QList<qint64> renderers = runningChildren(command.processId());

    ::kill(pid_t(command.processId()), signal);
    QVERIFY(command.waitForFinished(10000));
    QCOMPARE(command.exitStatus(), QProcess::CrashExit);
    QCOMPARE(command.exitCode(), signal);
    for (qint64 renderer : renderers)
        QTRY_VERIFY2_WITH_TIMEOUT(!isRunning(renderer), qPrintable(QString::number(renderer)), 10000);
    QCOMPARE(QDir(folder.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
             QStringList{"painting.js"});
}

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
