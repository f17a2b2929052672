#include "ImportCommand.h"

#include "Activity.h"
#include "ActivityImporter.h"
#include "ActivityXMLReader.h"
#include "CliSession.h"
#include "CliStatus.h"
#include "ImportStore.h"
#include "PDDurationTransformer.h"
#include "ReportTable.h"
#include "VerbArguments.h"
#include "report/ReportQuery.h"
#include "store/Context.h"

#include <QDir>
#include <QSet>

namespace {

const QString Verb = QStringLiteral("import");

// The file's problem as one line, naming the file.
QString readProblem(const ActivityXMLReader::Result &result, const QString &filePath)
{
    const QString file = QDir::toNativeSeparators(filePath);
    switch (result.status) {
    case ActivityXMLReader::Status::Unreadable:
        return result.message.isEmpty() ? QStringLiteral("cannot read %1").arg(file) : result.message;
    case ActivityXMLReader::Status::NotXml:
        return QStringLiteral("%1 is not an XML file (%2)").arg(file, result.message);
    case ActivityXMLReader::Status::EntitiesRejected:
        return QStringLiteral("%1: %2").arg(file, result.message);
    case ActivityXMLReader::Status::WrongRoot:
        return QStringLiteral("%1 is not an activities file (its root element is not \"activities\")")
            .arg(file);
    case ActivityXMLReader::Status::StoreFailed:
        return QStringLiteral("cannot make the temporary import store: %1").arg(result.message);
    case ActivityXMLReader::Status::NoActivities:
    case ActivityXMLReader::Status::Ok:
        break;
    }
    return {};
}

// How many of the activities overwrite an activity: one stored already, or one copied before them.
int countOverwriting(const QList<Activity *> &activities, Context &mainContext)
{
    int overwriting = 0;
    QSet<QString> copied;
    for (const Activity *activity : activities) {
        if (copied.contains(activity->uid()) || mainContext.activityWithUid(activity->uid()))
            ++overwriting;
        copied.insert(activity->uid());
    }
    return overwriting;
}

} // namespace

int ImportCommand::run(const QStringList &arguments)
{
    VerbArguments verb(Verb, QStringLiteral("[options] FILE.xml"),
                       QStringLiteral("Imports the activities of an XML export: an activity whose uid is "
                                      "stored already is overwritten, any other is added."));
    verb.parser().addPositionalArgument(QStringLiteral("FILE.xml"),
                                        QStringLiteral("The XML file to import."));
    const QCommandLineOption dryRunOption(QStringLiteral("dry-run"),
                                          QStringLiteral("List what would be imported and change nothing."));
    verb.parser().addOption(dryRunOption);
    verb.setHelpEpilogue(QStringLiteral(
        "The file's root element is \"activities\" with one \"activity\" element per activity; its\n"
        "attributes uid, invoiced, from and to and its text are imported. Elements without a valid\n"
        "\"from\" or \"to\" are skipped (with a warning).\n"));

    if (const std::optional<int> status = verb.parse(arguments))
        return *status;
    if (const std::optional<int> status = verb.expectPositional(1, 1))
        return *status;
    const QString filePath = verb.parser().positionalArguments().constFirst();
    const bool dryRun = verb.parser().isSet(dryRunOption);

    // The file is checked completely before the store is touched.
    ActivityXMLReader::Result read = ActivityXMLReader::readFile(filePath);
    if (read.status != ActivityXMLReader::Status::Ok &&
        read.status != ActivityXMLReader::Status::NoActivities)
        return CliStatus::fail(Verb, readProblem(read, filePath), CliStatus::Failure);
    if (read.skipped > 0)
        CliStatus::fail(Verb,
                        QStringLiteral("warning: skipped %1 \"activity\" elements without a valid \"from\" "
                                       "or \"to\"")
                            .arg(read.skipped),
                        CliStatus::Success);

    CliSession session;
    ImportStore importStore(session.clock());
    importStore.setRemoveFilesOnDestruction(true);
    PdError storeError;
    if (!importStore.ensurePersistentStore(&storeError))
        return CliStatus::fail(
            Verb, QStringLiteral("cannot make the temporary import store: %1").arg(storeError.description),
            CliStatus::Failure);
    Context &importContext = *importStore.importManagedObjectContext();
    PdError insertError;
    ActivityXMLReader::insertRecords(read.records, importContext, &insertError);
    if (insertError)
        return CliStatus::fail(Verb,
                               QStringLiteral("%1 holds activities that cannot be stored: %2")
                                   .arg(QDir::toNativeSeparators(filePath), insertError.description),
                               CliStatus::Failure);

    // The preview's list: every activity of the file, newest first.
    PdError queryError;
    const ReportRows rows = ReportQuery::rows(importContext, ReportFilter(), &queryError);
    const QList<Activity *> activities = ReportQuery::activitiesOf(importContext, rows, &queryError);
    if (queryError)
        return CliStatus::fail(Verb, queryError.description, CliStatus::Failure);

    QString error;
    ObjectStore *mainStore = session.store(&error);
    if (!mainStore)
        return CliStatus::fail(Verb, error, CliStatus::Failure);

    if (dryRun) {
        const int stored = countOverwriting(activities, *session.mainContext(&error));
        const PDDurationTransformer durations(session.settings().reportDurationFormat());
        QString output;
        if (!rows.isEmpty())
            output += ReportTable::text(rows, durations);
        output += QStringLiteral("Would import %1 activities (%2 new, %3 overwriting stored ones)\n")
                      .arg(activities.size())
                      .arg(activities.size() - stored)
                      .arg(stored);
        CliStatus::print(output);
        return CliStatus::Success;
    }

    const ActivityImporter::Result result = ActivityImporter::importActivities(activities, *mainStore);
    if (!result.ok())
        return CliStatus::fail(
            Verb, QStringLiteral("%1 %2").arg(ActivityImporter::resultText(result), result.error.description),
            CliStatus::Failure);
    CliStatus::print(ActivityImporter::resultText(result) + QLatin1Char('\n'));
    return CliStatus::Success;
}
