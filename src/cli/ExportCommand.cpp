#include "ExportCommand.h"

#include "ActivityExporter.h"
#include "ActivityFilterOptions.h"
#include "CliSession.h"
#include "CliStatus.h"
#include "VerbArguments.h"
#include "report/ReportQuery.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString Verb = QStringLiteral("export");

std::optional<int> exportFormatNamed(const QString &name)
{
    if (name == u"csv")
        return ActivityExporter::CSV;
    if (name == u"xml")
        return ActivityExporter::XML;
    return std::nullopt;
}

// Why the file cannot be written, where that can be told before writing; empty otherwise.
QString outputProblem(const QFileInfo &output)
{
    if (output.isDir())
        return QStringLiteral("%1 is a folder").arg(QDir::toNativeSeparators(output.filePath()));
    const QFileInfo folder(output.absolutePath());
    if (!folder.isDir())
        return QStringLiteral("the folder %1 does not exist")
            .arg(QDir::toNativeSeparators(folder.absoluteFilePath()));
    return {};
}

} // namespace

int ExportCommand::run(const QStringList &arguments)
{
    VerbArguments verb(Verb, QStringLiteral("--format csv|xml --output FILE [options]"),
                       QStringLiteral("Writes the activities a report with the same options would list "
                                      "(the current week by default) to a file, newest first."));
    const QCommandLineOption formatOption(
        QStringLiteral("format"),
        QStringLiteral("CSV with the stored columns and separator, or XML with the stored fields. "
                       "Default: the format of the last export."),
        QStringLiteral("csv|xml"));
    const QCommandLineOption outputOption(QStringList{QStringLiteral("output"), QStringLiteral("o")},
                                          QStringLiteral("The file to write; it is replaced as a whole."),
                                          QStringLiteral("FILE"));
    verb.parser().addOptions({formatOption, outputOption});
    ActivityFilterOptions filterOptions;
    filterOptions.addTo(verb.parser());
    verb.setHelpEpilogue(QStringLiteral(
        "The CSV columns, the CSV separator and the added XML fields are the settings csv_row_format,\n"
        "csvFieldSeparator and xml_properties (see 'pendulo settings --help').\n"));

    if (const std::optional<int> status = verb.parse(arguments))
        return *status;
    if (const std::optional<int> status = verb.expectPositional(0, 0))
        return *status;

    std::optional<int> format;
    if (verb.parser().isSet(formatOption)) {
        format = exportFormatNamed(verb.parser().value(formatOption));
        if (!format)
            return CliStatus::fail(Verb,
                                   QStringLiteral("invalid --format \"%1\" (use csv or xml)")
                                       .arg(verb.parser().value(formatOption)),
                                   CliStatus::UsageError);
    }
    const QString outputPath = verb.parser().value(outputOption);
    if (outputPath.isEmpty())
        return CliStatus::fail(Verb, QStringLiteral("missing --output FILE"), CliStatus::UsageError);
    QString error;
    if (!filterOptions.read(verb.parser(), &error))
        return CliStatus::fail(Verb, error, CliStatus::UsageError);

    const QFileInfo output(outputPath);
    const QString problem = outputProblem(output);
    if (!problem.isEmpty())
        return CliStatus::fail(
            Verb, QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(outputPath), problem),
            CliStatus::Failure);

    CliSession session;
    Context *context = session.mainContext(&error);
    if (!context)
        return CliStatus::fail(Verb, error, CliStatus::Failure);
    ReportFilter filter;
    if (!filterOptions.resolve(*context, &filter, &error))
        return CliStatus::fail(Verb, error, CliStatus::Failure);

    PdError queryError;
    const QList<Activity *> activities = ReportQuery::activities(*context, filter, &queryError);
    if (queryError)
        return CliStatus::fail(Verb, queryError.description, CliStatus::Failure);

    const int chosenFormat = format.value_or(session.settings().defaultActivityExportFormat());
    const QString message = ActivityExporter::exportActivities(activities, output.absoluteFilePath(),
                                                               chosenFormat, session.exportFormats());
    if (!message.isNull())
        return CliStatus::fail(Verb,
                               QStringLiteral("%1 (%2)").arg(message, QDir::toNativeSeparators(outputPath)),
                               CliStatus::Failure);
    CliStatus::print(QStringLiteral("Exported %1 activities to %2\n")
                         .arg(activities.size())
                         .arg(QDir::toNativeSeparators(outputPath)));
    return CliStatus::Success;
}
