#include "renderer/memorycap.h"

#include "protocol/renderprotocol.h"

#include <QScriptEngine>
#include <QtGlobal>

#include <csignal>
#include <new>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

rlim_t memoryCap = 0;
rlim_t reservedBeforeScripts = 0;
rlim_t inheritedLimit = RLIM_INFINITY;

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

} // namespace

namespace MemoryCap {

void prepare()
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

void shareAmong(int processes)
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

} // namespace MemoryCap
