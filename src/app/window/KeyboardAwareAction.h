#pragma once

#include <QAction>

// An action that knows whether its current trigger came from its keyboard shortcut or from a click.
class KeyboardAwareAction : public QAction
{
    Q_OBJECT

public:
    using QAction::QAction;

    // True only while `triggered` is being delivered for a shortcut press.
    bool isTriggeredByKeyboard() const { return m_byKeyboard; }

protected:
    bool event(QEvent *event) override;

private:
    bool m_byKeyboard = false;
};
