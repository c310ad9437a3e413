#ifndef APPSESSION_H
#define APPSESSION_H

#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QProcess>
#include <QRect>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// One run of the real pictoloom program, driven through the X server as a person would drive
// it: xdotool for keys, typing and clicks, the screen read back for what is shown.
//
// The program is copied into a fresh application directory, with the renderer pictoloom-render
// found beside it, so its "paintings" and "stdlib.js" are its own. It runs with a home, configuration and runtime folder of its own
// and with a stand-in "xdg-open" first on its PATH that only writes down what it was asked to
// open, so that desktop open requests start no real program and can be checked.
//
// Every wait is bounded. A function that fails returns false (or an empty value) and leaves
// the reason in errorString().
// The program's process; a file-size limit set before it starts makes the program's writes past
// it fail as on a full disk, instead of ending the program with SIGXFSZ.
class ProgramProcess : public QProcess
{
public:
    qint64 fileSizeLimit = -1;   // none
    qint64 addressSpaceLimit = -1;

protected:
    void setupChildProcess() override;
};

class AppSession
{
public:
    AppSession();
    ~AppSession();

    QString appDir() const;
    QString path(const QString &relative) const;
    bool writeFile(const QString &relative, const QByteArray &bytes);
    QByteArray readFile(const QString &relative) const;
    bool exists(const QString &relative) const;

    // What the program asked the desktop to open, one entry per request, in order: the local
    // path of a file URL, anything else as it was handed over.
    QStringList desktopRequests() const;

    // Caps the address space of the program, and so of its renderers, at bytes (call before
    // start()), as "ulimit -v" does.
    void limitAddressSpace(qint64 bytes) { process.addressSpaceLimit = bytes; }
    // Makes the program's writes past bytes fail from its start (call before start()) until
    // the limit is lifted.
    void limitFileSize(qint64 bytes) { process.fileSizeLimit = bytes; }
    bool liftFileSizeLimit();

    // Starts the program and waits until its main window is painted; start() then makes it the
    // active window, launch() leaves that to the program, as for a box that comes over it.
    bool start(int timeoutMs = 30000);
    bool launch(int timeoutMs = 30000);
    bool waitForExit(int timeoutMs = 20000);
    int exitCode() const;
    QProcess::ExitStatus exitStatus() const;
    // What the program printed, for failure messages.
    QString output();

    QString mainWindow() const { return mainWindowId; }
    // The main window's client area in screen coordinates.
    QRect clientArea();
    QImage grabClient();

    bool activateMainWindow();
    // Waits for a visible top-level window whose title matches the regular expression, makes it
    // active and returns its id.
    QString waitForWindow(const QString &titlePattern, int timeoutMs = 15000);
    bool waitForWindowGone(const QString &windowId, int timeoutMs = 15000);

    // Keys and text go to whichever window has the focus, as a keyboard's would.
    bool pressKeys(const QStringList &keys);
    bool typeText(const QString &text);
    bool clickClient(const QPoint &point);
    // Clicks into the editor at point of the client area and types text over all it held.
    bool replaceTextAt(const QPoint &point, const QString &text);
    // Clicks and waits for the pop-up (menu or list) that the click opens.
    bool clickAndWaitForPopup(const QPoint &point, int timeoutMs = 15000);
    bool waitForPopupsGone(int timeoutMs = 15000);

    // Opens the "Options" menu with the mouse and picks the item with the keyboard; for a
    // submenu, the entry at submenuIndex in it.
    bool chooseOption(const QString &itemText, int submenuIndex = -1);

    // Asks the window manager to close the main window, as a task bar does (_NET_CLOSE_WINDOW);
    // the manager sends the program the WM_DELETE_WINDOW request of the title bar's close button.
    bool closeThroughWindowManager();

    QString errorString() const { return lastError; }

private:
    bool fail(const QString &message);
    bool activate(const QString &windowId);
    bool runTool(const QString &program, const QStringList &arguments, QByteArray *output = nullptr,
                 int timeoutMs = 15000);
    bool xdotool(const QStringList &arguments, QByteArray *output = nullptr, int timeoutMs = 15000);
    QSet<QString> visibleProgramWindows();

    QTemporaryDir root;
    QString binary;
    ProgramProcess process;
    QByteArray programOutput;
    QString mainWindowId;
    QString lastPopupId;
    QSet<QString> knownWindows;
    QString lastError;
};

#endif // APPSESSION_H
