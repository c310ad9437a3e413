#include "app/timeline.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

Timeline::Timeline(QWidget *parent)
    : QWidget(parent)
    , playButton(new QPushButton(tr("Play")))
    , slider(new QSlider(Qt::Horizontal))
    , frameLabel(new QLabel)
{
    playButton->setObjectName(QStringLiteral("playButton"));
    playButton->setToolTip(tr("Play or pause (Ctrl+P)"));
    // The picture keeps the keys' attention: Space on the button would be a second shortcut.
    playButton->setFocusPolicy(Qt::NoFocus);
    connect(playButton, &QPushButton::clicked, this, &Timeline::playPauseClicked);

    slider->setObjectName(QStringLiteral("frameSlider"));
    slider->setRange(0, 0);
    connect(slider, &QSlider::valueChanged, this, [this](int value) {
        showFrameText(value);
        emit frameChosen(value);
    });

    frameLabel->setObjectName(QStringLiteral("frameLabel"));

    // The row keeps its height; the picture and the editor take the rest.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(playButton);
    row->addWidget(slider, 1);
    row->addWidget(frameLabel);
    showFrameText(0);
}

QString Timeline::frameText(int frame, int frameCount, double fps)
{
    return tr("frame %1 / %2 · %3 s").arg(frame).arg(frameCount).arg(frame / fps, 0, 'f', 2);
}

void Timeline::setAnimation(int frameCount, double fps)
{
    frames = qMax(1, frameCount);
    framesPerSecond = fps > 0 ? fps : 30;
    {
        const QSignalBlocker blocker(slider);
        slider->setRange(0, frames - 1);
        slider->setPageStep(qMax(1, int(framesPerSecond)));
    }
    // The label keeps the width of its widest text, so that the slider does not twitch.
    const QFontMetrics metrics(frameLabel->font());
    frameLabel->setMinimumWidth(
        metrics.horizontalAdvance(frameText(frames - 1, frames, framesPerSecond)));
    showFrameText(slider->value());
}

void Timeline::setFrame(int frame)
{
    const QSignalBlocker blocker(slider);
    slider->setValue(frame);
    showFrameText(slider->value());
}

void Timeline::setPlaying(bool playing)
{
    playButton->setText(playing ? tr("Pause") : tr("Play"));
}

int Timeline::frame() const
{
    return slider->value();
}

void Timeline::showFrameText(int frame)
{
    frameLabel->setText(frameText(frame, frames, framesPerSecond));
}
