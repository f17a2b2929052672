#include "PDSyncService.h"

#include "ActivityHashItem.h"
#include "SyncJson.h"
#include "SyncLog.h"

#include "Activity.h"
#include "DateHelpers.h"
#include "DeletedActivity.h"
#include "PDSyncFile.h"
#include "PdSettings.h"
#include "store/Context.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QStandardPaths>

#include <algorithm>

namespace {

const QString deletedIndexName = QStringLiteral("deleted");
// Uids looked up in one query while merging a month file.
constexpr qsizetype uidsPerQuery = 400;

QString placeholders(qsizetype count)
{
    QString list;
    list.reserve(count * 2);
    for (qsizetype i = 0; i < count; ++i)
        list.append(i == 0 ? QStringLiteral("?") : QStringLiteral(",?"));
    return list;
}

// The end of a month for queries: the first moment of the next month. The month's last whole second
// (23:59:59) as inclusive bound would leave out an activity starting within that second's fraction.
QDateTime monthEnd(const PDMonthDateRange &month)
{
    return month.dateTo().addSecs(1);
}

void applyRecord(Activity *activity, const SyncActivityRecord &record)
{
    activity->setUid(record.uid);
    activity->setTimeFrom(record.timeFrom);
    activity->setTimeTo(record.timeTo);
    activity->setCreatedAt(record.createdAt);
    activity->setModifiedAt(record.modifiedAt);
    activity->setText(record.text);
    activity->setInvoiced(record.isInvoiced);
}

} // namespace

// Lets completions reach the worker thread only while the run exists.
struct PDSyncService::Gate
{
    QMutex mutex;
    QObject *worker = nullptr;
};

PDSyncService::PDSyncService(std::shared_ptr<PDSyncServiceBackend> backend, const ObjectId &currentActivityID,
                             std::unique_ptr<Context> context, PdSettings *settings, QObject *parent)
    : QObject(parent)
    , m_syncBackend(std::move(backend))
    , m_currentActivityID(currentActivityID)
    , m_context(std::move(context))
    , m_settings(settings)
    , m_syncMethod(m_syncBackend->syncMethod())
    , m_localCacheFolder(defaultCacheFolder(m_syncBackend->cachePrefix()))
    , m_worker(std::make_unique<QObject>())
    , m_gate(std::make_shared<Gate>())
{
    Q_ASSERT(m_context);
    m_activityLog.reserve(50);
    m_thread.setObjectName(QStringLiteral("SyncRun"));
    m_worker->moveToThread(&m_thread);
    m_gate->worker = m_worker.get();

    // The handlers and completions may run on any thread, even after this run is gone: they only
    // post to the worker, through the gate.
    m_syncBackend->setErrorHandler(
        [post = poster(), this](const QString &message) { post([this, message] { reportError(message); }); });
    m_syncBackend->setProgressHandler([post = poster(), this](const QString &message) {
        post([this, message] { delegateNotifyProgress(message); });
    });
    m_syncBackend->setActivityLogHandler(
        [post = poster(), this](const QString &message) { post([this, message] { logMessage(message); }); });
}

PDSyncService::~PDSyncService()
{
    {
        QMutexLocker lock(&m_gate->mutex);
        m_gate->worker = nullptr;
    }
    m_syncBackend->setErrorHandler({});
    m_syncBackend->setProgressHandler({});
    m_syncBackend->setActivityLogHandler({});
    m_thread.quit();
    m_thread.wait();
    m_worker.reset();
    m_context.reset();
}

QString PDSyncService::defaultCacheFolder(const QString &cachePrefix)
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation))
        .filePath(QStringLiteral("Pendulo/%1-sync").arg(cachePrefix));
}

QString PDSyncService::currentProgressMessage() const
{
    QMutexLocker lock(&m_reportMutex);
    return m_currentProgressMessage;
}

QString PDSyncService::activityLog() const
{
    return activityLogLines().join(QLatin1Char('\n'));
}

QStringList PDSyncService::activityLogLines() const
{
    QMutexLocker lock(&m_reportMutex);
    return m_activityLog;
}

PDSyncService::Poster PDSyncService::poster() const
{
    return [gate = m_gate](std::function<void()> step) {
        QMutexLocker lock(&gate->mutex);
        if (gate->worker)
            QMetaObject::invokeMethod(gate->worker, std::move(step), Qt::QueuedConnection);
    };
}

void PDSyncService::post(std::function<void()> step) const
{
    poster()(std::move(step));
}

void PDSyncService::emitOnOwnerThread(std::function<void()> emission)
{
    QMetaObject::invokeMethod(this, std::move(emission), Qt::QueuedConnection);
}

// ---- Reporting ----

void PDSyncService::logMessage(const QString &message)
{
    {
        QMutexLocker lock(&m_reportMutex);
        m_activityLog.append(message);
    }
    qCDebug(lcSync).noquote() << message;
}

