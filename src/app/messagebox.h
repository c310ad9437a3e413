#ifndef MESSAGEBOX_H
#define MESSAGEBOX_H

#include <QMessageBox>

// Shows a modal message box whose text is shown as it stands. Texts that come from a script or
// a file must never be read as markup: an image tag alone can hold the window for seconds.
QMessageBox::StandardButton showPlainMessage(
    QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text,
    QMessageBox::StandardButtons buttons = QMessageBox::Ok,
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton,
    const QString &informativeText = QString());

// A notice that needs no answer, shown over window as showPlainMessage shows it: at once when
// window is on screen, otherwise once it is shown, so that the window comes first.
void showPlainNotice(QWidget *window, QMessageBox::Icon icon, const QString &title,
                     const QString &text);

#endif // MESSAGEBOX_H
