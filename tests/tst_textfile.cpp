#include "library/textfile.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

#include <cerrno>
#include <cstring>

namespace {

// Lets a test pretend the system runs in another locale encoding.
class LocaleCodec
{
public:
    explicit LocaleCodec(const char *name)
    {
        QTextCodec::setCodecForLocale(QTextCodec::codecForName(name));
    }
    ~LocaleCodec() { QTextCodec::setCodecForLocale(nullptr); }
};

QStringList entriesOf(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

} // namespace

Q_DECLARE_METATYPE(ReadOutcome)

class tst_TextFile : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void writeThenRead_data();
    void writeThenRead();
    void readKeepsCarriageReturns();
    void readSkipsByteOrderMark();
    void readOutcome_data();
    void readOutcome();

    void writeKeepsPermissions();
    void writeThroughSymbolicLink();
    void writeCreatesMissingFile();
    void failedWriteKeepsOldContent_data();
    void failedWriteKeepsOldContent();
    void writeFailingHalfwayKeepsOldContent_data();
    void writeFailingHalfwayKeepsOldContent();
    void textTheLocaleCannotStoreIsRefused();

    void copyReplacesWithSameBytes();
    void copyOfMissingFileFails();

private:
    QString filePath(const QString &name) const { return QDir(dir->path()).filePath(name); }

    QScopedPointer<QTemporaryDir> dir;
};

void tst_TextFile::init()
{
    dir.reset(new QTemporaryDir);
    QVERIFY(dir->isValid());
}

void tst_TextFile::writeThenRead_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("empty document") << QString() << QByteArray();
    QTest::newRow("three lines, no line end after the last")
        << QStringLiteral("var a = 1;\nvar b = 2;\nvar c = 3;")
        << QByteArray("var a = 1;\nvar b = 2;\nvar c = 3;");
    QTest::newRow("characters outside Latin-1, no byte-order mark")
        << QStringLiteral("// \u03c0 \u2248 3.14159, \u65e5\u672c, \U0001F3A8\nr = 1;")
        << QByteArray("// \xcf\x80 \xe2\x89\x88 3.14159, \xe6\x97\xa5\xe6\x9c\xac, "
                      "\xf0\x9f\x8e\xa8\nr = 1;");
}

void tst_TextFile::writeThenRead()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    const QString path = filePath(QStringLiteral("painting.js"));

    QVERIFY(writeTextFile(path, text));
    QCOMPARE(readBytes(path), bytes);

    ReadOutcome outcome = ReadOutcome::Missing;
    QCOMPARE(readTextFile(path, &outcome), text);
    QCOMPARE(outcome, ReadOutcome::Read);
}

void tst_TextFile::readKeepsCarriageReturns()
{
    const QString path = filePath(QStringLiteral("dos.js"));
    QVERIFY(writeBytes(path, "a = 1;\r\nb = 2;\r\n"));
    QCOMPARE(readTextFile(path), QStringLiteral("a = 1;\r\nb = 2;\r\n"));
}

void tst_TextFile::readSkipsByteOrderMark()
{
    const QString path = filePath(QStringLiteral("bom.js"));
    QVERIFY(writeBytes(path, "\xef\xbb\xbf" "r = 1;"));
    QCOMPARE(readTextFile(path), QStringLiteral("r = 1;"));
}

void tst_TextFile::readOutcome_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("makeDirectory");
    QTest::addColumn<ReadOutcome>("expected");

    QTest::newRow("no such file") << "missing.js" << QByteArray() << false << ReadOutcome::Missing;
    QTest::newRow("empty path") << "" << QByteArray() << false << ReadOutcome::Missing;
    QTest::newRow("empty file") << "empty.js" << QByteArray("") << false << ReadOutcome::Read;
    QTest::newRow("a folder in the file's place")
        << "folder.js" << QByteArray() << true << ReadOutcome::Unreadable;
    QTest::newRow("bytes that are not UTF-8")
        << "latin1.js" << QByteArray("// caf\xe9\n") << false << ReadOutcome::Unreadable;
    QTest::newRow("cut in the middle of a character")
        << "cut.js" << QByteArray("// \xe2\x89") << false << ReadOutcome::Unreadable;
}

void tst_TextFile::readOutcome()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, makeDirectory);
    QFETCH(ReadOutcome, expected);

    const QString path = name.isEmpty() ? QString() : filePath(name);
    if (makeDirectory)
        QVERIFY(QDir(dir->path()).mkdir(name));
    else if (!bytes.isNull())
        QVERIFY(writeBytes(path, bytes));

    ReadOutcome outcome = ReadOutcome::Read;
    QString reason;
    QCOMPARE(readTextFile(path, &outcome, &reason), QString());
    QCOMPARE(outcome, expected);
    QCOMPARE(reason.isEmpty(), expected != ReadOutcome::Unreadable);
}

void tst_TextFile::writeKeepsPermissions()
{
    const QString path = filePath(QStringLiteral("tool.js"));
    QVERIFY(writeBytes(path, "old"));
    const QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                           | QFile::ReadGroup;
    QVERIFY(QFile::setPermissions(path, permissions));

    QVERIFY(writeTextFile(path, QStringLiteral("new")));

    QCOMPARE(readBytes(path), QByteArray("new"));
    QCOMPARE(QFile::permissions(path) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser),
             permissions);
}

