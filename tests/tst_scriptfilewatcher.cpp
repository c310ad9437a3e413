#include "app/scriptfilewatcher.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

bool write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace

class tst_ScriptFileWatcher : public QObject
{
    Q_OBJECT

private slots:
    void reportsEverySave_data();
    void reportsEverySave();
    void stopsWhenTheListIsEmpty();
    void reportsAFileDeletedForGood();
};

void tst_ScriptFileWatcher::reportsEverySave_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("existsAtStart");

    QTest::newRow("written in place") << "in place" << true;
    QTest::newRow("replaced by a rename") << "rename" << true;
    QTest::newRow("deleted, then written anew") << "delete" << true;
    QTest::newRow("made after the watch began") << "in place" << false;
}

// Each way of saving is done twice: the second save shows that the watch survived the first.
void tst_ScriptFileWatcher::reportsEverySave()
{
    QFETCH(QString, how);
    QFETCH(bool, existsAtStart);

    QTemporaryDir dir;
    const QString path = dir.filePath("Painting.js");
    if (existsAtStart)
        QVERIFY(write(path, "start"));
    ScriptFileWatcher watcher;
    watcher.setFiles({path, dir.filePath("stdlib.js")});
    QSignalSpy spy(&watcher, &ScriptFileWatcher::fileChanged);

    for (int save = 1; save <= 2; ++save) {
        const QByteArray text = "save " + QByteArray::number(save);
        if (how == "rename") {
            const QString fresh = dir.filePath(".Painting.js.new");
            QVERIFY(write(fresh, text));
            QVERIFY(::rename(QFile::encodeName(fresh), QFile::encodeName(path)) == 0);
        } else {
            if (how == "delete" && QFile::exists(path)) {
                QVERIFY(QFile::remove(path));
                QTest::qWait(50);
            }
            QVERIFY(write(path, text));
        }
        QTRY_COMPARE(spy.count(), 1);
        QCOMPARE(spy.last().at(0).toString(), path);
        QTest::qWait(100);   // one save is one report, and its events are over before the next
        QCOMPARE(spy.count(), 1);
        spy.clear();
    }
}

void tst_ScriptFileWatcher::stopsWhenTheListIsEmpty()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Painting.js");
    QVERIFY(write(path, "start"));
    ScriptFileWatcher watcher;
    watcher.setFiles({path});
    watcher.setFiles({});
    QSignalSpy spy(&watcher, &ScriptFileWatcher::fileChanged);

    QVERIFY(write(path, "changed"));
    QTest::qWait(200);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(watcher.files(), QStringList());
}

void tst_ScriptFileWatcher::reportsAFileDeletedForGood()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Painting.js");
    QVERIFY(write(path, "start"));
    ScriptFileWatcher watcher;
    watcher.setFiles({path});
    QSignalSpy spy(&watcher, &ScriptFileWatcher::fileChanged);

    QVERIFY(QFile::remove(path));
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(spy.last().at(0).toString(), path);
    QTest::qWait(500);
    QCOMPARE(spy.count(), 1);

    // Once it is back, it is watched as before.
    QVERIFY(write(path, "back"));
    QTRY_COMPARE(spy.count(), 2);
}

QTEST_MAIN(tst_ScriptFileWatcher)
#include "tst_scriptfilewatcher.moc"
