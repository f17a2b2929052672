#pragma once

#include "PDMonthDateRange.h"
#include "PDMonthYearRange.h"
#include "PDSyncServiceBackend.h"
#include "PDTmpSyncFile.h"
#include "store/ObjectId.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class ActivityHashItem;
class Context;
struct PdError;
class PdSettings;
struct SyncActivityRecord;

// One sync run: merges the remote files that changed into the store and writes back the months that
// changed here. Made for one run and dropped afterwards.
//
// The run works in its own private store context on a worker thread of its own, one step at a time:
// every step is posted to that thread and ends by starting the next one, directly or from a backend
// completion (which may arrive on any thread and is posted back). Any error ends the chain. Observers
// connect to the four signals, which are always emitted on the thread that owns this object (the main
// thread); connections go away with their receivers, so observers are held weakly.
class PDSyncService : public QObject
{
    Q_OBJECT

public:
    enum SyncStatus
    {
        NotStarted = 0,
        Running = 1,
        Cancelled = 2, // or a cancel request seen by no step yet
        Failed = 3,
        Completed = 4,
    };

    // `context` must be a private context of the store (ObjectStore::newContext(true)); the run uses
    // it on its worker thread and destroys it with itself. `currentActivityID` is the activity being
    // tracked (null when none): it is never exported. `settings` receives the time of a successful
    // Dropbox sync; it may be null.
    PDSyncService(std::shared_ptr<PDSyncServiceBackend> backend, const ObjectId &currentActivityID,
                  std::unique_ptr<Context> context, PdSettings *settings = nullptr,
                  QObject *parent = nullptr);
    ~PDSyncService() override;

    // "Pendulo/<prefix>-sync" in the user's cache folder (XDG_CACHE_HOME, usually ~/.cache).
    static QString defaultCacheFolder(const QString &cachePrefix);
    QString localCacheFolder() const { return m_localCacheFolder; }
    // Another cache folder (before sync()); several computers in one test process each have one.
    void setLocalCacheFolder(const QString &folder) { m_localCacheFolder = folder; }

    // Starts the run (once).
    void sync();
    // Requests cancellation: a running run stops at the next step that checks; a run that is not
    // running only tells its observers, before this returns.
    void cancel();

    SyncStatus syncStatus() const { return static_cast<SyncStatus>(m_syncStatus.load()); }
    QString currentProgressMessage() const;
    // Every message of the run, one per line.
    QString activityLog() const;
    QStringList activityLogLines() const;
    qint64 syncMethod() const { return m_syncMethod; }

    // Delivered on the owning (main) thread, after the store saves of the run have been announced.
    Q_SIGNAL void syncServiceProgress(PDSyncService *service, const QString &message);
    Q_SIGNAL void syncServiceFinish(PDSyncService *service, const QString &message);
    Q_SIGNAL void syncServiceError(PDSyncService *service, const QString &title);
    Q_SIGNAL void syncServiceCancelled(PDSyncService *service);

private:
    struct Gate;

    // Reporting.
    void logMessage(const QString &message);
    void delegateNotifyProgress(const QString &message);
    void delegateNotifyError(const QString &title, const QString &details);
    void reportError(const QString &details)
    {
        delegateNotifyError(QStringLiteral("Error occurred"), details);
    }
    void reportStorageError(const QString &format, const PdError &error);
    void delegateNotifyCanceled();
    bool returnAndCancel();
    bool saveMOC();
    void emitOnOwnerThread(std::function<void()> emission);

    // Runs a function as the next step on the worker thread (from any thread); dropped once the run is
    // gone. Completions capture a poster, never the run itself.
    using Poster = std::function<void(std::function<void()>)>;
    Poster poster() const;
    void post(std::function<void()> step) const;

    // Fetch and merge.
    void startRun();
    bool prepareLocalCache();
    bool ensureCacheFiles();
    std::optional<QList<PDTmpSyncFile>> getAllSyncFiles();
    void fetchChanges();
    void fetchedChanges(const std::optional<QList<PDTmpSyncFile>> &files, bool fullFetch);
    bool processRemoteChanges(const std::optional<QList<PDTmpSyncFile>> &files, bool fullFetch,
                              std::optional<PDTmpSyncFile> *deletedIndex);
    void mergeNextFile();
    void downloadedMonthFile(const PDTmpSyncFile &file, bool exists);
    bool mergeJSONFile(PDTmpSyncFile file, const QString &path);
    bool applyMonthFile(const QList<SyncActivityRecord> &records, QList<ActivityHashItem> *hashItems);

    // Deleted activities.
    void fetchDeletedActivities(std::optional<PDTmpSyncFile> remote);
    std::optional<bool> shouldFetchDeletedActivities(std::optional<PDTmpSyncFile> &remote);
    void mergeDeletedActivitiesJSON(PDTmpSyncFile remote, const QString &path);
    bool takeOverTombstones(const QList<ActivityHashItem> &entries);
    bool applyTombstones();
    std::optional<PDTmpSyncFile> getDeletedSyncFile();
    bool shouldUploadDeletedFile(std::optional<PDTmpSyncFile> *file, QString *path,
                                 QList<ObjectId> *uploadedTombstones);
    void uploadedDeletedFile(const PDTmpSyncFile &file, const QString &newRevisionValue,
                             const QList<ObjectId> &uploadedTombstones);

    // Export, upload and clean-up.
    void uploadChanges();
    void uploadActivities();
    void exportNextFile();
    void uploadedMonthFile(const PDMonthDateRange &month, const QString &hash,
                           const QString &newRevisionValue);
    void deletedEmptyMonth(const PDTmpSyncFile &file);
    void cleanupFiles();
    void cleanupNextFile();
    void cleanedUpFile(const PDTmpSyncFile &file);
    void delegateNotifySuccess();
    void cleanupCachesDir();

    QString cachePath(const QString &fileName) const;

    std::shared_ptr<PDSyncServiceBackend> m_syncBackend;
    ObjectId m_currentActivityID;
    std::unique_ptr<Context> m_context;
    QPointer<PdSettings> m_settings;
    qint64 m_syncMethod = 0;
    QString m_localCacheFolder;

    std::atomic<int> m_syncStatus = NotStarted;
    mutable QMutex m_reportMutex;
    QString m_currentProgressMessage;
    QStringList m_activityLog;

    QThread m_thread;
    std::unique_ptr<QObject> m_worker;
    std::shared_ptr<Gate> m_gate;

    // Worker thread only.
    bool m_ended = false;
    QList<PDTmpSyncFile> m_filesToMerge;
    QList<PDTmpSyncFile> m_storeFileCacheAfterMerge;
    PDMonthYearRange m_exportRange;
    PDMonthDateRange m_currentMonth;
    QList<PDTmpSyncFile> m_filesToCleanup;
};
