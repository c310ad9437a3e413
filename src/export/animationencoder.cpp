#include "export/animationencoder.h"

#include "core/safesave.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <cmath>
#include <csignal>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString encoderProgram = QStringLiteral("ffmpeg");

bool fail(QString *errorString, const QString &reason)
{
    if (errorString)
        *errorString = reason;
    return false;
}

// ffmpeg ends with the program that started it, however that ends.
class EncoderProcess : public QProcess
{
protected:
    void setupChildProcess() override
    {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        // The parent may have ended before the line above: then init is the parent.
        if (getppid() == 1)
            _exit(1);
    }
};

QString rate(double fps)
{
    return QString::number(fps, 'g', 12);
}

// A GIF's delays are whole hundredths of a second: the nearest one to the rate.
int gifDelay(double fps)
{
    return qMax(2, int(std::lround(100.0 / fps)));
}

mode_t currentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

QString colourArgument(QRgb colour)
{
    return QStringLiteral("0x%1").arg(colour & 0xFFFFFF, 6, 16, QLatin1Char('0'));
}

} // namespace

AnimationEncoder::Kind AnimationEncoder::kindFor(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("gif"))
        return Kind::Gif;
    if (suffix == QLatin1String("mp4"))
        return Kind::Mp4;
    if (suffix == QLatin1String("webm"))
        return Kind::WebM;
    if (suffix == QLatin1String("apng"))
        return Kind::Apng;
    return Kind::None;
}

bool AnimationEncoder::findEncoder(QString *errorString)
{
    if (!QStandardPaths::findExecutable(encoderProgram).isEmpty())
        return true;
    return fail(errorString, tr("writing animations needs ffmpeg, which is not installed "
                                "(Debian's package ffmpeg)"));
}

bool AnimationEncoder::takesRate(const QString &fileName, double rate, QString *errorString)
{
    if (kindFor(fileName) != Kind::Gif || rate <= maxGifFps)
        return true;
    return fail(errorString, tr("a GIF can show at most %1 frames a second, and this animation "
                                "has %2; use .mp4, .webm or .apng")
                                 .arg(maxGifFps)
                                 .arg(rate));
}

QString AnimationEncoder::kindNames()
{
    return tr(".gif, .mp4, .webm and .apng");
}

AnimationEncoder::AnimationEncoder(const QString &output, QSize frameSize, double framesPerSecond,
                                   QRgb padding)
    : outputPath(output)
    , kind(kindFor(output))
    , size(frameSize)
    , fps(framesPerSecond)
    , background(padding)
{
}

AnimationEncoder::~AnimationEncoder()
{
    abort();
}

bool AnimationEncoder::start(QString *errorString)
{
    if (kind == Kind::None) {
        return fail(errorString, tr("%1 is not an animation's name: use one ending in %2")
                                     .arg(QDir::toNativeSeparators(outputPath), kindNames()));
    }
    if (!takesRate(outputPath, fps, errorString) || !findEncoder(errorString))
        return false;
    // A link to a file writes that file and stays a link; anything but a file stays as it is.
    const QString unreplaceable = unreplaceableReason(outputPath);
    if (!unreplaceable.isEmpty())
        return fail(errorString, unreplaceable);
    const QFileInfo output(outputPath);
    targetPath = output.isSymLink() ? output.symLinkTarget() : outputPath;
    const QFileInfo target(targetPath);

    QTemporaryFile temporary(target.absolutePath() + QStringLiteral("/.")
                             + target.fileName() + QStringLiteral(".XXXXXX"));
    temporary.setAutoRemove(false);
    if (!temporary.open())
        return fail(errorString, temporary.errorString());
    temporaryPath = temporary.fileName();
    temporary.close();

    if (kind == Kind::Gif) {
        rawFrames = std::make_unique<QTemporaryFile>(QDir::tempPath()
                                                     + QStringLiteral("/pictoloom-frames-XXXXXX.rgb"));
        if (!rawFrames->open()) {
            const QString reason = rawFrames->errorString();
            abort();
            return fail(errorString, reason);
        }
        return true;
    }
    return startEncoder({QStringLiteral("-framerate"), rate(fps), QStringLiteral("-i"),
                         QStringLiteral("pipe:0")},
                        errorString);
}

