#ifndef RENDERPROTOCOL_H
#define RENDERPROTOCOL_H

#include "engine/scriptrenderer.h"

#include <QByteArray>
#include <QString>

// What the window and a renderer process say to each other. Every message is a frame: its
// length as a big-endian 32-bit number, then its content in QDataStream's encoding. A job goes
// to the renderer's standard input; messages come back on its standard output. The picture's
// pixels are not among them: the renderers write them into a SharedPicture.
namespace RenderProtocol {

// The exit code of a renderer that ran out of the memory it may use.
constexpr int outOfMemoryExitCode = 86;

struct Job
{
    QString stdlibText;
    QString paintingText;
    int step = 1;
    // Picture rows [firstRow, lastRow) to render; lastRow -1 means to the bottom.
    int firstRow = 0;
    int lastRow = -1;
    // Up to processCount processes share the rows out. The job with process -1 comes first:
    // once its scripts have run it says in its Started message whether the rows are shared out.
    // If they are not, it renders every row. If they are, it and the other processes render the
    // runs of rows that Rows messages give them, one after the other, and say RowsDone after
    // each. Jobs for the other processes number them from 1.
    int processCount = 1;
    int process = -1;
    bool shareAlways = false;   // share the rows out even when the painting does not ask for it
};

enum class Message : qint32 { Started = 1, Progress, Result, Rows, RowsDone };

struct Started
{
    int width = 0;      // of the whole picture
    int rowCount = 0;
    int rangeFirst = 0; // the rows to render
    int rangeLast = 0;
    bool shared = false; // the first process asks for the rows to be shared out
};

QByteArray frame(const QByteArray &content);
// The length a frame's first four bytes announce, or -1 when fewer than four are there.
qint64 frameLength(const QByteArray &bytes);

QByteArray encodeJob(const Job &job);
bool decodeJob(const QByteArray &content, Job *job);

QByteArray encodeStarted(const Started &started);
// Rows [first, last) to render next; none, first == last, when there are no more.
QByteArray encodeRows(int first, int last);
QByteArray encodeRowsDone();
QByteArray encodeProgress(int row);
// The result without its picture, which is in the shared memory: only its size.
QByteArray encodeResult(const RenderResult &result);

// Reads the message type and, for the other messages, their content.
Message messageType(const QByteArray &content);
Started decodeStarted(const QByteArray &content);
int decodeProgress(const QByteArray &content);
// The rows of a Rows message, false when the message is not one.
bool decodeRows(const QByteArray &content, int *first, int *last);
// The result, its image still null, and the size of the image the renderer made.
RenderResult decodeResult(const QByteArray &content, QSize *imageSize);

} // namespace RenderProtocol

#endif // RENDERPROTOCOL_H
