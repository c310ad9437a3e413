#ifndef PAINTINGLIBRARY_H
#define PAINTINGLIBRARY_H

#include <QDir>
#include <QObject>
#include <QString>

class QComboBox;
class QEvent;
class QWidget;
class ScriptDocument;

// The folder of paintings and the list that offers them: The Sketchbook first, then every other
// script of the folder in name order. Each entry's data is its file's path.
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

    // Save Copy: asks for a name and stores painting under it in the folder, its editor's text
    // or, from file, a copy of its file. Returns the new file's path; empty when nothing was
    // stored, because the user cancelled or after saying why.
    QString saveCopy(ScriptDocument *painting, bool fromFile);

signals:
    // The user picked an entry in the opened list, by a click or Return; not by the keys that
    // step through the closed list.
    void pickedFromList();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString askForCopyPath();
    bool storeCopy(ScriptDocument *painting, bool fromFile, const QString &newPath);
    void explain(const QString &text);

    QDir paintingsFolder;
    QWidget *window;
    QComboBox *paintingList;
    bool refilling = false;
    bool popupClosing = false;   // the opened list has just closed, as it does on a pick
};

#endif // PAINTINGLIBRARY_H
