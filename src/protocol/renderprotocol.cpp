#include "protocol/renderprotocol.h"

#include "core/picturescale.h"

#include <QDataStream>
#include <QIODevice>
#include <QPoint>
#include <QtEndian>

namespace RenderProtocol {

namespace {

constexpr QDataStream::Version streamVersion = QDataStream::Qt_5_15;

MessageType typeOf(const Job &) { return MessageType::Job; }
MessageType typeOf(const Started &) { return MessageType::Started; }
MessageType typeOf(const Progress &) { return MessageType::Progress; }
MessageType typeOf(const Rows &) { return MessageType::Rows; }
MessageType typeOf(const RowsDone &) { return MessageType::RowsDone; }
MessageType typeOf(const Finished &) { return MessageType::Finished; }
MessageType typeOf(const Lines &) { return MessageType::Lines; }

QDataStream &operator<<(QDataStream &out, const RowRange &rows)
{
    return out << qint32(rows.first) << qint32(rows.last);
}

QDataStream &operator>>(QDataStream &in, RowRange &rows)
{
    qint32 first = 0, last = 0;
    in >> first >> last;
    rows = RowRange{first, last};
    return in;
}

bool isRange(const RowRange &rows)
{
    return rows.first >= 0 && rows.last >= rows.first;
}

// The fields of each message, in the order they travel, and what makes them sound.

void writeFields(QDataStream &out, const Job &job)
{
    out << job.stdlibText << job.paintingText << qint32(job.step) << job.rows
        << qint32(job.processCount) << qint32(job.process) << job.shareAlways
        << qint32(job.processesTogether) << qint32(job.frame) << job.frameRate
        << qint32(job.expectedFrames) << job.expectedFps << job.topLevelOnly
        << qint32(job.memoryShare) << job.linesCapped << job.inspectedPlace << job.scale
        << qint32(job.samples);
}

void readFields(QDataStream &in, Job *job)
{
    qint32 step = 0, processCount = 0, process = 0, processesTogether = 0, frame = 0,
           expectedFrames = 0, memoryShare = 0, samples = 0;
    in >> job->stdlibText >> job->paintingText >> step >> job->rows >> processCount >> process
        >> job->shareAlways >> processesTogether >> frame >> job->frameRate >> expectedFrames
        >> job->expectedFps >> job->topLevelOnly >> memoryShare >> job->linesCapped
        >> job->inspectedPlace >> job->scale >> samples;
    job->samples = samples;
    job->frame = frame;
    job->expectedFrames = expectedFrames;
    job->memoryShare = memoryShare;
    job->step = step;
    job->processCount = processCount;
    job->process = process;
    job->processesTogether = processesTogether;
}

bool isSound(const Job &job)
{
    return job.step > 0 && isRange(job.rows) && job.processCount > 0
        && (job.process == -1 || (job.process >= 1 && job.process < job.processCount))
        && job.processesTogether >= 1 && job.processesTogether <= job.processCount
        && job.frame >= 0 && job.frameRate > 0 && job.expectedFrames >= 0 && job.memoryShare > 0
        && (job.inspectedPlace.x() < 0 || job.inspectedPlace.y() >= 0)
        && job.scale >= PictureScale::minScale && job.scale <= PictureScale::maxScale
        && job.samples >= 1 && job.samples <= PictureScale::maxSamples;
}

void writeFields(QDataStream &out, const Started &started)
{
    out << started.size << started.rows << started.shared << qint32(started.frames) << started.fps;
}

void readFields(QDataStream &in, Started *started)
{
    qint32 frames = 0;
    in >> started->size >> started->rows >> started->shared >> frames >> started->fps;
    started->frames = frames;
}

bool isSound(const Started &started)
{
    return started.size.width() > 0 && started.size.height() > 0 && isRange(started.rows)
        && started.rows.last <= started.size.height();
}

void writeFields(QDataStream &out, const Progress &progress)
{
    out << qint32(progress.row);
}

void readFields(QDataStream &in, Progress *progress)
{
    qint32 row = 0;
    in >> row;
    progress->row = row;
}

bool isSound(const Progress &progress)
{
    return progress.row >= 0;
}

void writeFields(QDataStream &out, const Rows &rows)
{
    out << rows.rows;
}

void readFields(QDataStream &in, Rows *rows)
{
    in >> rows->rows;
}

bool isSound(const Rows &rows)
{
    return isRange(rows.rows);
}

void writeFields(QDataStream &, const RowsDone &) {}
void readFields(QDataStream &, RowsDone *) {}
bool isSound(const RowsDone &) { return true; }

void writeFields(QDataStream &out, const Finished &finished)
{
    const RenderResult &result = finished.result;
    out << qint32(result.outcome) << result.errorText << qint32(result.errorSource)
        << qint32(result.errorLine) << result.errorPixel << result.size << result.scriptWidth
        << result.scriptHeight << qint32(result.firstRow) << finished.imageSize
        << qint32(result.frames) << result.fps << result.channelValues
        << quint32(result.pixelColour) << result.errorCell;
}

void readFields(QDataStream &in, Finished *finished)
{
    RenderResult &result = finished->result;
    qint32 outcome = -1, errorSource = -1, errorLine = 0, firstRow = 0, frames = 0;
    quint32 pixelColour = 0;
    in >> outcome >> result.errorText >> errorSource >> errorLine >> result.errorPixel
        >> result.size >> result.scriptWidth >> result.scriptHeight >> firstRow
        >> finished->imageSize >> frames >> result.fps >> result.channelValues >> pixelColour
        >> result.errorCell;
    result.pixelColour = pixelColour;
    result.frames = frames;
    result.outcome = RenderResult::Outcome(outcome);
    result.errorSource = RenderResult::ErrorSource(errorSource);
    result.errorLine = errorLine;
    result.firstRow = firstRow;
}

bool isSound(const Finished &finished)
{
    const RenderResult &result = finished.result;
    const int outcome = int(result.outcome);
    const int errorSource = int(result.errorSource);
    return outcome >= int(RenderResult::Outcome::Picture)
        && outcome <= int(RenderResult::Outcome::RendererFailed)
        && errorSource >= int(RenderResult::ErrorSource::None)
        && errorSource <= int(RenderResult::ErrorSource::Painting) && result.errorLine >= 0
        && result.firstRow >= 0
        && (result.channelValues.isEmpty() || result.channelValues.size() == 3);
}

void writeFields(QDataStream &out, const Lines &message)
{
    out << quint32(message.lines.size());
    for (const ConsoleLine &line : message.lines)
        out << qint32(line.kind) << line.text << line.pixel;
    out << message.unsent;
}

// The count is checked against what is left, so that a garbled one allocates nothing.
void readFields(QDataStream &in, Lines *message)
{
    quint32 count = 0;
    in >> count;
    constexpr qint64 smallestLine = 4 + 4 + 8;
    if (qint64(count) * smallestLine > in.device()->bytesAvailable()) {
        in.setStatus(QDataStream::ReadCorruptData);
        return;
    }
    message->lines.resize(int(count));
    for (ConsoleLine &line : message->lines) {
        qint32 kind = -1;
        in >> kind >> line.text >> line.pixel;
        line.kind = ConsoleLine::Kind(kind);
    }
    in >> message->unsent;
}

bool isSound(const Lines &message)
{
    for (const ConsoleLine &line : message.lines) {
        if (int(line.kind) < int(ConsoleLine::Kind::Log) || int(line.kind) > int(ConsoleLine::Kind::Error))
            return false;
    }
    return message.unsent >= 0;
}

// The frame: the length of what follows, the version, the type, the fields.
template<typename Message>
QByteArray encodeMessage(const Message &message)
{
    QByteArray frame;
    QDataStream out(&frame, QIODevice::WriteOnly);
    out.setVersion(streamVersion);
    out << quint32(0) << version << qint32(typeOf(message));
    writeFields(out, message);
    out.device()->seek(0);
    out << quint32(frame.size() - frameHeaderLength);
    return frame;
}

template<typename Message>
bool decodeMessage(const QByteArray &content, Message *message)
{
    QDataStream in(content);
    in.setVersion(streamVersion);
    qint32 messageVersion = 0, type = 0;
    in >> messageVersion >> type;
    if (in.status() != QDataStream::Ok || messageVersion != version
        || MessageType(type) != typeOf(*message)) {
        return false;
    }
    readFields(in, message);
    return in.status() == QDataStream::Ok && in.atEnd() && isSound(*message);
}

} // namespace

QByteArray encode(const Job &message) { return encodeMessage(message); }
QByteArray encode(const Started &message) { return encodeMessage(message); }
QByteArray encode(const Progress &message) { return encodeMessage(message); }
QByteArray encode(const Rows &message) { return encodeMessage(message); }
QByteArray encode(const RowsDone &message) { return encodeMessage(message); }
QByteArray encode(const Finished &message) { return encodeMessage(message); }
QByteArray encode(const Lines &message) { return encodeMessage(message); }

bool decode(const QByteArray &content, Job *message) { return decodeMessage(content, message); }
bool decode(const QByteArray &content, Started *message) { return decodeMessage(content, message); }
bool decode(const QByteArray &content, Progress *message) { return decodeMessage(content, message); }
bool decode(const QByteArray &content, Rows *message) { return decodeMessage(content, message); }
bool decode(const QByteArray &content, RowsDone *message) { return decodeMessage(content, message); }
bool decode(const QByteArray &content, Finished *message) { return decodeMessage(content, message); }
bool decode(const QByteArray &content, Lines *message) { return decodeMessage(content, message); }

MessageType messageType(const QByteArray &content)
{
    QDataStream in(content);
    in.setVersion(streamVersion);
    qint32 messageVersion = 0, type = 0;
    in >> messageVersion >> type;
    const bool known = type >= qint32(MessageType::Job) && type <= qint32(MessageType::Lines);
    if (in.status() != QDataStream::Ok || messageVersion != version || !known)
        return MessageType::Unknown;
    return MessageType(type);
}

qint64 contentLength(const QByteArray &header)
{
    if (header.size() < frameHeaderLength)
        return -1;
    return qFromBigEndian<quint32>(header.constData());
}

FrameState takeFrame(QByteArray *bytes, QByteArray *content)
{
    const qint64 length = contentLength(*bytes);
    if (length > maxContentLength)
        return FrameState::TooLong;
    if (length < 0 || bytes->size() < frameHeaderLength + length)
        return FrameState::Incomplete;
    *content = bytes->mid(frameHeaderLength, int(length));
    bytes->remove(0, frameHeaderLength + int(length));
    return FrameState::Taken;
}

} // namespace RenderProtocol
