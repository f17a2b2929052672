#include "Context.h"

#include "Activity.h"
#include "DeletedActivity.h"
#include "ObjectStore.h"
#include "PDSyncFile.h"
#include "Project.h"
#include "SqlValues.h"
#include "StoreErrors.h"
#include "Task.h"

#include "Clock.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>

#include <QLoggingCategory>
#include <QSet>

#include <algorithm>
#include <stdexcept>

Q_DECLARE_LOGGING_CATEGORY(lcStore)

namespace {

struct Table
{
    Table(const char *tableName, const QStringList &tableColumns)
        : name(tableName)
        , columns(tableColumns)
    {
        const QLatin1String table(name);
        const QString list = columns.join(QStringLiteral(", "));
        QStringList placeholders;
        QStringList assignments;
        for (const QString &column : columns) {
            placeholders.append(QStringLiteral("?"));
            assignments.append(column + QStringLiteral(" = ?"));
        }
        select = QStringLiteral("SELECT id, %1 FROM %2").arg(list, table);
        QString insertText = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                 .arg(table, list, placeholders.join(QStringLiteral(", ")));
        // Another context may have created the same name since this one looked: take over its row.
        if (columns.contains(QStringLiteral("name_key")))
            insertText += QStringLiteral(" ON CONFLICT(name_key) DO NOTHING");
        insert = insertText.toStdString();
        update = QStringLiteral("UPDATE %1 SET %2 WHERE id = ?")
                     .arg(table, assignments.join(QStringLiteral(", ")))
                     .toStdString();
        remove = QStringLiteral("DELETE FROM %1 WHERE id = ?").arg(table).toStdString();
        selectById = (select + QStringLiteral(" WHERE id = ?")).toStdString();
    }

    const char *name;
    QStringList columns;
    QString select;
    std::string insert;
    std::string update;
    std::string remove;
    std::string selectById;
};

const Table &tableOf(EntityType entity)
{
    static const Table activity{"activity",
                                {"uid", "text", "time_from", "time_to", "created_at", "modified_at",
                                 "is_invoiced", "year_month", "project_id"}};
    static const Table project{"project", {"name", "name_key", "position", "visible"}};
    static const Table task{"task", {"name", "name_key", "position", "visible"}};
    static const Table deleted{"deleted_activity", {"uid", "deleted_at", "is_synced"}};
    static const Table syncFile{"sync_file", {"name", "revision", "activity_hash"}};
    switch (entity) {
    case EntityType::Activity:
        return activity;
    case EntityType::Project:
        return project;
    case EntityType::Task:
        return task;
    case EntityType::DeletedActivity:
        return deleted;
    case EntityType::SyncFile:
        break;
    }
    return syncFile;
}

QString selectSql(EntityType entity)
{
    return tableOf(entity).select;
}

QVariantList readValues(SQLite::Statement &query, int firstColumn, int count)
{
    QVariantList values;
    values.reserve(count);
    for (int i = 0; i < count; ++i)
        values.append(SqlValues::read(query.getColumn(firstColumn + i)));
    return values;
}

bool isTag(EntityType entity)
{
    return entity == EntityType::Project || entity == EntityType::Task;
}

bool isPending(const StoredObject *object)
{
    return object->state() == StoredObject::State::Inserted ||
           object->state() == StoredObject::State::Updated;
}

// Whether an index entry still names a pending tag with that key.
bool isPendingTagWithKey(const StoredObject *object, const QString &key)
{
    return isPending(object) && static_cast<const TagEntity *>(object)->nameKey() == key;
}

// The record an object with pending changes was to update is gone.
struct ObjectGone : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

} // namespace

QString entityName(EntityType entity)
{
    switch (entity) {
    case EntityType::Activity:
        return QStringLiteral("Activity");
    case EntityType::Project:
        return QStringLiteral("Project");
    case EntityType::Task:
        return QStringLiteral("Task");
    case EntityType::DeletedActivity:
        return QStringLiteral("DeletedActivity");
    case EntityType::SyncFile:
        break;
    }
    return QStringLiteral("SyncFile");
}

