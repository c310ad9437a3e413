#include "app/scriptfilewatcher.h"

#include <QFileInfo>

ScriptFileWatcher::ScriptFileWatcher(QObject *parent)
    : QObject(parent)
{
    // An editor's save is several events (truncate, write, rename); they are taken as one.
    settle.setSingleShot(true);
    settle.setInterval(30);
    connect(&settle, &QTimer::timeout, this, &ScriptFileWatcher::reportChanges);
    gone.setSingleShot(true);
    gone.setInterval(300);
    connect(&gone, &QTimer::timeout, this, &ScriptFileWatcher::reportDeletions);
    connect(&watcher, &QFileSystemWatcher::fileChanged, this, [this](const QString &path) {
        if (!pending.contains(path))
            pending << path;
        settle.start();
    });
    // The folder tells when a file appears again after a rename or a delete.
    connect(&watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        for (const QString &path : qAsConst(watched)) {
            if (!watcher.files().contains(path) && QFileInfo::exists(path) && !pending.contains(path))
                pending << path;
        }
        if (!pending.isEmpty())
            settle.start();
    });
}

void ScriptFileWatcher::setFiles(const QStringList &paths)
{
    watched.clear();
    pending.clear();
    missing.clear();
    settle.stop();
    gone.stop();
    for (const QString &path : paths) {
        if (!path.isEmpty())
            watched << QFileInfo(path).absoluteFilePath();
    }
    rewatch();
}

// Watches afresh: a file replaced by a rename leaves a watch on the old file behind, and the
// watcher may drop the path later when the old file goes.
void ScriptFileWatcher::rewatch()
{
    if (!watcher.files().isEmpty())
        watcher.removePaths(watcher.files());
    if (!watcher.directories().isEmpty())
        watcher.removePaths(watcher.directories());
    for (const QString &path : qAsConst(watched)) {
        const QFileInfo info(path);
        if (!watcher.directories().contains(info.absolutePath()))
            watcher.addPath(info.absolutePath());
        if (info.exists())
            watcher.addPath(path);
    }
}

void ScriptFileWatcher::reportChanges()
{
    const QStringList changed = pending;
    pending.clear();
    rewatch();
    for (const QString &path : changed) {
        if (QFileInfo::exists(path)) {
            missing.removeAll(path);
            emit fileChanged(path);
        } else if (!missing.contains(path)) {
            missing << path;
            gone.start();
        }
    }
}

void ScriptFileWatcher::reportDeletions()
{
    const QStringList deleted = missing;
    missing.clear();
    for (const QString &path : deleted) {
        if (!QFileInfo::exists(path))
            emit fileChanged(path);
    }
}
