#include "processrender.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QEventLoop>
#include <QTimer>

ProcessRender renderInProcess(const RenderRequest &request, int stopAfterMs)
{
    // One client for the whole test, as the window keeps one: each render takes the renderer
    // that the client started ahead while the previous one ran.
    static RenderClient *client = [] {
        auto *shared = new RenderClient(RenderClient::defaultProgram(), QCoreApplication::instance());
        shared->prepare();
        return shared;
    }();
    ProcessRender render;
    RenderJob *job = client->start(request);
    QObject::connect(job, &RenderJob::started, [&render](int rows) { render.started << rows; });
    QObject::connect(job, &RenderJob::progress, [&render](int row) { render.progress << row; });
    QObject::connect(job, &RenderJob::linesPrinted,
                     [&render](const QVector<ConsoleLine> &lines) { render.printed += lines; });
    QElapsedTimer sinceStart;
    sinceStart.start();
    QObject::connect(job, &RenderJob::rowsReady, [&render, &sinceStart, job](const RowRange &rows) {
        render.rowsReady << rows;
        render.rowsReadyMs << sinceStart.elapsed();
        if (render.rowsSeen.isNull()) {
            render.rowsSeen = QImage(job->size(), QImage::Format_RGB32);
            render.rowsSeen.fill(ProcessRender::pictureColour);
        }
        const QImage told = job->renderedRows(rows);
        for (int y = rows.first; y < rows.last && !told.isNull(); ++y) {
            for (int x = 0; x < told.width(); ++x)
                render.rowsSeen.setPixel(x, y, told.pixel(x, y - rows.first));
        }
    });
    QEventLoop loop;
    QObject::connect(job, &RenderJob::finished, &loop, &QEventLoop::quit);
    QElapsedTimer sinceStop;
    if (stopAfterMs >= 0) {
        QTimer::singleShot(stopAfterMs, job, [job, &sinceStop] {
            sinceStop.start();
            job->stop();
        });
    }
    loop.exec();
    if (sinceStop.isValid())
        render.stopMs = sinceStop.elapsed();
    render.result = job->result();
    delete job;
    return render;
}

ProcessRender renderInProcess(const QString &stdlib, const QString &painting, int step)
{
    RenderRequest request;
    request.stdlibText = stdlib;
    request.paintingText = painting;
    request.step = step;
    return renderInProcess(request);
}

namespace {

// The state and parent of a process, from /proc: false when it is gone.
bool readStat(qint64 process, char *state, qint64 *parent)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(process));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    // pid (name) state ppid ...: the name may hold spaces, so count from its end.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 2 || fields.at(0).isEmpty())
        return false;
    *state = fields.at(0).at(0);
    *parent = fields.at(1).toLongLong();
    return true;
}

} // namespace

QList<qint64> runningChildren(qint64 parent)
{
    QList<qint64> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool isNumber = false;
        const qint64 process = entry.toLongLong(&isNumber);
        char state = 0;
        qint64 itsParent = 0;
        if (isNumber && readStat(process, &state, &itsParent) && itsParent == parent && state != 'Z')
            children << process;
    }
    return children;
}

bool isRunning(qint64 process)
{
    char state = 0;
    qint64 parent = 0;
    return readStat(process, &state, &parent) && state != 'Z';
}
