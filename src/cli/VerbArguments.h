#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <optional>

// The arguments of one verb: its options, positional arguments and --help text.
class VerbArguments
{
public:
    // `usage` follows "pendulo VERB " in the help's first line, e.g. "[options] FILE".
    VerbArguments(const QString &verb, const QString &usage, const QString &description);

    QCommandLineParser &parser() { return m_parser; }
    const QString &verb() const { return m_verb; }

    // Text added after the options in --help.
    void setHelpEpilogue(const QString &text) { m_epilogue = text; }

    // Parses the arguments that follow the verb. Nothing when the command should go on; otherwise the
    // exit status after printing the help or reporting a usage error.
    std::optional<int> parse(const QStringList &arguments);

    // Expects between `min` and `max` positional arguments; otherwise reports the usage error.
    std::optional<int> expectPositional(qsizetype min, qsizetype max);

    QString helpText() const;

private:
    QString m_verb;
    QString m_usage;
    QString m_epilogue;
    QCommandLineParser m_parser;
};
