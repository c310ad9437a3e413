#ifndef TESTSUPPORT_H
#define TESTSUPPORT_H

#include "app/mainwindow.h"

#include <QByteArray>
#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QQueue>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <functional>

#include <sys/resource.h>

class ConsolePanel;
class ImageView;
class QAction;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QStackedWidget;

// The test runs from a copy of its executable in a temporary folder (see run-from-copy.sh),
// so that folder is the application directory the window uses.
QString appDir();
QString paintingsPath();
QString paintingFile(const QString &name);
QString stdlibFile();

// Removes "paintings" and "stdlib.js" from the application directory, making write
// permissions whole again first, so that each test starts as a first start.
void resetAppDir();

QByteArray readBytes(const QString &path);
bool writeBytes(const QString &path, const QByteArray &bytes);

// Answers the modal dialogs that open while it lives, in the order they appear, and records
// what each message box said. A dialog without a prepared answer is rejected (Escape).
class DialogAnswerer : public QObject
{
    Q_OBJECT

public:
    struct Message
    {
        QString title;
        QString text;
        QMessageBox::Icon icon;
        Qt::TextFormat format;
    };

    DialogAnswerer();

    void answerMessageBox(QMessageBox::StandardButton button);
    void answerInput(const QString &text);   // types text into a QInputDialog and accepts
    void answerFile(const QString &path);    // chooses path in a QFileDialog and accepts
    void answerButton(const QString &text);   // clicks the message box's button with text
    void answerWith(std::function<void(QWidget *dialog)> action);

    QList<Message> messages;
    int dialogCount = 0;

private:
    void handleActiveDialog();

    QTimer timer;
    QQueue<std::function<void(QWidget *)>> answers;
};

// Records the desktop's requests to open files while it lives, instead of starting programs.
class DesktopRecorder : public QObject
{
    Q_OBJECT

public:
    DesktopRecorder();
    ~DesktopRecorder() override;

    QList<QUrl> urls;

public slots:
    void open(const QUrl &url) { urls.append(url); }
};

// Makes every write past limit bytes fail with EFBIG, as a full disk would, for as long as it
// lives. Works for any user, root included.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t limit);
    ~FileSizeLimit();

private:
    rlimit saved;
};

// The parts of a window, found by what the user reads on them or by objectName. Each returns
// null, with a warning naming what was looked for, when there is no such part or, for texts,
// when several parts carry the same text.
QAction *findAction(QWidget *window, const QString &text);
QPushButton *findButton(QWidget *window, const QString &text);

template<typename T>
T *part(QWidget *window, const QString &objectName)
{
    T *widget = window->findChild<T *>(objectName);
    if (!widget)
        qWarning("no widget %s", qPrintable(objectName));
    return widget;
}

QPlainTextEdit *paintingEditor(QWidget *window);
QPlainTextEdit *stdlibEditor(QWidget *window);
QComboBox *paintingList(QWidget *window);
QStringList listTitles(QWidget *window);   // of the painting list, top to bottom

// Waits until the preview or export that the window runs has ended and what came of it is shown,
// written or reported, as a user waits for the picture. True at once when none runs; false
// when it does not end within timeoutMs.
bool waitForRender(MainWindow &window, int timeoutMs = 120000);

// A main window together with the parts that the tests read and type into.
struct WindowParts
{
    WindowParts();
    QAction *action(const QString &text) { return findAction(&window, text); }
    // Previews and waits for what comes of it.
    bool preview()
    {
        window.updatePreview();
        return waitForRender(window);
    }

    MainWindow window;
    QPlainTextEdit *painting;
    QPlainTextEdit *stdlib;
    ImageView *view;
    QComboBox *list;
    QLabel *status;
    QStackedWidget *statusStack;
    QProgressBar *progress;
    ConsolePanel *console;
};

#endif // TESTSUPPORT_H