bool AnimationEncoder::startEncoder(const QStringList &input, QString *errorString)
{
    QStringList arguments{QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"),
                          QStringLiteral("error"),        QStringLiteral("-y"),
                          QStringLiteral("-f"),           QStringLiteral("rawvideo"),
                          QStringLiteral("-pixel_format"), QStringLiteral("rgb24"),
                          QStringLiteral("-video_size"),
                          QStringLiteral("%1x%2").arg(size.width()).arg(size.height())};
    arguments << input << outputArguments() << temporaryPath;
    encoder = std::make_unique<EncoderProcess>();
    encoder->setProcessChannelMode(QProcess::SeparateChannels);
    encoder->setStandardOutputFile(QProcess::nullDevice());
    encoder->start(encoderProgram, arguments);
    if (!encoder->waitForStarted(-1)) {
        const QString reason = encoder->errorString();
        abort();
        return fail(errorString, tr("ffmpeg could not be started: %1").arg(reason));
    }
    return true;
}

QStringList AnimationEncoder::outputArguments() const
{
    switch (kind) {
    case Kind::Mp4:
        // Browsers play H.264 only in 4:2:0, which needs an even width and height: a column or
        // row is added rather than one of the picture's lost.
        // x264 shares the cores with the renderers: superfast, and without the look-ahead that
        // leaves frames to encode once the last one is in. At this quality the file is larger
        // than with slower settings but looks the same.
        return {QStringLiteral("-vf"),
                QStringLiteral("pad=ceil(iw/2)*2:ceil(ih/2)*2:0:0:color=%1").arg(colourArgument(background)),
                QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-preset"),
                QStringLiteral("superfast"), QStringLiteral("-tune"), QStringLiteral("zerolatency"),
                QStringLiteral("-crf"), QStringLiteral("18"),
                QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"), QStringLiteral("-movflags"),
                QStringLiteral("+faststart"), QStringLiteral("-f"), QStringLiteral("mp4")};
    case Kind::WebM:
        return {QStringLiteral("-c:v"), QStringLiteral("libvpx-vp9"), QStringLiteral("-b:v"),
                QStringLiteral("0"), QStringLiteral("-crf"), QStringLiteral("30"),
                QStringLiteral("-deadline"), QStringLiteral("realtime"), QStringLiteral("-cpu-used"),
                QStringLiteral("8"), QStringLiteral("-row-mt"), QStringLiteral("1"),
                QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"), QStringLiteral("-f"),
                QStringLiteral("webm")};
    case Kind::Apng:
        return {QStringLiteral("-c:v"), QStringLiteral("apng"), QStringLiteral("-pix_fmt"),
                QStringLiteral("rgb24"), QStringLiteral("-plays"), QStringLiteral("0"),
                QStringLiteral("-f"), QStringLiteral("apng")};
    case Kind::Gif:
        return {QStringLiteral("-lavfi"), QStringLiteral("[0:v][1:v]paletteuse"),
                QStringLiteral("-loop"), QStringLiteral("0"), QStringLiteral("-f"),
                QStringLiteral("gif")};
    case Kind::None:
        break;
    }
    return {};
}

bool AnimationEncoder::writeFrame(QIODevice *device, const QImage &frame, QString *errorString)
{
    const QImage rgb = frame.convertToFormat(QImage::Format_RGB888);
    const qint64 rowBytes = qint64(size.width()) * 3;
    const qint64 frameBytes = rowBytes * size.height();
    if (rgb.bytesPerLine() == rowBytes) {
        if (device->write(reinterpret_cast<const char *>(rgb.constBits()), frameBytes) != frameBytes)
            return fail(errorString, device->errorString());
    } else {
        for (int row = 0; row < size.height(); ++row) {
            if (device->write(reinterpret_cast<const char *>(rgb.constScanLine(row)), rowBytes) != rowBytes)
                return fail(errorString, device->errorString());
        }
    }
    auto *process = qobject_cast<QProcess *>(device);
    if (!process)
        return true;
    // The frames go to ffmpeg as the event loop finds its pipe ready, so that the renderers are
    // read meanwhile; only when ffmpeg falls behind by a few frames does this wait for it.
    while (process->bytesToWrite() > framesAheadOfEncoder * frameBytes) {
        if (!process->waitForBytesWritten(-1))
            return fail(errorString, tr("ffmpeg stopped: %1").arg(process->errorString()));
    }
    return true;
}

