#ifndef TIMELINE_H
#define TIMELINE_H

#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;
class QSlider;

// The row under the picture of an animation: a Play/Pause button, a slider over the frames and
// the frame shown with its time ("frame 12 / 120 · 0.40 s").
class Timeline : public QWidget
{
    Q_OBJECT

public:
    explicit Timeline(QWidget *parent = nullptr);

    void setAnimation(int frameCount, double fps);
    // Shows frame as the one on screen, without frameChosen().
    void setFrame(int frame);
    void setPlaying(bool playing);

    int frame() const;
    int frameCount() const { return frames; }
    double fps() const { return framesPerSecond; }

    static QString frameText(int frame, int frameCount, double fps);

signals:
    void playPauseClicked();
    // The user moved the slider to frame.
    void frameChosen(int frame);

private:
    void showFrameText(int frame);

    QPushButton *playButton;
    QSlider *slider;
    QLabel *frameLabel;
    int frames = 1;
    double framesPerSecond = 30;
};

#endif // TIMELINE_H