QSet<ObjectId> SaveNotification::ofEntity(const QSet<ObjectId> &ids, EntityType entity)
{
    QSet<ObjectId> result;
    for (const ObjectId &id : ids) {
        if (id.entity == entity)
            result.insert(id);
    }
    return result;
}

void StoredObject::willChange()
{
    m_context->markUpdated(this);
}

Context::Context(ObjectStore &store, Kind kind, SQLite::Database *sharedDatabase)
    : m_store(store)
    , m_kind(kind)
    , m_database(sharedDatabase)
{}

Context::~Context() = default;

QDateTime Context::now() const
{
    return m_store.clock().now();
}

StoredObject *Context::adopt(std::unique_ptr<StoredObject> object)
{
    m_objects.push_back(std::move(object));
    return m_objects.back().get();
}

template <class T> T *Context::insertObject()
{
    T *object = static_cast<T *>(adopt(std::unique_ptr<StoredObject>(new T(this))));
    object->m_state = StoredObject::State::Inserted;
    m_inserted.append(object);
    if (isTag(object->entity())) {
        m_pendingTags.append(object);
        indexPendingTag(object);
    }
    object->awakeFromInsert();
    return object;
}

Activity *Context::insertActivity()
{
    return insertObject<Activity>();
}

Project *Context::insertProject()
{
    return insertObject<Project>();
}

Task *Context::insertTask()
{
    return insertObject<Task>();
}

DeletedActivity *Context::insertDeletedActivity()
{
    return insertObject<DeletedActivity>();
}

PDSyncFile *Context::insertSyncFile()
{
    return insertObject<PDSyncFile>();
}

void Context::markUpdated(StoredObject *object)
{
    if (object->m_state != StoredObject::State::Clean)
        return;
    object->m_state = StoredObject::State::Updated;
    m_updated.append(object);
    if (isTag(object->entity())) {
        m_pendingTags.append(object);
        indexPendingTag(object);
    }
}

void Context::deleteObject(StoredObject *object)
{
    if (!object || object->m_context != this || object->isDeleted())
        return;
    object->prepareForDeletion();
    if (object->m_state == StoredObject::State::Inserted) {
        drop(object);
        return;
    }
    m_updated.removeOne(object);
    object->m_state = StoredObject::State::Deleted;
    m_deleted.append(object);
}

bool Context::hasChanges() const
{
    return !m_inserted.isEmpty() || !m_updated.isEmpty() || !m_deleted.isEmpty();
}

StoredObject *Context::loadedOrNew(EntityType entity, qint64 rowId, const QVariantList &values)
{
    const ObjectId id{entity, rowId};
    if (StoredObject *loaded = m_registered.value(id)) {
        if (loaded->m_state == StoredObject::State::Clean) {
            loaded->setColumnValues(values);
            loaded->awakeFromFetch();
        }
        return loaded;
    }
    std::unique_ptr<StoredObject> made;
    switch (entity) {
    case EntityType::Activity:
        made.reset(new Activity(this));
        break;
    case EntityType::Project:
        made.reset(new Project(this));
        break;
    case EntityType::Task:
        made.reset(new Task(this));
        break;
    case EntityType::DeletedActivity:
        made.reset(new DeletedActivity(this));
        break;
    case EntityType::SyncFile:
        made.reset(new PDSyncFile(this));
        break;
    }
    StoredObject *object = adopt(std::move(made));
    object->m_rowId = rowId;
    object->setColumnValues(values);
    m_registered.insert(id, object);
    object->awakeFromFetch();
    return object;
}

StoredObject *Context::objectWithId(const ObjectId &id)
{
    if (id.isNull())
        return nullptr;
    if (StoredObject *loaded = m_registered.value(id))
        return loaded;
    const QList<StoredObject *> found =
        fetchObjects(id.entity, {QStringLiteral("id = ?"), {QVariant::fromValue(id.rowId)}, {}, 1});
    return found.value(0);
}

