#pragma once

#include "PDSyncManager.h"
#include "SyncLock.h"
#include "controller/SyncScheduler.h"

#include <QHash>
#include <QPointer>

#include <functional>

class PDSyncService;

// The desktop program's sync: a PDSyncManager whose runs the controller sees through the
// SyncScheduler seam, numbered from 1. It holds the store's sync lock from construction to
// destruction, so `pendulo sync` refuses while the program runs. When another program holds the lock
// (a `pendulo sync` run), runs are skipped and reported as failed until the lock can be taken.
class DesktopSyncScheduler final : public SyncScheduler
{
    Q_OBJECT

public:
    // Shows a short message to the user (a message box in the program).
    using Inform = std::function<void(const QString &title, const QString &text)>;

    DesktopSyncScheduler(PdSettings &settings, Clock &clock, PDSyncManager::Dependencies dependencies,
                         const QString &storeFolder, QObject *parent = nullptr);
    ~DesktopSyncScheduler() override;

    void setInform(Inform inform) { m_inform = std::move(inform); }

    void enqueueNextSyncWithDelay(double seconds) override;
    // A sync the user asked for: when the lock is taken elsewhere, the user is told why nothing runs.
    void startSync() override;
    void showSyncStatus(quint64 run) override;
    bool isRunning(quint64 run) const override;

    bool holdsLock() const { return m_lock.isLocked(); }
    PDSyncManager &manager() { return m_manager; }
    // What the last run reported: its final progress line, or why it failed or was skipped.
    QString lastMessage() const { return m_lastMessage; }

    // "Another Pendulo program (process N) is syncing this store. ..."
    static QString lockedMessage(qint64 holderProcessId);

private:
    PDSyncManager::Dependencies lockedDependencies(PDSyncManager::Dependencies dependencies);
    // Takes the lock when it is free (again); false, with the reason recorded, when it is not.
    bool ensureLock();
    void reportSkippedRun();
    void onSyncOperationChanged(int status, PDSyncService *service);

    PdSettings &m_settings;
    SyncLock m_lock;
    PDSyncManager m_manager;
    Inform m_inform;
    bool m_skipped = false;
    quint64 m_lastRun = 0;
    quint64 m_currentRun = 0;
    QString m_lastMessage;
};
