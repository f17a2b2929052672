#include "SyncJson.h"

#include "Activity.h"
#include "DateHelpers.h"
#include "DeletedActivity.h"
#include "SyncDate.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cmath>

namespace {

const QString keyUid = QStringLiteral("uid");
const QString keyText = QStringLiteral("text");
const QString keyTimeFrom = QStringLiteral("time_from");
const QString keyTimeTo = QStringLiteral("time_to");
const QString keyCreatedAt = QStringLiteral("created_at");
const QString keyModifiedAt = QStringLiteral("modified_at");
const QString keyInvoiced = QStringLiteral("is_invoiced");
const QString keyDeletedAt = QStringLiteral("deleted_at");

// The checks of one element in their order; an empty result accepts it.
QString readElement(const QJsonValue &value, SyncActivityRecord &record)
{
    if (!value.isObject())
        return QStringLiteral("Invalid json file content!");
    const QJsonObject object = value.toObject();
    const QJsonValue timeFrom = object.value(keyTimeFrom);
    const QJsonValue timeTo = object.value(keyTimeTo);
    const QJsonValue createdAt = object.value(keyCreatedAt);
    const QJsonValue modifiedAt = object.value(keyModifiedAt);
    if (!timeFrom.isString())
        return QStringLiteral("Invalid data for activity(1)!");
    if (!timeTo.isString())
        return QStringLiteral("Invalid data for activity(2)!");
    if (!createdAt.isString())
        return QStringLiteral("Invalid data for activity(3)!");
    if (!modifiedAt.isString())
        return QStringLiteral("Invalid data for activity(4)!");
    const QJsonValue uid = object.value(keyUid);
    if (!uid.isString() || uid.toString().isEmpty())
        return QStringLiteral("No UID for activity!");
    record.uid = uid.toString();
    record.timeFrom = SyncDate::fromString(timeFrom.toString());
    if (!record.timeFrom.isValid())
        return QStringLiteral("No start time for activity!");
    record.timeTo = SyncDate::fromString(timeTo.toString());
    if (!record.timeTo.isValid())
        return QStringLiteral("No end time for activity!");
    if (DateHelpers::compareBySeconds(record.timeFrom, record.timeTo) > 0)
        return QStringLiteral("Start time for activity is greater than end time");
    record.createdAt = SyncDate::fromString(createdAt.toString());
    if (!record.createdAt.isValid())
        return QStringLiteral("No 'created at' time for activity!");
    record.modifiedAt = SyncDate::fromString(modifiedAt.toString());
    if (!record.modifiedAt.isValid())
        return QStringLiteral("No 'modified at' time for activity!");
    const QJsonValue text = object.value(keyText);
    if (!text.isString() || text.toString().isEmpty())
        return QStringLiteral("No text for activity!");
    record.text = text.toString();
    const QJsonValue invoiced = object.value(keyInvoiced);
    if (!invoiced.isBool() && !invoiced.isDouble())
        return QStringLiteral("Invalid invoiced value for activity!");
    const double number =
        invoiced.isBool() ? (invoiced.toBool() ? 1.0 : 0.0) : std::trunc(invoiced.toDouble());
    if (number != 0.0 && number != 1.0)
        return QStringLiteral("Invalid invoiced value for activity (0/1)!");
    record.isInvoiced = number == 1.0;
    return {};
}

QString orNull(const QJsonValue &value)
{
    if (value.isString())
        return value.toString();
    if (value.isUndefined() || value.isNull())
        return QStringLiteral("(null)");
    return QString::fromUtf8(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact))
        .mid(1)
        .chopped(1);
}

QJsonObject activityObject(const SyncActivityRecord &record)
{
    return QJsonObject{{keyUid, record.uid},
                       {keyText, record.text},
                       {keyTimeFrom, SyncDate::toString(record.timeFrom)},
                       {keyTimeTo, SyncDate::toString(record.timeTo)},
                       {keyCreatedAt, SyncDate::toString(record.createdAt)},
                       {keyModifiedAt, SyncDate::toString(record.modifiedAt)},
                       {keyInvoiced, record.isInvoiced}};
}

} // namespace

SyncJson::MonthFile SyncJson::readMonthFile(const QByteArray &json)
{
    MonthFile result;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        result.error = QStringLiteral("Failed to load json file. %1").arg(parseError.errorString());
        return result;
    }
    if (!document.isArray()) {
        result.error = QStringLiteral("Failed to load json file. The file holds no list of activities.");
        return result;
    }
    const QJsonArray array = document.array();
    result.activities.reserve(array.size());
    for (const QJsonValue &value : array) {
        SyncActivityRecord record;
        const QString error = readElement(value, record);
        if (!error.isEmpty()) {
            result.activities.clear();
            result.error = error;
            return result;
        }
        result.activities.append(std::move(record));
    }
    return result;
}