void PDSyncService::delegateNotifyProgress(const QString &message)
{
    {
        QMutexLocker lock(&m_reportMutex);
        m_currentProgressMessage = message;
    }
    logMessage(message);
    emitOnOwnerThread([this, message] { Q_EMIT syncServiceProgress(this, message); });
}

void PDSyncService::delegateNotifyError(const QString &title, const QString &details)
{
    {
        QMutexLocker lock(&m_reportMutex);
        m_currentProgressMessage = details;
    }
    logMessage(title);
    if (!details.isNull())
        logMessage(details);
    qCWarning(lcSync).noquote() << "Sync failed:" << details;
    if (m_ended) {
        // A second message about the same failure (for example the file whose merge failed): logged,
        // but observers hear of the failure once.
        return;
    }
    m_ended = true;
    m_syncStatus = Failed;
    emitOnOwnerThread([this, title] { Q_EMIT syncServiceError(this, title); });
}

void PDSyncService::reportStorageError(const QString &format, const PdError &error)
{
    reportError(format.arg(error.description));
}

void PDSyncService::delegateNotifyCanceled()
{
    m_ended = true;
    m_syncStatus = Cancelled;
    const QString message = QStringLiteral("Sync. operation cancelled");
    {
        QMutexLocker lock(&m_reportMutex);
        m_currentProgressMessage = message;
    }
    logMessage(message);
    emitOnOwnerThread([this] { Q_EMIT syncServiceCancelled(this); });
}

bool PDSyncService::returnAndCancel()
{
    if (m_syncStatus != Cancelled)
        return false;
    delegateNotifyCanceled();
    return true;
}

bool PDSyncService::saveMOC()
{
    PdError error;
    if (m_context->save(&error))
        return true;
    reportStorageError(QStringLiteral("Local storage error: %1"), error);
    return false;
}

void PDSyncService::cancel()
{
    logMessage(QStringLiteral("Cancelling sync operation..."));
    int running = Running;
    if (m_syncStatus.compare_exchange_strong(running, Cancelled))
        return;
    if (QThread::currentThread() == thread())
        Q_EMIT syncServiceCancelled(this);
    else
        QMetaObject::invokeMethod(
            this, [this] { Q_EMIT syncServiceCancelled(this); }, Qt::BlockingQueuedConnection);
}

// ---- Start, cache folder, fetch ----

void PDSyncService::sync()
{
    int notStarted = NotStarted;
    if (!m_syncStatus.compare_exchange_strong(notStarted, Running))
        return;
    m_thread.start();
    post([this] { startRun(); });
}

void PDSyncService::startRun()
{
    if (!prepareLocalCache())
        return;
    m_syncBackend->initializeBackend([post = poster(), this] { post([this] { fetchChanges(); }); });
}

bool PDSyncService::prepareLocalCache()
{
    const QFileInfo info(m_localCacheFolder);
    if (info.exists()) {
        if (info.isDir())
            return true;
        reportError(QStringLiteral("Cache path is not a directory: \"%1\"!").arg(m_localCacheFolder));
        return false;
    }
    if (!QDir().mkpath(m_localCacheFolder)) {
        reportError(QStringLiteral("Failed to create caches directory: \"%1\"!").arg(m_localCacheFolder));
        return false;
    }
    return true;
}

QString PDSyncService::cachePath(const QString &fileName) const
{
    return QDir(m_localCacheFolder).filePath(fileName);
}

bool PDSyncService::ensureCacheFiles()
{
    PdError error;
    const QList<PDSyncFile *> records =
        m_context->fetch<PDSyncFile>({QString(), {}, QStringLiteral("name"), -1}, &error);
    if (error) {
        reportStorageError(QStringLiteral("Local storage error: %1"), error);
        return false;
    }
    const QString expectedPrefix = PDTmpSyncFile::revisionPrefix(m_syncMethod);
    qint64 deleted = 0;
    for (PDSyncFile *record : records) {
        if (!record->hasRevisionPrefix(expectedPrefix)) {
            m_context->deleteObject(record);
            ++deleted;
        }
    }
    if (!saveMOC())
        return false;
    qCDebug(lcSync, "Deleted %lld items from cache", static_cast<long long>(deleted));
    return true;
}

std::optional<QList<PDTmpSyncFile>> PDSyncService::getAllSyncFiles()
{
    PdError error;
    const QList<PDSyncFile *> records = m_context->fetch<PDSyncFile>(
        {QStringLiteral("name != ?"), {deletedIndexName}, QStringLiteral("name"), -1}, &error);
    if (error) {
        reportStorageError(QStringLiteral("Local storage error: %1"), error);
        return std::nullopt;
    }
    QList<PDTmpSyncFile> files;
    for (const PDSyncFile *record : records) {
        if (std::optional<PDTmpSyncFile> file = PDTmpSyncFile::fromSyncFile(record, m_syncMethod))
            files.append(*file);
    }
    return files;
}

