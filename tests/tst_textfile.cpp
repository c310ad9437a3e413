#include "core/textfile.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

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

class tst_TextFile : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void writeThenRead_data();
    void writeThenRead();
    void read_data();
    void read();
    void readRefuses_data();
    void readRefuses();
    void stampTellsChanges_data();
    void stampTellsChanges();
    void documentKeepsCharacters_data();
    void documentKeepsCharacters();

    void writeKeepsPermissions();
    void writeThroughSymbolicLink();
    void writeCreatesMissingFile();
    void failedWriteKeepsOldContent_data();
    void failedWriteKeepsOldContent();
    void writeFailingHalfwayKeepsOldContent_data();
    void writeFailingHalfwayKeepsOldContent();
    void textTheLocaleCannotStoreIsRefused();

    void copyReplacesWithSameBytes();
    void copyFails_data();
    void copyFails();

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

    FileStamp stamp;
    QVERIFY(writeTextFile(path, text, &stamp));
    QCOMPARE(readBytes(path), bytes);
    QVERIFY(fileMatches(path, stamp));

    TextFileContent content;
    QVERIFY(readTextFile(path, &content));
    QCOMPARE(content.text, text);
    QVERIFY(!content.lossy);
    QVERIFY(content.stamp.exists);
    QCOMPARE(content.stamp.hash, stamp.hash);
}

void tst_TextFile::read_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");   // null: no file
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<bool>("lossy");

    QTest::newRow("no such file") << "missing.js" << QByteArray() << QString() << false << false;
    QTest::newRow("empty path") << "" << QByteArray() << QString() << false << false;
    QTest::newRow("empty file") << "empty.js" << QByteArray("") << QString() << true << false;
    QTest::newRow("carriage returns are kept")
        << "dos.js" << QByteArray("a = 1;\r\nb = 2;\rc\n") << "a = 1;\r\nb = 2;\rc\n" << true
        << false;
    QTest::newRow("byte-order mark is skipped")
        << "bom.js" << QByteArray("\xef\xbb\xbf" "r = 1;") << "r = 1;" << true << false;
    QTest::newRow("Latin-1 bytes show as replacement characters")
        << "latin1.js" << QByteArray("// caf\xe9\n") << "// caf\ufffd\n" << true << true;
    QTest::newRow("character cut off at the end, one mark per byte")
        << "cut.js" << QByteArray("// \xe2\x89") << "// \ufffd\ufffd" << true << true;
}

void tst_TextFile::read()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(bool, exists);
    QFETCH(bool, lossy);
    const QString path = name.isEmpty() ? QString() : filePath(name);
    if (!bytes.isNull())
        QVERIFY(writeBytes(path, bytes));

    TextFileContent content;
    QVERIFY(readTextFile(path, &content));

    QCOMPARE(content.text, text);
    QCOMPARE(content.stamp.exists, exists);
    QCOMPARE(content.lossy, lossy);
    QCOMPARE(content.encoding, QStringLiteral("UTF-8"));
}

void tst_TextFile::readRefuses_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");

    QTest::newRow("a folder") << "folder" << "not a regular file";
    QTest::newRow("a named pipe, which would wait for a writer") << "fifo" << "not a regular file";
    QTest::newRow("a link to an endless device") << "device" << "not a regular file";
    QTest::newRow("larger than 16 MB") << "large" << "16.0 MB";
}

void tst_TextFile::readRefuses()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    const QString path = filePath(QStringLiteral("painting.js"));
    if (kind == QLatin1String("folder")) {
        QVERIFY(QDir(dir->path()).mkdir(QStringLiteral("painting.js")));
    } else if (kind == QLatin1String("fifo")) {
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == QLatin1String("device")) {
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(maxTextFileSize + 1));   // sparse: nothing is written
    }

    TextFileContent content;
    QString error;
    QVERIFY(!readTextFile(path, &content, &error));
    QVERIFY2(error.contains(reason), qPrintable(error));
    QCOMPARE(content.text, QString());
    QString copyError;
    QVERIFY(!copyFileReplacing(path, filePath(QStringLiteral("copy.js")), &copyError));
    QCOMPARE(copyError, error);
    QVERIFY(!QFileInfo::exists(filePath(QStringLiteral("copy.js"))));
}

void tst_TextFile::stampTellsChanges_data()
{
    QTest::addColumn<QByteArray>("before");   // null: no file
    QTest::addColumn<QByteArray>("after");    // null: no file
    QTest::addColumn<bool>("matches");

    QTest::newRow("untouched") << QByteArray("a") << QByteArray() << true;
    QTest::newRow("written again with the same bytes") << QByteArray("a") << QByteArray("a") << true;
    QTest::newRow("same size, other bytes") << QByteArray("a") << QByteArray("b") << false;
    QTest::newRow("emptied") << QByteArray("a") << QByteArray("") << false;
    QTest::newRow("still no file") << QByteArray() << QByteArray() << true;
    QTest::newRow("made since") << QByteArray() << QByteArray("") << false;
}

