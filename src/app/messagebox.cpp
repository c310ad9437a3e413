#include "app/messagebox.h"

#include <QEvent>
#include <QLabel>
#include <QList>
#include <QTimer>

namespace {

// The notices for a window that is not shown yet, in the order they came.
class PendingNotices : public QObject
{
    Q_OBJECT

public:
    explicit PendingNotices(QWidget *parentWindow)
        : QObject(parentWindow)
        , window(parentWindow)
    {
        window->installEventFilter(this);
    }

    void add(QMessageBox::Icon icon, const QString &title, const QString &text)
    {
        notices.append({icon, title, text});
    }

protected:
    // Shown from the event loop: the window is then laid out and on its way to the screen.
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == window && event->type() == QEvent::Show)
            QTimer::singleShot(0, this, &PendingNotices::showAll);
        return false;
    }

private:
    struct Notice
    {
        QMessageBox::Icon icon;
        QString title;
        QString text;
    };

    void showAll()
    {
        while (!notices.isEmpty()) {
            const Notice notice = notices.takeFirst();
            showPlainMessage(window, notice.icon, notice.title, notice.text);
        }
    }

    QWidget *window;
    QList<Notice> notices;
};

} // namespace

QMessageBox::StandardButton showPlainMessage(QWidget *parent, QMessageBox::Icon icon,
                                             const QString &title, const QString &text,
                                             QMessageBox::StandardButtons buttons,
                                             QMessageBox::StandardButton defaultButton,
                                             const QString &informativeText)
{
    QMessageBox box(icon, title, text, buttons, parent);
    box.setTextFormat(Qt::PlainText);
    if (!informativeText.isEmpty()) {
        box.setInformativeText(informativeText);
        // The box sets no format on its informative label.
        for (QLabel *label : box.findChildren<QLabel *>()) {
            if (label->text() == informativeText)
                label->setTextFormat(Qt::PlainText);
        }
    }
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    // Closing the box without a button counts as its escape button, as with QMessageBox's own
    // static functions.
    if (box.exec() == -1)
        return QMessageBox::Cancel;
    return box.standardButton(box.clickedButton());
}

void showPlainNotice(QWidget *window, QMessageBox::Icon icon, const QString &title,
                     const QString &text)
{
    if (window->isVisible()) {
        showPlainMessage(window, icon, title, text);
        return;
    }
    auto *pending = window->findChild<PendingNotices *>(QString(), Qt::FindDirectChildrenOnly);
    if (!pending)
        pending = new PendingNotices(window);
    pending->add(icon, title, text);
}

#include "messagebox.moc"
