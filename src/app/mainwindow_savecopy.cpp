#include "app/mainwindow.h"

#include "app/messagebox.h"
#include "core/apppath.h"
#include "core/textfile.h"

#include <QDir>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>

namespace {

// A name starting with "." makes a hidden file that the list never shows, and one starting
// with ":" is taken for a resource path by the toolkit.
bool isPaintingName(const QString &name)
{
    return !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'))
           && !name.startsWith(QLatin1Char('.')) && !name.startsWith(QLatin1Char(':'));
}

} // namespace

void MainWindow::saveFileAs()
{
    const QString name = QInputDialog::getText(this, tr("Save As"), tr("New name for this painting"),
                                               QLineEdit::Normal, QString());
    if (name.isEmpty())
        return;
    if (!isPaintingName(name)) {
        showPlainMessage(this, QMessageBox::Warning, tr("Save As"),
                         tr("\"%1\" cannot be a painting's name: a name may not contain \"/\" or "
                            "\"\\\", nor start with \".\" or \":\", because the painting must "
                            "stay in the paintings folder and show in the list.")
                             .arg(name));
        return;
    }

    const QString newPath = pathInFolder(paintingsDir, name + QStringLiteral(".js"));
    if (QFileInfo::exists(newPath)) {
        const QMessageBox::StandardButton answer = QMessageBox::question(
            this, tr("Save As"), tr("Painting named like this already exists. Overwrite?"),
            QMessageBox::StandardButtons(QMessageBox::Yes), QMessageBox::No);
        if (answer != QMessageBox::Yes)
            return;
    }

    const bool ownFile = QFileInfo(newPath) == QFileInfo(paintingPath);
    QString reason;
    if (useExternalEditor) {
        if (!QFileInfo::exists(paintingPath)) {
            showPlainMessage(this, QMessageBox::Warning, tr("Save As"),
                             tr("There is no file %1 to copy yet. Save the painting in the "
                                "external editor first.")
                                 .arg(QDir::toNativeSeparators(paintingPath)));
            return;
        }
        if (!ownFile && !copyFileReplacing(paintingPath, newPath, &reason)) {
            showPlainMessage(this, QMessageBox::Warning, tr("Save As"),
                             tr("Could not copy %1 to %2: %3.")
                                 .arg(QDir::toNativeSeparators(paintingPath),
                                      QDir::toNativeSeparators(newPath), reason));
            return;
        }
    } else if (ownFile) {
        // Saving under its own name is an ordinary save, which never writes over a file that
        // could not be read.
        if (!paintingFile.readError.isEmpty()) {
            showPlainMessage(this, QMessageBox::Warning, tr("Save As"),
                             tr("Could not save %1: it could not be read when it was opened "
                                "(%2), so it is not written over.")
                                 .arg(QDir::toNativeSeparators(newPath), paintingFile.readError));
            return;
        }
        if (!savePaintingDocument())
            return;
    } else {
        // The refill below would save the editor's text under the new name anyway. Writing it
        // here first means a name that cannot be written changes nothing, and the text stays.
        DocumentFile copy;
        if (!writeDocument(newPath, documentText(paintingEditor->document()), copy, &reason)) {
            showPlainMessage(this, QMessageBox::Warning, tr("Save As"),
                             tr("Could not save %1: %2.")
                                 .arg(QDir::toNativeSeparators(newPath), reason));
            return;
        }
        paintingFile = copy;
    }

    paintingPath = newPath;
    fillPaintingList();
}
