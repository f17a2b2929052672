#include "controller/DesktopSyncScheduler.h"

#include "PDSyncService.h"
#include "PDSyncServiceBackend.h"
#include "PdSettings.h"

#include <QLoggingCategory>
#include <QTimer>

Q_DECLARE_LOGGING_CATEGORY(lcAppController)

DesktopSyncScheduler::DesktopSyncScheduler(PdSettings &settings, Clock &clock,
                                           PDSyncManager::Dependencies dependencies,
                                           const QString &storeFolder, QObject *parent)
    : SyncScheduler(parent)
    , m_settings(settings)
    , m_lock(storeFolder)
    , m_manager(settings, clock, lockedDependencies(std::move(dependencies)))
{
    if (!ensureLock())
        qCWarning(lcAppController, "%s", qUtf8Printable(m_lastMessage));
    connect(&m_manager, &PDSyncManager::syncOperationChanged, this,
            [this](PDSyncManager *, int status, PDSyncService *service) {
                onSyncOperationChanged(status, service);
            });
}

DesktopSyncScheduler::~DesktopSyncScheduler()
{
    m_manager.cancelScheduledSync();
    m_lock.unlock();
}

PDSyncManager::Dependencies DesktopSyncScheduler::lockedDependencies(PDSyncManager::Dependencies dependencies)
{
    // Every run, scheduled or asked for, first needs the lock.
    auto makeBackend = std::move(dependencies.makeBackend);
    dependencies.makeBackend = [this, makeBackend]() -> std::shared_ptr<PDSyncServiceBackend> {
        if (ensureLock())
            return makeBackend ? makeBackend() : nullptr;
        if (!m_skipped) {
            m_skipped = true;
            QTimer::singleShot(0, this, &DesktopSyncScheduler::reportSkippedRun);
        }
        return nullptr;
    };
    return dependencies;
}

QString DesktopSyncScheduler::lockedMessage(qint64 holderProcessId)
{
    const QString holder = holderProcessId ? tr(" (process %1)").arg(holderProcessId) : QString();
    return tr("Another Pendulo program%1 is syncing this store. Pendulo syncs again once it has "
              "finished.")
        .arg(holder);
}

bool DesktopSyncScheduler::ensureLock()
{
    if (m_lock.isLocked() || m_lock.tryLock())
        return true;
    m_lastMessage = lockedMessage(m_lock.holderProcessId());
    return false;
}

void DesktopSyncScheduler::enqueueNextSyncWithDelay(double seconds)
{
    m_manager.enqueueNextSyncWithDelay(seconds);
}

void DesktopSyncScheduler::startSync()
{
    m_manager.startSync();
    if (!m_skipped)
        return;
    if (m_inform)
        m_inform(tr("Sync"), m_lastMessage);
}

void DesktopSyncScheduler::reportSkippedRun()
{
    m_skipped = false;
    qCWarning(lcAppController, "Sync skipped: %s", qUtf8Printable(m_lastMessage));
    Q_EMIT syncOperationChanged(PDSyncManager::Failed, m_settings.syncMethod(), ++m_lastRun);
    // The manager schedules the next run only after a run; try again after another interval.
    m_manager.enqueueNextSyncWithDelay(
        double(PDSyncManager::syncIntervalPeriod(m_settings.dropboxSyncInterval())));
}

void DesktopSyncScheduler::onSyncOperationChanged(int status, PDSyncService *service)
{
    if (status == PDSyncManager::Started)
        m_currentRun = ++m_lastRun;
    else if (status == PDSyncManager::Finished)
        m_lastMessage = service ? service->currentProgressMessage() : QString();
    else if (status == PDSyncManager::Failed)
        m_lastMessage = service ? service->currentProgressMessage() : tr("The sync failed.");
    const int method = service ? int(service->syncMethod()) : m_settings.syncMethod();
    const quint64 run = m_currentRun;
    if (status != PDSyncManager::Started)
        m_currentRun = 0;
    Q_EMIT syncOperationChanged(unsigned(status), method, run);
}

void DesktopSyncScheduler::showSyncStatus(quint64 run)
{
    // No status window yet: the last run's outcome in a short message.
    if (run != m_lastRun)
        return;
    if (m_inform && !m_lastMessage.isEmpty())
        m_inform(tr("Sync"), m_lastMessage);
}

bool DesktopSyncScheduler::isRunning(quint64 run) const
{
    return run != 0 && run == m_currentRun && m_manager.currentSyncService() != nullptr;
}
