#include "CommandLine.h"

#include "CliStatus.h"
#include "DropboxCommand.h"
#include "ExportCommand.h"
#include "ImportCommand.h"
#include "ReportCommand.h"
#include "SettingsCommand.h"
#include "SyncCommand.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QStringList>

namespace {

struct Verb
{
    const char *name;
    int (*run)(const QStringList &arguments);
    const char *summary;
};

constexpr Verb Verbs[] = {
    {"report", ReportCommand::run, "List the activities of a period and their total"},
    {"export", ExportCommand::run, "Write activities to a CSV or XML file"},
    {"import", ImportCommand::run, "Import the activities of an XML file"},
    {"settings", SettingsCommand::run, "List, show or change settings"},
    {"dropbox", DropboxCommand::run, "Connect or disconnect Dropbox, or show the connection"},
    {"sync", SyncCommand::run, "Sync the activities with Dropbox once"},
};

const Verb *verbNamed(const QString &name)
{
    for (const Verb &verb : Verbs) {
        if (name == QLatin1StringView(verb.name))
            return &verb;
    }
    return nullptr;
}

bool isHelp(const QString &argument)
{
    return argument == u"--help" || argument == u"-h" || argument == u"help";
}

bool isVersion(const QString &argument)
{
    return argument == u"--version" || argument == u"-v";
}

QString programHelp()
{
    QString text = QStringLiteral("Usage: pendulo [COMMAND [options]]\n\n"
                                  "Pendulo tracks the time you spend on activities. Without a command it "
                                  "starts the desktop program;\nwith one it works on your activities and "
                                  "settings without a display.\n\nCommands:\n");
    for (const Verb &verb : Verbs)
        text += QStringLiteral("  %1  %2\n")
                    .arg(QLatin1StringView(verb.name).toString().leftJustified(8),
                         QLatin1StringView(verb.summary));
    text += QStringLiteral("\n  pendulo COMMAND --help   shows a command's options.\n"
                           "  pendulo --version        shows the version.\n\n"
                           "Exit status: 0 done, 1 the command failed, 2 the command line is wrong.\n");
    return text;
}

} // namespace

bool CommandLine::handles(int argc, char *argv[])
{
    if (argc < 2)
        return false;
    const QString first = QString::fromLocal8Bit(argv[1]);
    if (verbNamed(first) || isHelp(first) || isVersion(first))
        return true;
    // A bare word that is neither the helper's launch argument nor an address is a misspelt command:
    // answer it here rather than starting the desktop program.
    return !first.isEmpty() && !first.startsWith(u'-') && !first.contains(u':') &&
           first != u"launchFromHelper";
}

int CommandLine::run(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Pendulo"));
    QCoreApplication::setOrganizationName(QStringLiteral("Pendulo"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PENDULO_VERSION));
    // Failures are reported as one line each; the program's own log stays quiet unless QT_LOGGING_RULES
    // asks for it.
    QLoggingCategory::setFilterRules(QStringLiteral("pendulo.*=false"));

    QStringList arguments = QCoreApplication::arguments().mid(1);
    const QString first = arguments.isEmpty() ? QString() : arguments.takeFirst();

    if (isVersion(first)) {
        CliStatus::print(QStringLiteral("pendulo %1\n").arg(QCoreApplication::applicationVersion()));
        return CliStatus::Success;
    }
    if (isHelp(first)) {
        // "pendulo help VERB" is "pendulo VERB --help".
        if (!arguments.isEmpty()) {
            if (const Verb *verb = verbNamed(arguments.constFirst()))
                return verb->run({QStringLiteral("--help")});
        }
        CliStatus::print(programHelp());
        return CliStatus::Success;
    }
    if (const Verb *verb = verbNamed(first))
        return verb->run(arguments);
    return CliStatus::fail(QString(),
                           QStringLiteral("'%1' is not a command; see 'pendulo --help'").arg(first),
                           CliStatus::UsageError);
}
