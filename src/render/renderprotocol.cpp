#include "render/renderprotocol.h"

#include <QDataStream>
#include <QIODevice>
#include <QtEndian>

namespace RenderProtocol {

namespace {

constexpr qint32 jobVersion = 2;

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
        << qint32(job.firstRow) << qint32(job.lastRow) << qint32(job.bandCount) << qint32(job.band)
        << job.splitAlways;
    return frame(content);
}

bool decodeJob(const QByteArray &content, Job *job)
{
    QDataStream in(content);
    qint32 version = 0, step = 0, firstRow = 0, lastRow = 0, bandCount = 0, band = 0;
    in >> version;
    if (version != jobVersion)
        return false;
    in >> job->stdlibText >> job->paintingText >> step >> firstRow >> lastRow >> bandCount >> band
        >> job->splitAlways;
    job->step = step;
    job->firstRow = firstRow;
    job->lastRow = lastRow;
    job->bandCount = bandCount;
    job->band = band;
    return in.status() == QDataStream::Ok && step > 0 && bandCount > 0 && band < bandCount;
}

QByteArray encodeStarted(const Started &started)
{
    QByteArray content;
    QDataStream out(&content, QIODevice::WriteOnly);
    out << Message::Started << qint32(started.width) << qint32(started.rowCount) << qint32(started.firstRow)
        << qint32(started.lastRow) << qint32(started.rangeFirst) << qint32(started.rangeLast)
        << started.split;
    return frame(content);
}

QByteArray encodeProgress(int row)
{
    QByteArray content;
    QDataStream out(&content, QIODevice::WriteOnly);
    out << Message::Progress << qint32(row);
    return frame(content);
}

QByteArray encodeResult(const ScriptRenderer::Result &result)
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
    qint32 type, width = 0, rowCount = 0, firstRow = 0, lastRow = 0, rangeFirst = 0, rangeLast = 0;
    Started started;
    in >> type >> width >> rowCount >> firstRow >> lastRow >> rangeFirst >> rangeLast >> started.split;
    started.width = width;
    started.rowCount = rowCount;
    started.firstRow = firstRow;
    started.lastRow = lastRow;
    started.rangeFirst = rangeFirst;
    started.rangeLast = rangeLast;
    return started;
}

int decodeProgress(const QByteArray &content)
{
    QDataStream in(content);
    qint32 type, row = 0;
    in >> type >> row;
    return row;
}

ScriptRenderer::Result decodeResult(const QByteArray &content, QSize *imageSize)
{
    QDataStream in(content);
    qint32 type, outcome = 0, firstRow = 0, errorSource = 0, errorLine = 0;
    ScriptRenderer::Result result;
    in >> type >> outcome >> result.errorText >> errorSource >> errorLine >> result.errorPixel
       >> result.size >> result.scriptWidth
        >> result.scriptHeight >> firstRow >> *imageSize;
    result.outcome = ScriptRenderer::Outcome(outcome);
    result.firstRow = firstRow;
    result.errorSource = ScriptRenderer::ErrorSource(errorSource);
    result.errorLine = errorLine;
    return result;
}

} // namespace RenderProtocol
