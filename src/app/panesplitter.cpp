#include "app/panesplitter.h"

#include <QChildEvent>
#include <QEvent>

PaneSplitter::PaneSplitter(Qt::Orientation orientation, QWidget *parent)
    : QSplitter(orientation, parent)
{
}

void PaneSplitter::childEvent(QChildEvent *event)
{
    QSplitter::childEvent(event);
    if (event->added() && event->child()->isWidgetType())
        event->child()->installEventFilter(this);
    if (event->added() || event->removed())
        followWidgets();
}

// Only a widget shown or hidden by a call of its own counts: the pane's own hiding hides them
// all alike.
bool PaneSplitter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent)
        followWidgets();
    return QSplitter::eventFilter(watched, event);
}

void PaneSplitter::followWidgets()
{
    bool anyShown = false;
    for (int i = 0; i < count(); ++i)
        anyShown = anyShown || !widget(i)->isHidden();
    setVisible(anyShown);
}
