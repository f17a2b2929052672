#include "SyncLock.h"

#include <QDir>
#include <QFileInfo>

SyncLock::SyncLock(const QString &storeFolder)
    : m_path(lockFilePath(storeFolder))
    , m_lock(m_path)
{
    m_lock.setStaleLockTime(0);
}

QString SyncLock::lockFilePath(const QString &storeFolder)
{
    return QDir(storeFolder).filePath(QStringLiteral("sync.lock"));
}

bool SyncLock::tryLock()
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    return m_lock.tryLock(0);
}

void SyncLock::unlock()
{
    m_lock.unlock();
}

qint64 SyncLock::holderProcessId() const
{
    qint64 pid = 0;
    QString hostname;
    QString application;
    return m_lock.getLockInfo(&pid, &hostname, &application) ? pid : 0;
}
