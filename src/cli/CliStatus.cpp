#include "CliStatus.h"

#include <cstdio>

namespace CliStatus {

int fail(const QString &verb, const QString &message, int status)
{
    QString line = verb.isEmpty() ? QStringLiteral("pendulo: ") : QStringLiteral("pendulo %1: ").arg(verb);
    // One line, whatever the message holds.
    line += QString(message).replace(QLatin1Char('\n'), QLatin1Char(' ')).trimmed();
    line += QLatin1Char('\n');
    std::fputs(line.toUtf8().constData(), stderr);
    std::fflush(stderr);
    return status;
}

void print(const QString &text)
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fflush(stdout);
}

} // namespace CliStatus
