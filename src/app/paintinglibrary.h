#ifndef PAINTINGLIBRARY_H
#define PAINTINGLIBRARY_H

#include "app/rendercontroller.h"

#include <QDir>
#include <QHash>
#include <QIcon>
#include <QObject>
#include <QString>

class QComboBox;
class QEvent;
class QImage;
class QWidget;
class ScriptDocument;

// The folder of paintings and the list that offers them: The Sketchbook first, then every other
// script of the folder in name order. Each entry's data is its file's path, and its picture that
// of the painting's latest render in this run.
//
// The commands on paintings take the current one; with fromFile (the external editor holds the
// files) they take the files as they are on disk, and otherwise save the painting's text first.
class PaintingLibrary : public QObject
{
    Q_OBJECT

public:
    // Makes the folder when it is missing; questions and notices are boxes over window.
    PaintingLibrary(const QDir &folder, QWidget *window);

    const QDir &folder() const { return paintingsFolder; }
    // The list, without a parent until the window places it.
    QComboBox *list() const { return paintingList; }

    // Rebuilds the list from the folder. The entry of current becomes current again when its
    // file is still listed; otherwise The Sketchbook stays current.
    void fill(const QString &current);
    bool isRefilling() const { return refilling; }
    QString pathAt(int index) const;
    // Makes the entry of path current without telling anyone, as when leaving it was
    // cancelled; false when path has no entry.
    bool reselect(const QString &path);
    QString currentTitle() const;
    bool isSketchbookCurrent() const;

    // Save Copy: asks for a name and stores painting under it in the folder, its editor's text
    // or, from file, a copy of its file. Returns the new file's path; empty when nothing was
    // stored, because the user cancelled or after saying why.
    QString saveCopy(ScriptDocument *painting, bool fromFile);
    // Asks for a name no painting has and makes a painting of that name with a starter text,
    // which becomes current.
    void newPainting(ScriptDocument *painting, bool fromFile);
    // Gives the current painting's file a name that no painting has.
    void renamePainting(ScriptDocument *painting, bool fromFile);
    // Asks, then moves the current painting's file to the desktop's trash, and The Sketchbook
    // becomes current. When the trash fails, a box says why and the painting stays.
    void deletePainting(ScriptDocument *painting, bool fromFile);

    // Takes the picture of a preview or a live render as the current painting's.
    void noteRender(RenderTask::Purpose purpose, const RenderResult &result);

signals:
    // The user picked an entry in the opened list, by a click or Return; not by the keys that
    // step through the closed list.
    void pickedFromList();
    // Whether The Sketchbook is now current, which is neither renamed nor deleted.
    void sketchbookCurrent(bool current);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void currentChanged();
    QString askForCopyPath();
    QString askForName(const QString &title, const QString &label, QString name);
    QString askForFreePath(const QString &title, const QString &label, const QString &ownName,
                           const QString &ownPath);
    bool storeCopy(ScriptDocument *painting, bool fromFile, const QString &newPath);
    QIcon thumbnailOf(const QString &path) const;
    QIcon makeThumbnail(const QImage &picture) const;
    void explain(const QString &text);
    void tell(const QString &title, const QString &text);

    QDir paintingsFolder;
    QWidget *window;
    QComboBox *paintingList;
    QHash<QString, QIcon> thumbnails;   // by path
    bool refilling = false;
    bool popupClosing = false;   // the opened list has just closed, as it does on a pick
    // The current painting changed, and the event loop has not turned since.
    bool justChanged = false;
};

#endif // PAINTINGLIBRARY_H
