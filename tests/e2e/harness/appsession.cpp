#include "appsession.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTest>
#include <QUrl>

#include "screenreading.h"

#include <csignal>

#include <sys/resource.h>

namespace {

const QStringList optionsMenuItems = {"Low Quality Preview", "Use External Editor",
                                      "Save With Frame", "Live Preview", "Save Copy",
                                      "Edit Standard Library", "Export Animation...", "Export Size",
                                      "Anti-aliasing", "Show Console",
                                      "New Painting...", "Rename Painting...", "Delete Painting"};

// Polls often enough to keep up with a person, rarely enough to leave the CPU to the program.
const int pollMs = 50;

QString tail(const QByteArray &text, int lines)
{
    const QStringList all = QString::fromLocal8Bit(text).split('\n');
    return all.mid(qMax(0, all.size() - lines)).join('\n');
}

} // namespace

void ProgramProcess::setupChildProcess()
{
    if (addressSpaceLimit >= 0) {
        rlimit limit;
        getrlimit(RLIMIT_AS, &limit);
        limit.rlim_cur = rlim_t(addressSpaceLimit);
        setrlimit(RLIMIT_AS, &limit);
    }
    if (fileSizeLimit < 0)
        return;
    // An ignored signal stays ignored in the program that is started.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit;
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = rlim_t(fileSizeLimit);
    setrlimit(RLIMIT_FSIZE, &limit);
}

AppSession::AppSession()
    : root(QDir::tempPath() + "/pictoloom-e2e-XXXXXX"),
      binary(qEnvironmentVariable("PICTOLOOM_BINARY"))
{
    process.setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(&process, &QProcess::readyRead,
                     [this] { programOutput += process.readAll(); });
}

AppSession::~AppSession()
{
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
    }
}

QString AppSession::appDir() const
{
    return root.filePath("app");
}

QString AppSession::path(const QString &relative) const
{
    return QDir(appDir()).filePath(relative);
}

bool AppSession::writeFile(const QString &relative, const QByteArray &bytes)
{
    const QString target = path(relative);
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile file(target);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return fail(QString("cannot write %1: %2").arg(target, file.errorString()));
    return true;
}

