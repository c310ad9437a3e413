// pictoloom-render: renders a painting in a process of its own. The window runs it with
// --serve FD and hands it one job on its standard input, and the picture's rows go into the
// shared memory FD; on the command line it renders a painting file into an image file.

#include "renderer/commandline.h"
#include "protocol/renderprotocol.h"
#include "engine/scriptrenderer.h"
#include "protocol/sharedpicture.h"

#include <QCoreApplication>
#include <QScriptEngine>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <new>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

rlim_t memoryCap = 0;

bool writeAll(const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t written = ::write(STDOUT_FILENO, data, size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

bool writeAll(const QByteArray &bytes)
{
    return writeAll(bytes.constData(), bytes.size());
}

bool readAll(char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t count = ::read(STDIN_FILENO, data, size_t(size));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        data += count;
        size -= count;
    }
    return true;
}

// The content of the next frame on standard input.
bool readMessage(QByteArray *content)
{
    QByteArray header(4, Qt::Uninitialized);
    if (!readAll(header.data(), 4))
        return false;
    const qint64 length = RenderProtocol::frameLength(header);
    if (length > std::numeric_limits<int>::max())
        return false;
    content->resize(int(length));
    return readAll(content->data(), content->size());
}

[[noreturn]] void outOfMemory()
{
    _exit(RenderProtocol::outOfMemoryExitCode);
}

// The address space this process uses, read in a way that is safe in a signal handler.
rlim_t addressSpaceInUse()
{
    char text[64] = {};
    const int file = ::open("/proc/self/statm", O_RDONLY);
    if (file < 0)
        return 0;
    const ssize_t count = ::read(file, text, sizeof text - 1);
    ::close(file);
    rlim_t pages = 0;
    for (ssize_t i = 0; i < count && text[i] >= '0' && text[i] <= '9'; ++i)
        pages = pages * 10 + rlim_t(text[i] - '0');
    return pages * rlim_t(sysconf(_SC_PAGESIZE));
}

// The engine does not always survive a failed allocation: it may crash on the null pointer or
// abort. Near the cap that is the cap's doing, and is reported as such.
[[maybe_unused]] void crashed(int signal)
{
    if (memoryCap > 0 && addressSpaceInUse() + memoryCap / 8 >= memoryCap)
        _exit(RenderProtocol::outOfMemoryExitCode);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

rlim_t reservedBeforeScripts = 0;
rlim_t inheritedLimit = RLIM_INFINITY;

void prepareMemoryCap()
{
    // The first engine of a process reserves about 2 GiB of address space that it keeps for
    // good; the cap counts from there.
    { QScriptEngine reserving; }
    reservedBeforeScripts = addressSpaceInUse();
    rlimit limit;
    getrlimit(RLIMIT_AS, &limit);
    inheritedLimit = limit.rlim_cur;
    std::set_new_handler(outOfMemory);
#if !defined(__SANITIZE_ADDRESS__)
    static char alternateStack[64 * 1024];
    stack_t stack = {};
    stack.ss_sp = alternateStack;
    stack.ss_size = sizeof alternateStack;
    sigaltstack(&stack, nullptr);
    struct sigaction action = {};
    action.sa_handler = crashed;
    action.sa_flags = SA_ONSTACK | SA_RESETHAND;
    for (int signal : {SIGSEGV, SIGBUS, SIGABRT})
        sigaction(signal, &action, nullptr);
#endif
}

// The scripts may use half of this computer's memory, shared between the processes of one
// render, and never more than the limit this process was started with.
void capMemory(int processes)
{
    const long long physical = (long long)sysconf(_SC_PHYS_PAGES) * sysconf(_SC_PAGESIZE);
    rlim_t cap = reservedBeforeScripts + rlim_t(physical / 2 / qMax(1, processes));
    if (inheritedLimit != RLIM_INFINITY && inheritedLimit < cap)
        cap = inheritedLimit;
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer reserves terabytes of address space for its shadow memory, which any cap
    // on the address space would forbid: sanitized builds run without one.
    Q_UNUSED(cap)
#else
    memoryCap = cap;
    rlimit limit;
    getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = cap;
    setrlimit(RLIMIT_AS, &limit);
#endif
}

// The picture's shared memory is a file to the system, though not one that anybody asked to
// write: a file size limit, such as a shell's ulimit -f, is not meant for it.
void liftFileSizeLimit()
{
    rlimit limit;
    if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
}

// One job from standard input, its messages to standard output and its picture into the
// shared memory pictureFile.
int serve(int pictureFile)
{
    // Done while the renderer waits for its job, so that a job does not wait for it.
    prepareMemoryCap();
    liftFileSizeLimit();
    SharedPictureRows picture(pictureFile);
    QByteArray content;
    RenderProtocol::Job job;
    if (!readMessage(&content) || !RenderProtocol::decodeJob(content, &job))
        return 0;
    // The first process does not know yet whether the rows will be shared out.
    capMemory(job.process < 0 ? 1 : job.processCount);

    RenderProtocol::Started started;
    // The other processes of a render render the rows that Rows messages give them.
    bool shared = job.process >= 0;
    ScriptRenderer renderer;
    renderer.chooseRows = [&job, &started, &shared](QSize size, bool parallel) {
        started.width = size.width();
        started.rowCount = size.height();
        started.rangeFirst = qBound(0, job.firstRow, size.height());
        started.rangeLast = job.lastRow < 0 ? size.height()
                                            : qBound(started.rangeFirst, job.lastRow, size.height());
        if (job.process < 0) {
            started.shared = job.processCount > 1 && (parallel || job.shareAlways)
                && started.rangeLast - started.rangeFirst > 1;
            shared = started.shared;
        }
        if (shared)
            capMemory(job.processCount);
        return RowRange{started.rangeFirst, started.rangeLast};
    };
    // Each process makes room for all the rows, whichever comes first, and writes those it
    // renders.
    renderer.createImage = [&picture](int width, int rows) {
        picture.reserve(pictureBytes(width, rows));
        return picture.rows(width, 0, rows);
    };
    renderer.onStarted = [&started](int) { writeAll(RenderProtocol::encodeStarted(started)); };
    renderer.onProgress = [](int row) { writeAll(RenderProtocol::encodeProgress(row)); };
    bool rendering = false;
    renderer.nextRows = [&shared, &started, &rendering, &content]() -> RowRange {
        if (!shared) {
            const bool first = !rendering;
            rendering = true;
            return first ? RowRange{started.rangeFirst, started.rangeLast}
                         : RowRange{};
        }
        if (rendering)
            writeAll(RenderProtocol::encodeRowsDone());
        rendering = true;
        RowRange rows;
        if (!readMessage(&content) || !RenderProtocol::decodeRows(content, &rows.first, &rows.last))
            return RowRange{};
        return rows;
    };
    const RenderResult result = renderer.render(job.stdlibText, job.paintingText, job.step);
    writeAll(RenderProtocol::encodeResult(result));
    // The engine's teardown would only cost time: the process ends here.
    std::fflush(nullptr);
    _exit(0);
}

} // namespace

#if defined(__SANITIZE_ADDRESS__)
// A crash of the engine is the painting's doing and ends the renderer by its signal, as in
// other builds, so that the window can tell which; the sanitizer's checks stay on.
extern "C" const char *__asan_default_options()
{
    return "handle_segv=0:handle_sigbus=0:handle_abort=0:handle_sigfpe=0";
}
#endif

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pictoloom-render"));
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 3 && arguments.at(1) == QLatin1String("--serve")) {
        bool isNumber = false;
        const int pictureFile = arguments.at(2).toInt(&isNumber);
        if (!isNumber || pictureFile < 0) {
            std::fprintf(stderr, "pictoloom-render: --serve needs the picture's file descriptor\n");
            return 2;
        }
        return serve(pictureFile);
    }
    return runCommandLine(arguments);
}