void tst_TextFile::writeThroughSymbolicLink()
{
    QVERIFY(QDir(dir->path()).mkdir(QStringLiteral("elsewhere")));
    const QString target = filePath(QStringLiteral("elsewhere/real.js"));
    const QString link = filePath(QStringLiteral("link.js"));
    QVERIFY(writeBytes(target, "old"));
    QVERIFY(QFile::link(target, link));

    QVERIFY(writeTextFile(link, QStringLiteral("new")));

    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(QFileInfo(link).symLinkTarget(), target);
    QCOMPARE(readBytes(target), QByteArray("new"));
}

void tst_TextFile::writeCreatesMissingFile()
{
    const QString path = filePath(QStringLiteral("new.js"));
    QVERIFY(writeTextFile(path, QString()));
    QVERIFY(QFileInfo(path).isFile());
    QCOMPARE(QFileInfo(path).size(), 0);
}

void tst_TextFile::failedWriteKeepsOldContent_data()
{
    QTest::addColumn<QString>("name");

    QTest::newRow("empty path") << QString();
    QTest::newRow("folder missing") << QStringLiteral("gone/painting.js");
    QTest::newRow("a folder in the file's place") << QStringLiteral("folder.js");
    QTest::newRow("parent is a file") << QStringLiteral("plain.txt/painting.js");
}

void tst_TextFile::failedWriteKeepsOldContent()
{
    QFETCH(QString, name);
    QVERIFY(QDir(dir->path()).mkdir(QStringLiteral("folder.js")));
    QVERIFY(writeBytes(filePath(QStringLiteral("plain.txt")), "keep me"));
    const QStringList before = entriesOf(dir->path());

    QString reason;
    QVERIFY(!writeTextFile(name.isEmpty() ? QString() : filePath(name), QStringLiteral("x"),
                           &reason));

    QVERIFY(!reason.isEmpty());
    QCOMPARE(entriesOf(dir->path()), before);
    QVERIFY(QFileInfo(filePath(QStringLiteral("folder.js"))).isDir());
    QCOMPARE(readBytes(filePath(QStringLiteral("plain.txt"))), QByteArray("keep me"));
}

void tst_TextFile::writeFailingHalfwayKeepsOldContent_data()
{
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("size");

    QTest::newRow("far past the limit") << 64 * 1024 << (1 << 20);
    QTest::newRow("just past the limit") << 64 * 1024 << 64 * 1024 + 4464;
    QTest::newRow("smaller than a write buffer") << 1000 << 10000;
}

void tst_TextFile::writeFailingHalfwayKeepsOldContent()
{
    QFETCH(int, limit);
    QFETCH(int, size);
    const QString path = filePath(QStringLiteral("painting.js"));
    const QByteArray old("function render() { r = x / width; }\n");
    QVERIFY(writeBytes(path, old));
    const QString longText(size, QLatin1Char('a'));

    bool written;
    QString reason;
    {
        const FileSizeLimit sizeLimit(limit);
        written = writeTextFile(path, longText, &reason);
    }

    QVERIFY(!written);
    QCOMPARE(reason, QString::fromLocal8Bit(std::strerror(EFBIG)));
    QCOMPARE(readBytes(path), old);
    QCOMPARE(entriesOf(dir->path()), QStringList(QStringLiteral("painting.js")));
}

void tst_TextFile::textTheLocaleCannotStoreIsRefused()
{
    const QString path = filePath(QStringLiteral("painting.js"));
    QVERIFY(writeBytes(path, "old"));

    bool written;
    QString reason;
    {
        const LocaleCodec latin1("ISO-8859-1");
        QVERIFY(writeTextFile(filePath(QStringLiteral("accents.js")),
                              QStringLiteral("caf\u00e9")));
        QCOMPARE(readBytes(filePath(QStringLiteral("accents.js"))), QByteArray("caf\xe9"));
        written = writeTextFile(path, QStringLiteral("\u03c0 = 3.14;"), &reason);
    }

    QVERIFY(!written);
    QVERIFY(reason.contains(QLatin1String("ISO-8859-1")));
    QCOMPARE(readBytes(path), QByteArray("old"));
}

void tst_TextFile::copyReplacesWithSameBytes()
{
    const QString from = filePath(QStringLiteral("b.js"));
    const QString to = filePath(QStringLiteral("Rain.js"));
    const QByteArray bytes("caf\xe9\r\n\x00\xff", 8);
    QVERIFY(writeBytes(from, bytes));
    QVERIFY(writeBytes(to, "older and longer content"));

    QVERIFY(copyFileReplacing(from, to));

    QCOMPARE(readBytes(to), bytes);
    QCOMPARE(readBytes(from), bytes);
}

void tst_TextFile::copyOfMissingFileFails()
{
    const QString to = filePath(QStringLiteral("Rain.js"));
    QString reason;
    QVERIFY(!copyFileReplacing(filePath(QStringLiteral("missing.js")), to, &reason));
    QVERIFY(!reason.isEmpty());
    QVERIFY(!QFileInfo::exists(to));
}

QTEST_MAIN(tst_TextFile)
#include "tst_textfile.moc"
