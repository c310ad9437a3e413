#include "app/paintinglibrary.h"

#include "app/messagebox.h"
#include "app/scriptdocument.h"
#include "core/apppath.h"
#include "core/textfile.h"
#include "core/trash.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QImage>
#include <QInputDialog>
#include <QLineEdit>
#include <QMetaObject>
#include <QPainter>
#include <QPixmap>
#include <QSignalBlocker>
#include <QStringList>
#include <QStyleOptionComboBox>
#include <QStylePainter>
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

const QString &starterText()
{
    static const QString text = QStringLiteral(
        "// Pictoloom calls render() for every pixel x, y of the picture (width by height), and\n"
        "// r, g and b, from 0 to 1, give the pixel's colour.\n"
        "function render() {\n"
        "    r = x / width;\n"
        "    g = y / height;\n"
        "    b = 0.5;\n"
        "}\n");
    return text;
}

const QSize thumbnailSize(24, 24);

// The closed list shows the name alone: the pictures are for choosing among the paintings.
class PaintingListBox : public QComboBox
{
protected:
    void paintEvent(QPaintEvent *) override
    {
        QStylePainter painter(this);
        QStyleOptionComboBox option;
        initStyleOption(&option);
        option.currentIcon = QIcon();
        option.iconSize = QSize();
        painter.drawComplexControl(QStyle::CC_ComboBox, option);
        painter.drawControl(QStyle::CE_ComboBoxLabel, option);
    }
};

} // namespace

