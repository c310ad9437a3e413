#include "textfile.h"

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
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        setReason(errorString, file.errorString());
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        setReason(errorString, file.errorString());
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        const QString reason = file.errorString();
        setReason(errorString, reason.isEmpty() ? translate("the data could not be written")
                                                : reason);
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

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        // A dangling symbolic link counts as missing: saving creates its target.
        const bool exists = !path.isEmpty() && QFileInfo::exists(path);
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