QByteArray AppSession::readFile(const QString &relative) const
{
    QFile file(path(relative));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool AppSession::exists(const QString &relative) const
{
    return QFileInfo::exists(path(relative));
}

QStringList AppSession::desktopRequests() const
{
    QFile log(root.filePath("desktop-requests.log"));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    QStringList requests;
    const QStringList lines = QString::fromLocal8Bit(log.readAll()).split('\n', Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        const QUrl url(line);
        requests << (url.isLocalFile() ? url.toLocalFile() : line);
    }
    return requests;
}

bool AppSession::start(int timeoutMs)
{
    return launch(timeoutMs) && activateMainWindow();
}

bool AppSession::launch(int timeoutMs)
{
    if (!root.isValid())
        return fail("cannot make a temporary folder: " + root.errorString());
    if (binary.isEmpty() || !QFileInfo(binary).isExecutable())
        return fail("PICTOLOOM_BINARY does not name the program to test (run through "
                    "run-under-x.sh)");

    QDir folder(root.path());
    for (const char *sub : {"app", "bin", "home", "config", "data", "runtime"})
        folder.mkdir(sub);
    QFile::setPermissions(root.filePath("runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    const QString program = path("pictoloom");
    if (!QFile::exists(program) && !QFile::copy(binary, program))
        return fail("cannot copy " + binary + " to " + program);
    QFile::setPermissions(program, QFile::permissions(program) | QFileDevice::ExeOwner);
    // The window runs every render in the renderer installed beside it.
    const QString renderer = QFileInfo(binary).dir().filePath("pictoloom-render");
    const QString rendererCopy = path("pictoloom-render");
    if (!QFile::exists(rendererCopy) && !QFile::copy(renderer, rendererCopy))
        return fail("cannot copy " + renderer + " to " + rendererCopy);
    QFile::setPermissions(rendererCopy, QFile::permissions(rendererCopy) | QFileDevice::ExeOwner);

    // Qt hands a URL to the first "xdg-open" on the PATH; this one only writes it down.
    const QString opener = root.filePath("bin/xdg-open");
    QFile script(opener);
    if (!script.open(QIODevice::WriteOnly))
        return fail("cannot write " + opener);
    script.write("#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + root.filePath("desktop-requests.log").toLocal8Bit()
                 + "'\n");
    script.close();
    QFile::setPermissions(opener, QFile::permissions(opener) | QFileDevice::ExeOwner);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PATH", root.filePath("bin") + ':' + environment.value("PATH"));
    environment.insert("HOME", root.filePath("home"));
    environment.insert("XDG_CONFIG_HOME", root.filePath("config"));
    environment.insert("XDG_DATA_HOME", root.filePath("data"));
    environment.insert("XDG_RUNTIME_DIR", root.filePath("runtime"));
    environment.insert("QT_QPA_PLATFORM", "xcb");
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(appDir());
    process.setProgram(program);
    process.start();
    if (!process.waitForStarted(10000))
        return fail("pictoloom did not start: " + process.errorString());

    const QDeadlineTimer deadline(timeoutMs);
    while (mainWindowId.isEmpty()) {
        if (process.state() == QProcess::NotRunning)
            return fail("pictoloom ended before showing its window:\n" + output());
        if (deadline.hasExpired())
            return fail("no window titled \"Pictoloom\" appeared");
        QByteArray found;
        runTool("xdotool", {"search", "--onlyvisible", "--pid", QString::number(process.processId()),
                            "--name", "^Pictoloom$"},
                &found);
        const QStringList ids = QString::fromLatin1(found).split('\n', Qt::SkipEmptyParts);
        // The search ignores case; the title must match exactly.
        for (const QString &id : ids) {
            QByteArray name;
            if (runTool("xdotool", {"getwindowname", id}, &name) && name.trimmed() == "Pictoloom")
                mainWindowId = id;
        }
        if (mainWindowId.isEmpty())
            QTest::qWait(pollMs);
    }
    knownWindows = visibleProgramWindows();

    // Wait for the first paint: an unpainted window reads back black.
    while (true) {
        const QImage client = grabClient();
        if (!client.isNull() && client.pixel(1, client.height() - 2) != qRgb(0, 0, 0))
            return true;
        if (deadline.hasExpired())
            return fail("the window was never painted");
        QTest::qWait(pollMs);
    }
}

bool AppSession::liftFileSizeLimit()
{
    return runTool("prlimit", {"--pid", QString::number(process.processId()), "--fsize=unlimited:"});
}

bool AppSession::waitForExit(int timeoutMs)
{
    if (!process.waitForFinished(timeoutMs) && process.state() != QProcess::NotRunning)
        return fail(QString("pictoloom still runs %1 ms after it was asked to close").arg(timeoutMs));
    programOutput += process.readAll();
    return true;
}

int AppSession::exitCode() const
{
    return process.exitCode();
}

QProcess::ExitStatus AppSession::exitStatus() const
{
    return process.exitStatus();
}

QString AppSession::output()
{
    programOutput += process.readAll();
    return tail(programOutput, 40);
}

QRect AppSession::clientArea()
{
    QByteArray info;
    if (mainWindowId.isEmpty() || !runTool("xwininfo", {"-id", mainWindowId}, &info))
        return {};
    auto field = [&info](const char *label) {
        const QRegularExpression pattern(QString("%1:\\s*(-?\\d+)").arg(QLatin1String(label)));
        return pattern.match(QString::fromLatin1(info)).captured(1).toInt();
    };
    return QRect(field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"),
                 field("Height"));
}

QImage AppSession::grabClient()
{
    const QRect area = clientArea();
    return area.isEmpty() ? QImage() : grabScreen(area);
}

bool AppSession::activateMainWindow()
{
    if (mainWindowId.isEmpty())
        return fail("the main window is not known");
    return activate(mainWindowId);
}

bool AppSession::activate(const QString &windowId)
{
    if (!xdotool({"windowactivate", "--sync", windowId}))
        return false;
    // The manager marks the window active before the keyboard focus has reached it.
    const QDeadlineTimer deadline(5000);
    while (true) {
        QByteArray focused;
        if (runTool("xdotool", {"getwindowfocus"}, &focused) && focused.trimmed() == windowId.toLatin1())
            return true;
        if (deadline.hasExpired())
            return fail("window " + windowId + " did not get the keyboard focus");
        QTest::qWait(pollMs);
    }
}

QString AppSession::waitForWindow(const QString &titlePattern, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QByteArray found;
        runTool("xdotool", {"search", "--onlyvisible", "--pid", QString::number(process.processId()),
                            "--name", titlePattern},
                &found);
        for (const QString &id : QString::fromLatin1(found).split('\n', Qt::SkipEmptyParts)) {
            if (id != mainWindowId && activate(id))
                return id;
        }
        QTest::qWait(pollMs);
    }
    fail(QString("no window titled like \"%1\" appeared").arg(titlePattern));
    return {};
}

bool AppSession::waitForWindowGone(const QString &windowId, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (visibleProgramWindows().contains(windowId)) {
        if (deadline.hasExpired())
            return fail("window " + windowId + " is still open");
        QTest::qWait(pollMs);
    }
    return true;
}

bool AppSession::pressKeys(const QStringList &keys)
{
    return xdotool(QStringList{"key", "--delay", "40"} + keys);
}

bool AppSession::typeText(const QString &text)
{
    // xdotool types a line feed as a key that Qt's editors ignore; a line break is Return.
    const QStringList lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        if (i > 0 && !pressKeys({"Return"}))
            return false;
        if (!lines.at(i).isEmpty() && !xdotool({"type", "--delay", "15", "--", lines.at(i)}, nullptr, 60000))
            return false;
    }
    return true;
}

bool AppSession::clickClient(const QPoint &point)
{
    const QRect area = clientArea();
    if (area.isEmpty())
        return fail("cannot find the main window on the screen");
    const QPoint target = area.topLeft() + point;
    const QString x = QString::number(target.x()), y = QString::number(target.y());
    // "mousemove --sync" never returns when the pointer is already there; look instead.
    if (!xdotool({"mousemove", x, y}))
        return false;
    const QByteArray expected = QString("x:%1 y:%2 ").arg(x, y).toLatin1();
    const QDeadlineTimer deadline(5000);
    while (true) {
        QByteArray location;
        if (xdotool({"getmouselocation"}, &location) && location.startsWith(expected))
            break;
        if (deadline.hasExpired())
            return fail("the pointer did not reach " + x + "," + y);
        QTest::qWait(pollMs);
    }
    return xdotool({"click", "1"});
}

bool AppSession::replaceTextAt(const QPoint &point, const QString &text)
{
    return activateMainWindow() && clickClient(point) && pressKeys({"ctrl+a"}) && typeText(text);
}

bool AppSession::clickAndWaitForPopup(const QPoint &point, int timeoutMs)
{
    const QSet<QString> before = visibleProgramWindows();
    if (!clickClient(point))
        return false;
    const QDeadlineTimer deadline(timeoutMs);
    while (true) {
        const QSet<QString> opened = visibleProgramWindows() - before;
        if (!opened.isEmpty()) {
            lastPopupId = *opened.begin();
            return true;
        }
        if (deadline.hasExpired())
            return fail("the click opened no pop-up");
        QTest::qWait(pollMs);
    }
}

bool AppSession::waitForPopupsGone(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!(visibleProgramWindows() - knownWindows).isEmpty()) {
        if (deadline.hasExpired())
            return fail("a pop-up or dialog is still open");
        QTest::qWait(pollMs);
    }
    return true;
}

