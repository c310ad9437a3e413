#ifndef RENDERCLIENT_H
#define RENDERCLIENT_H

#include "client/renderjob.h"

#include <QList>
#include <QObject>
#include <QString>

class RendererProcess;

// Starts renderer processes, keeping one started ahead of time and waiting for its job, so that
// a render does not wait for a process to start nor for fresh memory for its picture.
class RenderClient : public QObject
{
    Q_OBJECT

public:
    // program: the renderer, by default pictoloom-render beside this program.
    explicit RenderClient(const QString &program = defaultProgram(), QObject *parent = nullptr);
    ~RenderClient() override;

    static QString defaultProgram();
    // How many processes a parallel render uses: one per core.
    static int coreCount();

    // Starts the renderer that the next render will take, and from then on keeps one started.
    void prepare();
    // The job is a child of this client; delete it when done with it. Its signals come from
    // the event loop, never from within this call.
    RenderJob *start(const RenderRequest &request);

private:
    void jobFinished(const RenderJob *job);

    QString program;
    QList<RendererProcess *> spares;
    bool keepingSpare = false;
    // Memory the spare sets up for its picture: as much as the last picture took.
    qint64 readyBytes = 0;
    bool lastShared = false;   // the last render shared its rows out
};

#endif // RENDERCLIENT_H