QList<StoredObject *> Context::fetchObjects(EntityType entity, const FetchRequest &request, PdError *error)
{
    QList<StoredObject *> result;
    QString sql = selectSql(entity);
    if (!request.where.isEmpty())
        sql += QStringLiteral(" WHERE ") + request.where;
    if (!request.orderBy.isEmpty())
        sql += QStringLiteral(" ORDER BY ") + request.orderBy;
    if (request.limit >= 0)
        sql += QStringLiteral(" LIMIT %1").arg(request.limit);
    const int columnCount = static_cast<int>(tableOf(entity).columns.size());
    try {
        StatementCache::Lease query = statement(sql.toStdString());
        SqlValues::bindAll(*query, request.arguments);
        while (query->executeStep()) {
            StoredObject *object =
                loadedOrNew(entity, query->getColumn(0).getInt64(), readValues(*query, 1, columnCount));
            if (!object->isDeleted())
                result.append(object);
        }
    } catch (const std::exception &e) {
        qCWarning(lcStore, "Fetching %s failed: %s", tableOf(entity).name, e.what());
        if (error)
            *error = PdError::make(
                StoreErrors::domain, StoreErrors::FetchFailed,
                QStringLiteral("Reading the store failed: %1").arg(QString::fromUtf8(e.what())));
        return {};
    }
    return result;
}

qint64 Context::count(EntityType entity, const QString &where, const QVariantList &arguments, PdError *error)
{
    QString sql = QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(tableOf(entity).name));
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where;
    try {
        SQLite::Statement query(*m_database, sql.toStdString());
        SqlValues::bindAll(query, arguments);
        query.executeStep();
        return query.getColumn(0).getInt64();
    } catch (const std::exception &e) {
        qCWarning(lcStore, "Counting %s failed: %s", tableOf(entity).name, e.what());
        if (error)
            *error = PdError::make(
                StoreErrors::domain, StoreErrors::FetchFailed,
                QStringLiteral("Reading the store failed: %1").arg(QString::fromUtf8(e.what())));
        return -1;
    }
}

StatementCache::Lease Context::statement(std::string_view sql)
{
    return m_statements.acquire(*m_database, sql);
}

QList<StoredObject *> Context::pendingTags(EntityType entity)
{
    // Drop entries that were saved, refreshed, dropped or deleted since they were noted.
    m_pendingTags.removeIf([](const StoredObject *object) { return !isPending(object); });
    QList<StoredObject *> result;
    QSet<StoredObject *> seen;
    for (StoredObject *object : std::as_const(m_pendingTags)) {
        if (object->entity() == entity && !seen.contains(object)) {
            seen.insert(object);
            result.append(object);
        }
    }
    return result;
}

QHash<QString, StoredObject *> &Context::pendingTagIndex(EntityType entity)
{
    return entity == EntityType::Project ? m_pendingProjectsByKey : m_pendingTasksByKey;
}

// Notes a pending tag under its current name key; an earlier pending tag with that key keeps its place.
void Context::indexPendingTag(StoredObject *tag)
{
    const QString key = static_cast<TagEntity *>(tag)->nameKey();
    StoredObject *&entry = pendingTagIndex(tag->entity())[key];
    if (!entry || !isPendingTagWithKey(entry, key))
        entry = tag;
}

void Context::rebuildPendingTagIndex()
{
    m_pendingProjectsByKey.clear();
    m_pendingTasksByKey.clear();
    for (EntityType entity : {EntityType::Project, EntityType::Task}) {
        for (StoredObject *tag : pendingTags(entity))
            indexPendingTag(tag);
    }
}

StoredObject *Context::pendingTagNamed(EntityType entity, const QString &key)
{
    const QHash<QString, StoredObject *> &index = pendingTagIndex(entity);
    StoredObject *entry = index.value(key);
    if (!entry || isPendingTagWithKey(entry, key))
        return entry;
    rebuildPendingTagIndex();
    return pendingTagIndex(entity).value(key);
}

