#ifndef PIXELPROBE_H
#define PIXELPROBE_H

#include "app/rendercontroller.h"

#include <QObject>
#include <QPoint>
#include <QString>

class RenderClient;
class RenderJob;

// Renders one pixel of the painting alone, in a renderer of its own that waits started ahead,
// to tell what the painting's render() call did there.
class PixelProbe : public QObject
{
    Q_OBJECT

public:
    explicit PixelProbe(QObject *parent = nullptr);

    // Starts the renderer that the first inspection takes; later ones start by themselves.
    void prepare();
    // Renders the pixel at place, in painting units, with the scripts and step of task, in
    // place of an inspection still running.
    void inspect(const RenderTask &task, QPoint place);

signals:
    // failure: the failureReport() of result, empty when the pixel was rendered.
    void inspected(QPoint place, const RenderResult &result, const QString &failure);

private:
    void jobFinished(const RenderTask &task, QPoint place);

    RenderClient *client;
    RenderJob *job = nullptr;
    bool prepared = false;
};

#endif // PIXELPROBE_H
