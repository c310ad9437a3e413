#include "library/textfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextCodec>

namespace {

QString translate(const char *text)
{
    return QCoreApplication::translate("TextFile", text);
}

void setReason(QString *errorString, const QString &reason)
{
    if (errorString)
        *errorString = reason;
}

bool writeBytesSafely(const QString &path, const QByteArray &bytes, QString *errorString)
{
    // Unbuffered, because a buffered write that fails only when commit() flushes it can still
    // be renamed over the old file, cut short.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        setReason(errorString, file.errorString());
        return false;
    }
    // A short write is not an error yet; writing the rest brings out the system's reason.
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 count = file.write(bytes.constData() + written, bytes.size() - written);
        if (count <= 0) {
            setReason(errorString, file.errorString());
            file.cancelWriting();
            return false;
        }
        written += count;
    }
    if (!file.commit()) {
        setReason(errorString, file.errorString());
        return false;
    }
    return true;
}

} // namespace

QString readTextFile(const QString &path)
{
    return readTextFile(path, nullptr);
}

QString readTextFile(const QString &path, ReadOutcome *outcome, QString *errorString)
{
    ReadOutcome ignored;
    if (!outcome)
        outcome = &ignored;

    // An emptied list leaves no path; QFile would complain about it on the console.
    if (path.isEmpty()) {
        *outcome = ReadOutcome::Missing;
        return QString();
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        // A dangling symbolic link counts as missing: saving creates its target.
        const bool exists = QFileInfo::exists(path);
        *outcome = exists ? ReadOutcome::Unreadable : ReadOutcome::Missing;
        if (exists)
            setReason(errorString, file.errorString());
        return QString();
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *outcome = ReadOutcome::Unreadable;
        setReason(errorString, file.errorString());
        return QString();
    }

    // As a text stream would: a byte-order mark picks its Unicode encoding, else the locale's.
    QTextCodec *codec = QTextCodec::codecForUtfText(bytes, QTextCodec::codecForLocale());
    QTextCodec::ConverterState state;
    const QString text = codec->toUnicode(bytes.constData(), bytes.size(), &state);
    // Bytes that do not decode would come back changed at the next save, so such a file is
    // treated like one that could not be read.
    if (state.invalidChars > 0 || state.remainingChars > 0) {
        *outcome = ReadOutcome::Unreadable;
        setReason(errorString, translate("it is not text in the %1 encoding")
                                   .arg(QString::fromLatin1(codec->name())));
        return QString();
    }
    *outcome = ReadOutcome::Read;
    return text;
}

bool writeTextFile(const QString &path, const QString &text, QString *errorString)
{
    QTextCodec *codec = QTextCodec::codecForLocale();
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    const QByteArray bytes = codec->fromUnicode(text.constData(), text.size(), &state);
    if (state.invalidChars > 0) {
        setReason(errorString,
                  translate("the text holds characters that the %1 encoding cannot store")
                      .arg(QString::fromLatin1(codec->name())));
        return false;
    }
    return writeBytesSafely(path, bytes, errorString);
}

bool copyFileReplacing(const QString &from, const QString &to, QString *errorString)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly)) {
        setReason(errorString, source.errorString());
        return false;
    }
    const QByteArray bytes = source.readAll();
    if (source.error() != QFileDevice::NoError) {
        setReason(errorString, source.errorString());
        return false;
    }
    return writeBytesSafely(to, bytes, errorString);
}