void PDSyncService::fetchChanges()
{
    if (!ensureCacheFiles())
        return;
    const std::optional<QList<PDTmpSyncFile>> localFiles = getAllSyncFiles();
    if (!localFiles)
        return;
    if (localFiles->isEmpty()) {
        qCDebug(lcSync, "No cached files, clear savepoint for sync backend");
        m_syncBackend->deleteSavepoint();
    }
    m_syncBackend->fetchChangesWithLocalCache(
        *localFiles,
        [post = poster(), this](const std::optional<QList<PDTmpSyncFile>> &files, bool fullFetch) {
            post([this, files, fullFetch] { fetchedChanges(files, fullFetch); });
        });
}

void PDSyncService::fetchedChanges(const std::optional<QList<PDTmpSyncFile>> &files, bool fullFetch)
{
    qCDebug(lcSync, "Fetched: %lld items; Did full fetch: %s",
            static_cast<long long>(files ? files->size() : 0), fullFetch ? "yes" : "no");
    std::optional<PDTmpSyncFile> deletedIndex;
    if (!processRemoteChanges(files, fullFetch, &deletedIndex))
        return;
    fetchDeletedActivities(deletedIndex);
}

bool PDSyncService::processRemoteChanges(const std::optional<QList<PDTmpSyncFile>> &files, bool fullFetch,
                                         std::optional<PDTmpSyncFile> *deletedIndex)
{
    m_filesToMerge.clear();
    if (!files)
        return true;
    bool removedAny = false;
    for (const PDTmpSyncFile &file : *files) {
        if (!file.wasDeleted()) {
            m_filesToMerge.append(file);
            continue;
        }
        PdError error;
        if (!file.remove(*m_context, &error)) {
            reportStorageError(QStringLiteral("Local storage error: %1"), error);
            return false;
        }
        removedAny = true;
    }
    if (removedAny && !saveMOC())
        return false;

    const auto index = std::find_if(m_filesToMerge.begin(), m_filesToMerge.end(),
                                    [](const PDTmpSyncFile &file) { return file.isDeletedIndexFile(); });
    if (index != m_filesToMerge.end()) {
        *deletedIndex = *index;
        m_filesToMerge.erase(index);
    }
    std::stable_sort(m_filesToMerge.begin(), m_filesToMerge.end(),
                     [](const PDTmpSyncFile &a, const PDTmpSyncFile &b) {
                         return std::pair(a.year(), a.month()) < std::pair(b.year(), b.month());
                     });
    if (!fullFetch)
        return true;

    // A full listing names every remote file: records of files that are gone go too.
    PdError error;
    const QList<PDSyncFile *> records =
        m_context->fetch<PDSyncFile>({QString(), {}, QStringLiteral("name"), -1}, &error);
    if (error) {
        reportStorageError(QStringLiteral("Local storage error (3): %1"), error);
        return false;
    }
    for (PDSyncFile *record : records) {
        const bool isDeletedIndex = record->name() == deletedIndexName;
        const std::optional<PDTmpSyncFile> recorded = PDTmpSyncFile::fromSyncFile(record, m_syncMethod);
        const bool listed = std::any_of(files->begin(), files->end(), [&](const PDTmpSyncFile &file) {
            if (file.wasDeleted())
                return false;
            if (isDeletedIndex)
                return file.isDeletedIndexFile();
            return recorded && !file.isDeletedIndexFile() && file.year() == recorded->year() &&
                   file.month() == recorded->month();
        });
        if (listed)
            continue;
        const QString copy = cachePath(record->name() + QStringLiteral(".json"));
        m_context->deleteObject(record);
        QFile::remove(copy);
    }
    return saveMOC();
}

// ---- Month merge ----

void PDSyncService::mergeNextFile()
{
    while (true) {
        if (m_filesToMerge.isEmpty()) {
            uploadChanges();
            return;
        }
        const PDTmpSyncFile file = m_filesToMerge.takeFirst();
        if (returnAndCancel())
            return;
        delegateNotifyProgress(QStringLiteral("Merging data from %1.json").arg(file.name()));
        PdError error;
        const qint64 matching = m_context->count(
            EntityType::SyncFile, QStringLiteral("name = ? AND (revision = ? OR revision = ?)"),
            {file.name(), file.revision(), file.revisionValue()}, &error);
        if (matching < 0) {
            reportStorageError(QStringLiteral("Local storage error (24): %1"), error);
            return;
        }
        if (matching > 0) {
            logMessage(QStringLiteral("Nothing to update, skipping file %1").arg(file.name()));
            continue;
        }
        std::optional<PDTmpSyncFile> expected;
        if (!file.revisionValue().isNull())
            expected = file;
        m_syncBackend->downloadFileWithName(
            file.fileName(), expected, cachePath(file.fileName()),
            [post = poster(), this, file](bool exists) {
                post([this, file, exists] { downloadedMonthFile(file, exists); });
            });
        return;
    }
}