PaintingLibrary::PaintingLibrary(const QDir &folder, QWidget *parentWindow)
    : QObject(parentWindow)
    , paintingsFolder(folder)
    , window(parentWindow)
    , paintingList(new PaintingListBox)
{
    paintingList->setObjectName(QStringLiteral("paintingList"));
    paintingList->setIconSize(thumbnailSize);
    connect(paintingList, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &PaintingLibrary::currentChanged);
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

// A render that ended just before the current painting changed is told of right after it,
// before the event loop turns again, and its picture is of the painting left.
void PaintingLibrary::currentChanged()
{
    justChanged = true;
    QMetaObject::invokeMethod(this, [this] { justChanged = false; }, Qt::QueuedConnection);
    emit sketchbookCurrent(isSketchbookCurrent() || paintingList->currentIndex() < 0);
}

void PaintingLibrary::fill(const QString &current)
{
    const bool wasRefilling = refilling;
    refilling = true;

    // The pictures of paintings no longer listed go.
    const QHash<QString, QIcon> previousThumbnails = thumbnails;
    thumbnails.clear();
    const auto addEntry = [&](const QString &title, const QString &path) {
        if (previousThumbnails.contains(path))
            thumbnails.insert(path, previousThumbnails.value(path));
        paintingList->addItem(thumbnailOf(path), title, path);
    };

    paintingList->clear();
    addEntry(sketchbookTitle(), pathInFolder(paintingsFolder, sketchbookFileName()));

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
        addEntry(title, path);
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
    {
        const QSignalBlocker blocker(paintingList);
        paintingList->setCurrentIndex(index);
    }
    emit sketchbookCurrent(isSketchbookCurrent());
    return true;
}

QString PaintingLibrary::currentTitle() const
{
    return paintingList->currentText();
}

bool PaintingLibrary::isSketchbookCurrent() const
{
    return paintingList->currentIndex() == 0;
}

QString PaintingLibrary::saveCopy(ScriptDocument *painting, bool fromFile)
{
    const QString newPath = askForCopyPath();
    const bool ownFile = QFileInfo(newPath) == QFileInfo(painting->path());
    if (newPath.isEmpty() || !storeCopy(painting, fromFile, newPath))
        return QString();
    // A painting written over is not what was rendered.
    if (!ownFile)
        thumbnails.remove(newPath);
    return newPath;
}

// The path in the folder for the name the user gives, once it is a usable name and the user
// agrees to replace a painting of that name.
QString PaintingLibrary::askForCopyPath()
{
    const QString name = askForName(tr("Save As"), tr("New name for this painting"), QString());
    if (name.isEmpty())
        return QString();

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

// A name a painting can have, asked for until one is given; empty when the user cancels.
QString PaintingLibrary::askForName(const QString &title, const QString &label, QString name)
{
    for (;;) {
        // After an unusable name the field holds it again, to be mended.
        name = QInputDialog::getText(window, title, label, QLineEdit::Normal, name);
        if (name.isEmpty() || isPaintingName(name))
            return name;
        tell(title, tr("\"%1\" cannot be a painting's name: a name may not contain \"/\" or "
                       "\"\\\", nor start with \".\" or \":\", because the painting must stay "
                       "in the paintings folder and show in the list.")
                        .arg(name));
    }
}

// The path for a name that no painting has, or for ownName, which is that of ownPath; empty
// when the user cancels. A painting's file is never written over.
QString PaintingLibrary::askForFreePath(const QString &title, const QString &label,
                                        const QString &ownName, const QString &ownPath)
{
    QString name = ownName;
    for (;;) {
        name = askForName(title, label, name);
        if (name.isEmpty())
            return QString();
        const QString path = pathInFolder(paintingsFolder, name + QStringLiteral(".js"));
        const QFileInfo file(path);
        if (!ownPath.isEmpty() && file == QFileInfo(ownPath))
            return ownPath;
        // The Sketchbook's file need not be there yet.
        if (path == pathAt(0)) {
            tell(title, tr("\"%1\" is the name of The Sketchbook's file. Choose another name.")
                            .arg(name));
        } else if (file.exists() || file.isSymLink()) {
            tell(title, tr("There is already a painting named \"%1\". Choose another name.")
                            .arg(name));
        } else {
            return path;
        }
    }
}

void PaintingLibrary::newPainting(ScriptDocument *painting, bool fromFile)
{
    const QString title = tr("New Painting");
    const QString path =
        askForFreePath(title, tr("Name of the new painting"), QString(), QString());
    if (path.isEmpty() || (!fromFile && !painting->save()))
        return;
    QString reason;
    if (!writeTextFile(path, starterText(), nullptr, &reason)) {
        tell(title, tr("Could not create %1: %2.").arg(shown(path), reason));
        return;
    }
    fill(path);
}

void PaintingLibrary::renamePainting(ScriptDocument *painting, bool fromFile)
{
    const QString path = painting->path();
    if (isSketchbookCurrent() || path.isEmpty())
        return;
    const QString title = tr("Rename Painting");
    const QString newPath = askForFreePath(title, tr("New name for this painting"),
                                           currentTitle(), path);
    if (newPath.isEmpty() || newPath == path || (!fromFile && !painting->save()))
        return;
    QFile file(path);
    // Unlike a copy, a rename never replaces a file that is there.
    if (!file.rename(newPath)) {
        tell(title, tr("Could not rename %1 to %2: %3.")
                        .arg(shown(path), shown(newPath), file.errorString()));
        return;
    }
    painting->setPath(newPath);
    if (thumbnails.contains(path))
        thumbnails.insert(newPath, thumbnails.take(path));
    fill(newPath);
}

void PaintingLibrary::deletePainting(ScriptDocument *painting, bool fromFile)
{
    const QString path = painting->path();
    if (isSketchbookCurrent() || path.isEmpty())
        return;
    const QString title = tr("Delete Painting");
    const QMessageBox::StandardButton answer = showPlainMessage(
        window, QMessageBox::Question, title,
        tr("Move the painting \"%1\" to the trash?\n\nIts file, %2, can be taken back from "
           "the desktop's trash.")
            .arg(currentTitle(), shown(path)),
        QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Cancel);
    // The trash should hold what the editor shows.
    if (answer != QMessageBox::Yes || (!fromFile && !painting->save()))
        return;
    QString reason;
    if (!moveFileToTrash(path, &reason)) {
        tell(title, tr("Could not move %1 to the trash: %2.\n\nThe painting stays as it is.")
                        .arg(shown(path), reason));
        return;
    }
    thumbnails.remove(path);
    // Leaving a painting saves it, and this one must not come back.
    painting->forgetFile();
    fill(QString());
}

void PaintingLibrary::noteRender(RenderTask::Purpose purpose, const RenderResult &result)
{
    const int index = paintingList->currentIndex();
    if (purpose == RenderTask::Purpose::Export || result.outcome != RenderResult::Outcome::Picture
        || result.image.isNull() || justChanged || index < 0)
        return;
    const QIcon thumbnail = makeThumbnail(result.image);
    thumbnails.insert(pathAt(index), thumbnail);
    paintingList->setItemIcon(index, thumbnail);
}

// A painting not rendered yet has an empty picture, which keeps the names in line.
QIcon PaintingLibrary::thumbnailOf(const QString &path) const
{
    const auto found = thumbnails.constFind(path);
    return found != thumbnails.constEnd() ? *found : makeThumbnail(QImage());
}

QIcon PaintingLibrary::makeThumbnail(const QImage &picture) const
{
    const qreal ratio = paintingList->devicePixelRatioF();
    QPixmap thumbnail(thumbnailSize * ratio);
    thumbnail.setDevicePixelRatio(ratio);
    thumbnail.fill(Qt::transparent);
    if (!picture.isNull()) {
        // Smoothing a large picture down in one step would read every one of its pixels.
        QImage small = picture;
        if (small.width() > 4 * thumbnail.width() || small.height() > 4 * thumbnail.height())
            small = small.scaled(thumbnail.size() * 4, Qt::KeepAspectRatio);
        small = small.scaled(thumbnail.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
        small.setDevicePixelRatio(ratio);
        const QSizeF shownSize = QSizeF(small.size()) / ratio;
        QPainter painter(&thumbnail);
        painter.drawImage(QPointF((thumbnailSize.width() - shownSize.width()) / 2,
                                  (thumbnailSize.height() - shownSize.height()) / 2),
                          small);
    }
    return QIcon(thumbnail);
}

void PaintingLibrary::explain(const QString &text)
{
    tell(tr("Save As"), text);
}

void PaintingLibrary::tell(const QString &title, const QString &text)
{
    showPlainMessage(window, QMessageBox::Warning, title, text);
}
