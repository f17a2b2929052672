#pragma once

#include "ObjectId.h"

#include <QMetaType>
#include <QSet>

class Context;

// What one successful save changed: the identities inserted, updated and deleted. Every save of any
// context of a store is announced with one of these.
struct SaveNotification
{
    // The context that saved; only for telling contexts apart, never dereferenced on another thread.
    const Context *source = nullptr;
    QSet<ObjectId> inserted;
    QSet<ObjectId> updated;
    QSet<ObjectId> deleted;

    bool isEmpty() const { return inserted.isEmpty() && updated.isEmpty() && deleted.isEmpty(); }
    // The identities of one entity in one of the three sets.
    static QSet<ObjectId> ofEntity(const QSet<ObjectId> &ids, EntityType entity);
};

Q_DECLARE_METATYPE(SaveNotification)
