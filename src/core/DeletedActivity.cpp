#include "DeletedActivity.h"

#include "Activity.h"
#include "store/Context.h"
#include "store/SqlValues.h"

void DeletedActivity::setUid(const QString &uid)
{
    if (uid == m_uid)
        return;
    willChange();
    m_uid = uid;
}

void DeletedActivity::setDeletedAt(const QDateTime &deletedAt)
{
    if (deletedAt == m_deletedAt && deletedAt.isValid() == m_deletedAt.isValid())
        return;
    willChange();
    m_deletedAt = deletedAt;
}

void DeletedActivity::setSynced(bool synced)
{
    if (synced == m_synced)
        return;
    willChange();
    m_synced = synced;
}

DeletedActivity *DeletedActivity::deleteActivity(Activity *activity, Context &context)
{
    DeletedActivity *tombstone = context.insertDeletedActivity();
    tombstone->setUid(activity->uid());
    tombstone->setDeletedAt(context.now());
    tombstone->setSynced(false);
    context.deleteObject(activity);
    return tombstone;
}

QVariantList DeletedActivity::columnValues() const
{
    return {m_uid.isNull() ? QStringLiteral("") : m_uid, SqlValues::fromDate(m_deletedAt), m_synced};
}

void DeletedActivity::setColumnValues(const QVariantList &values)
{
    m_uid = SqlValues::toText(values.at(0));
    m_deletedAt = SqlValues::toDate(values.at(1));
    m_synced = values.at(2).toLongLong() != 0;
}
