#include "PDSyncServiceBackend.h"

void PDSyncServiceBackend::setErrorHandler(MessageHandler handler)
{
    QMutexLocker lock(&m_mutex);
    m_errorHandler = std::move(handler);
}

void PDSyncServiceBackend::setProgressHandler(MessageHandler handler)
{
    QMutexLocker lock(&m_mutex);
    m_progressHandler = std::move(handler);
}

void PDSyncServiceBackend::setActivityLogHandler(MessageHandler handler)
{
    QMutexLocker lock(&m_mutex);
    m_activityLogHandler = std::move(handler);
}

PDSyncServiceBackend::MessageHandler PDSyncServiceBackend::handler(const MessageHandler &which) const
{
    QMutexLocker lock(&m_mutex);
    return which;
}

void PDSyncServiceBackend::reportError(const QString &message) const
{
    if (const MessageHandler call = handler(m_errorHandler))
        call(message);
}

void PDSyncServiceBackend::reportProgress(const QString &message) const
{
    if (const MessageHandler call = handler(m_progressHandler))
        call(message);
}

void PDSyncServiceBackend::reportActivityLog(const QString &message) const
{
    if (const MessageHandler call = handler(m_activityLogHandler))
        call(message);
}
