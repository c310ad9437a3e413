#ifndef TERMINAL_H
#define TERMINAL_H

#include "core/consoleline.h"

#include <QString>
#include <QVector>

struct RenderResult;
class ProgressBar;

// Says on stderr, in one line, why the command failed, and returns code.
int failWith(int code, const QString &message);

// Why a render failed, for the command line: a script error as FILE:LINE: text.
QString commandLineFailure(const RenderResult &result, const QString &painting,
                           const QString &stdlib);

// Writes each printed line to stdout as its bare text, one line of output per line printed; the
// bar, on the same terminal, is cleared first so that the lines stay readable.
void writePrintedLines(const QVector<ConsoleLine> &lines, ProgressBar *bar);

// A bar on the terminal, redrawn in place; nothing when stderr goes to a file or a pipe.
class ProgressBar
{
public:
    ProgressBar();
    ~ProgressBar();

    // count: the steps of the whole bar; unit: what they are, shown beside it ("frames").
    void start(int count, const QString &unit = QString());
    void draw(int done);
    void clear();
    // Draws the bar again where it was cleared.
    void restore();

private:
    bool shown;
    bool drawn = false;
    int total = 1;
    int lastDone = -1;
    QString unitName;
};

#endif // TERMINAL_H
