#include "ActivityImporter.h"

#include "Activity.h"
#include "DeletedActivity.h"
#include "store/Context.h"
#include "store/ObjectStore.h"

#include <QHash>
#include <QSet>

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

namespace {

// Lookups are made in batches of this many uids (well below SQLite's parameter limit).
constexpr qsizetype BatchSize = 500;

struct StoredByUid
{
    QHash<QString, Activity *> activities; // the first by row id
    QHash<QString, QList<DeletedActivity *>> tombstones;
    QSet<QString> failed; // uids whose lookup failed
};

QString placeholders(qsizetype count)
{
    QString text;
    text.reserve(count * 2);
    for (qsizetype i = 0; i < count; ++i)
        text += i == 0 ? QStringLiteral("?") : QStringLiteral(",?");
    return QStringLiteral("uid IN (%1)").arg(text);
}

StoredByUid lookUp(const QList<QString> &uids, Context &context)
{
    StoredByUid stored;
    for (qsizetype start = 0; start < uids.size(); start += BatchSize) {
        const QList<QString> batch = uids.mid(start, BatchSize);
        QVariantList arguments;
        arguments.reserve(batch.size());
        for (const QString &uid : batch)
            arguments.append(uid);
        const QString where = placeholders(batch.size());

        PdError activityError;
        const QList<Activity *> activities =
            context.fetch<Activity>({where, arguments, QStringLiteral("id")}, &activityError);
        PdError tombstoneError;
        const QList<DeletedActivity *> tombstones =
            context.fetch<DeletedActivity>({where, arguments, QStringLiteral("id")}, &tombstoneError);
        if (activityError || tombstoneError) {
            for (const QString &uid : batch)
                stored.failed.insert(uid);
            continue;
        }
        for (Activity *activity : activities) {
            if (!stored.activities.contains(activity->uid()))
                stored.activities.insert(activity->uid(), activity);
        }
        for (DeletedActivity *tombstone : tombstones)
            stored.tombstones[tombstone->uid()].append(tombstone);
    }
    return stored;
}

// The uids of `uids` worth looking up. When the file brings many uids and the store holds few (an import
// into a new store), one pass over the stored uids rules out those the store does not hold; otherwise, or
// when that pass fails, all of them.
QList<QString> uidsToLookUp(const QList<QString> &uids, Context &context)
{
    const qint64 activities = context.count(EntityType::Activity);
    const qint64 tombstones = context.count(EntityType::DeletedActivity);
    if (activities < 0 || tombstones < 0 || activities + tombstones > 4 * uids.size())
        return uids;
    QSet<QString> stored;
    try {
        SQLite::Statement query(context.database(),
                                "SELECT uid FROM activity UNION SELECT uid FROM deleted_activity");
        while (query.executeStep())
            stored.insert(QString::fromUtf8(query.getColumn(0).getText()));
    } catch (const std::exception &) {
        return uids;
    }
    QList<QString> held;
    for (const QString &uid : uids) {
        if (stored.contains(uid))
            held.append(uid);
    }
    return held;
}

} // namespace

ActivityImporter::Result ActivityImporter::importActivities(const QList<Activity *> &source,
                                                            ObjectStore &mainStore)
{
    Result result;
    std::unique_ptr<Context> context = mainStore.newContext(false);
    if (!context) {
        result.error = PdError::make(QStringLiteral("PDImportErrorDomain"), 2,
                                     QStringLiteral("Cannot open a context of the main store."));
        return result;
    }

    QList<QString> uids;
    QSet<QString> seen;
    for (const Activity *activity : source) {
        if (!seen.contains(activity->uid())) {
            seen.insert(activity->uid());
            uids.append(activity->uid());
        }
    }
    StoredByUid stored = lookUp(uidsToLookUp(uids, *context), *context);

    for (const Activity *activity : source) {
        const QString uid = activity->uid();
        if (stored.failed.contains(uid))
            continue;
        Activity *&target = stored.activities[uid];
        if (!target)
            target = context->insertActivity();
        target->setUid(uid);
        target->setInvoiced(activity->isInvoiced());
        target->setTimeFrom(activity->timeFrom());
        target->setTimeTo(activity->timeTo());
        target->setText(activity->text());
        ++result.count;
        // An activity deleted here comes back: its local tombstones go.
        for (DeletedActivity *tombstone : stored.tombstones.take(uid))
            context->deleteObject(tombstone);
    }

    PdError saveError;
    if (!context->save(&saveError)) {
        context->rollback();
        result.error = saveError.isError()
                           ? saveError
                           : PdError::make(QStringLiteral("PDImportErrorDomain"), 3,
                                           QStringLiteral("The imported activities could not be saved."));
    }
    return result;
}

QString ActivityImporter::resultText(const Result &result)
{
    return result.ok() ? QStringLiteral("Imported %1 activities").arg(result.count) : FailureText;
}
