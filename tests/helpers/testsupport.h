#ifndef TESTSUPPORT_H
#define TESTSUPPORT_H

#include <QByteArray>
#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QQueue>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <functional>

class QWidget;

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
    };

    DialogAnswerer();

    void answerMessageBox(QMessageBox::StandardButton button);
    void answerInput(const QString &text);   // types text into a QInputDialog and accepts
    void answerFile(const QString &path);    // chooses path in a QFileDialog and accepts
    void answerWith(std::function<void(QWidget *dialog)> action);

    QList<Message> messages;
    int dialogCount = 0;

private:
    void handleActiveDialog();

    QTimer timer;
    QQueue<std::function<void(QWidget *)>> answers;
};

// Records the desktop open requests made while it lives instead of starting programs.
class DesktopRecorder
{
public:
    DesktopRecorder();
    ~DesktopRecorder();

    QList<QUrl> urls;
};

#endif // TESTSUPPORT_H
