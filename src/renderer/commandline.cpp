#include "renderer/commandline.h"

#include "core/apppath.h"
#include "core/picturescale.h"
#include "core/textfile.h"
#include "client/renderclient.h"
#include "client/renderfailure.h"
#include "export/pictureexport.h"
#include "export/animationoutput.h"
#include "renderer/framecommand.h"
#include "renderer/framerange.h"
#include "renderer/terminal.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QRegularExpression>

#include <csignal>
#include <cstdio>
#include <limits>

#include <pthread.h>
#include <unistd.h>

namespace {

QString readScript(const QString &path, bool missingIsEmpty, QString *error)
{
    TextFileContent content;
    QString reason;
    if (!readTextFile(path, &content, &reason)) {
        *error = QStringLiteral("cannot read %1: %2").arg(QDir::toNativeSeparators(path), reason);
    } else if (!content.stamp.exists && !missingIsEmpty) {
        *error = QStringLiteral("cannot read %1: no such file").arg(QDir::toNativeSeparators(path));
    }
    return content.text;
}

RenderResult render(const RenderRequest &request)
{
    RenderClient client(QCoreApplication::applicationFilePath());
    RenderJob *job = client.start(request);
    ProgressBar bar;
    QObject::connect(job, &RenderJob::started, [&bar](int rows) { bar.start(rows); });
    QObject::connect(job, &RenderJob::progress, [&bar](int row) { bar.draw(row); });
    QObject::connect(job, &RenderJob::linesPrinted,
                     [&bar](const QVector<ConsoleLine> &lines) { writePrintedLines(lines, &bar); });
    QEventLoop loop;
    QObject::connect(job, &RenderJob::finished, &loop, &QEventLoop::quit);
    loop.exec();
    return job->result();
}

enum class NumberState { Number, NotANumber, TooLarge };

// A number as the command line gives it: digits only, and within 32 bits.
NumberState readNumber(const QString &text, int *value)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    if (!digits.match(text).hasMatch())
        return NumberState::NotANumber;
    bool ok = false;
    const qulonglong number = text.toULongLong(&ok);
    if (!ok || number > qulonglong(std::numeric_limits<int>::max()))
        return NumberState::TooLarge;
    *value = int(number);
    return NumberState::Number;
}

QString tooLarge(const char *option, const QString &number)
{
    return QStringLiteral("%1: %2 is too large, the most is %3")
        .arg(QLatin1String(option), number)
        .arg(std::numeric_limits<int>::max());
}

bool readJobs(const QString &text, int *processes, QString *error)
{
    int jobs = 0;
    switch (readNumber(text, &jobs)) {
    case NumberState::NotANumber:
        *error = QStringLiteral("--jobs needs a number from 0 to %1").arg(RenderRequest::maxProcesses);
        return false;
    case NumberState::TooLarge:
        *error = tooLarge("--jobs", text);
        return false;
    case NumberState::Number:
        break;
    }
    if (jobs > RenderRequest::maxProcesses) {
        *error = QStringLiteral("--jobs: %1 is too many, the most is %2")
                     .arg(jobs)
                     .arg(RenderRequest::maxProcesses);
        return false;
    }
    *processes = jobs == 0 ? RenderClient::coreCount() : jobs;
    return true;
}

// FIRST:LAST, both included; a LAST beyond the picture means to its end.
bool readRows(const QString &text, RenderRequest *request, QString *error)
{
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^([0-9]+):([0-9]+)$")).match(text);
    *error = QStringLiteral("--rows needs FIRST:LAST, FIRST <= LAST");
    if (!match.hasMatch())
        return false;
    int first = 0, last = 0;
    const QString firstText = match.captured(1), lastText = match.captured(2);
    if (readNumber(firstText, &first) != NumberState::Number) {
        *error = tooLarge("--rows", firstText);
        return false;
    }
    if (readNumber(lastText, &last) != NumberState::Number) {
        *error = tooLarge("--rows", lastText);
        return false;
    }
    if (first > last)
        return false;
    request->firstRow = first;
    request->lastRow = int(qMin(qint64(last) + 1, qint64(std::numeric_limits<int>::max())));
    return true;
}

bool readFps(const QString &text, double *fps, QString *error)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !(value > 0 && value <= 1000)) {
        *error = QStringLiteral("--fps needs a number above 0 and at most 1000");
        return false;
    }
    *fps = value;
    return true;
}

