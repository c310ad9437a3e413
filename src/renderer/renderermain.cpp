// pictoloom-render: renders a painting in a process of its own. The window runs it with
// --serve FD and hands it one job on its standard input, and the picture's rows go into the
// shared memory FD; on the command line it renders a painting file into an image file.

#include "renderer/commandline.h"
#include "renderer/renderserver.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

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
        return RenderServer(pictureFile).serve();
    }
    return runCommandLine(arguments);
}