StoredObject *Context::storedTagNamed(EntityType entity, const QString &key)
{
    QHash<QString, StoredObject *> &found =
        entity == EntityType::Project ? m_storedProjectsByKey : m_storedTasksByKey;
    if (m_savingHooksRun) {
        StoredObject *known = found.value(key);
        if (known && !known->isDeleted() && static_cast<TagEntity *>(known)->nameKey() == key)
            return known;
    }
    const QList<StoredObject *> stored =
        fetchObjects(entity, {QStringLiteral("name_key = ?"), {key}, QStringLiteral("id"), -1});
    for (StoredObject *object : stored) {
        if (static_cast<TagEntity *>(object)->nameKey() == key) {
            if (m_savingHooksRun)
                found.insert(key, object);
            return object;
        }
    }
    return nullptr;
}

StoredObject *Context::tagNamed(EntityType entity, const QString &name)
{
    const QString key = TagEntity::nameKeyFor(name);
    // Pending objects first: their names may differ from the stored ones.
    if (StoredObject *pending = pendingTagNamed(entity, key))
        return pending;
    return storedTagNamed(entity, key);
}

Project *Context::projectNamed(const QString &name)
{
    return static_cast<Project *>(tagNamed(EntityType::Project, name));
}

Task *Context::taskNamed(const QString &name)
{
    return static_cast<Task *>(tagNamed(EntityType::Task, name));
}

StoredObject *Context::findOrCreateTag(EntityType entity, const QString &name)
{
    if (StoredObject *found = tagNamed(entity, name)) {
        auto *tag = static_cast<TagEntity *>(found);
        if (tag->name() != name)
            tag->setName(name);
        return found;
    }
    TagEntity *created = entity == EntityType::Project ? static_cast<TagEntity *>(insertProject())
                                                       : static_cast<TagEntity *>(insertTask());
    created->setInitialPosition();
    created->setName(name);
    return created;
}

Project *Context::findOrCreateProject(const QString &name)
{
    return static_cast<Project *>(findOrCreateTag(EntityType::Project, name));
}

Task *Context::findOrCreateTask(const QString &name)
{
    return static_cast<Task *>(findOrCreateTag(EntityType::Task, name));
}

std::optional<qint64> Context::maxTagPosition(EntityType entity)
{
    std::optional<qint64> highest;
    try {
        StatementCache::Lease query = statement(QStringLiteral("SELECT MAX(position) FROM %1")
                                                    .arg(QLatin1String(tableOf(entity).name))
                                                    .toStdString());
        if (query->executeStep() && !query->getColumn(0).isNull())
            highest = query->getColumn(0).getInt64();
    } catch (const std::exception &e) {
        qCWarning(lcStore, "Reading the highest position failed: %s", e.what());
    }
    for (StoredObject *object : pendingTags(entity)) {
        const std::optional<qint64> position = static_cast<TagEntity *>(object)->position();
        if (position && (!highest || *position > *highest))
            highest = position;
    }
    return highest;
}

QList<qint64> Context::taskRowIdsOfActivity(qint64 activityRowId)
{
    QList<qint64> rowIds;
    if (activityRowId == 0)
        return rowIds;
    try {
        StatementCache::Lease query =
            statement("SELECT task_id FROM activity_task WHERE activity_id = ? ORDER BY task_id");
        query->bind(1, static_cast<int64_t>(activityRowId));
        while (query->executeStep())
            rowIds.append(query->getColumn(0).getInt64());
    } catch (const std::exception &e) {
        qCWarning(lcStore, "Reading the tasks of an activity failed: %s", e.what());
    }
    return rowIds;
}

Activity *Context::activityWithUid(const QString &uid)
{
    return fetch<Activity>({QStringLiteral("uid = ?"), {uid}, QStringLiteral("id"), 1}).value(0);
}

QList<StoredObject *> Context::registeredObjects(EntityType entity) const
{
    QList<StoredObject *> objects;
    for (auto it = m_registered.cbegin(); it != m_registered.cend(); ++it) {
        if (it.key().entity == entity)
            objects.append(it.value());
    }
    return objects;
}

