#include "app/messagebox.h"

#include <QLabel>

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