bool AppSession::chooseOption(const QString &itemText, int submenuIndex)
{
    const int position = optionsMenuItems.indexOf(itemText);
    if (position < 0)
        return fail("the Options menu has no item \"" + itemText + "\"");
    if (!activateMainWindow())
        return false;
    const QVector<QRect> row = controlRowItems(grabClient());
    if (row.size() < 4)
        return fail("cannot find the \"Options\" button in the control row");
    // The row ends with "Options", "Preview" and "Export".
    if (!clickAndWaitForPopup(row.at(row.size() - 3).center()))
        return false;
    QStringList keys;
    for (int i = 0; i <= position; ++i)
        keys << "Down";
    // Right opens the submenu at its first entry.
    if (submenuIndex >= 0)
        keys << "Right";
    for (int i = 0; i < submenuIndex; ++i)
        keys << "Down";
    keys << "Return";
    return pressKeys(keys) && waitForWindowGone(lastPopupId);
}

bool AppSession::closeThroughWindowManager()
{
    if (mainWindowId.isEmpty())
        return fail("the main window is not known");
    return runTool("wmctrl", {"-i", "-c", mainWindowId});
}

bool AppSession::fail(const QString &message)
{
    lastError = message;
    return false;
}

bool AppSession::runTool(const QString &program, const QStringList &arguments, QByteArray *output,
                         int timeoutMs)
{
    QProcess tool;
    tool.start(program, arguments);
    if (!tool.waitForStarted(5000))
        return fail(program + " did not start: " + tool.errorString());
    if (!tool.waitForFinished(timeoutMs)) {
        tool.kill();
        tool.waitForFinished(2000);
        return fail(QString("%1 %2 did not finish within %3 ms")
                        .arg(program, arguments.join(' '))
                        .arg(timeoutMs));
    }
    if (output)
        *output = tool.readAllStandardOutput();
    if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return fail(QString("%1 %2 failed: %3")
                        .arg(program, arguments.join(' '),
                             QString::fromLocal8Bit(tool.readAllStandardError())));
    return true;
}

bool AppSession::xdotool(const QStringList &arguments, QByteArray *output, int timeoutMs)
{
    return runTool("xdotool", arguments, output, timeoutMs);
}

QSet<QString> AppSession::visibleProgramWindows()
{
    QByteArray found;
    runTool("xdotool", {"search", "--onlyvisible", "--class", "^pictoloom$"}, &found);
    const QStringList ids = QString::fromLatin1(found).split('\n', Qt::SkipEmptyParts);
    return QSet<QString>(ids.begin(), ids.end());
}