bool Context::readRow(StoredObject *object)
{
    const EntityType entity = object->entity();
    const int columnCount = static_cast<int>(tableOf(entity).columns.size());
    try {
        StatementCache::Lease query = statement(tableOf(entity).selectById);
        query->bind(1, static_cast<int64_t>(object->m_rowId));
        if (!query->executeStep())
            return false;
        object->setColumnValues(readValues(*query, 1, columnCount));
    } catch (const std::exception &e) {
        qCWarning(lcStore, "Re-reading a %s failed: %s", tableOf(entity).name, e.what());
        return false;
    }
    object->awakeFromFetch();
    return true;
}

void Context::refreshObject(StoredObject *object)
{
    if (!object || object->m_context != this || object->m_state == StoredObject::State::Inserted ||
        object->m_state == StoredObject::State::Invalid)
        return;
    m_updated.removeOne(object);
    m_deleted.removeOne(object);
    object->m_state = StoredObject::State::Clean;
    if (!readRow(object))
        drop(object);
}

// Takes an object out of the context for good: unregistered, no pending change, forgotten by the
// activities that referred to it, invalid. The memory stays until the context goes, so pointers held
// elsewhere never dangle.
void Context::drop(StoredObject *object)
{
    if (object->m_state == StoredObject::State::Invalid)
        return;
    const ObjectId id = object->objectId();
    if (!id.isNull() && m_registered.value(id) == object)
        m_registered.remove(id);
    m_inserted.removeOne(object);
    m_updated.removeOne(object);
    m_deleted.removeOne(object);
    object->m_state = StoredObject::State::Invalid;
    if (isTag(object->entity())) {
        for (StoredObject *activity : registeredObjects(EntityType::Activity))
            activity->forgetRelated(object);
        for (StoredObject *pending : std::as_const(m_inserted)) {
            if (pending->entity() == EntityType::Activity)
                pending->forgetRelated(object);
        }
    }
}

void Context::replaceObject(StoredObject *from, StoredObject *to)
{
    for (StoredObject *activity : registeredObjects(EntityType::Activity))
        activity->replaceRelated(from, to);
    for (StoredObject *pending : std::as_const(m_inserted)) {
        if (pending->entity() == EntityType::Activity)
            pending->replaceRelated(from, to);
    }
    m_inserted.removeOne(from);
    m_updated.removeOne(from);
    m_deleted.removeOne(from);
    from->m_state = StoredObject::State::Invalid;
}

void Context::rollback()
{
    const QList<StoredObject *> inserted = m_inserted;
    for (StoredObject *object : inserted)
        drop(object);
    const QList<StoredObject *> changed = m_updated + m_deleted;
    for (StoredObject *object : changed)
        refreshObject(object);
}

void Context::mergeChanges(const SaveNotification &notification)
{
    for (const ObjectId &id : notification.deleted) {
        if (StoredObject *object = m_registered.value(id))
            drop(object);
    }
    for (const ObjectId &id : notification.updated) {
        StoredObject *object = m_registered.value(id);
        if (object && object->m_state == StoredObject::State::Clean)
            refreshObject(object);
    }
}

void Context::runWillSaveHooks()
{
    m_savingHooksRun = true;
    const QList<StoredObject *> changed = m_inserted + m_updated;
    for (StoredObject *object : changed) {
        if (!object->isDeleted())
            object->willSave();
    }
    m_savingHooksRun = false;
    m_storedProjectsByKey.clear();
    m_storedTasksByKey.clear();
}

PdError Context::validatePending()
{
    PdError pending;
    const QList<StoredObject *> changed = m_inserted + m_updated;
    for (StoredObject *object : changed) {
        const PdError error = object->validateForSave();
        if (error)
            pending = pending ? StoreErrors::combineValidationErrors(error, pending) : error;
    }
    return pending;
}