void PDSyncService::downloadedMonthFile(const PDTmpSyncFile &file, bool exists)
{
    if (exists && !mergeJSONFile(file, cachePath(file.fileName()))) {
        reportError(QStringLiteral("Failed to merge data from file: %1").arg(file.name()));
        return;
    }
    mergeNextFile();
}

bool PDSyncService::mergeJSONFile(PDTmpSyncFile file, const QString &path)
{
    const SyncJson::MonthFile content = SyncJson::readMonthFileAt(path);
    if (!content.ok()) {
        reportError(content.error);
        return false;
    }
    QList<ActivityHashItem> hashItems;
    if (!applyMonthFile(content.activities, &hashItems)) {
        m_context->rollback();
        return false;
    }
    PdError error;
    if (!m_context->save(&error)) {
        m_context->rollback();
        reportStorageError(QStringLiteral("Local storage error (25): %1"), error);
        return false;
    }
    file.setActivityHash(ActivityHashItem::hashForItems(hashItems));
    if (!file.store(*m_context, &error) || !m_context->save(&error)) {
        m_context->rollback();
        reportStorageError(QStringLiteral("Local storage error (26): %1"), error);
        return false;
    }
    return true;
}

// Applies the elements in file order; the records of their uids are read a batch at a time.
bool PDSyncService::applyMonthFile(const QList<SyncActivityRecord> &records,
                                   QList<ActivityHashItem> *hashItems)
{
    QHash<QString, QList<DeletedActivity *>> tombstonesByUid;
    QHash<QString, Activity *> activityByUid;
    hashItems->reserve(records.size());
    for (qsizetype start = 0; start < records.size(); start += uidsPerQuery) {
        const qsizetype end = std::min(records.size(), start + uidsPerQuery);
        QVariantList uids;
        for (qsizetype i = start; i < end; ++i)
            uids.append(records.at(i).uid);
        const QString where = QStringLiteral("uid IN (%1)").arg(placeholders(uids.size()));
        PdError error;
        const QList<DeletedActivity *> tombstones =
            m_context->fetch<DeletedActivity>({where, uids, QStringLiteral("id"), -1}, &error);
        if (error) {
            reportError(QStringLiteral("Failed to check if activity is deleted"));
            return false;
        }
        for (DeletedActivity *tombstone : tombstones) {
            QList<DeletedActivity *> &known = tombstonesByUid[tombstone->uid()];
            if (!known.contains(tombstone))
                known.append(tombstone);
        }
        const QList<Activity *> activities =
            m_context->fetch<Activity>({where, uids, QStringLiteral("id"), -1}, &error);
        if (error) {
            reportError(QStringLiteral("Failed to process activity!"));
            return false;
        }
        for (Activity *activity : activities) {
            if (!activityByUid.contains(activity->uid()))
                activityByUid.insert(activity->uid(), activity);
        }

        for (qsizetype i = start; i < end; ++i) {
            const SyncActivityRecord &record = records.at(i);
            bool markedDeleted = false;
            QList<DeletedActivity *> &tombstonesOfUid = tombstonesByUid[record.uid];
            for (auto it = tombstonesOfUid.begin(); it != tombstonesOfUid.end();) {
                if (DateHelpers::compareBySeconds(record.modifiedAt, (*it)->deletedAt()) > 0) {
                    // The edit outranks the deletion.
                    m_context->deleteObject(*it);
                    it = tombstonesOfUid.erase(it);
                } else {
                    markedDeleted = true;
                    ++it;
                }
            }
            if (markedDeleted) {
                qCDebug(lcSync, "Activity (UID: %s) is marked as deleted, skipping",
                        qUtf8Printable(record.uid));
                continue;
            }
            hashItems->append(ActivityHashItem(record.uid, record.modifiedAt));
            if (Activity *local = activityByUid.value(record.uid)) {
                if (DateHelpers::compareBySeconds(local->modifiedAt(), record.modifiedAt) < 0)
                    applyRecord(local, record);
                continue;
            }
            Activity *inserted = m_context->insertActivity();
            applyRecord(inserted, record);
            activityByUid.insert(record.uid, inserted);
        }
    }
    return true;
}

// ---- Deleted activities: download and merge ----

void PDSyncService::fetchDeletedActivities(std::optional<PDTmpSyncFile> remote)
{
    if (returnAndCancel())
        return;
    const std::optional<bool> download = shouldFetchDeletedActivities(remote);
    if (!download)
        return;
    if (!*download) {
        mergeNextFile();
        return;
    }
    const PDTmpSyncFile file = *remote;
    std::optional<PDTmpSyncFile> expected;
    if (!file.revisionValue().isNull())
        expected = file;
    const QString path = cachePath(file.fileName());
    m_syncBackend->downloadFileWithName(file.fileName(), expected, path,
                                        [post = poster(), this, file, path](bool exists) {
                                            post([this, file, path, exists] {
                                                if (exists)
                                                    mergeDeletedActivitiesJSON(file, path);
                                                else
                                                    mergeNextFile();
                                            });
                                        });
}

