#include "SettingsCommand.h"

#include "CliSession.h"
#include "CliStatus.h"
#include "FieldCodeList.h"
#include "SettingsTable.h"
#include "VerbArguments.h"

namespace {

const QString Verb = QStringLiteral("settings");

QString keysHelp(const SettingsTable &table)
{
    qsizetype width = 0;
    for (const SettingsTable::Entry &entry : table.entries())
        width = std::max(width, entry.key.size());
    QString text = QStringLiteral("Settings:\n");
    for (const SettingsTable::Entry &entry : table.entries()) {
        text += QStringLiteral("  %1  %2%3\n")
                    .arg(entry.key.leftJustified(width), entry.values,
                         entry.isReadOnly() ? QStringLiteral(" (read only)") : QString());
    }
    return text;
}

QString epilogue(const SettingsTable &table)
{
    return keysHelp(table) +
           QStringLiteral(
               "\nBooleans take true/false, yes/no, on/off or 1/0. Values out of range are normalised as "
               "the\n"
               "program does (the value stored is printed). Settings read at start take effect the next\n"
               "time the desktop program starts.\n"
               "\ncsv_row_format lists the CSV columns as field codes separated by commas; \"default\"\n"
               "restores the default columns. xml_properties lists the XML attributes added to the fixed\n"
               "uid, invoiced, from and to as NAME=CODE separated by commas (names other than uid, from\n"
               "and to; spaces inside become \"-\"). A code of another field type is written TYPE:CODE\n"
               "(types 100 date, 200 duration, 400 activity). Field codes:\n") +
           FieldCodeList::codesHelp() +
           QStringLiteral("\nExamples:\n"
                          "  pendulo settings recentItemsCount 20\n"
                          "  pendulo settings csv_row_format \"110, 120, 170, 301, 401, 400\"\n"
                          "  pendulo settings xml_properties \"project=401, tasks=402\"\n");
}

int list(const SettingsTable &table)
{
    QString output;
    for (const SettingsTable::Entry &entry : table.entries())
        output += QStringLiteral("%1 = %2\n").arg(entry.key, entry.read());
    CliStatus::print(output);
    return CliStatus::Success;
}

} // namespace

int SettingsCommand::run(const QStringList &arguments)
{
    VerbArguments verb(Verb, QStringLiteral("[KEY [VALUE]]"),
                       QStringLiteral("Lists every setting with its value, shows one setting, or sets one."));
    verb.parser().addPositionalArgument(QStringLiteral("KEY"), QStringLiteral("The setting to show or set."),
                                        QStringLiteral("[KEY"));
    verb.parser().addPositionalArgument(QStringLiteral("VALUE"), QStringLiteral("The new value."),
                                        QStringLiteral("[VALUE]]"));

    CliSession session;
    SettingsTable table(session.settings(), session.exportFormats());
    verb.setHelpEpilogue(epilogue(table));

    if (const std::optional<int> status = verb.parse(arguments))
        return *status;
    if (const std::optional<int> status = verb.expectPositional(0, 2))
        return *status;

    const QStringList positional = verb.parser().positionalArguments();
    if (positional.isEmpty())
        return list(table);

    const SettingsTable::Entry *entry = table.find(positional.at(0));
    if (!entry)
        return CliStatus::fail(
            Verb,
            QStringLiteral("unknown setting \"%1\"; see 'pendulo settings --help'").arg(positional.at(0)),
            CliStatus::UsageError);
    if (positional.size() == 1) {
        CliStatus::print(entry->read() + QLatin1Char('\n'));
        return CliStatus::Success;
    }

    if (entry->isReadOnly())
        return CliStatus::fail(Verb, QStringLiteral("%1 is read only (%2)").arg(entry->key, entry->values),
                               CliStatus::Failure);
    const QString problem = entry->write(positional.at(1));
    if (!problem.isEmpty())
        return CliStatus::fail(
            Verb,
            QStringLiteral("invalid value \"%1\" for %2: %3").arg(positional.at(1), entry->key, problem),
            CliStatus::UsageError);
    CliStatus::print(QStringLiteral("%1 = %2\n").arg(entry->key, entry->read()));
    return CliStatus::Success;
}