bool readScale(const QString &text, double *scale, QString *error)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !(value >= PictureScale::minScale && value <= PictureScale::maxScale)) {
        *error = QStringLiteral("--scale needs a number from %1 to %2")
                     .arg(PictureScale::minScale)
                     .arg(PictureScale::maxScale);
        return false;
    }
    *scale = value;
    return true;
}

bool readSamples(const QString &text, int *samples, QString *error)
{
    int value = 0;
    if (readNumber(text, &value) != NumberState::Number || value < 1
        || value > PictureScale::maxSamples) {
        *error = QStringLiteral("--samples needs a whole number from 1 to %1")
                     .arg(PictureScale::maxSamples);
        return false;
    }
    *samples = value;
    return true;
}

// Writes the picture with the signals that ask the program to end held back until the file is
// complete: ending in between would leave its temporary file behind.
bool writePicture(const QImage &picture, const QString &output, QString *reason)
{
    sigset_t ending, before;
    sigemptyset(&ending);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&ending, signal);
    pthread_sigmask(SIG_BLOCK, &ending, &before);
    const bool written = PictureExport::write(picture, output, reason);
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return written;
}

} // namespace

int runCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Renders a painting script into an image file; the file name's suffix picks the format."));
    const QCommandLineOption stdlibOption(
        QStringLiteral("stdlib"),
        QStringLiteral("The standard library to run first (default: stdlib.js beside this "
                       "program; a missing file counts as empty)."),
        QStringLiteral("FILE"));
    const QCommandLineOption lowQualityOption(QStringLiteral("low-quality"),
                                              QStringLiteral("Render at half resolution."));
    const QCommandLineOption frameOption(
        QStringLiteral("frame"),
        QStringLiteral("Add a white frame, 20 pixels wide (20 x K at a --scale K above 1)."));
    const QCommandLineOption scaleOption(
        QStringLiteral("scale"),
        QStringLiteral("Render the picture K times the painting's size, K from %1 to %2 "
                       "(default: 1).")
            .arg(PictureScale::minScale)
            .arg(PictureScale::maxScale),
        QStringLiteral("K"));
    const QCommandLineOption samplesOption(
        QStringLiteral("samples"),
        QStringLiteral("Anti-alias with S x S samples a pixel, S from 1 to %1 (default: 1).")
            .arg(PictureScale::maxSamples),
        QStringLiteral("S"));
    const QCommandLineOption jobsOption(
        QStringLiteral("jobs"),
        QStringLiteral("Render with N processes, 0 for one per core, at most %1 and never more "
                       "than there are rows (default: as the painting's global parallel says).")
            .arg(RenderRequest::maxProcesses),
        QStringLiteral("N"));
    const QCommandLineOption rowsOption(
        QStringLiteral("rows"),
        QStringLiteral("Render only the picture rows FIRST to LAST, counted from 0, both "
                       "included; a LAST beyond the picture means to its end."),
        QStringLiteral("FIRST:LAST"));
    const QCommandLineOption framesOption(
        QStringLiteral("frames"),
        QStringLiteral("Render the frames of an animation that RANGE names: N, A-B or A..B (both "
                       "included), or a comma list of those (default: every frame when OUTPUT "
                       "takes frames, frame 0 otherwise)."),
        QStringLiteral("RANGE"));
    const QCommandLineOption fpsOption(
        QStringLiteral("fps"),
        QStringLiteral("Frames per second, above 0 and at most 1000, instead of the painting's "
                       "fps."),
        QStringLiteral("N"));
    const QCommandLineOption noOverwriteOption(
        QStringLiteral("no-overwrite"),
        QStringLiteral("Leave output files that exist alone, and do not render their frames."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    parser.addOptions({stdlibOption, lowQualityOption, frameOption, scaleOption, samplesOption,
                       jobsOption, rowsOption, framesOption, fpsOption, noOverwriteOption});
    parser.addPositionalArgument(QStringLiteral("PAINTING"), QStringLiteral("The painting script."));
    parser.addPositionalArgument(
        QStringLiteral("OUTPUT"),
        QStringLiteral("The image file to write; a run of # in its name writes one numbered file "
                       "per frame (f_####.png), and .gif, .mp4, .webm or .apng one animation."));

    if (!parser.parse(arguments))
        return failWith(ExitCode::badUsage, parser.errorText() + QStringLiteral(" (see --help)"));
    if (parser.isSet(helpOption)) {
        std::printf("%s", qPrintable(parser.helpText()));
        return ExitCode::rendered;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() != 2)
        return failWith(ExitCode::badUsage, QStringLiteral("needs a PAINTING and an OUTPUT (see --help)"));

    RenderRequest request;
    request.step = parser.isSet(lowQualityOption) ? 2 : 1;
    request.allLines = true;
    QString usage;
    if (parser.isSet(scaleOption)) {
        if (parser.isSet(lowQualityOption))
            return failWith(ExitCode::badUsage, QStringLiteral("--scale and --low-quality do not go together"));
        if (!readScale(parser.value(scaleOption), &request.scale, &usage))
            return failWith(ExitCode::badUsage, usage);
    }
    if (parser.isSet(samplesOption) && !readSamples(parser.value(samplesOption), &request.samples, &usage))
        return failWith(ExitCode::badUsage, usage);
    if (parser.isSet(jobsOption) && !readJobs(parser.value(jobsOption), &request.processes, &usage))
        return failWith(ExitCode::badUsage, usage);
    if (parser.isSet(rowsOption)) {
        if (!readRows(parser.value(rowsOption), &request, &usage))
            return failWith(ExitCode::badUsage, usage);
        if (parser.isSet(frameOption))
            return failWith(ExitCode::badUsage, QStringLiteral("--rows and --frame do not go together"));
    }

    const QString painting = files.at(0);
    const QString output = files.at(1);
    FrameCommand frames;
    if (parser.isSet(framesOption) && !parseFrameRange(parser.value(framesOption), &frames.frames, &usage))
        return failWith(ExitCode::badUsage, usage);
    if (parser.isSet(fpsOption) && !readFps(parser.value(fpsOption), &frames.fps, &usage))
        return failWith(ExitCode::badUsage, usage);
    const bool takesFrames = AnimationOutput::takesFrames(output);
    if (!takesFrames && frames.frames.size() > 1) {
        return failWith(ExitCode::badUsage,
                        QStringLiteral("several frames cannot go into the one picture %1: name "
                                       "numbered files with a run of #, or an animation (%2)")
                            .arg(QDir::toNativeSeparators(output), AnimationEncoder::kindNames()));
    }
    const bool noOverwrite = parser.isSet(noOverwriteOption);
    if (noOverwrite && !takesFrames && QFileInfo::exists(output))
        return ExitCode::rendered;

    QString error;
    request.paintingText = readScript(painting, false, &error);
    if (!error.isEmpty())
        return failWith(ExitCode::unreadableScript, error);
    const QString stdlib = parser.isSet(stdlibOption) ? parser.value(stdlibOption)
                                                      : appRelativePath(QStringLiteral("stdlib.js"));
    request.stdlibText = readScript(stdlib, true, &error);
    if (!error.isEmpty())
        return failWith(ExitCode::unreadableScript, error);

    if (takesFrames || !frames.frames.isEmpty()) {
        frames.still = request;
        frames.painting = painting;
        frames.stdlib = stdlib;
        frames.output = output;
        frames.framed = parser.isSet(frameOption);
        frames.noOverwrite = noOverwrite;
        // For several frames --jobs says how many render at once, each in one process.
        frames.concurrent = parser.isSet(jobsOption) ? request.processes : 0;
        return runFrameCommand(frames);
    }

    const RenderResult result = render(request);
    if (result.outcome != RenderResult::Outcome::Picture)
        return failWith(ExitCode::renderFailed, commandLineFailure(result, painting, stdlib));
    if (result.image.height() == 0)
        return failWith(ExitCode::renderFailed, QStringLiteral("--rows names no row of the picture"));

    const QImage picture =
        parser.isSet(frameOption)
            ? PictureExport::framed(result.image, PictureExport::frameMarginFor(request.scale))
            : result.image;
    if (picture.isNull())
        return failWith(ExitCode::renderFailed, QStringLiteral("the framed picture is too large to create"));
    QString reason;
    if (!writePicture(picture, output, &reason)) {
        return failWith(ExitCode::unwritableOutput,
                    QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(output), reason));
    }
    return ExitCode::rendered;
}