std::optional<bool> PDSyncService::shouldFetchDeletedActivities(std::optional<PDTmpSyncFile> &remote)
{
    PdError error;
    const QList<PDSyncFile *> records = m_context->fetch<PDSyncFile>(
        {QStringLiteral("name = ?"), {deletedIndexName}, QStringLiteral("id"), -1}, &error);
    if (error) {
        reportStorageError(QStringLiteral("Local storage error (4): %1"), error);
        return std::nullopt;
    }
    bool merged = false;
    if (remote && !records.isEmpty()) {
        const PDSyncFile *record = records.first();
        merged = !remote->revision().isNull() && remote->revision() == record->revision();
        if (merged && remote->activityHash().isNull())
            remote->setActivityHash(record->activityHash());
    }
    const qint64 unsynced =
        m_context->count(EntityType::DeletedActivity, QStringLiteral("is_synced = ?"), {false}, &error);
    if (unsynced < 0) {
        reportStorageError(QStringLiteral("Local storage error (4.1): %1"), error);
        return std::nullopt;
    }
    delegateNotifyProgress(QStringLiteral("Processing deleted activities..."));
    return remote.has_value() && (!merged || unsynced > 0);
}

void PDSyncService::mergeDeletedActivitiesJSON(PDTmpSyncFile remote, const QString &path)
{
    if (returnAndCancel())
        return;
    const SyncJson::DeletedIndex index =
        SyncJson::readDeletedIndexAt(path, [this](const QString &line) { logMessage(line); });
    if (!index.error.isEmpty()) {
        reportError(QStringLiteral("Failed to read deleted items! %1").arg(index.error));
        return;
    }
    if (!takeOverTombstones(index.entries) || !applyTombstones())
        return;
    remote.setActivityHash(ActivityHashItem::hashForItems(index.entries));
    PdError error;
    if (!remote.store(*m_context, &error) || !m_context->save(&error)) {
        m_context->rollback();
        reportStorageError(QStringLiteral("Local storage error (26): %1"), error);
        return;
    }
    mergeNextFile();
}

bool PDSyncService::takeOverTombstones(const QList<ActivityHashItem> &entries)
{
    for (const ActivityHashItem &entry : entries) {
        PdError error;
        const QList<DeletedActivity *> local = m_context->fetch<DeletedActivity>(
            {QStringLiteral("uid = ?"), {entry.uid()}, QStringLiteral("id"), -1}, &error);
        if (error) {
            m_context->rollback();
            reportStorageError(QStringLiteral("Local storage error (7): %1"), error);
            return false;
        }
        bool localIsLater = false;
        for (DeletedActivity *tombstone : local) {
            if (DateHelpers::compareBySeconds(tombstone->deletedAt(), entry.modifiedAt()) > 0)
                localIsLater = true;
            else
                m_context->deleteObject(tombstone);
        }
        if (localIsLater)
            continue;
        const QList<Activity *> activities = m_context->fetch<Activity>(
            {QStringLiteral("uid = ?"), {entry.uid()}, QStringLiteral("id"), -1}, &error);
        if (error) {
            m_context->rollback();
            reportStorageError(QStringLiteral("Local storage error (8): %1"), error);
            return false;
        }
        const bool editedLater =
            std::any_of(activities.begin(), activities.end(), [&](const Activity *activity) {
                return DateHelpers::compareBySeconds(activity->modifiedAt(), entry.modifiedAt()) > 0;
            });
        if (editedLater)
            continue;
        DeletedActivity *tombstone = m_context->insertDeletedActivity();
        tombstone->setUid(entry.uid());
        tombstone->setDeletedAt(entry.modifiedAt());
        tombstone->setSynced(true);
    }
    PdError error;
    if (!m_context->save(&error)) {
        m_context->rollback();
        reportStorageError(QStringLiteral("Local storage error (9): %1"), error);
        return false;
    }
    return true;
}

bool PDSyncService::applyTombstones()
{
    PdError error;
    const QList<DeletedActivity *> tombstones =
        m_context->fetch<DeletedActivity>({QString(), {}, QStringLiteral("id"), -1}, &error);
    if (error) {
        reportStorageError(QStringLiteral("Local storage error (10): %1"), error);
        return false;
    }
    for (DeletedActivity *tombstone : tombstones) {
        const QList<Activity *> activities = m_context->fetch<Activity>(
            {QStringLiteral("uid = ?"), {tombstone->uid()}, QStringLiteral("id"), -1}, &error);
        if (error) {
            m_context->rollback();
            reportStorageError(QStringLiteral("Local storage error (11): %1"), error);
            return false;
        }
        bool outranked = false;
        for (Activity *activity : activities) {
            if (DateHelpers::compareBySeconds(activity->modifiedAt(), tombstone->deletedAt()) > 0)
                outranked = true;
            else
                m_context->deleteObject(activity);
        }
        if (outranked)
            m_context->deleteObject(tombstone);
    }
    if (!m_context->save(&error)) {
        m_context->rollback();
        reportStorageError(QStringLiteral("Local storage error (12): %1"), error);
        return false;
    }
    return true;
}

