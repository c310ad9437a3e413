#include "render/renderinputguard.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>

RenderInputGuard::RenderInputGuard()
{
    QCoreApplication::instance()->installEventFilter(this);
}

RenderInputGuard::~RenderInputGuard()
{
    QCoreApplication::instance()->removeEventFilter(this);
}

bool RenderInputGuard::eventFilter(QObject *, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape)
            stopWanted = true;
        return true;
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::Close:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    default:
        return false;
    }
}
