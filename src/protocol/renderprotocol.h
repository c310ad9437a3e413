#ifndef RENDERPROTOCOL_H
#define RENDERPROTOCOL_H

#include "core/consoleline.h"
#include "core/renderresult.h"

#include <QByteArray>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QVector>

#include <limits>

// What the window and a renderer process say to each other during one render. The window
// writes to the renderer's standard input and reads its standard output; the picture's pixels
// are not among the messages: the renderers write them into a SharedPicture.
//
//   window                                 renderer (each process of the render)
//     | --- Job ---------------------------> |  runs the scripts' top level, then either
//     | <------------------------ Lines ... |  what the top level printed (the first process)
//     | <------------------------- Finished |  they failed or leave no picture, or the job
//     |                                      |  asked for the top level or one pixel only; or
//     | <-------------------------- Started |  the picture's size and rows, shared or not
//   rows not shared (only the first process renders):
//     | <-------------- Progress, Lines ... |  at every twentieth of the picture; printed lines
//     | <------------------------- Finished |  the picture or a script error; it exits
//   rows shared out (each process):
//     | --- Rows --------------------------> |  a range of rows to render next
//     | <-------------- Progress, Lines ... |  the lines that the range printed
//     | <------------------------- RowsDone |  and again while ranges are left; the window
//     |                                      |  ends the processes once every range is done
//     | <------------------------- Finished |  a script error instead of RowsDone; it exits
//
// Lines come before the message that ends their part: the top level's before Started (or the
// Finished that fails it), a range's before its RowsDone, the rows' before Finished. With the
// lines capped, at most ConsoleLines::kept lines of each part are sent and the rest counted.
//
// Every message is a frame: its length as a big-endian 32-bit number, then the protocol's
// version, the message type and the message's fields in QDataStream's encoding.
namespace RenderProtocol {

// Raised whenever a message changes: a renderer of another version understands no message.
constexpr qint32 version = 8;

// The exit code of a renderer that ran out of the memory it may use.
constexpr int outOfMemoryExitCode = 86;

enum class MessageType : qint32 {
    Unknown = 0,
    // window -> renderer:
    Job = 1,
    Rows,
    // renderer -> window:
    Started,
    Progress,
    RowsDone,
    Finished,
    Lines,
};

struct Job
{
    QString stdlibText;
    QString paintingText;
    int step = 1;
    // The picture is scale times the painting's size, samples x samples samples a pixel.
    double scale = 1;
    int samples = 1;
    // The picture rows asked for, bounded by the picture once its size is known.
    RowRange rows{0, std::numeric_limits<int>::max()};
    // Up to processCount processes share the rows out. The job with process -1 goes to the
    // first, which says in its Started message whether they do; the others are numbered from 1.
    int processCount = 1;
    int process = -1;
    bool shareAlways = false;   // share the rows out even when the painting does not ask for it
    // The render's processes started together with this one, itself included: a process
    // other than the first shares the memory cap with them until it knows how many take part.
    int processesTogether = 1;
    // The frame of an animation, at time frame / frameRate, and the animation frame 0 asked for,
    // which the frame must ask for too (unchecked while expectedFrames is 0).
    int frame = 0;
    double frameRate = 30;
    int expectedFrames = 0;
    double expectedFps = 0;
    bool topLevelOnly = false;   // run the scripts' top level only, to learn frames and fps
    int memoryShare = 1;         // renders at once that share the memory a render may use
    bool linesCapped = true;     // at most ConsoleLines::kept printed lines of each part sent
    // Renders only the pixel at this place, in painting units, when x is 0 or more.
    QPoint inspectedPlace = QPoint(-1, -1);
};

struct Started
{
    QSize size;        // of the whole picture
    RowRange rows;     // the rows to render
    bool shared = false; // the first process asks for the rows to be shared out
    int frames = 1;      // the animation the scripts ask for
    double fps = 30;
};

struct Progress
{
    int row = 0;   // the picture row about to be rendered
};

struct Rows
{
    RowRange rows;   // to render next; none: no more, and the renderer finishes
};

struct RowsDone
{
};

// Lines that the scripts printed, in order, since the last Lines message.
struct Lines
{
    QVector<ConsoleLine> lines;
    qint64 unsent = 0;   // printed after these beyond the cap, and only counted
};

struct Finished
{
    RenderResult result;   // its image null: the picture is in the shared memory
    QSize imageSize;       // of the image the renderer made, for a picture
};

// A frame holding the message.
QByteArray encode(const Job &message);
QByteArray encode(const Started &message);
QByteArray encode(const Progress &message);
QByteArray encode(const Rows &message);
QByteArray encode(const RowsDone &message);
QByteArray encode(const Finished &message);
QByteArray encode(const Lines &message);

// Reads a frame's content, without the length in front: false, with *message undefined,
// when it is not a whole and well-formed message of that type and of this version.
bool decode(const QByteArray &content, Job *message);
bool decode(const QByteArray &content, Started *message);
bool decode(const QByteArray &content, Progress *message);
bool decode(const QByteArray &content, Rows *message);
bool decode(const QByteArray &content, RowsDone *message);
bool decode(const QByteArray &content, Finished *message);
bool decode(const QByteArray &content, Lines *message);

// The type of the message in a frame's content; Unknown for one of another version.
MessageType messageType(const QByteArray &content);

constexpr int frameHeaderLength = 4;
// The longest content a frame may have: scripts of a few hundred million characters.
constexpr qint64 maxContentLength = qint64(1) << 30;
// The content length that a frame's header announces, or -1 when the header is not all there.
qint64 contentLength(const QByteArray &header);

enum class FrameState { Taken, Incomplete, TooLong };
// Takes the first whole frame out of bytes and puts its content into *content.
FrameState takeFrame(QByteArray *bytes, QByteArray *content);

} // namespace RenderProtocol

#endif // RENDERPROTOCOL_H
