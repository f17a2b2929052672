#pragma once

#include "store/ObjectId.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class Clock;
class Context;
class PDSyncService;
class PDSyncServiceBackend;
class PdSettings;
class QThread;
class QTimer;

// Decides when sync runs happen and starts at most one at a time: on command (startSync) or by a
// one-shot timer that follows the user's sync interval ("dropboxSyncInterval"). Observers learn of every
// change of the current run through syncOperationChanged(). Main thread only.
class PDSyncManager : public QObject
{
    Q_OBJECT

public:
    // What the manager tells of its run.
    enum Status
    {
        Cancelled = 1,
        Started = 2,
        Finished = 3,
        Failed = 4,
    };

    struct Dependencies
    {
        // A new store context for a run: a private context of its own directly on the shared store.
        std::function<std::unique_ptr<Context>()> makeContext;
        // A new backend for a run of the configured method (the Dropbox backend in the application).
        std::function<std::shared_ptr<PDSyncServiceBackend>()> makeBackend;
        // The activity being tracked, never exported by a run; unset or null when none.
        std::function<ObjectId()> currentActivityID;
        // The local cache folder of the runs; empty for the default in the user's cache folder.
        QString cacheFolder;
    };

    PDSyncManager(PdSettings &settings, Clock &clock, Dependencies dependencies, QObject *parent = nullptr);
    ~PDSyncManager() override;

    // Starts a run now, unless one is going or the sync method is not Dropbox.
    void startSync();
    // (Re)schedules the automatic run: the rest of the sync interval since the last run, plus `delay`
    // seconds. Nothing when the method is "don't sync" or the interval is "Manually".
    void enqueueNextSyncWithDelay(double delay);
    void cancelScheduledSync();
    // When the scheduled run is due; nothing when none is scheduled.
    std::optional<QDateTime> nextAutoSyncTime() const;
    // The run in progress, or null.
    PDSyncService *currentSyncService() const { return m_currentSyncService.get(); }

    // The wait in seconds before the next automatic run: what remains of the interval's period since
    // the last run (nothing when that lies in the future or more than a period back), plus the delay.
    static double getNextSyncIntervalWithLastSyncTime(const QDateTime &lastSyncTime, int syncInterval,
                                                      double delay, const QDateTime &now);
    // The period of a sync interval setting in seconds (0 for "Manually" and unknown values).
    static qint64 syncIntervalPeriod(int syncInterval);

Q_SIGNALS:
    // A change of the run `service`: started, finished, failed or cancelled. The run is still readable
    // while this is delivered; after an end it is no longer the current run.
    void syncOperationChanged(PDSyncManager *manager, int status, PDSyncService *service);

private:
    void runFinished(PDSyncService *service);
    void runFailed(PDSyncService *service);
    void runCancelled(PDSyncService *service);
    // Forgets the run, records the end and schedules the next automatic run.
    void syncFinished();

    PdSettings &m_settings;
    Clock &m_clock;
    Dependencies m_dependencies;
    QThread *m_syncQueue = nullptr;
    QObject *m_syncQueueWorker = nullptr;
    std::shared_ptr<PDSyncService> m_currentSyncService;
    QTimer *m_nextSyncTimer = nullptr;
    QDateTime m_nextSyncTime;
};
