#ifndef FRAMEFILES_H
#define FRAMEFILES_H

#include <QString>

// An output whose file name (not its folder) holds a run of '#' names one file per frame:
// "out/f_####.png" gives out/f_0000.png, out/f_0001.png, ...
bool namesFrameFiles(const QString &path);

// The file of this frame: the last run of '#' in the file name replaced by the frame's number,
// zero-padded to the run's length, with more digits when the number needs them.
QString frameFilePath(const QString &pattern, int frame);

#endif // FRAMEFILES_H
