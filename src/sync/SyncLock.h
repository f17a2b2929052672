#pragma once

#include <QLockFile>
#include <QString>

// Keeps two programs from syncing one store at the same time: the lock file "sync.lock" in the
// store's folder. The desktop program holds it while it runs; `pendulo sync` takes it for its run and
// refuses to start while another program holds it. A lock left by a process that has ended is taken
// over; a live holder's lock never goes stale, however long it has been held.
class SyncLock
{
public:
    explicit SyncLock(const QString &storeFolder);

    static QString lockFilePath(const QString &storeFolder);

    // Takes the lock without waiting. False when another process (or another SyncLock) holds it.
    bool tryLock();
    void unlock();
    bool isLocked() const { return m_lock.isLocked(); }
    // The process holding the lock, or 0 when unknown.
    qint64 holderProcessId() const;

private:
    QString m_path;
    QLockFile m_lock;
};
