#pragma once

#include "Attention.h"

#include <QPointer>
#include <QWidget>

// Marks the main window as needing attention (the urgency hint; the taskbar entry flashes) until the
// user activates it. Native Wayland with Qt 6.4 ignores the request; the reminder notification covers it.
class WindowAttention final : public Attention
{
public:
    explicit WindowAttention(QWidget *window);

    qint64 requestAttention() override;
    // The desktop clears the hint when the window is activated; an open request is only forgotten.
    void cancelAttentionRequest(qint64 request) override;

private:
    QPointer<QWidget> m_window;
    qint64 m_lastRequest = 0;
};
