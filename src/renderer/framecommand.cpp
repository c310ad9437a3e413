#include "renderer/framecommand.h"

#include "client/framejobs.h"
#include "client/renderclient.h"
#include "export/animationoutput.h"
#include "export/pictureexport.h"
#include "renderer/commandline.h"
#include "renderer/frameprintorder.h"
#include "renderer/terminal.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QSocketNotifier>

#include <algorithm>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace {

// The signals that ask the program to end reach the event loop through a pipe, so that the
// encoder's and the frames' temporary files are removed before it ends.
int endingPipe[2] = {-1, -1};

void endingSignal(int signal)
{
    const char number = char(signal);
    [[maybe_unused]] const ssize_t written = ::write(endingPipe[1], &number, 1);
}

void catchEndingSignals()
{
    if (endingPipe[0] < 0 && ::pipe2(endingPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction action = {};
    action.sa_handler = endingSignal;
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

[[noreturn]] void endBySignal(int signal)
{
    ::signal(signal, SIG_DFL);
    ::raise(signal);
    _exit(128 + signal);
}

// Runs the frame jobs and hands each frame to the output as it comes. What the frames print goes
// to stdout in the order of the frames, each frame's lines as its own render printed them.
class FrameRun
{
public:
    explicit FrameRun(const FrameCommand &frameCommand)
        : command(frameCommand)
        , client(QCoreApplication::applicationFilePath())
        , jobs(&client, command.still,
               command.concurrent > 0 ? command.concurrent : RenderClient::coreCount(), command.fps)
    {
    }

    int run();

private:
    bool wanted(int frame) const;
    void timingKnown();
    void linesPrinted(int frame, const QVector<ConsoleLine> &lines);
    void frameRendered(int frame, const RenderResult &result);
    void failed(int frame, const RenderResult &result);
    void end(int code, const QString &message = QString());
    int frameMargin() const
    {
        return command.framed ? PictureExport::frameMarginFor(command.still.scale) : 0;
    }

    const FrameCommand &command;
    RenderClient client;
    FrameJobs jobs;
    std::unique_ptr<AnimationOutput> output;
    ProgressBar bar;
    FramePrintOrder printOrder;
    QEventLoop loop;
    int done = 0;
    int exitCode = ExitCode::rendered;
    QString failure;
    bool stillFile = !AnimationOutput::takesFrames(command.output);
};

bool FrameRun::wanted(int frame) const
{
    if (!command.frames.isEmpty() && !std::binary_search(command.frames.begin(), command.frames.end(), frame))
        return false;
    if (!command.noOverwrite)
        return true;
    const QString file = stillFile ? command.output : output ? output->frameFile(frame) : QString();
    return file.isEmpty() || !QFileInfo::exists(file);
}

int FrameRun::run()
{
    catchEndingSignals();
    QSocketNotifier ending(endingPipe[0], QSocketNotifier::Read);
    QObject::connect(&ending, &QSocketNotifier::activated, [this] {
        char signal = 0;
        if (::read(endingPipe[0], &signal, 1) == 1) {
            jobs.stop();
            if (output)
                output->abort();
            endBySignal(signal);
        }
    });
    jobs.wanted = [this](int frame) { return wanted(frame); };
    QObject::connect(&jobs, &FrameJobs::timingKnown, [this] { timingKnown(); });
    QObject::connect(&jobs, &FrameJobs::linesPrinted,
                     [this](int frame, const QVector<ConsoleLine> &lines) { linesPrinted(frame, lines); });
    QObject::connect(&jobs, &FrameJobs::frameRendered,
                     [this](int frame, const RenderResult &result) { frameRendered(frame, result); });
    QObject::connect(&jobs, &FrameJobs::failed,
                     [this](int frame, const RenderResult &result) { failed(frame, result); });
    QObject::connect(&jobs, &FrameJobs::finished, [this] {
        if (exitCode == ExitCode::rendered)
            end(ExitCode::rendered);
    });
    // The output's frame files are known before the frames: numbered files that exist are
    // left out with --no-overwrite.
    output = std::make_unique<AnimationOutput>(command.output, QVector<int>(), 0, frameMargin());
    jobs.start(command.frames);
    loop.exec();
    bar.clear();
    if (exitCode != ExitCode::rendered)
        return failWith(exitCode, failure);
    return exitCode;
}

void FrameRun::timingKnown()
{
    const QVector<int> frames = jobs.plannedFrames();
    printOrder.setFrames(frames);
    const double fps = command.fps > 0 ? command.fps : jobs.fps();
    if (stillFile && frames.size() > 1) {
        end(ExitCode::badUsage, QStringLiteral("%1 frames cannot go into the one picture %2: name "
                                               "numbered files with a run of #, or an animation "
                                               "(%3)")
                                    .arg(frames.size())
                                    .arg(QDir::toNativeSeparators(command.output),
                                         AnimationEncoder::kindNames()));
        return;
    }
    output = std::make_unique<AnimationOutput>(command.output, frames, fps, frameMargin());
    // Stopped here, the job starts no frame.
    QString reason;
    if (!output->takesRate(&reason) || !output->prepare(jobs.pictureSize(), &reason)) {
        end(ExitCode::unwritableOutput, QStringLiteral("cannot write %1: %2")
                                            .arg(QDir::toNativeSeparators(command.output), reason));
        return;
    }
    bar.start(frames.size(), QStringLiteral("frames"));
}

void FrameRun::linesPrinted(int frame, const QVector<ConsoleLine> &lines)
{
    writePrintedLines(printOrder.add(frame, lines), &bar);
}

void FrameRun::frameRendered(int frame, const RenderResult &result)
{
    writePrintedLines(printOrder.frameDone(frame), &bar);
    if (result.image.isNull()) {
        end(ExitCode::renderFailed, QStringLiteral("--rows names no row of the picture"));
        return;
    }
    QString reason;
    bool written = false;
    if (stillFile) {
        const QImage picture =
            command.framed ? PictureExport::framed(result.image, frameMargin()) : result.image;
        written = !picture.isNull() && PictureExport::write(picture, command.output, &reason);
        if (picture.isNull())
            reason = QStringLiteral("the framed picture is too large to create");
        if (!written)
            reason = QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(command.output), reason);
    } else {
        written = output->addFrame(frame, result.image, &reason);
    }
    if (!written) {
        end(ExitCode::unwritableOutput, reason);
        return;
    }
    bar.draw(++done);
}

void FrameRun::failed(int frame, const RenderResult &result)
{
    end(ExitCode::renderFailed, QStringLiteral("frame %1: %2")
                                    .arg(frame)
                                    .arg(commandLineFailure(result, command.painting, command.stdlib)));
}

void FrameRun::end(int code, const QString &message)
{
    jobs.stop();
    exitCode = code;
    failure = message;
    if (code == ExitCode::rendered && !stillFile) {
        QString reason;
        if (!output->finish(&reason)) {
            exitCode = ExitCode::unwritableOutput;
            failure = QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(command.output), reason);
        }
    } else if (code != ExitCode::rendered && output) {
        output->abort();
    }
    loop.quit();
}

} // namespace

int runFrameCommand(const FrameCommand &command)
{
    return FrameRun(command).run();
}
