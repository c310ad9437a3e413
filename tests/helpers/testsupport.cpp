#include "testsupport.h"

#include "app/consolepanel.h"

#include "app/imageview.h"
#include "app/rendercontroller.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QVariant>

#include <csignal>

QString appDir()
{
    return QCoreApplication::applicationDirPath();
}

QString paintingsPath()
{
    return QDir(appDir()).filePath(QStringLiteral("paintings"));
}

QString paintingFile(const QString &name)
{
    return paintingsPath() + QLatin1Char('/') + name;
}

QString stdlibFile()
{
    return QDir(appDir()).filePath(QStringLiteral("stdlib.js"));
}

static void makeWritable(const QString &path)
{
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ReadOwner | QFile::WriteOwner
                                    | QFile::ExeOwner);
}

void resetAppDir()
{
    makeWritable(appDir());
    const QFileInfo paintings(paintingsPath());
    if (paintings.isDir() && !paintings.isSymLink()) {
        makeWritable(paintings.filePath());
        QDirIterator it(paintings.filePath(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden
                                                  | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            if (!it.fileInfo().isSymLink())
                makeWritable(it.filePath());
        }
        QDir(paintings.filePath()).removeRecursively();
    } else {
        QFile::remove(paintings.filePath());
    }
    const QFileInfo stdlib(stdlibFile());
    if (stdlib.isDir() && !stdlib.isSymLink())
        QDir(stdlib.filePath()).removeRecursively();
    else
        QFile::remove(stdlib.filePath());
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

DialogAnswerer::DialogAnswerer()
{
    timer.setInterval(10);
    connect(&timer, &QTimer::timeout, this, &DialogAnswerer::handleActiveDialog);
    timer.start();
}

void DialogAnswerer::answerMessageBox(QMessageBox::StandardButton button)
{
    answerWith([button](QWidget *dialog) {
        if (auto *box = qobject_cast<QMessageBox *>(dialog)) {
            if (QAbstractButton *b = box->button(button)) {
                b->click();
                return;
            }
        }
        if (auto *d = qobject_cast<QDialog *>(dialog))
            d->reject();
    });
}

void DialogAnswerer::answerInput(const QString &text)
{
    answerWith([text](QWidget *dialog) {
        if (auto *input = qobject_cast<QInputDialog *>(dialog)) {
            input->setTextValue(text);
            input->accept();
        } else if (auto *d = qobject_cast<QDialog *>(dialog)) {
            d->reject();
        }
    });
}

void DialogAnswerer::answerFile(const QString &path)
{
    answerWith([path](QWidget *dialog) {
        if (auto *files = qobject_cast<QFileDialog *>(dialog)) {
            // The dialog leaves its name field alone while that field has the focus.
            if (QWidget *focus = files->focusWidget())
                focus->clearFocus();
            files->selectFile(path);
            // Accepted from the event loop, so that the answerer can also answer the box in
            // which the dialog asks whether to replace an existing file.
            QTimer::singleShot(0, files, [files] { static_cast<QDialog *>(files)->accept(); });
        } else if (auto *d = qobject_cast<QDialog *>(dialog)) {
            d->reject();
        }
    });
}

void DialogAnswerer::answerButton(const QString &text)
{
    answerWith([text](QWidget *dialog) {
        if (auto *box = qobject_cast<QMessageBox *>(dialog)) {
            for (QAbstractButton *button : box->buttons()) {
                if (button->text() == text) {
                    button->click();
                    return;
                }
            }
        }
        if (auto *d = qobject_cast<QDialog *>(dialog))
            d->reject();
    });
}

void DialogAnswerer::answerWith(std::function<void(QWidget *)> action)
{
    answers.enqueue(std::move(action));
}

void DialogAnswerer::handleActiveDialog()
{
    QWidget *dialog = QApplication::activeModalWidget();
    if (!dialog || !dialog->isVisible() || dialog->property("answeredByTest").toBool())
        return;
    dialog->setProperty("answeredByTest", true);
    ++dialogCount;
    if (auto *box = qobject_cast<QMessageBox *>(dialog))
        messages.append({box->windowTitle(), box->text(), box->icon(), box->textFormat()});
    if (!answers.isEmpty()) {
        answers.dequeue()(dialog);
        return;
    }
    if (auto *d = qobject_cast<QDialog *>(dialog))
        d->reject();
    else
        dialog->close();
}

DesktopRecorder::DesktopRecorder()
{
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open");
}

DesktopRecorder::~DesktopRecorder()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

FileSizeLimit::FileSizeLimit(rlim_t limit)
{
    std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit lowered = saved;
    lowered.rlim_cur = limit;
    setrlimit(RLIMIT_FSIZE, &lowered);
}

FileSizeLimit::~FileSizeLimit()
{
    setrlimit(RLIMIT_FSIZE, &saved);
}

template<typename T>
static T *onlyChildWithText(QWidget *window, const QString &text, const char *kind)
{
    T *found = nullptr;
    const QList<T *> children = window->findChildren<T *>();
    for (T *child : children) {
        if (child->text() != text)
            continue;
        if (found) {
            qWarning("several %s %s", kind, qPrintable(text));
            return nullptr;
        }
        found = child;
    }
    if (!found)
        qWarning("no %s %s", kind, qPrintable(text));
    return found;
}

QAction *findAction(QWidget *window, const QString &text)
{
    return onlyChildWithText<QAction>(window, text, "action");
}

QPushButton *findButton(QWidget *window, const QString &text)
{
    return onlyChildWithText<QPushButton>(window, text, "button");
}

QPlainTextEdit *paintingEditor(QWidget *window)
{
    return part<QPlainTextEdit>(window, QStringLiteral("paintingEditor"));
}

QPlainTextEdit *stdlibEditor(QWidget *window)
{
    return part<QPlainTextEdit>(window, QStringLiteral("stdlibEditor"));
}

QComboBox *paintingList(QWidget *window)
{
    return part<QComboBox>(window, QStringLiteral("paintingList"));
}

QStringList listTitles(QWidget *window)
{
    QStringList titles;
    QComboBox *list = paintingList(window);
    for (int i = 0; i < list->count(); ++i)
        titles << list->itemText(i);
    return titles;
}

bool waitForRender(MainWindow &window, int timeoutMs)
{
    auto *renders = window.findChild<RenderController *>();
    if (!renders) {
        qWarning("the window has no render controller");
        return false;
    }
    const QDeadlineTimer deadline(timeoutMs);
    QSignalSpy finished(renders, &RenderController::finished);
    while (renders->isUserRenderRunning()) {
        if (deadline.hasExpired() || !finished.wait(int(deadline.remainingTime())))
            return false;
    }
    return true;
}

WindowParts::WindowParts()
    : painting(paintingEditor(&window))
    , stdlib(stdlibEditor(&window))
    , view(part<ImageView>(&window, QStringLiteral("imageView")))
    , list(paintingList(&window))
    , status(part<QLabel>(&window, QStringLiteral("statusLabel")))
    , statusStack(part<QStackedWidget>(&window, QStringLiteral("statusStack")))
    , progress(part<QProgressBar>(&window, QStringLiteral("progressBar")))
    , console(part<ConsolePanel>(&window, QStringLiteral("consolePanel")))
{
}
