#ifndef RENDERERPROCESS_H
#define RENDERERPROCESS_H

#include <QProcess>
#include <QString>

#include <memory>

#include <sys/types.h>

class SharedPicture;

// A pictoloom-render process serving one job, with the memory its picture goes into. It ends
// when the thread that started it ends, however that ends: start it from the main thread.
class RendererProcess : public QProcess
{
public:
    RendererProcess(const QString &program, std::shared_ptr<SharedPicture> memory);

    // Ends the process at once, whatever it is doing.
    void end();
    // Ends the process and deletes it.
    static void dismiss(RendererProcess *process);

    // Why a renderer process stopped, in words for the user.
    static QString endReason(int exitCode, QProcess::ExitStatus status);

    const std::shared_ptr<SharedPicture> picture;

protected:
    void setupChildProcess() override;

private:
    const pid_t parentProcess;
};

#endif // RENDERERPROCESS_H