// ---- Deleted activities: upload ----

std::optional<PDTmpSyncFile> PDSyncService::getDeletedSyncFile()
{
    PdError error;
    const QList<PDSyncFile *> records = m_context->fetch<PDSyncFile>(
        {QStringLiteral("name = ?"), {deletedIndexName}, QStringLiteral("id"), -1}, &error);
    if (error) {
        reportStorageError(QStringLiteral("Local storage error: %1"), error);
        return std::nullopt;
    }
    if (!records.isEmpty()) {
        if (std::optional<PDTmpSyncFile> file = PDTmpSyncFile::fromSyncFile(records.first(), m_syncMethod))
            return file;
    }
    return PDTmpSyncFile::deletedIndexFile(m_syncMethod);
}

bool PDSyncService::shouldUploadDeletedFile(std::optional<PDTmpSyncFile> *file, QString *path,
                                            QList<ObjectId> *uploadedTombstones)
{
    file->reset();
    path->clear();
    PdError error;
    const QList<DeletedActivity *> tombstones =
        m_context->fetch<DeletedActivity>({QString(), {}, QStringLiteral("id"), -1}, &error);
    if (error) {
        reportStorageError(QStringLiteral("Local storage error (13): %1"), error);
        return false;
    }
    QList<ActivityHashItem> items;
    items.reserve(tombstones.size());
    for (const DeletedActivity *tombstone : tombstones)
        items.append(ActivityHashItem(tombstone->uid(), tombstone->deletedAt()));
    const QString hash = ActivityHashItem::hashForItems(items);

    std::optional<PDTmpSyncFile> recorded = getDeletedSyncFile();
    if (!recorded)
        return false;
    if (recorded->activityHash().isNull())
        recorded->setActivityHash(ActivityHashItem::hashForItems({}));
    if (recorded->activityHash() == hash) {
        qCDebug(lcSync, "Deleted activities not changed, not uploading ...");
        return true;
    }
    const QString localPath = cachePath(QStringLiteral("deleted.json"));
    QString description;
    if (!SyncJson::writeFile(localPath, SyncJson::deletedIndexJson(tombstones), &description)) {
        reportError(QStringLiteral("Failed to write data to local deleted.json file: %1").arg(description));
        return false;
    }
    PDTmpSyncFile upload = PDTmpSyncFile::deletedIndexFile(m_syncMethod, recorded->revisionValue());
    upload.setActivityHash(hash);
    *file = upload;
    *path = localPath;
    for (const DeletedActivity *tombstone : tombstones)
        uploadedTombstones->append(tombstone->objectId());
    return true;
}

void PDSyncService::uploadedDeletedFile(const PDTmpSyncFile &file, const QString &newRevisionValue,
                                        const QList<ObjectId> &uploadedTombstones)
{
    PdError error;
    const QList<DeletedActivity *> unsynced = m_context->fetch<DeletedActivity>(
        {QStringLiteral("is_synced = ?"), {false}, QStringLiteral("id"), -1}, &error);
    if (error) {
        reportStorageError(QStringLiteral("Local storage error (15): %1"), error);
        return;
    }
    // Only the tombstones the uploaded file holds: one made here during the upload is still unsynced.
    for (DeletedActivity *tombstone : unsynced) {
        if (uploadedTombstones.contains(tombstone->objectId()))
            tombstone->setSynced(true);
    }
    if (!m_context->save(&error)) {
        m_context->rollback();
        reportStorageError(QStringLiteral("Local storage error (16): %1"), error);
        return;
    }
    PDTmpSyncFile recorded = PDTmpSyncFile::deletedIndexFile(m_syncMethod, newRevisionValue);
    recorded.setActivityHash(file.activityHash());
    if (!recorded.store(*m_context, &error) || !m_context->save(&error)) {
        m_context->rollback();
        reportStorageError(QStringLiteral("Local storage error (17): %1"), error);
        return;
    }
    uploadActivities();
}

// ---- Export and upload ----

void PDSyncService::uploadChanges()
{
    m_syncBackend->saveSavepoint();
    const std::optional<QList<PDTmpSyncFile>> files = getAllSyncFiles();
    if (!files)
        return;
    m_storeFileCacheAfterMerge = *files;
    if (returnAndCancel())
        return;
    std::optional<PDTmpSyncFile> deletedFile;
    QString path;
    QList<ObjectId> uploadedTombstones;
    if (!shouldUploadDeletedFile(&deletedFile, &path, &uploadedTombstones))
        return;
    if (!deletedFile) {
        uploadActivities();
        return;
    }
    const PDTmpSyncFile file = *deletedFile;
    m_syncBackend->uploadFile(
        path, file, [post = poster(), this, file, uploadedTombstones](const QString &newRevisionValue) {
            post([this, file, newRevisionValue, uploadedTombstones] {
                uploadedDeletedFile(file, newRevisionValue, uploadedTombstones);
            });
        });
}

