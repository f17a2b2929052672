#include "window/KeyboardAwareAction.h"

#include <QEvent>

bool KeyboardAwareAction::event(QEvent *event)
{
    if (event->type() != QEvent::Shortcut)
        return QAction::event(event);
    m_byKeyboard = true;
    const bool handled = QAction::event(event);
    m_byKeyboard = false;
    return handled;
}
