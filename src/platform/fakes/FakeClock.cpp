#include "FakeClock.h"

#include <QMutexLocker>

FakeClock::FakeClock(const QDateTime &start)
    : m_now(start)
{
}

QDateTime FakeClock::now() const
{
    QMutexLocker lock(&m_mutex);
    return m_now;
}

void FakeClock::setNow(const QDateTime &moment)
{
    QMutexLocker lock(&m_mutex);
    m_now = moment;
}

void FakeClock::advance(qint64 milliseconds)
{
    QMutexLocker lock(&m_mutex);
    m_now = m_now.addMSecs(milliseconds);
}