void PDSyncService::uploadActivities()
{
    m_exportRange = PDMonthYearRange();
    const std::optional<QList<PDTmpSyncFile>> files = getAllSyncFiles();
    if (!files)
        return;
    for (const PDTmpSyncFile &file : *files)
        m_exportRange.addYear(static_cast<uint>(file.year()), static_cast<uint>(file.month()));

    // One activity per distinct month gives the months that hold activities.
    PdError error;
    const QList<Activity *> perMonth = m_context->fetch<Activity>(
        {QStringLiteral("id IN (SELECT MIN(id) FROM activity GROUP BY year_month)"),
         {},
         QStringLiteral("year_month"),
         -1},
        &error);
    if (error) {
        reportStorageError(QStringLiteral("Local storage error (18): %1"), error);
        return;
    }
    for (const Activity *activity : perMonth) {
        const int value = activity->yearMonth();
        const int year = value / 100;
        m_exportRange.addYear(static_cast<uint>(std::max(year, 0)),
                              static_cast<uint>(std::max(value - 100 * year, 0)));
    }
    if (!m_exportRange.hasItems()) {
        delegateNotifySuccess();
        return;
    }
    exportNextFile();
}

void PDSyncService::exportNextFile()
{
    while (true) {
        if (returnAndCancel())
            return;
        const std::optional<PDMonthDateRange> next = m_exportRange.nextMonth();
        if (!next) {
            cleanupFiles();
            return;
        }
        m_currentMonth = *next;
        const QString name = m_currentMonth.name();
        delegateNotifyProgress(QStringLiteral("Exporting activities for: %1").arg(name));

        FetchRequest request{QStringLiteral("time_from >= ? AND time_from < ?"),
                             {m_currentMonth.dateFrom(), monthEnd(m_currentMonth)},
                             QStringLiteral("modified_at, id"),
                             -1};
        if (!m_currentActivityID.isNull()) {
            request.where += QStringLiteral(" AND id != ?");
            request.arguments.append(m_currentActivityID.rowId);
        }
        PdError error;
        const QList<Activity *> activities = m_context->fetch<Activity>(request, &error);
        if (error) {
            reportStorageError(QStringLiteral("Local storage error (20): %1"), error);
            return;
        }
        logMessage(QStringLiteral("Number of activities for: %1 %2").arg(name).arg(activities.size()));

        if (activities.isEmpty()) {
            const auto recorded = std::find_if(
                m_storeFileCacheAfterMerge.begin(), m_storeFileCacheAfterMerge.end(),
                [this](const PDTmpSyncFile &file) {
                    return file.year() == m_currentMonth.year() && file.month() == m_currentMonth.month();
                });
            if (recorded == m_storeFileCacheAfterMerge.end())
                continue;
            const PDTmpSyncFile file = *recorded;
            m_storeFileCacheAfterMerge.erase(recorded);
            m_syncBackend->deleteFile(
                file, [post = poster(), this, file] { post([this, file] { deletedEmptyMonth(file); }); });
            return;
        }

        QList<ActivityHashItem> items;
        items.reserve(activities.size());
        for (const Activity *activity : activities)
            items.append(ActivityHashItem(activity->uid(), activity->modifiedAt()));
        const QString hash = ActivityHashItem::hashForItems(items);
        const qint64 unchanged = m_context->count(
            EntityType::SyncFile, QStringLiteral("name = ? AND activity_hash = ?"), {name, hash}, &error);
        if (unchanged < 0) {
            reportStorageError(QStringLiteral("Local storage error (21): %1"), error);
            return;
        }
        if (unchanged > 0) {
            logMessage(QStringLiteral("Nothing changed for %1. Skipping.").arg(name));
            continue;
        }

        logMessage(QStringLiteral("Exporting activities for %1").arg(name));
        const QString path = cachePath(name + QStringLiteral(".json"));
        QString description;
        if (!SyncJson::writeFile(path, SyncJson::monthFileJson(activities), &description)) {
            reportError(QStringLiteral("Failed to write json data file %1! %2").arg(path, description));
            return;
        }
        const QList<PDSyncFile *> records = m_context->fetch<PDSyncFile>(
            {QStringLiteral("name = ?"), {name}, QStringLiteral("id"), -1}, &error);
        if (error) {
            reportStorageError(QStringLiteral("Local storage error (22): %1"), error);
            return;
        }
        std::optional<PDTmpSyncFile> replaced;
        if (!records.isEmpty())
            replaced = PDTmpSyncFile::fromSyncFile(records.first(), m_syncMethod);
        const PDMonthDateRange month = m_currentMonth;
        m_syncBackend->uploadFile(path, replaced,
                                  [post = poster(), this, month, hash](const QString &newRevisionValue) {
                                      post([this, month, hash, newRevisionValue] {
                                          uploadedMonthFile(month, hash, newRevisionValue);
                                      });
                                  });
        return;
    }
}

