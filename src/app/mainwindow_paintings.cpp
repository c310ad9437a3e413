#include "app/mainwindow.h"

#include "core/apppath.h"
#include "app/imageview.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QStringList>
#include <QUrl>
#include <QVariant>

namespace {

const QString &sketchbookFileName()
{
    static const QString name = QStringLiteral("Sketchbook.js");
    return name;
}

const QString &sketchbookTitle()
{
    static const QString title = QObject::tr("The Sketchbook");
    return title;
}

} // namespace

void MainWindow::fillPaintingList()
{
    const QString previousPath = paintingPath;
    const bool wasRefilling = refilling;
    refilling = true;

    paintingList->clear();
    paintingList->addItem(QIcon(), sketchbookTitle(),
                          pathInFolder(paintingsDir, sketchbookFileName()));

    // Looked at only now: leaving the previous painting may just have created its file.
    const QFileInfo previous(previousPath);
    const bool previousExists = !previousPath.isEmpty() && previous.exists();
    const QStringList names = paintingsDir.entryList(QStringList(QStringLiteral("*.js")),
                                                     QDir::Files, QDir::Name);
    for (const QString &name : names) {
        if (name == sketchbookFileName())
            continue;
        const QString path = pathInFolder(paintingsDir, name);
        QString title = name;
        title.chop(3);
        paintingList->addItem(QIcon(), title, path);
        if (previousExists && QFileInfo(path) == previous)
            paintingList->setCurrentIndex(paintingList->count() - 1);
    }

    refilling = wasRefilling;
}

void MainWindow::fileChosen(int index)
{
    // The render of the painting being left would show a picture that is no longer current.
    stopRender();
    if (!paintingPath.isEmpty() && !useExternalEditor && !savePaintingDocument()) {
        // A pick by the user is undone when the user cancels leaving the painting, so that
        // its text stays in the editor. A refill cannot be undone and goes on.
        if (!refilling && index >= 0) {
            const int leftIndex = paintingList->findData(paintingPath);
            if (leftIndex >= 0) {
                const QSignalBlocker blocker(paintingList);
                paintingList->setCurrentIndex(leftIndex);
                return;
            }
        }
    }

    paintingPath = paintingList->itemData(index, Qt::UserRole).toString();
    statusLabel->setText(QString());

    if (!useExternalEditor) {
        loadFile();
        imageView->hide();
    } else {
        imageView->setPixmap(QPixmap());
        if (!paintingPath.isEmpty())
            QDesktopServices::openUrl(QUrl::fromLocalFile(paintingPath));
    }
    followScriptFiles();
}
