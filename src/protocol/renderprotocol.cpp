#include "protocol/renderprotocol.h"

#include <QDataStream>
#include <QIODevice>
#include <QtEndian>

namespace RenderProtocol {

namespace {

constexpr qint32 jobVersion = 3;

QDataStream &operator<<(QDataStream &out, Message type)
{
    return out << qint32(type);
}

} // namespace

QByteArray frame(const QByteArray &content)
{
    QByteArray bytes(4, Qt::Uninitialized);
    qToBigEndian(quint32(content.size()), bytes.data());
    return bytes + content;
}

qint64 frameLength(const QByteArray &bytes)
{
    if (bytes.size() < 4)
        return -1;
    return qFromBigEndian<quint32>(bytes.constData());
}

QByteArray encodeJob(const Job &job)
{
    QByteArray content;
    QDataStream out(&content, QIODevice::WriteOnly);
    out << jobVersion << job.stdlibText << job.paintingText << qint32(job.step)
        << qint32(job.firstRow) << qint32(job.lastRow) << qint32(job.processCount)
        << qint32(job.process) << job.shareAlways;
    return frame(content);
}

bool decodeJob(const QByteArray &content, Job *job)
{
    QDataStream in(content);
    qint32 version = 0, step = 0, firstRow = 0, lastRow = 0, processCount = 0, process = 0;
    in >> version;
    if (version != jobVersion)
        return false;
    in >> job->stdlibText >> job->paintingText >> step >> firstRow >> lastRow >> processCount
        >> process >> job->shareAlways;
    job->step = step;
    job->firstRow = firstRow;
    job->lastRow = lastRow;
    job->processCount = processCount;
    job->process = process;
    return in.status() == QDataStream::Ok && step > 0 && processCount > 0 && process < processCount;
}

QByteArray encodeStarted(const Started &started)
{
    QByteArray content;
    QDataStream out(&content, QIODevice::WriteOnly);
    out << Message::Started << qint32(started.width) << qint32(started.rowCount)
        << qint32(started.rangeFirst) << qint32(started.rangeLast) << started.shared;
    return frame(content);
}

QByteArray encodeRows(int first, int last)
{
    QByteArray content;
    QDataStream out(&content, QIODevice::WriteOnly);
    out << Message::Rows << qint32(first) << qint32(last);
    return frame(content);
}

QByteArray encodeRowsDone()
{
    QByteArray content;
    QDataStream out(&content, QIODevice::WriteOnly);
    out << Message::RowsDone;
    return frame(content);
}

QByteArray encodeProgress(int row)
{
    QByteArray content;
    QDataStream out(&content, QIODevice::WriteOnly);
    out << Message::Progress << qint32(row);
    return frame(content);
}

QByteArray encodeResult(const RenderResult &result)
{
    QByteArray content;
    QDataStream out(&content, QIODevice::WriteOnly);
    const QImage &image = result.image;
    out << Message::Result << qint32(result.outcome) << result.errorText
        << qint32(result.errorSource) << qint32(result.errorLine) << result.errorPixel << result.size
        << result.scriptWidth << result.scriptHeight << qint32(result.firstRow)
        << image.size();
    return frame(content);
}

Message messageType(const QByteArray &content)
{
    QDataStream in(content);
    qint32 type = 0;
    in >> type;
    return Message(type);
}

Started decodeStarted(const QByteArray &content)
{
    QDataStream in(content);
    qint32 type, width = 0, rowCount = 0, rangeFirst = 0, rangeLast = 0;
    Started started;
    in >> type >> width >> rowCount >> rangeFirst >> rangeLast >> started.shared;
    started.width = width;
    started.rowCount = rowCount;
    started.rangeFirst = rangeFirst;
    started.rangeLast = rangeLast;
    return started;
}

bool decodeRows(const QByteArray &content, int *first, int *last)
{
    QDataStream in(content);
    qint32 type = 0, rowsFirst = 0, rowsLast = 0;
    in >> type >> rowsFirst >> rowsLast;
    *first = rowsFirst;
    *last = rowsLast;
    return in.status() == QDataStream::Ok && Message(type) == Message::Rows;
}

int decodeProgress(const QByteArray &content)
{
    QDataStream in(content);
    qint32 type, row = 0;
    in >> type >> row;
    return row;
}

RenderResult decodeResult(const QByteArray &content, QSize *imageSize)
{
    QDataStream in(content);
    qint32 type, outcome = 0, firstRow = 0, errorSource = 0, errorLine = 0;
    RenderResult result;
    in >> type >> outcome >> result.errorText >> errorSource >> errorLine >> result.errorPixel
       >> result.size >> result.scriptWidth
        >> result.scriptHeight >> firstRow >> *imageSize;
    result.outcome = RenderResult::Outcome(outcome);
    result.firstRow = firstRow;
    result.errorSource = RenderResult::ErrorSource(errorSource);
    result.errorLine = errorLine;
    return result;
}

} // namespace RenderProtocol