void PDSyncService::uploadedMonthFile(const PDMonthDateRange &month, const QString &hash,
                                      const QString &newRevisionValue)
{
    PDTmpSyncFile file(month.year(), month.month(), m_syncMethod, newRevisionValue);
    file.setActivityHash(hash);
    PdError error;
    if (!file.store(*m_context, &error) || !m_context->save(&error)) {
        m_context->rollback();
        reportStorageError(QStringLiteral("Local storage error (23): %1"), error);
        return;
    }
    exportNextFile();
}

void PDSyncService::deletedEmptyMonth(const PDTmpSyncFile &file)
{
    // Saved at once, so that the store never keeps a record of a remote file that is gone.
    if (!file.remove(*m_context)) {
        reportError(QStringLiteral("Failed to cleanup cache file in local storage!"));
        return;
    }
    if (!saveMOC())
        return;
    exportNextFile();
}

// ---- Clean-up and completion ----

void PDSyncService::cleanupFiles()
{
    delegateNotifyProgress(QStringLiteral("Cleaning up files ..."));
    PdError error;
    const QList<PDSyncFile *> records = m_context->fetch<PDSyncFile>(
        {QStringLiteral("name != ?"), {deletedIndexName}, QStringLiteral("name"), -1}, &error);
    if (error) {
        reportStorageError(QStringLiteral("Local storage error (27): %1"), error);
        return;
    }
    m_filesToCleanup.clear();
    for (const PDSyncFile *record : records) {
        const std::optional<PDTmpSyncFile> file = PDTmpSyncFile::fromSyncFile(record, m_syncMethod);
        if (!file)
            continue;
        const std::optional<PDMonthDateRange> month =
            PDMonthDateRange::withYear(static_cast<uint>(file->year()), static_cast<uint>(file->month()));
        if (!month)
            continue;
        const qint64 count =
            m_context->count(EntityType::Activity, QStringLiteral("time_from >= ? AND time_from < ?"),
                             {month->dateFrom(), monthEnd(*month)}, &error);
        if (count < 0) {
            reportStorageError(QStringLiteral("Local storage error (28): %1"), error);
            return;
        }
        if (count == 0)
            m_filesToCleanup.append(
                PDTmpSyncFile(file->year(), file->month(), m_syncMethod, file->revisionValue()));
    }
    cleanupNextFile();
}

void PDSyncService::cleanupNextFile()
{
    if (m_filesToCleanup.isEmpty()) {
        delegateNotifySuccess();
        return;
    }
    const PDTmpSyncFile file = m_filesToCleanup.takeFirst();
    m_syncBackend->deleteFile(file,
                              [post = poster(), this, file] { post([this, file] { cleanedUpFile(file); }); });
}

void PDSyncService::cleanedUpFile(const PDTmpSyncFile &file)
{
    const QString copy = cachePath(file.fileName());
    if (QFileInfo::exists(copy)) {
        QFile local(copy);
        if (!local.remove()) {
            reportError(
                QStringLiteral("Failed to remove file from cache: %1. %2").arg(copy, local.errorString()));
            return;
        }
    }
    if (!file.remove(*m_context)) {
        reportError(QStringLiteral("Failed to cleanup file in local storage!"));
        return;
    }
    PdError error;
    if (!m_context->save(&error)) {
        m_context->rollback();
        reportStorageError(QStringLiteral("Local storage error (29): %1"), error);
        return;
    }
    cleanupNextFile();
}

void PDSyncService::delegateNotifySuccess()
{
    if (m_syncMethod == PDTmpSyncFile::syncMethodDropbox && m_settings) {
        const QDateTime now = m_context->now();
        QPointer<PdSettings> settings = m_settings;
        QMetaObject::invokeMethod(
            m_settings.data(),
            [settings, now] {
                if (settings)
                    settings->setDropboxSyncDate(now);
            },
            Qt::QueuedConnection);
    }
    cleanupCachesDir();
    const QString message = QStringLiteral("Sync operation completed!");
    {
        QMutexLocker lock(&m_reportMutex);
        m_currentProgressMessage = message;
    }
    logMessage(QStringLiteral("Sync completed!"));
    m_ended = true;
    m_syncStatus = Completed;
    emitOnOwnerThread([this, message] { Q_EMIT syncServiceFinish(this, message); });
}

void PDSyncService::cleanupCachesDir()
{
    const QDir folder(m_localCacheFolder);
    if (!folder.exists())
        return;
    PdError error;
    const QList<PDSyncFile *> records = m_context->fetch<PDSyncFile>({QString(), {}, QString(), -1}, &error);
    if (error)
        return;
    QSet<QString> kept;
    for (const PDSyncFile *record : records)
        kept.insert(record->name() + QStringLiteral(".json"));
    const QFileInfoList entries =
        folder.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        if (kept.contains(entry.fileName()))
            continue;
        if (entry.isDir() && !entry.isSymLink())
            QDir(entry.filePath()).removeRecursively();
        else
            QFile::remove(entry.filePath());
    }
}
