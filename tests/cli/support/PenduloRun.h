#pragma once

#include <QString>
#include <QStringList>

// One run of the real `pendulo` program with the test's environment: exit status and what it printed.
struct PenduloRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs `pendulo` with the arguments and waits up to a minute; a run that does not finish normally has
// exit code -1 and says why in `err`.
PenduloRun runPendulo(const QStringList &arguments);
