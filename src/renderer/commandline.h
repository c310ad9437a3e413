#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include <QStringList>

// The exit codes of pictoloom-render on the command line.
namespace ExitCode {
constexpr int rendered = 0;
constexpr int renderFailed = 1;   // a script error, no pixels, too large, the renderer stopped
constexpr int badUsage = 2;
constexpr int unreadableScript = 3;
constexpr int unwritableOutput = 4;
}

// pictoloom-render [--stdlib FILE] [--low-quality] [--frame] [--jobs N] [--rows FIRST:LAST]
//                  [--frames RANGE] [--fps N] [--no-overwrite] PAINTING OUTPUT
// Runs the render in renderer processes of this same program and writes the picture; returns
// the exit code. Needs a QCoreApplication.
int runCommandLine(const QStringList &arguments);

#endif // COMMANDLINE_H
