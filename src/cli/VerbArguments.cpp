#include "VerbArguments.h"

#include "CliStatus.h"

VerbArguments::VerbArguments(const QString &verb, const QString &usage, const QString &description)
    : m_verb(verb)
    , m_usage(usage)
{
    m_parser.setApplicationDescription(description);
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.addHelpOption();
}

std::optional<int> VerbArguments::parse(const QStringList &arguments)
{
    QStringList withProgram = arguments;
    withProgram.prepend(QStringLiteral("pendulo"));
    if (!m_parser.parse(withProgram))
        return CliStatus::fail(m_verb, m_parser.errorText(), CliStatus::UsageError);
    if (m_parser.isSet(QStringLiteral("help"))) {
        CliStatus::print(helpText());
        return CliStatus::Success;
    }
    return std::nullopt;
}

std::optional<int> VerbArguments::expectPositional(qsizetype min, qsizetype max)
{
    const QStringList positional = m_parser.positionalArguments();
    if (positional.size() < min)
        return CliStatus::fail(m_verb,
                               QStringLiteral("missing argument; see 'pendulo %1 --help'").arg(m_verb),
                               CliStatus::UsageError);
    if (positional.size() > max)
        return CliStatus::fail(m_verb, QStringLiteral("unexpected argument \"%1\"").arg(positional.at(max)),
                               CliStatus::UsageError);
    return std::nullopt;
}

QString VerbArguments::helpText() const
{
    // The parser's own first line would read "pendulo [options] ...": put the verb in its place.
    QString text = m_parser.helpText();
    const qsizetype firstLineEnd = text.indexOf(QLatin1Char('\n'));
    text = QStringLiteral("Usage: pendulo %1 %2").arg(m_verb, m_usage) + text.mid(firstLineEnd);
    if (!m_epilogue.isEmpty())
        text += QLatin1Char('\n') + m_epilogue;
    if (!text.endsWith(QLatin1Char('\n')))
        text += QLatin1Char('\n');
    return text;
}
