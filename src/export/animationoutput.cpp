#include "export/animationoutput.h"

#include "core/framefiles.h"
#include "export/pictureexport.h"

#include <QDir>

bool AnimationOutput::takesFrames(const QString &path)
{
    return namesFrameFiles(path) || AnimationEncoder::kindFor(path) != AnimationEncoder::Kind::None;
}

AnimationOutput::AnimationOutput(const QString &outputPath, const QVector<int> &frames,
                                 double framesPerSecond, int frameMargin)
    : path(outputPath)
    , order(frames)
    , fps(framesPerSecond)
    , margin(frameMargin)
{
}

QString AnimationOutput::frameFile(int frame) const
{
    return namesFrameFiles(path) ? frameFilePath(path, frame) : QString();
}

bool AnimationOutput::takesRate(QString *errorString) const
{
    return namesFrameFiles(path) || AnimationEncoder::takesRate(path, fps, errorString);
}

bool AnimationOutput::prepare(QSize pictureSize, QString *errorString)
{
    if (encoder || AnimationEncoder::kindFor(path) == AnimationEncoder::Kind::None)
        return true;
    return startEncoder(pictureSize + QSize(2 * margin, 2 * margin), errorString);
}

bool AnimationOutput::startEncoder(QSize framedSize, QString *errorString)
{
    // The padding that makes a size even is white with the white frame, black without.
    encoder = std::make_unique<AnimationEncoder>(path, framedSize, fps,
                                                 margin > 0 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    return encoder->start(errorString);
}

bool AnimationOutput::addFrame(int frame, const QImage &rendered, QString *errorString)
{
    const QImage picture = margin > 0 ? PictureExport::framed(rendered, margin) : rendered;
    if (picture.isNull()) {
        *errorString = tr("a framed picture of %1 × %2 pixels is too large to create")
                           .arg(rendered.width() + 2 * margin)
                           .arg(rendered.height() + 2 * margin);
        return false;
    }
    if (namesFrameFiles(path)) {
        const QString file = frameFile(frame);
        QString reason;
        if (PictureExport::write(picture, file, &reason))
            return true;
        *errorString = tr("cannot write %1: %2").arg(QDir::toNativeSeparators(file), reason);
        return false;
    }
    // The encoder takes the frames in order; those that come early wait.
    waiting.insert(frame, picture);
    while (nextIndex < order.size() && waiting.contains(order.at(nextIndex))) {
        if (!encode(waiting.take(order.at(nextIndex)), errorString))
            return false;
        ++nextIndex;
    }
    return true;
}

bool AnimationOutput::encode(const QImage &picture, QString *errorString)
{
    if (encoder && nextIndex == 0 && encoder->frameSize() != picture.size())
        encoder.reset();
    if (!encoder && !startEncoder(picture.size(), errorString))
        return false;
    return encoder->addFrame(picture, errorString);
}

bool AnimationOutput::finish(QString *errorString)
{
    if (namesFrameFiles(path))
        return true;
    if (!encoder || nextIndex < order.size()) {
        *errorString = tr("frames are missing from the animation");
        abort();
        return false;
    }
    return encoder->finish(errorString);
}

void AnimationOutput::abort()
{
    waiting.clear();
    if (encoder)
        encoder->abort();
}
