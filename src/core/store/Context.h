#pragma once

#include "ObjectId.h"
#include "PdError.h"
#include "SaveNotification.h"
#include "StatementCache.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QVariantList>

#include <memory>
#include <optional>
#include <vector>

namespace SQLite {
class Database;
}

class Activity;
class DeletedActivity;
class ObjectStore;
class PDSyncFile;
class Project;
class StoredObject;
class TagEntity;
class Task;

// One fetch: an SQL condition and order over the entity's table columns (see docs/store.md), with `?`
// placeholders bound to `arguments`.
struct FetchRequest
{
    QString where;
    QVariantList arguments;
    QString orderBy;
    int limit = -1;
};

// A scratch pad of stored objects: an identity map of the records it has loaded plus the pending
// inserts, updates and deletes, written by save() in one SQLite transaction or not at all. A context
// and its objects are used on one thread only: the main context on the main thread, a private context
// on one worker thread.
class Context
{
public:
    enum class Kind
    {
        Main,       // the store's main context, main thread
        MainThread, // another context on the main thread, sharing the main connection
        Private,    // a context with its own connection, for one worker thread
    };

    ~Context();
    Context(const Context &) = delete;
    Context &operator=(const Context &) = delete;

    ObjectStore &store() const { return m_store; }
    Kind kind() const { return m_kind; }
    bool isMainContext() const { return m_kind == Kind::Main; }
    // The current time of the store's clock.
    QDateTime now() const;

    // New objects, pending until the next save.
    Activity *insertActivity();
    Project *insertProject();
    Task *insertTask();
    DeletedActivity *insertDeletedActivity();
    PDSyncFile *insertSyncFile();

    // Marks an object for deletion (runs its prepare-for-deletion hook now). An unsaved new object is
    // simply dropped.
    void deleteObject(StoredObject *object);

    // Before-save hooks, validation, then one transaction. On failure nothing is written, the pending
    // changes stay, and `error` (if given) says why.
    bool save(PdError *error = nullptr);
    // Drops every pending change: new objects become invalid, changed and deleted ones are re-read.
    void rollback();
    bool hasChanges() const;
    // Re-reads an object without pending changes from the store; drops it when its record is gone.
    void refreshObject(StoredObject *object);

    // The object of this context for an identity, loaded when needed; null when the record is gone.
    StoredObject *objectWithId(const ObjectId &id);
    template <class T> T *objectWithId(const ObjectId &id)
    {
        return id.entity == T::entityType ? static_cast<T *>(objectWithId(id)) : nullptr;
    }

    // Saved records matching the request (objects already loaded keep their pending changes; objects
    // marked for deletion are left out; unsaved new objects are not searched).
    // A failed fetch gives an empty list and sets `error`.
    template <class T> QList<T *> fetch(const FetchRequest &request = {}, PdError *error = nullptr)
    {
        QList<T *> result;
        const QList<StoredObject *> objects = fetchObjects(T::entityType, request, error);
        result.reserve(objects.size());
        for (StoredObject *object : objects)
            result.append(static_cast<T *>(object));
        return result;
    }
    // -1 when the count fails.
    qint64 count(EntityType entity, const QString &where = {}, const QVariantList &arguments = {},
                 PdError *error = nullptr);

    // Case-insensitive (Unicode case folding) lookup of a project or task by name, including unsaved
    // new ones; null when none exists.
    Project *projectNamed(const QString &name);
    Task *taskNamed(const QString &name);
    // Find-or-create: the record with that name, its stored name set to `name` exactly; a new record
    // with its initial position when none exists. Two contexts creating the same name concurrently end
    // up with one record: the later save adopts the earlier one's row.
    Project *findOrCreateProject(const QString &name);
    Task *findOrCreateTask(const QString &name);

    // The saved activity with that uid, or null. Several records may share a uid; the first by row id.
    Activity *activityWithUid(const QString &uid);

    // Merges another context's save into this one: drops deleted objects, refreshes changed objects
    // that have no pending changes; this context's own pending changes win.
    void mergeChanges(const SaveNotification &notification);

    // The context's SQLite connection, for store queries outside the entity fetches (report rows).
    // Only on the context's thread.
    SQLite::Database &database() const { return *m_database; }

    // Objects loaded for an entity (for tests and merging).
    QList<StoredObject *> registeredObjects(EntityType entity) const;

private:
    friend class ObjectStore;
    friend class StoredObject;
    friend class Activity;
    friend class TagEntity;

    Context(ObjectStore &store, Kind kind, SQLite::Database *sharedDatabase);

    StoredObject *adopt(std::unique_ptr<StoredObject> object);
    template <class T> T *insertObject();
    StoredObject *loadedOrNew(EntityType entity, qint64 rowId, const QVariantList &values);
    QList<StoredObject *> fetchObjects(EntityType entity, const FetchRequest &request,
                                       PdError *error = nullptr);
    StatementCache::Lease statement(std::string_view sql);
    QList<StoredObject *> pendingTags(EntityType entity);
    QHash<QString, StoredObject *> &pendingTagIndex(EntityType entity);
    void indexPendingTag(StoredObject *tag);
    void rebuildPendingTagIndex();
    StoredObject *pendingTagNamed(EntityType entity, const QString &key);
    StoredObject *storedTagNamed(EntityType entity, const QString &key);
    StoredObject *tagNamed(EntityType entity, const QString &name);
    StoredObject *findOrCreateTag(EntityType entity, const QString &name);
    std::optional<qint64> maxTagPosition(EntityType entity);
    QList<qint64> taskRowIdsOfActivity(qint64 activityRowId);

    void markUpdated(StoredObject *object);
    bool readRow(StoredObject *object);
    void drop(StoredObject *object);
    void replaceObject(StoredObject *from, StoredObject *to);
    void runWillSaveHooks();
    PdError validatePending();
    void writePending(QList<StoredObject *> &adopted);
    QStringList dropActivityIndexesForBulkInsert();
    void writeObject(StoredObject *object, QList<StoredObject *> &adopted);
    void adoptConflictingTag(TagEntity *tag, const char *tableName);
    void writeTaskLinks(Activity *activity);
    SaveNotification finishSave(const QList<StoredObject *> &adopted);

    ObjectStore &m_store;
    Kind m_kind;
    std::unique_ptr<SQLite::Database> m_ownDatabase;
    SQLite::Database *m_database = nullptr;
    StatementCache m_statements; // declared after the connection, so it goes first

    std::vector<std::unique_ptr<StoredObject>> m_objects; // every object ever made here, owned
    QHash<ObjectId, StoredObject *> m_registered;         // saved records by identity
    QList<StoredObject *> m_inserted;
    QList<StoredObject *> m_updated;
    // The projects and tasks among m_inserted and m_updated (entries whose object is no longer pending
    // are skipped when read), so name lookups during a large save do not scan every pending activity.
    QList<StoredObject *> m_pendingTags;
    // Those pending tags by name key. An entry may be stale (saved, dropped or renamed since); a stale
    // hit rebuilds the index from m_pendingTags.
    QHash<QString, StoredObject *> m_pendingProjectsByKey;
    QHash<QString, StoredObject *> m_pendingTasksByKey;
    // While the before-save hooks run, stored tags found by name, so thousands of activities naming
    // the same project read it once.
    bool m_savingHooksRun = false;
    QHash<QString, StoredObject *> m_storedProjectsByKey;
    QHash<QString, StoredObject *> m_storedTasksByKey;
    QList<StoredObject *> m_deleted;
};
