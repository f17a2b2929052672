#include "ReportCommand.h"

#include "ActivityFilterOptions.h"
#include "CliSession.h"
#include "CliStatus.h"
#include "PDDurationTransformer.h"
#include "ReportTable.h"
#include "VerbArguments.h"
#include "report/ReportQuery.h"

namespace {

const QString Verb = QStringLiteral("report");

std::optional<int> durationFormatNamed(const QString &name)
{
    if (name == u"formatted")
        return PDDurationTransformer::Formatted;
    if (name == u"minutes")
        return PDDurationTransformer::Minutes;
    if (name == u"decimal")
        return PDDurationTransformer::DecimalHours;
    return std::nullopt;
}

} // namespace

int ReportCommand::run(const QStringList &arguments)
{
    VerbArguments verb(Verb, QStringLiteral("[options]"),
                       QStringLiteral("Lists the activities of a period, newest first, and their total "
                                      "duration. Without options: the current week."));
    ActivityFilterOptions filterOptions;
    filterOptions.addTo(verb.parser());
    const QCommandLineOption durationOption(
        QStringLiteral("duration-format"),
        QStringLiteral("Durations as hours:minutes:seconds (formatted), whole minutes (minutes) or decimal "
                       "hours (decimal). Default: the report window's setting."),
        QStringLiteral("formatted|minutes|decimal"));
    verb.parser().addOption(durationOption);
    verb.setHelpEpilogue(QStringLiteral(
        "An activity is listed when it overlaps the period. Several --project options list the activities\n"
        "of any of them; several --task options those with any of the tasks; both together, activities\n"
        "that match both. Invoiced activities are marked [Invoiced].\n"));

    if (const std::optional<int> status = verb.parse(arguments))
        return *status;
    if (const std::optional<int> status = verb.expectPositional(0, 0))
        return *status;

    QString error;
    if (!filterOptions.read(verb.parser(), &error))
        return CliStatus::fail(Verb, error, CliStatus::UsageError);

    std::optional<int> chosenFormat;
    if (verb.parser().isSet(durationOption)) {
        chosenFormat = durationFormatNamed(verb.parser().value(durationOption));
        if (!chosenFormat)
            return CliStatus::fail(Verb,
                                   QStringLiteral("invalid --duration-format \"%1\" (use formatted, minutes "
                                                  "or decimal)")
                                       .arg(verb.parser().value(durationOption)),
                                   CliStatus::UsageError);
    }

    CliSession session;
    const int durationFormat = chosenFormat.value_or(session.settings().reportDurationFormat());
    Context *context = session.mainContext(&error);
    if (!context)
        return CliStatus::fail(Verb, error, CliStatus::Failure);
    ReportFilter filter;
    if (!filterOptions.resolve(*context, &filter, &error))
        return CliStatus::fail(Verb, error, CliStatus::Failure);

    PdError queryError;
    const ReportRows rows = ReportQuery::rows(*context, filter, &queryError);
    if (queryError)
        return CliStatus::fail(Verb, queryError.description, CliStatus::Failure);

    const PDDurationTransformer durations(durationFormat);
    QString output;
    if (!rows.isEmpty())
        output += ReportTable::text(rows, durations);
    else
        output += QStringLiteral("No activities.\n");
    output += ReportTable::totalLine(rows, durations);
    CliStatus::print(output);
    return CliStatus::Success;
}
