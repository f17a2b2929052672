#pragma once

#include <QHash>
#include <QMetaType>
#include <QSet>
#include <QString>

// The stored entities.
enum class EntityType
{
    Activity,
    Project,
    Task,
    DeletedActivity,
    SyncFile,
};

QString entityName(EntityType entity);

// The identity of a stored record across contexts: its entity and its row id. An object that has not
// been saved yet has a null id (row id 0).
struct ObjectId
{
    EntityType entity = EntityType::Activity;
    qint64 rowId = 0;

    bool isNull() const { return rowId == 0; }
    friend bool operator==(const ObjectId &a, const ObjectId &b) = default;
};

inline size_t qHash(const ObjectId &id, size_t seed = 0)
{
    return qHashMulti(seed, static_cast<int>(id.entity), id.rowId);
}

Q_DECLARE_METATYPE(ObjectId)