void tst_TextFile::stampTellsChanges()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QFETCH(bool, matches);
    const QString path = filePath(QStringLiteral("painting.js"));
    if (!before.isNull())
        QVERIFY(writeBytes(path, before));
    TextFileContent content;
    QVERIFY(readTextFile(path, &content));
    if (!after.isNull())
        QVERIFY(writeBytes(path, after));
    QCOMPARE(fileMatches(path, content.stamp), matches);

    if (!before.isNull()) {
        QVERIFY(QFile::remove(path));
        QVERIFY(!fileMatches(path, content.stamp));
        QVERIFY(QDir(dir->path()).mkdir(QStringLiteral("painting.js")));
        QVERIFY(!fileMatches(path, content.stamp));
    }
}

void tst_TextFile::documentKeepsCharacters_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("kept");

    QTest::newRow("no-break space") << "a\u00a0b" << "a\u00a0b";
    QTest::newRow("line separator in a string")
        << "s = 'a\u2028b';\n" << "s = 'a\u2028b';\n";
    QTest::newRow("line ends become line feeds") << "a\r\nb\rc\u2029d\n" << "a\nb\nc\nd\n";
    // The editor cannot hold these two; loading notices it, so the file is not silently changed.
    QTest::newRow("frame markers become line breaks") << "a\ufdd0b\ufdd1c" << "a\nb\nc";
}

void tst_TextFile::documentKeepsCharacters()
{
    QFETCH(QString, text);
    QFETCH(QString, kept);
    QPlainTextEdit editor;
    editor.setPlainText(text);
    QCOMPARE(documentText(editor.document()), kept);
    QCOMPARE(withLineFeeds(text) == kept, !text.contains(QChar(0xfdd0)));
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
    QTest::addColumn<QString>("reason");   // a part of it; empty: any

    QTest::newRow("empty path") << QString() << QString();
    QTest::newRow("folder missing") << QStringLiteral("gone/painting.js") << QString();
    QTest::newRow("a folder in the file's place") << QStringLiteral("folder.js") << "it is a folder, not a regular file";
    QTest::newRow("parent is a file") << QStringLiteral("plain.txt/painting.js") << QString();
    QTest::newRow("a named pipe") << QStringLiteral("pipe.js") << "it is a named pipe, not a regular file";
    QTest::newRow("a link to /dev/null") << QStringLiteral("null.js") << "it is a link to a device, not a regular file";
    QTest::newRow("a link to a link to a folder") << QStringLiteral("chain.js") << "it is a link to a folder";
}

void tst_TextFile::failedWriteKeepsOldContent()
{
    QFETCH(QString, name);
    QFETCH(QString, reason);
    QVERIFY(QDir(dir->path()).mkdir(QStringLiteral("folder.js")));
    QVERIFY(writeBytes(filePath(QStringLiteral("plain.txt")), "keep me"));
    QCOMPARE(mkfifo(QFile::encodeName(filePath(QStringLiteral("pipe.js"))).constData(), 0600), 0);
    QVERIFY(QFile::link(QStringLiteral("/dev/null"), filePath(QStringLiteral("null.js"))));
    QVERIFY(QFile::link(filePath(QStringLiteral("folder.js")), filePath(QStringLiteral("dir-link"))));
    QVERIFY(QFile::link(filePath(QStringLiteral("dir-link")), filePath(QStringLiteral("chain.js"))));
    const QStringList before = entriesOf(dir->path());

    QString error;
    QVERIFY(!writeTextFile(name.isEmpty() ? QString() : filePath(name), QStringLiteral("x"),
                           nullptr, &error));

    QVERIFY(!error.isEmpty());
    QVERIFY2(error.contains(reason), qPrintable(error));
    QCOMPARE(entriesOf(dir->path()), before);
    QVERIFY(QFileInfo(filePath(QStringLiteral("folder.js"))).isDir());
    QCOMPARE(readBytes(filePath(QStringLiteral("plain.txt"))), QByteArray("keep me"));
    struct stat status;
    QCOMPARE(::lstat(QFile::encodeName(filePath(QStringLiteral("pipe.js"))).constData(), &status), 0);
    QVERIFY(S_ISFIFO(status.st_mode));
    QCOMPARE(QFileInfo(filePath(QStringLiteral("null.js"))).symLinkTarget(), QStringLiteral("/dev/null"));
    QCOMPARE(::stat("/dev/null", &status), 0);
    QVERIFY(S_ISCHR(status.st_mode));
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
        written = writeTextFile(path, longText, nullptr, &reason);
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
        written = writeTextFile(path, QStringLiteral("\u03c0 = 3.14;"), nullptr, &reason);
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

void tst_TextFile::copyFails_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");

    QTest::newRow("no file to copy") << "missing.js" << "Rain.js";
    QTest::newRow("folder to copy") << "folder.js" << "Rain.js";
    QTest::newRow("nowhere to copy to") << "b.js" << "gone/Rain.js";
}

void tst_TextFile::copyFails()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QVERIFY(QDir(dir->path()).mkdir(QStringLiteral("folder.js")));
    QVERIFY(writeBytes(filePath(QStringLiteral("b.js")), "// b\n"));
    const QStringList before = entriesOf(dir->path());

    QString reason;
    QVERIFY(!copyFileReplacing(filePath(from), filePath(to), &reason));

    QVERIFY(!reason.isEmpty());
    QCOMPARE(entriesOf(dir->path()), before);
}

QTEST_MAIN(tst_TextFile)
#include "tst_textfile.moc"