bool Context::save(PdError *error)
{
    if (!hasChanges())
        return true;
    runWillSaveHooks();
    if (const PdError invalid = validatePending()) {
        if (error)
            *error = invalid;
        return false;
    }
    QList<StoredObject *> adopted;
    try {
        SQLite::Transaction transaction(*m_database, SQLite::TransactionBehavior::IMMEDIATE);
        writePending(adopted);
        transaction.commit();
    } catch (const std::exception &e) {
        for (StoredObject *object : std::as_const(m_inserted))
            object->m_rowId = 0;
        const bool gone = dynamic_cast<const ObjectGone *>(&e) != nullptr;
        qCWarning(lcStore, "Saving to %s failed: %s", qUtf8Printable(m_store.filePath()), e.what());
        if (error) {
            *error =
                PdError::make(StoreErrors::domain, gone ? StoreErrors::ObjectGone : StoreErrors::SaveFailed,
                              QStringLiteral("The changes could not be saved to “%1”: %2")
                                  .arg(m_store.filePath(), QString::fromUtf8(e.what())));
        }
        return false;
    }
    const SaveNotification notification = finishSave(adopted);
    m_store.announceSave(notification);
    return true;
}

void Context::writePending(QList<StoredObject *> &adopted)
{
    // Deletions first (a tag deleted here and created again under the same name must not clash),
    // then tags before the activities that refer to them.
    static const EntityType order[] = {EntityType::Project, EntityType::Task, EntityType::Activity,
                                       EntityType::DeletedActivity, EntityType::SyncFile};
    for (StoredObject *object : std::as_const(m_deleted))
        writeObject(object, adopted);
    for (EntityType entity : order) {
        const QStringList rebuilt =
            entity == EntityType::Activity ? dropActivityIndexesForBulkInsert() : QStringList();
        for (StoredObject *object : std::as_const(m_inserted)) {
            if (object->entity() == entity)
                writeObject(object, adopted);
        }
        for (StoredObject *object : std::as_const(m_updated)) {
            if (object->entity() == entity)
                writeObject(object, adopted);
        }
        for (const QString &index : rebuilt)
            m_database->exec(index.toStdString());
    }
}

// A save inserting many activities into a table that holds fewer (an import into a new store) drops the
// indexes of the activities and their task links and answers the statements that make them again:
// building an index once from all rows is much cheaper than inserting every row into it. Inside the
// save's transaction, so a failed save keeps them.
QStringList Context::dropActivityIndexesForBulkInsert()
{
    constexpr qsizetype BulkInsertSize = 5000;
    const qsizetype inserts =
        std::count_if(m_inserted.cbegin(), m_inserted.cend(),
                      [](const StoredObject *o) { return o->entity() == EntityType::Activity; });
    if (inserts < BulkInsertSize)
        return {};
    const qint64 stored = count(EntityType::Activity);
    if (stored < 0 || stored > inserts)
        return {};
    QStringList names;
    QStringList statements;
    {
        SQLite::Statement indexes(*m_database,
                                  "SELECT name, sql FROM sqlite_master WHERE type = 'index' AND "
                                  "tbl_name IN ('activity', 'activity_task') AND sql IS NOT NULL");
        while (indexes.executeStep()) {
            names.append(QString::fromUtf8(indexes.getColumn(0).getText()));
            statements.append(QString::fromUtf8(indexes.getColumn(1).getText()));
        }
    }
    for (const QString &name : std::as_const(names))
        m_database->exec(QStringLiteral("DROP INDEX \"%1\"").arg(name).toStdString());
    return statements;
}

