#include "linux/WindowAttention.h"

#include <QApplication>

WindowAttention::WindowAttention(QWidget *window)
    : m_window(window)
{}

qint64 WindowAttention::requestAttention()
{
    if (!m_window)
        return -1;
    QApplication::alert(m_window, 0);
    return ++m_lastRequest;
}

void WindowAttention::cancelAttentionRequest(qint64 request)
{
    Q_UNUSED(request);
}
