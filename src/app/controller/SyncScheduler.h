#pragma once

#include <QObject>

// The sync manager as the application controller sees it: schedules runs, starts one on request and
// reports each run's progress. Statuses: 1 cancelled, 2 started, 3 finished, 4 failed.
class SyncScheduler : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual void enqueueNextSyncWithDelay(double seconds) = 0;
    virtual void startSync() = 0;
    // Opens the status window of the run with this number.
    virtual void showSyncStatus(quint64 run) = 0;
    // Whether the run with this number is still going.
    virtual bool isRunning(quint64 run) const = 0;

Q_SIGNALS:
    // `run` numbers the runs; `syncMethod` is the run's method (0 when there is none).
    void syncOperationChanged(unsigned status, int syncMethod, quint64 run);
};