void Context::writeObject(StoredObject *object, QList<StoredObject *> &adopted)
{
    const Table &table = tableOf(object->entity());
    switch (object->m_state) {
    case StoredObject::State::Deleted: {
        StatementCache::Lease remove = statement(table.remove);
        remove->bind(1, static_cast<int64_t>(object->m_rowId));
        remove->exec();
        return;
    }
    case StoredObject::State::Inserted: {
        StatementCache::Lease insert = statement(table.insert);
        SqlValues::bindAll(*insert, object->columnValues());
        insert->exec();
        if (m_database->getChanges() > 0) {
            object->m_rowId = m_database->getLastInsertRowid();
        } else {
            adoptConflictingTag(static_cast<TagEntity *>(object), table.name);
            adopted.append(object);
        }
        break;
    }
    case StoredObject::State::Updated: {
        StatementCache::Lease update = statement(table.update);
        const QVariantList values = object->columnValues();
        SqlValues::bindAll(*update, values);
        update->bind(static_cast<int>(values.size()) + 1, static_cast<int64_t>(object->m_rowId));
        update->exec();
        if (m_database->getChanges() == 0)
            throw ObjectGone(QStringLiteral("the %1 record %2 no longer exists")
                                 .arg(QLatin1String(table.name))
                                 .arg(object->m_rowId)
                                 .toStdString());
        break;
    }
    default:
        return;
    }
    if (object->entity() == EntityType::Activity)
        writeTaskLinks(static_cast<Activity *>(object));
}

// An insert of a tag met a record with the same name key: the new object takes over that row and its
// name.
void Context::adoptConflictingTag(TagEntity *tag, const char *table)
{
    const QLatin1String tableName(table);
    StatementCache::Lease existing =
        statement(QStringLiteral("SELECT id FROM %1 WHERE name_key = ?").arg(tableName).toStdString());
    existing->bind(1, tag->nameKey().toStdString());
    if (!existing->executeStep())
        throw std::runtime_error("a conflicting name vanished");
    tag->m_rowId = existing->getColumn(0).getInt64();
    StatementCache::Lease rename =
        statement(QStringLiteral("UPDATE %1 SET name = ? WHERE id = ?").arg(tableName).toStdString());
    rename->bind(1, tag->name().toStdString());
    rename->bind(2, static_cast<int64_t>(tag->m_rowId));
    rename->exec();
}

void Context::writeTaskLinks(Activity *activity)
{
    if (!activity->tasksNeedWriting())
        return;
    const int64_t activityRowId = activity->m_rowId;
    // Row ids are never reused, so a just-inserted activity has no links to clear.
    if (activity->m_state != StoredObject::State::Inserted) {
        StatementCache::Lease clear = statement("DELETE FROM activity_task WHERE activity_id = ?");
        clear->bind(1, activityRowId);
        clear->exec();
    }
    StatementCache::Lease link =
        statement("INSERT OR IGNORE INTO activity_task (activity_id, task_id) VALUES (?, ?)");
    for (const Task *task : activity->tasks()) {
        if (task->isDeleted() || task->m_rowId == 0)
            continue;
        link->bind(1, activityRowId);
        link->bind(2, static_cast<int64_t>(task->m_rowId));
        link->exec();
        link->reset();
    }
}

SaveNotification Context::finishSave(const QList<StoredObject *> &adopted)
{
    SaveNotification notification;
    notification.source = this;
    const QList<StoredObject *> inserted = m_inserted;
    const QList<StoredObject *> updated = m_updated;
    const QList<StoredObject *> deleted = m_deleted;
    m_inserted.clear();
    m_updated.clear();
    m_deleted.clear();
    m_pendingTags.clear();
    m_pendingProjectsByKey.clear();
    m_pendingTasksByKey.clear();
    for (StoredObject *object : inserted) {
        const ObjectId id = object->objectId();
        object->m_state = StoredObject::State::Clean;
        if (adopted.contains(object)) {
            StoredObject *earlier = m_registered.value(id);
            if (earlier && earlier != object)
                replaceObject(earlier, object);
            m_registered.insert(id, object);
            readRow(object);
            notification.updated.insert(id);
        } else {
            m_registered.insert(id, object);
            notification.inserted.insert(id);
        }
    }
    for (StoredObject *object : updated) {
        object->m_state = StoredObject::State::Clean;
        notification.updated.insert(object->objectId());
    }
    for (StoredObject *object : deleted) {
        notification.deleted.insert(object->objectId());
        drop(object);
    }
    for (StoredObject *object : inserted + updated) {
        if (object->entity() == EntityType::Activity)
            static_cast<Activity *>(object)->tasksWritten();
    }
    return notification;
}
