#include "ActivityXMLReader.h"

#include "Activity.h"
#include "ImportStore.h"
#include "UnicodeDatePattern.h"
#include "store/Context.h"

#include <QFile>
#include <QXmlStreamReader>

namespace {

const QString DateTimePattern = QStringLiteral("yyy-MM-dd'T'HH:mm:ss");

ActivityXMLReader::Result failure(ActivityXMLReader::Status status, const QString &message)
{
    ActivityXMLReader::Result result;
    result.status = status;
    result.message = message;
    return result;
}

// The later instant with the same local wall-clock reading, in the hour that happens twice when clocks go
// back; invalid for any other time.
QDateTime laterOccurrence(const QDateTime &moment)
{
    for (int minutes = 15; minutes <= 180; minutes += 15) {
        const QDateTime candidate = moment.addSecs(minutes * 60);
        if (candidate.time() == moment.time() && candidate.date() == moment.date())
            return candidate;
    }
    return QDateTime();
}

} // namespace

ActivityXMLReader::Result ActivityXMLReader::readFile(const QString &filePath)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return failure(Status::Unreadable,
                       QStringLiteral("Cannot read %1: %2").arg(filePath, file.errorString()));
    // Read from the file in pieces rather than all at once: a large file is not held in memory twice
    // (as bytes and as decoded text).
    QXmlStreamReader reader(&file);
    Result result = read(reader);
    if (file.error() != QFileDevice::NoError)
        return failure(Status::Unreadable,
                       QStringLiteral("Cannot read %1: %2").arg(filePath, file.errorString()));
    return result;
}

ActivityXMLReader::Result ActivityXMLReader::readData(const QByteArray &data)
{
    QXmlStreamReader reader(data);
    return read(reader);
}

ActivityXMLReader::Result ActivityXMLReader::read(QXmlStreamReader &reader)
{
    const UnicodeDatePattern pattern(DateTimePattern);
    Result result;
    bool sawRoot = false;
    bool rootIsActivities = false;
    int activityElements = 0;

    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::DTD) {
            if (!reader.entityDeclarations().isEmpty() ||
                reader.text().contains(QLatin1StringView("<!ENTITY")))
                return failure(Status::EntitiesRejected,
                               QStringLiteral("The file declares XML entities, which are not accepted."));
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (!sawRoot) {
            sawRoot = true;
            rootIsActivities = reader.name() == u"activities";
            if (!rootIsActivities)
                reader.skipCurrentElement();
            continue;
        }
        // Direct children of the root only.
        if (reader.name() != u"activity") {
            reader.skipCurrentElement();
            continue;
        }
        ++activityElements;
        const QXmlStreamAttributes attributes = reader.attributes();
        Record record;
        record.uid = attributes.value(QLatin1StringView("uid")).trimmed().toString();
        record.invoiced = attributes.value(QLatin1StringView("invoiced")) == u"1";
        record.timeFrom = attributes.hasAttribute(QLatin1StringView("from"))
                              ? pattern.parse(attributes.value(QLatin1StringView("from")).toString())
                              : QDateTime();
        record.timeTo = attributes.hasAttribute(QLatin1StringView("to"))
                            ? pattern.parse(attributes.value(QLatin1StringView("to")).toString())
                            : QDateTime();
        // Files carry local times without offset: an end in the repeated hour that reads as lying before
        // the start means its second occurrence.
        if (record.timeFrom.isValid() && record.timeTo.isValid() && record.timeTo <= record.timeFrom) {
            const QDateTime later = laterOccurrence(record.timeTo);
            if (later.isValid() && later > record.timeFrom)
                record.timeTo = later;
        }
        record.text = reader.readElementText(QXmlStreamReader::IncludeChildElements);
        if (record.timeFrom.isValid() && record.timeTo.isValid())
            result.records.append(record);
        else
            ++result.skipped;
    }

    if (reader.hasError()) {
        return failure(Status::NotXml, QStringLiteral("Not a well-formed XML file (line %1, column %2: %3)")
                                           .arg(reader.lineNumber())
                                           .arg(reader.columnNumber())
                                           .arg(reader.errorString()));
    }
    if (!sawRoot)
        return failure(Status::NotXml, QStringLiteral("Not an XML file: it has no root element"));
    if (!rootIsActivities)
        return failure(Status::WrongRoot, QStringLiteral("The file's root element is not \"activities\""));
    if (activityElements == 0)
        return failure(Status::NoActivities, QStringLiteral("The file holds no \"activity\" element"));
    return result;
}

QList<Activity *> ActivityXMLReader::insertRecords(const QList<Record> &records, Context &context,
                                                   PdError *saveError)
{
    QList<Activity *> activities;
    activities.reserve(records.size());
    for (const Record &record : records) {
        Activity *activity = context.insertActivity();
        if (!record.uid.isEmpty())
            activity->setUid(record.uid);
        activity->setInvoiced(record.invoiced);
        activity->setTimeFrom(record.timeFrom);
        activity->setTimeTo(record.timeTo);
        activity->setText(record.text);
        activities.append(activity);
    }
    PdError error;
    if (!context.save(&error) && saveError)
        *saveError = error;
    return activities;
}

ActivityXMLReader::Result ActivityXMLReader::importActivitiesFromFile(const QString &filePath,
                                                                      ImportStore &importStore)
{
    Result result = readFile(filePath);
    if (!result.ok())
        return result;
    PdError storeError;
    if (!importStore.ensurePersistentStore(&storeError)) {
        Result failed = failure(Status::StoreFailed, storeError.toString());
        failed.saveError = storeError;
        return failed;
    }
    result.activities =
        insertRecords(result.records, *importStore.importManagedObjectContext(), &result.saveError);
    return result;
}
