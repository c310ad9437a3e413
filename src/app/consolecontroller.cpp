#include "app/consolecontroller.h"

#include "app/consolepanel.h"

#include <QAction>
#include <QColor>

ConsoleController::ConsoleController(ConsolePanel *consolePanel, QAction *action, QObject *parent)
    : QObject(parent)
    , panel(consolePanel)
    , showAction(action)
{
    showAction->setCheckable(true);
    showAction->setChecked(!panel->isHidden());
    // triggered, unlike toggled, comes only from the user.
    connect(showAction, &QAction::triggered, this, &ConsoleController::showByUser);
}

void ConsoleController::showRender(const ConsoleLines &lines, const QString &failure)
{
    panel->clearLines();
    appendLines(lines);
    if (!failure.isEmpty())
        panel->appendFailure(failure);
    if ((!lines.isEmpty() || !failure.isEmpty()) && !hiddenByUser)
        setShown(true);
}

void ConsoleController::showInspection(QPoint place, const RenderResult &result,
                                       const QString &failure)
{
    panel->clearLines();
    panel->appendNote(tr("Pixel x %1, y %2, rendered alone: both scripts ran afresh for it.")
                          .arg(place.x())
                          .arg(place.y()));
    panel->appendNote(tr("A painting that keeps state from pixel to pixel may give another value "
                         "in the full render."));
    appendLines(result.console);
    if (!failure.isEmpty()) {
        panel->appendFailure(failure);
    } else if (result.channelValues.size() == 3) {
        const QRgb colour = result.pixelColour;
        panel->appendText(tr("r = %1, g = %2, b = %3, which become %4, %5, %6 (%7)")
                              .arg(result.channelValues.at(0), result.channelValues.at(1),
                                   result.channelValues.at(2))
                              .arg(qRed(colour))
                              .arg(qGreen(colour))
                              .arg(qBlue(colour))
                              .arg(QColor(colour).name().toUpper()));
    }
    if (!hiddenByUser)
        setShown(true);
}

void ConsoleController::appendLines(const ConsoleLines &lines)
{
    panel->appendLines(lines.lines);
    panel->appendDropped(lines.dropped);
}

void ConsoleController::showByUser(bool shown)
{
    if (!shown)
        hiddenByUser = true;
    setShown(shown);
}

void ConsoleController::setShown(bool shown)
{
    panel->setVisible(shown);
    showAction->setChecked(shown);
}
