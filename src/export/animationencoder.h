#ifndef ANIMATIONENCODER_H
#define ANIMATIONENCODER_H

#include <QCoreApplication>
#include <QImage>
#include <QRgb>
#include <QSize>
#include <QString>

#include <memory>

class QProcess;
class QTemporaryFile;

// Writes frames into one animation file through ffmpeg: the frames go to it as raw RGB on a
// pipe, and it writes a temporary file beside the output that becomes the output only once every
// frame is in. Stopped or failed, it leaves a file already at the output as it was.
class AnimationEncoder
{
    Q_DECLARE_TR_FUNCTIONS(AnimationEncoder)

public:
    enum class Kind { None, Gif, Mp4, WebM, Apng };

    // The kind of animation the file name's suffix asks for; None for any other name.
    static Kind kindFor(const QString &fileName);
    // The names that make an animation, for a message.
    static QString kindNames();
    // Whether ffmpeg is there to encode; errorString says what to install when it is not.
    static bool findEncoder(QString *errorString);
    // The highest rate a GIF may have: browsers slow down shorter delays.
    static constexpr double maxGifFps = 50;
    // Whether the kind of animation the file name asks for can show fps frames a second;
    // errorString says why not.
    static bool takesRate(const QString &fileName, double fps, QString *errorString);

    // background: the colour of a column or row added to make the size even, where the kind
    // needs an even size.
    AnimationEncoder(const QString &outputPath, QSize frameSize, double fps, QRgb background);
    ~AnimationEncoder();
    AnimationEncoder(const AnimationEncoder &) = delete;
    AnimationEncoder &operator=(const AnimationEncoder &) = delete;

    bool start(QString *errorString);
    QSize frameSize() const { return size; }
    // The frames in order, each of the size given at the start.
    bool addFrame(const QImage &frame, QString *errorString);
    // Waits for ffmpeg to finish the file and puts it in place.
    bool finish(QString *errorString);
    // Ends ffmpeg at once and removes what it wrote.
    void abort();

private:
    bool startEncoder(const QStringList &input, QString *errorString);
    bool writeFrame(QIODevice *device, const QImage &frame, QString *errorString);
    bool waitForEncoder(QString *errorString);
    QStringList outputArguments() const;

    static constexpr int framesAheadOfEncoder = 4;

    QString outputPath;
    QString targetPath;   // the file the output names, after following links
    Kind kind;
    QSize size;
    double fps;
    QRgb background;
    QString temporaryPath;
    std::unique_ptr<QProcess> encoder;
    std::unique_ptr<QTemporaryFile> rawFrames;   // a GIF's frames, for the palette's two passes
    int frameCount = 0;
};

#endif // ANIMATIONENCODER_H
