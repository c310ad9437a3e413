#ifndef FRAMECOMMAND_H
#define FRAMECOMMAND_H

#include "client/renderjob.h"

#include <QString>
#include <QVector>

// What the command line asks of the frames of an animation.
struct FrameCommand
{
    RenderRequest still;     // the scripts, the step, the rows and the processes for one frame
    QString painting;        // the files, for the messages
    QString stdlib;
    QString output;          // numbered files, an animation file, or one still file
    QVector<int> frames;     // in increasing order; empty: every frame of the animation
    double fps = 0;          // 0: the painting's own
    bool framed = false;
    bool noOverwrite = false;
    int concurrent = 0;      // frames at once; 0: one per core
};

// Renders the frames into the output and returns the exit code. Needs a QCoreApplication.
int runFrameCommand(const FrameCommand &command);

#endif // FRAMECOMMAND_H