bool AnimationEncoder::addFrame(const QImage &frame, QString *errorString)
{
    if (frame.size() != size)
        return fail(errorString, tr("a frame of another size than the first"));
    QIODevice *device = rawFrames ? static_cast<QIODevice *>(rawFrames.get()) : encoder.get();
    if (!device)
        return fail(errorString, tr("the animation was not started"));
    if (!writeFrame(device, frame, errorString)) {
        abort();
        return false;
    }
    ++frameCount;
    return true;
}

bool AnimationEncoder::waitForEncoder(QString *errorString)
{
    while (encoder->bytesToWrite() > 0 && encoder->waitForBytesWritten(-1)) {
    }
    encoder->closeWriteChannel();
    encoder->waitForFinished(-1);
    const QString messages = QString::fromLocal8Bit(encoder->readAllStandardError()).trimmed();
    const bool ok = encoder->exitStatus() == QProcess::NormalExit && encoder->exitCode() == 0;
    encoder.reset();
    if (!ok)
        return fail(errorString, tr("ffmpeg failed: %1").arg(messages.section(QLatin1Char('\n'), -1)));
    return true;
}

bool AnimationEncoder::finish(QString *errorString)
{
    if (frameCount == 0) {
        abort();
        return fail(errorString, tr("an animation needs at least one frame"));
    }
    if (rawFrames) {
        rawFrames->flush();
        // The palette is made from every frame, then used for each of them.
        QTemporaryFile palette(QDir::tempPath() + QStringLiteral("/pictoloom-palette-XXXXXX.png"));
        if (!palette.open()) {
            abort();
            return fail(errorString, palette.errorString());
        }
        palette.close();
        const QString delayRate = QStringLiteral("100/%1").arg(gifDelay(fps));
        const QStringList rawInput{QStringLiteral("-framerate"), delayRate, QStringLiteral("-i"),
                                   rawFrames->fileName()};
        const QString output = temporaryPath;
        temporaryPath = palette.fileName();
        const Kind gif = kind;
        kind = Kind::None;
        bool ok = startEncoder(rawInput + QStringList{QStringLiteral("-vf"),
                                                      QStringLiteral("palettegen=stats_mode=full"),
                                                      QStringLiteral("-update"), QStringLiteral("1"),
                                                      QStringLiteral("-f"), QStringLiteral("image2")},
                               errorString)
            && waitForEncoder(errorString);
        kind = gif;
        temporaryPath = output;
        ok = ok
            && startEncoder(rawInput + QStringList{QStringLiteral("-i"), palette.fileName()}, errorString)
            && waitForEncoder(errorString);
        if (!ok) {
            abort();
            return false;
        }
        rawFrames.reset();
    } else if (!encoder || !waitForEncoder(errorString)) {
        abort();
        return false;
    }
    // The temporary file was made for this user alone; the animation is an ordinary file, or
    // keeps the permissions of the one it replaces.
    const QByteArray target = QFile::encodeName(targetPath);
    struct stat existing;
    mode_t mode = 0666 & ~currentUmask();
    if (::stat(target.constData(), &existing) == 0)
        mode = existing.st_mode & 07777;
    ::chmod(QFile::encodeName(temporaryPath).constData(), mode);
    if (std::rename(QFile::encodeName(temporaryPath).constData(),
                    QFile::encodeName(targetPath).constData())
        != 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        abort();
        return fail(errorString, reason);
    }
    temporaryPath.clear();
    return true;
}

void AnimationEncoder::abort()
{
    if (encoder) {
        encoder->kill();
        encoder->waitForFinished(-1);
        encoder.reset();
    }
    rawFrames.reset();
    if (!temporaryPath.isEmpty()) {
        QFile::remove(temporaryPath);
        temporaryPath.clear();
    }
}
