#ifndef SCRIPTFILEWATCHER_H
#define SCRIPTFILEWATCHER_H

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

// Tells when a watched file changes on disk: written in place, or replaced the way many editors
// save, by writing a new file and renaming it over the old one, which ends a plain file watch.
// A file that does not exist yet is picked up once it appears; one that is deleted is reported
// once it has not come back for a moment, which saving by deleting and writing anew takes.
class ScriptFileWatcher : public QObject
{
    Q_OBJECT

public:
    explicit ScriptFileWatcher(QObject *parent = nullptr);

    // Watches exactly these files from now on; an empty list stops watching.
    void setFiles(const QStringList &paths);
    QStringList files() const { return watched; }

signals:
    void fileChanged(const QString &path);

private:
    void rewatch();
    void reportChanges();
    void reportDeletions();

    QFileSystemWatcher watcher;
    QTimer settle;
    QTimer gone;
    QStringList watched;
    QStringList pending;
    QStringList missing;   // gone: reported unless they come back first
};

#endif // SCRIPTFILEWATCHER_H