SyncJson::MonthFile SyncJson::readMonthFileAt(const QString &path)
{
    QString description;
    const std::optional<QByteArray> content = readFile(path, &description);
    if (!content) {
        MonthFile result;
        result.error = QStringLiteral("Failed to load json file. %1").arg(description);
        return result;
    }
    return readMonthFile(*content);
}

SyncJson::DeletedIndex SyncJson::readDeletedIndex(const QByteArray &json,
                                                  const std::function<void(const QString &)> &log)
{
    DeletedIndex result;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        result.error = QStringLiteral("Failed to read deleted.json %1").arg(parseError.errorString());
        return result;
    }
    if (!document.isArray()) {
        result.error = QStringLiteral("deleted.json does not contain array of items!");
        return result;
    }
    const QJsonArray array = document.array();
    QList<ActivityHashItem> entries;
    entries.reserve(array.size());
    for (const QJsonValue &value : array) {
        if (!value.isObject())
            return result;
        const QJsonObject object = value.toObject();
        const QJsonValue uid = object.value(keyUid);
        const QJsonValue deletedAt = object.value(keyDeletedAt);
        if (!uid.isString() || !deletedAt.isString()) {
            if (log)
                log(QStringLiteral("Invalid deleted.json entity (uid: %1; deleted_at: %2).")
                        .arg(orNull(uid), orNull(deletedAt)));
            return result;
        }
        const QDateTime date = SyncDate::fromString(deletedAt.toString());
        if (!date.isValid()) {
            if (log)
                log(QStringLiteral("Invalid date for deleted.json entity (uid: %1; deleted_at: %2).")
                        .arg(orNull(uid), orNull(deletedAt)));
            return result;
        }
        entries.append(ActivityHashItem(uid.toString(), date));
    }
    result.entries = std::move(entries);
    return result;
}

SyncJson::DeletedIndex SyncJson::readDeletedIndexAt(const QString &path,
                                                    const std::function<void(const QString &)> &log)
{
    QString description;
    const std::optional<QByteArray> content = readFile(path, &description);
    if (!content) {
        DeletedIndex result;
        result.error = QStringLiteral("Failed to read deleted.json %1").arg(description);
        return result;
    }
    return readDeletedIndex(*content, log);
}

QByteArray SyncJson::monthFileJson(const QList<Activity *> &activities)
{
    QJsonArray array;
    for (const Activity *activity : activities) {
        array.append(
            activityObject({activity->uid(), activity->text(), activity->timeFrom(), activity->timeTo(),
                            activity->createdAt(), activity->modifiedAt(), activity->isInvoiced()}));
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

QByteArray SyncJson::monthFileJson(const QList<SyncActivityRecord> &activities)
{
    QJsonArray array;
    for (const SyncActivityRecord &record : activities)
        array.append(activityObject(record));
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

QByteArray SyncJson::deletedIndexJson(const QList<DeletedActivity *> &tombstones)
{
    QJsonArray array;
    for (const DeletedActivity *tombstone : tombstones) {
        array.append(QJsonObject{{keyUid, tombstone->uid()},
                                 {keyDeletedAt, SyncDate::toString(tombstone->deletedAt())}});
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

std::optional<QByteArray> SyncJson::readFile(const QString &path, QString *errorDescription)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *errorDescription = file.errorString();
        return std::nullopt;
    }
    if (file.size() > maxFileSize) {
        *errorDescription =
            QStringLiteral("The file is larger than %1 MiB.").arg(maxFileSize / (1024 * 1024));
        return std::nullopt;
    }
    QByteArray content = file.read(maxFileSize + 1);
    if (content.size() > maxFileSize) {
        *errorDescription =
            QStringLiteral("The file is larger than %1 MiB.").arg(maxFileSize / (1024 * 1024));
        return std::nullopt;
    }
    if (file.error() != QFileDevice::NoError) {
        *errorDescription = file.errorString();
        return std::nullopt;
    }
    return content;
}

bool SyncJson::writeFile(const QString &path, const QByteArray &content, QString *errorDescription)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit()) {
        *errorDescription = file.errorString();
        return false;
    }
    return true;
}
