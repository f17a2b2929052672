#pragma once

#include "store/StoredObject.h"

#include <QDateTime>
#include <QString>

class Activity;

// The tombstone of a deleted activity, so that sync can carry the deletion to other computers.
class DeletedActivity : public StoredObject
{
public:
    static constexpr EntityType entityType = EntityType::DeletedActivity;
    EntityType entity() const override { return entityType; }

    QString uid() const { return m_uid; }
    void setUid(const QString &uid);
    QDateTime deletedAt() const { return m_deletedAt; }
    void setDeletedAt(const QDateTime &deletedAt);
    bool isSynced() const { return m_synced; }
    void setSynced(bool synced);

    // Records a tombstone for the activity (deleted now, not synced) and deletes the activity, both in
    // the given context. Does not save. Returns the tombstone.
    static DeletedActivity *deleteActivity(Activity *activity, Context &context);

protected:
    QVariantList columnValues() const override;
    void setColumnValues(const QVariantList &values) override;

private:
    friend class Context;
    explicit DeletedActivity(Context *context)
        : StoredObject(context)
    {}

    QString m_uid;
    QDateTime m_deletedAt;
    bool m_synced = false;
};
