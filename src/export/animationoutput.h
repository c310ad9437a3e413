#ifndef ANIMATIONOUTPUT_H
#define ANIMATIONOUTPUT_H

#include "export/animationencoder.h"

#include <QCoreApplication>
#include <QImage>
#include <QMap>
#include <QString>
#include <QVector>

#include <memory>

// Where the frames of an animation go, whatever order they are rendered in: numbered image
// files ("f_####.png"), each written whole as soon as its frame is done, or one animation file
// that ffmpeg encodes from the frames in order and that appears only once all are in.
class AnimationOutput
{
    Q_DECLARE_TR_FUNCTIONS(AnimationOutput)

public:
    // Whether the name asks for frames: numbered files or an animation's suffix.
    static bool takesFrames(const QString &path);

    // frames: the frames that will come, in the order the animation shows them. frameMargin: the
    // width of the white frame around each picture, 0 for none.
    AnimationOutput(const QString &path, const QVector<int> &frames, double fps, int frameMargin);

    // The file a frame goes to, for numbered files; empty for an animation file.
    QString frameFile(int frame) const;
    // Whether the frames can be shown at their rate, to be asked before any is rendered;
    // errorString says why not. Numbered files take any rate.
    bool takesRate(QString *errorString) const;

    // Starts the encoder of an animation file for pictures of that size before the first one
    // comes, so that ffmpeg starts while it renders; a first picture of another size starts it
    // afresh. Does nothing for other outputs.
    bool prepare(QSize pictureSize, QString *errorString);
    bool addFrame(int frame, const QImage &picture, QString *errorString);
    // Every frame is in: the animation file is put in place.
    bool finish(QString *errorString);
    // Nothing more comes: an animation file is not written, and of numbered files only those
    // already written, whole, remain.
    void abort();

private:
    bool encode(const QImage &picture, QString *errorString);
    bool startEncoder(QSize framedSize, QString *errorString);

    QString path;
    QVector<int> order;
    double fps;
    int margin;
    int nextIndex = 0;
    QMap<int, QImage> waiting;
    std::unique_ptr<AnimationEncoder> encoder;
};

#endif // ANIMATIONOUTPUT_H
