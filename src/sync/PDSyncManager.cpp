#include "PDSyncManager.h"

#include "PDSyncService.h"
#include "PDSyncServiceBackend.h"
#include "SyncLog.h"

#include "Clock.h"
#include "PdSettings.h"
#include "store/Context.h"

#include <QThread>
#include <QTimer>

#include <cmath>

PDSyncManager::PDSyncManager(PdSettings &settings, Clock &clock, Dependencies dependencies, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_clock(clock)
    , m_dependencies(std::move(dependencies))
{}

PDSyncManager::~PDSyncManager()
{
    cancelScheduledSync();
    if (m_currentSyncService) {
        disconnect(m_currentSyncService.get(), nullptr, this, nullptr);
        m_currentSyncService->cancel();
    }
    if (m_syncQueue) {
        m_syncQueue->quit();
        m_syncQueue->wait();
        delete m_syncQueueWorker;
        delete m_syncQueue;
    }
    m_currentSyncService.reset();
}

qint64 PDSyncManager::syncIntervalPeriod(int syncInterval)
{
    switch (syncInterval) {
    case 1:
        return 900;
    case 2:
        return 1800;
    case 3:
        return 3600;
    default:
        return 0;
    }
}

double PDSyncManager::getNextSyncIntervalWithLastSyncTime(const QDateTime &lastSyncTime, int syncInterval,
                                                          double delay, const QDateTime &now)
{
    double wait = 0;
    const qint64 period = syncIntervalPeriod(syncInterval);
    if (lastSyncTime.isValid() && period > 0) {
        const double elapsed = double(lastSyncTime.msecsTo(now)) / 1000.0;
        if (elapsed >= 0 && elapsed <= double(period))
            wait = std::max(0.0, double(period) - elapsed);
    }
    if (delay > 0)
        wait += delay;
    return wait;
}

void PDSyncManager::startSync()
{
    if (m_currentSyncService)
        return;
    if (!m_syncQueue) {
        m_syncQueue = new QThread;
        m_syncQueue->setObjectName(QStringLiteral("com.penduloapp.SyncQueue"));
        m_syncQueueWorker = new QObject;
        m_syncQueueWorker->moveToThread(m_syncQueue);
        m_syncQueue->start();
    }
    if (m_settings.syncMethod() != PdSettings::SyncDropbox)
        return;

    std::shared_ptr<PDSyncServiceBackend> backend = m_dependencies.makeBackend();
    std::unique_ptr<Context> context = m_dependencies.makeContext ? m_dependencies.makeContext() : nullptr;
    if (!backend || !context) {
        qCWarning(lcSync) << "No sync run: the backend or the store is not available";
        return;
    }
    const ObjectId current =
        m_dependencies.currentActivityID ? m_dependencies.currentActivityID() : ObjectId();
    // The run reports the sync date through this manager, so it gets no settings of its own. It is
    // deleted on this thread once both this manager and the queue have let go of it.
    auto *run = new PDSyncService(std::move(backend), current, std::move(context));
    m_currentSyncService =
        std::shared_ptr<PDSyncService>(run, [](PDSyncService *service) { service->deleteLater(); });
    if (!m_dependencies.cacheFolder.isEmpty())
        run->setLocalCacheFolder(m_dependencies.cacheFolder);

    connect(run, &PDSyncService::syncServiceFinish, this,
            [this](PDSyncService *service) { runFinished(service); });
    connect(run, &PDSyncService::syncServiceError, this,
            [this](PDSyncService *service) { runFailed(service); });
    connect(run, &PDSyncService::syncServiceCancelled, this,
            [this](PDSyncService *service) { runCancelled(service); });

    Q_EMIT syncOperationChanged(this, Started, run);
    QMetaObject::invokeMethod(
        m_syncQueueWorker, [service = m_currentSyncService] { service->sync(); }, Qt::QueuedConnection);
}

void PDSyncManager::runFinished(PDSyncService *service)
{
    if (service != m_currentSyncService.get())
        return;
    m_settings.setDropboxSyncDate(m_clock.now());
    const std::shared_ptr<PDSyncService> keep = m_currentSyncService;
    syncFinished();
    Q_EMIT syncOperationChanged(this, Finished, service);
}

void PDSyncManager::runFailed(PDSyncService *service)
{
    if (service != m_currentSyncService.get())
        return;
    const std::shared_ptr<PDSyncService> keep = m_currentSyncService;
    syncFinished();
    Q_EMIT syncOperationChanged(this, Failed, service);
}

void PDSyncManager::runCancelled(PDSyncService *service)
{
    if (service != m_currentSyncService.get())
        return;
    const std::shared_ptr<PDSyncService> keep = m_currentSyncService;
    syncFinished();
    Q_EMIT syncOperationChanged(this, Cancelled, service);
}

void PDSyncManager::syncFinished()
{
    disconnect(m_currentSyncService.get(), nullptr, this, nullptr);
    m_currentSyncService.reset();
    cancelScheduledSync();
    m_settings.setLastSyncTime(m_clock.now());
    enqueueNextSyncWithDelay(0);
}

void PDSyncManager::enqueueNextSyncWithDelay(double delay)
{
    if (m_settings.syncMethod() == PdSettings::SyncNone)
        return;
    cancelScheduledSync();
    const int interval = m_settings.dropboxSyncInterval();
    if (syncIntervalPeriod(interval) == 0)
        return;
    const QDateTime now = m_clock.now();
    const double wait = getNextSyncIntervalWithLastSyncTime(m_settings.lastSyncTime(), interval, delay, now);
    if (wait <= 0) {
        startSync();
        return;
    }
    const qint64 milliseconds = qint64(std::ceil(wait * 1000.0));
    m_nextSyncTime = now.addMSecs(milliseconds);
    m_nextSyncTimer = new QTimer(this);
    m_nextSyncTimer->setSingleShot(true);
    connect(m_nextSyncTimer, &QTimer::timeout, this, [this] {
        cancelScheduledSync();
        startSync();
    });
    m_nextSyncTimer->start(std::chrono::milliseconds(milliseconds));
}

void PDSyncManager::cancelScheduledSync()
{
    if (!m_nextSyncTimer)
        return;
    m_nextSyncTimer->stop();
    m_nextSyncTimer->deleteLater();
    m_nextSyncTimer = nullptr;
    m_nextSyncTime = QDateTime();
}

std::optional<QDateTime> PDSyncManager::nextAutoSyncTime() const
{
    if (!m_nextSyncTimer || !m_nextSyncTimer->isActive())
        return std::nullopt;
    return m_nextSyncTime;
}
