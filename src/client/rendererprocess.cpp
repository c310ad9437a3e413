#include "client/rendererprocess.h"

#include "protocol/renderprotocol.h"
#include "protocol/sharedpicture.h"

#include <QCoreApplication>

#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

// The file descriptor under which a renderer finds the shared picture memory.
constexpr int pictureFileInRenderer = 3;

QString translate(const char *text)
{
    return QCoreApplication::translate("RendererProcess", text);
}

QString signalName(int signal)
{
    const char *abbreviation = sigabbrev_np(signal);
    const QString name = abbreviation ? QStringLiteral("SIG") + QLatin1String(abbreviation)
                                      : QString::number(signal);
    const char *description = strsignal(signal);
    return description ? QStringLiteral("%1 (%2)").arg(name, QString::fromLocal8Bit(description))
                       : name;
}

} // namespace

RendererProcess::RendererProcess(const QString &program, std::shared_ptr<SharedPicture> memory)
    : picture(std::move(memory))
    , parentProcess(getpid())
{
    setProcessChannelMode(QProcess::ForwardedErrorChannel);
    setProgram(program);
    setArguments({QStringLiteral("--serve"), QString::number(pictureFileInRenderer)});
}

void RendererProcess::end()
{
    if (state() != QProcess::NotRunning) {
        kill();
        waitForFinished(1000);
    }
}

void RendererProcess::dismiss(RendererProcess *process)
{
    process->end();
    delete process;
}

QString RendererProcess::endReason(int exitCode, QProcess::ExitStatus status)
{
    if (status == QProcess::CrashExit)
        return translate("it was ended by the signal %1").arg(signalName(exitCode));
    if (exitCode == RenderProtocol::outOfMemoryExitCode)
        return translate("it ran out of memory (a render may use at most half of this "
                         "computer's memory)");
    return translate("it exited with the code %1").arg(exitCode);
}

// Runs in the child between fork and exec, where only async-signal-safe calls may be made.
void RendererProcess::setupChildProcess()
{
    // A renderer busy in the scripts would outlive a parent that was killed. The parent may
    // have ended before the signal was asked for; then the child has another parent already.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parentProcess)
        _exit(1);
    const int file = picture->fileDescriptor();
    if (file < 0)
        return;
    if (file == pictureFileInRenderer)
        fcntl(file, F_SETFD, 0);
    else
        dup2(file, pictureFileInRenderer);
}
