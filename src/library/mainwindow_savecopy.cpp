#include "app/mainwindow.h"

#include "library/textfile.h"

#include <QDir>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>

namespace {

bool leavesPaintingsFolder(const QString &name)
{
    return name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\'))
           || name == QLatin1String(".") || name == QLatin1String("..");
}

} // namespace

void MainWindow::saveFileAs()
{
    const QString name = QInputDialog::getText(this, tr("Save As"), tr("New name for this painting"),
                                               QLineEdit::Normal, QString());
    if (name.isEmpty())
        return;
    if (leavesPaintingsFolder(name)) {
        QMessageBox::warning(this, tr("Save As"),
                             tr("\"%1\" cannot be a painting's name: a name may not contain "
                                "\"/\" or \"\\\", nor be \".\" or \"..\", because the painting "
                                "must stay in the paintings folder.")
                                 .arg(name));
        return;
    }

    const QString fileName = name + QStringLiteral(".js");
    if (paintingsDir.exists(fileName)) {
        const QMessageBox::StandardButton answer = QMessageBox::question(
            this, tr("Save As"), tr("Painting named like this already exists. Overwrite?"),
            QMessageBox::StandardButtons(QMessageBox::Yes), QMessageBox::No);
        if (answer != QMessageBox::Yes)
            return;
    }

    const QString newPath = paintingsDir.filePath(fileName);
    if (useExternalEditor) {
        const QFileInfo current(paintingPath);
        if (!current.exists()) {
            QMessageBox::warning(this, tr("Save As"),
                                 tr("There is no file %1 to copy yet. Save the painting in the "
                                    "external editor first.")
                                     .arg(QDir::toNativeSeparators(paintingPath)));
            return;
        }
        QString reason;
        if (current != QFileInfo(newPath) && !copyFileReplacing(paintingPath, newPath, &reason)) {
            QMessageBox::warning(this, tr("Save As"),
                                 tr("Could not copy %1 to %2: %3.")
                                     .arg(QDir::toNativeSeparators(paintingPath),
                                          QDir::toNativeSeparators(newPath), reason));
            return;
        }
    } else {
        // The refill below saves the editor's text under the new name anyway. Writing it here
        // first means a name that cannot be written changes nothing, and the text stays.
        if (!saveDocument(newPath, paintingEditor->toPlainText(), false))
            return;
        paintingLoadFailed = false;
    }

    paintingPath = newPath;
    fillPaintingList();
}
