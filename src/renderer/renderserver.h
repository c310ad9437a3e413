#ifndef RENDERSERVER_H
#define RENDERSERVER_H

#include "protocol/renderprotocol.h"
#include "renderer/lineoutbox.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QImage>
#include <QSize>

#include <memory>

class SharedPictureRows;

// The renderer's side of RenderProtocol: one job from standard input, its messages to standard
// output and its picture into the shared memory that the window handed down.
class RenderServer
{
public:
    explicit RenderServer(int pictureFile);
    ~RenderServer();

    // Sets up while it waits for the job, serves it and ends the process. Returns, with the
    // exit code, only when no job arrived.
    int serve();

private:
    // The messages that arrive.
    [[noreturn]] void handleJob(const RenderProtocol::Job &message);
    RowRange handleRows(const RenderProtocol::Rows &message);

    // What the script renderer asks as it renders.
    RowRange chooseRows(QSize size, bool parallel);
    QImage createImage(int width, int rowCount);
    RowRange nextRows();
    void printed(const ConsoleLine &line);
    void printed(qint64 lineCount);
    void sendLines();
    void reportRow(int row, bool atInterval);

    bool readMessage(QByteArray *content);
    template<typename Message>
    void send(const Message &message);

    const int pictureFile;
    std::unique_ptr<SharedPictureRows> picture;
    RenderProtocol::Job job;
    RenderProtocol::Started started;
    bool shared = false;      // the rows are shared out: Rows messages give them
    bool rendering = false;   // a range of rows has been given to the script renderer
    LineOutbox outbox;
    QElapsedTimer sinceProgress;
};

#endif // RENDERSERVER_H
