#include "app/paintinglibrary.h"

#include "app/messagebox.h"
#include "app/scriptdocument.h"
#include "core/apppath.h"
#include "core/textfile.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QIcon>
#include <QInputDialog>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStringList>
#include <QTimer>
#include <QVariant>

namespace {

const QString &sketchbookFileName()
{
    static const QString name = QStringLiteral("Sketchbook.js");
    return name;
}

const QString &sketchbookTitle()
{
    static const QString title = PaintingLibrary::tr("The Sketchbook");
    return title;
}

// A name starting with "." makes a hidden file that the list never shows, and one starting
// with ":" is taken for a resource path by the toolkit.
bool isPaintingName(const QString &name)
{
    return !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'))
           && !name.startsWith(QLatin1Char('.')) && !name.startsWith(QLatin1Char(':'));
}

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

PaintingLibrary::PaintingLibrary(const QDir &folder, QWidget *parentWindow)
    : QObject(parentWindow)
    , paintingsFolder(folder)
    , window(parentWindow)
    , paintingList(new QComboBox)
{
    paintingList->setObjectName(QStringLiteral("paintingList"));
    // The opened list closes before the pick is told, and a pick by the keys of the closed
    // list comes without it.
    paintingList->view()->window()->installEventFilter(this);
    connect(paintingList, QOverload<int>::of(&QComboBox::activated), this, [this] {
        // Told once the key or click that picked has been dealt with, which may move the focus.
        if (popupClosing)
            QTimer::singleShot(0, this, [this] { emit pickedFromList(); });
    });
    if (!paintingsFolder.exists()) {
        QDir appDir = paintingsFolder;
        appDir.cdUp();
        appDir.mkdir(paintingsFolder.dirName());
    }
}

bool PaintingLibrary::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Hide && watched == paintingList->view()->window()) {
        popupClosing = true;
        QTimer::singleShot(0, this, [this] { popupClosing = false; });
    }
    return QObject::eventFilter(watched, event);
}

void PaintingLibrary::fill(const QString &current)
{
    const bool wasRefilling = refilling;
    refilling = true;

    paintingList->clear();
    paintingList->addItem(QIcon(), sketchbookTitle(),
                          pathInFolder(paintingsFolder, sketchbookFileName()));

    // Looked at only now: leaving the current painting may just have created its file.
    const QFileInfo previous(current);
    const bool previousExists = !current.isEmpty() && previous.exists();
    const QStringList names = paintingsFolder.entryList(QStringList(QStringLiteral("*.js")),
                                                        QDir::Files, QDir::Name);
    for (const QString &name : names) {
        if (name == sketchbookFileName())
            continue;
        const QString path = pathInFolder(paintingsFolder, name);
        QString title = name;
        title.chop(3);
        paintingList->addItem(QIcon(), title, path);
        if (previousExists && QFileInfo(path) == previous)
            paintingList->setCurrentIndex(paintingList->count() - 1);
    }

    refilling = wasRefilling;
}

QString PaintingLibrary::pathAt(int index) const
{
    return paintingList->itemData(index, Qt::UserRole).toString();
}

bool PaintingLibrary::reselect(const QString &path)
{
    const int index = paintingList->findData(path);
    if (index < 0)
        return false;
    const QSignalBlocker blocker(paintingList);
    paintingList->setCurrentIndex(index);
    return true;
}

QString PaintingLibrary::currentTitle() const
{
    return paintingList->currentText();
}

QString PaintingLibrary::saveCopy(ScriptDocument *painting, bool fromFile)
{
    const QString newPath = askForCopyPath();
    if (newPath.isEmpty() || !storeCopy(painting, fromFile, newPath))
        return QString();
    return newPath;
}

// The path in the folder for the name the user gives, once it is a usable name and the user
// agrees to replace a painting of that name.
QString PaintingLibrary::askForCopyPath()
{
    QString name;
    for (;;) {
        // After an unusable name the field holds it again, to be mended.
        name = QInputDialog::getText(window, tr("Save As"), tr("New name for this painting"),
                                     QLineEdit::Normal, name);
        if (name.isEmpty())
            return QString();
        if (isPaintingName(name))
            break;
        explain(tr("\"%1\" cannot be a painting's name: a name may not contain \"/\" or "
                   "\"\\\", nor start with \".\" or \":\", because the painting must stay in "
                   "the paintings folder and show in the list.")
                    .arg(name));
    }

    const QString newPath = pathInFolder(paintingsFolder, name + QStringLiteral(".js"));
    if (QFileInfo::exists(newPath)) {
        const QMessageBox::StandardButton answer = QMessageBox::question(
            window, tr("Save As"), tr("Painting named like this already exists. Overwrite?"),
            QMessageBox::StandardButtons(QMessageBox::Yes), QMessageBox::No);
        if (answer != QMessageBox::Yes)
            return QString();
    }
    return newPath;
}

bool PaintingLibrary::storeCopy(ScriptDocument *painting, bool fromFile, const QString &newPath)
{
    const QString path = painting->path();
    const bool ownFile = QFileInfo(newPath) == QFileInfo(path);
    QString reason;
    if (fromFile) {
        if (!QFileInfo::exists(path)) {
            explain(tr("There is no file %1 to copy yet. Save the painting in the external "
                       "editor first.")
                        .arg(shown(path)));
            return false;
        }
        if (!ownFile && !copyFileReplacing(path, newPath, &reason)) {
            explain(tr("Could not copy %1 to %2: %3.").arg(shown(path), shown(newPath), reason));
            return false;
        }
        return true;
    }
    if (ownFile) {
        // Saving under its own name is an ordinary save, which never writes over a file that
        // could not be read.
        if (!painting->readError().isEmpty()) {
            explain(tr("Could not save %1: it could not be read when it was opened (%2), so it "
                       "is not written over.")
                        .arg(shown(newPath), painting->readError()));
            return false;
        }
        return painting->save();
    }
    // The refill that follows would save the editor's text under the new name anyway. Writing
    // it here first means a name that cannot be written changes nothing, and the text stays.
    if (!painting->saveAs(newPath, &reason)) {
        explain(tr("Could not save %1: %2.").arg(shown(newPath), reason));
        return false;
    }
    return true;
}

void PaintingLibrary::explain(const QString &text)
{
    showPlainMessage(window, QMessageBox::Warning, tr("Save As"), text);
}
