#include "core/textfile.h"

#include "core/safesave.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QTextCodec>
#include <QTextDocument>

namespace {

QString translate(const char *text)
{
    return QCoreApplication::translate("TextFile", text);
}

bool fail(QString *errorString, const QString &reason)
{
    if (errorString)
        *errorString = reason;
    return false;
}

QByteArray hashOf(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha1);
}

QString megabytes(qint64 size)
{
    return QString::number(double(size) / (1024 * 1024), 'f', 1);
}

// Reads a regular file of at most maxTextFileSize bytes. A folder, a pipe or a device is
// refused before it is opened: opening a pipe waits for a writer, and a device never ends.
bool readRegularFile(const QString &path, QByteArray *bytes, QString *errorString)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return fail(errorString, translate("it is not a regular file"));
    if (info.size() > maxTextFileSize) {
        return fail(errorString, translate("it is %1 MB, more than the %2 MB a script may have")
                                     .arg(megabytes(info.size()), megabytes(maxTextFileSize)));
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(errorString, file.errorString());
    if (file.isSequential())
        return fail(errorString, translate("it is not a regular file"));
    // The file may have grown since it was looked at.
    *bytes = file.read(maxTextFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        return fail(errorString, file.errorString());
    if (bytes->size() > maxTextFileSize) {
        return fail(errorString, translate("it is more than the %1 MB a script may have")
                                     .arg(megabytes(maxTextFileSize)));
    }
    return true;
}

} // namespace

bool readTextFile(const QString &path, TextFileContent *content, QString *errorString)
{
    *content = TextFileContent();
    QTextCodec *codec = QTextCodec::codecForLocale();
    content->encoding = QString::fromLatin1(codec->name());
    // A dangling symbolic link counts as missing too: saving creates its target.
    if (path.isEmpty() || !QFileInfo::exists(path))
        return true;

    QByteArray bytes;
    if (!readRegularFile(path, &bytes, errorString))
        return false;
    content->stamp = {true, hashOf(bytes)};

    codec = QTextCodec::codecForUtfText(bytes, codec);
    content->encoding = QString::fromLatin1(codec->name());
    QTextCodec::ConverterState state;
    content->text = codec->toUnicode(bytes.constData(), bytes.size(), &state);
    content->lossy = state.invalidChars > 0 || state.remainingChars > 0;
    // Decoded again without a state, so that a character cut off at the end shows as well.
    if (content->lossy)
        content->text = codec->toUnicode(bytes);
    return true;
}

bool writeTextFile(const QString &path, const QString &text, FileStamp *stamp,
                   QString *errorString)
{
    QTextCodec *codec = QTextCodec::codecForLocale();
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    const QByteArray bytes = codec->fromUnicode(text.constData(), text.size(), &state);
    if (state.invalidChars > 0) {
        return fail(errorString,
                    translate("the text holds characters that the %1 encoding cannot store")
                        .arg(QString::fromLatin1(codec->name())));
    }
    if (!saveFileSafely(path, bytes, errorString))
        return false;
    if (stamp)
        *stamp = {true, hashOf(bytes)};
    return true;
}

bool fileMatches(const QString &path, const FileStamp &stamp)
{
    if (!stamp.exists)
        return !QFileInfo::exists(path);
    QByteArray bytes;
    return readRegularFile(path, &bytes, nullptr) && hashOf(bytes) == stamp.hash;
}

bool copyFileReplacing(const QString &from, const QString &to, QString *errorString)
{
    QByteArray bytes;
    if (!QFileInfo::exists(from))
        return fail(errorString, translate("there is no such file"));
    return readRegularFile(from, &bytes, errorString) && saveFileSafely(to, bytes, errorString);
}

QString withLineFeeds(const QString &text)
{
    QString result = text;
    result.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    result.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    result.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return result;
}

QString documentText(const QTextDocument *document)
{
    QString text = document->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}
