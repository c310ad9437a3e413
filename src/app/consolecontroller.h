#ifndef CONSOLECONTROLLER_H
#define CONSOLECONTROLLER_H

#include "core/renderresult.h"

#include <QObject>
#include <QPoint>
#include <QString>

class ConsolePanel;
class QAction;

// What the console panel shows, and when: the lines of the latest render shown in the window
// with the failure that ended it, or what an inspected pixel did. It opens by itself when a
// render prints or fails, unless the user hid it during this run; showAction, the checkable
// "Show Console", shows or hides it.
class ConsoleController : public QObject
{
    Q_OBJECT

public:
    ConsoleController(ConsolePanel *panel, QAction *showAction, QObject *parent = nullptr);

    // Replaces what the panel shows with what a render printed and, when it failed, failure.
    void showRender(const ConsoleLines &lines, const QString &failure);
    // Replaces what the panel shows with what the pixel at place, in painting units, did when
    // rendered alone: result, or failure when it failed.
    void showInspection(QPoint place, const RenderResult &result, const QString &failure);

private:
    void showByUser(bool shown);
    void setShown(bool shown);
    void appendLines(const ConsoleLines &lines);

    ConsolePanel *panel;
    QAction *showAction;
    bool hiddenByUser = false;
};

#endif // CONSOLECONTROLLER_H
