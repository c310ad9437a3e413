#include "app/animationexport.h"

#include "app/messagebox.h"
#include "client/framejobs.h"
#include "client/renderclient.h"
#include "core/framefiles.h"
#include "export/animationencoder.h"
#include "export/animationoutput.h"
#include "export/pictureexport.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QVector>

AnimationExport::AnimationExport(QWidget *boxParent, QObject *parent)
    : QObject(parent)
    , window(boxParent)
    , client(new RenderClient(RenderClient::defaultProgram(), this))
{
}

AnimationExport::~AnimationExport()
{
    if (output)
        output->abort();
}

QString AnimationExport::outputProblem(const QString &path)
{
    const QString shownName = QDir::toNativeSeparators(QFileInfo(path).fileName());
    if (!AnimationOutput::takesFrames(path)) {
        return tr("%1 names neither an animation nor numbered frame files.\n\n"
                  "Names that work end in %2, or hold a run of # for numbered image files in "
                  "the format of their suffix: frame_####.png writes frame_0000.png, "
                  "frame_0001.png, ...")
            .arg(shownName, AnimationEncoder::kindNames());
    }
    if (namesFrameFiles(path)) {
        const QByteArray format = QFileInfo(path).suffix().toLower().toLatin1();
        if (format.isEmpty() || !QImageWriter::supportedImageFormats().contains(format)) {
            return tr("%1 names numbered frame files without an image format that can be "
                      "written: end the name in .png, .bmp or .jpg, say.")
                .arg(shownName);
        }
        return QString();
    }
    QString reason;
    if (!AnimationEncoder::findEncoder(&reason)) {
        reason[0] = reason.at(0).toUpper();
        return reason + QLatin1Char('.');
    }
    return QString();
}

void AnimationExport::start(const RenderRequest &still, const QString &path, bool withFrame)
{
    stop();
    outputPath = path;
    frameMargin = withFrame ? PictureExport::frameMarginFor(still.scale) : 0;
    frames = 0;
    done = 0;
    running = true;
    jobs = new FrameJobs(client, still, RenderClient::coreCount(), 0, this);
    connect(jobs, &FrameJobs::timingKnown, this, &AnimationExport::timingKnown);
    connect(jobs, &FrameJobs::frameRendered, this, &AnimationExport::frameRendered);
    connect(jobs, &FrameJobs::failed, this, &AnimationExport::framesFailed);
    connect(jobs, &FrameJobs::finished, this, &AnimationExport::framesFinished);
    jobs->start();
    emit progress(0, 0);
}

void AnimationExport::stop()
{
    if (!running)
        return;
    end(false);
    emit finished(false);
}

// No frame has started yet, and none does when the export ends here: a rate the output cannot
// show is refused, and the question comes before any file is touched.
void AnimationExport::timingKnown(int frameCount, double fps)
{
    frames = frameCount;
    QVector<int> order;
    order.reserve(frameCount);
    for (int frame = 0; frame < frameCount; ++frame)
        order.append(frame);
    output = std::make_unique<AnimationOutput>(outputPath, order, fps, frameMargin);
    QString reason;
    if (!output->takesRate(&reason) || !output->prepare(jobs->pictureSize(), &reason)) {
        end(false);
        emit writeFailed(reason);
        emit finished(false);
        return;
    }
    if (!mayReplaceFrameFiles(frameCount)) {
        stop();
        return;
    }
    emit progress(0, frameCount);
}

bool AnimationExport::mayReplaceFrameFiles(int frameCount)
{
    if (!namesFrameFiles(outputPath))
        return true;
    int existing = 0;
    QString first;
    for (int frame = 0; frame < frameCount; ++frame) {
        const QString file = frameFilePath(outputPath, frame);
        if (QFileInfo::exists(file) && existing++ == 0)
            first = QDir::toNativeSeparators(file);
    }
    if (existing == 0)
        return true;
    const QString text = existing == 1
        ? tr("1 of the %1 frame files exists already: %2.").arg(frameCount).arg(first)
        : tr("%1 of the %2 frame files exist already, the first %3.")
              .arg(existing)
              .arg(frameCount)
              .arg(first);
    return showPlainMessage(window, QMessageBox::Question, tr("Export Animation"),
                            text + tr("\n\nReplace them?"), QMessageBox::Yes | QMessageBox::No,
                            QMessageBox::No)
        == QMessageBox::Yes;
}

void AnimationExport::frameRendered(int frame, const RenderResult &result)
{
    QString reason;
    if (!output->addFrame(frame, result.image, &reason)) {
        end(false);
        emit writeFailed(reason);
        emit finished(false);
        return;
    }
    ++done;
    emit progress(done, frames);
}

void AnimationExport::framesFailed(int frame, const RenderResult &result)
{
    const RenderResult failure = result;
    end(false);
    emit frameFailed(frame, failure);
    emit finished(false);
}

void AnimationExport::framesFinished()
{
    if (!running)
        return;
    if (!namesFrameFiles(outputPath))
        emit encoding();
    QString reason;
    const bool written = output->finish(&reason);
    end(written);
    if (!written)
        emit writeFailed(reason);
    emit finished(written);
}

// Cleans up without a word: the caller says how the export ended.
void AnimationExport::end(bool written)
{
    running = false;
    if (jobs) {
        jobs->disconnect(this);
        jobs->stop();
        jobs->deleteLater();
        jobs = nullptr;
    }
    if (output && !written)
        output->abort();
    output.reset();
}
