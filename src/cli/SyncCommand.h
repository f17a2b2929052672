#pragma once

#include <QStringList>

// `pendulo sync`: one sync run with the configured method, its progress on stdout, its outcome, and a
// non-zero exit status when it fails.
class SyncCommand
{
public:
    static int run(const QStringList &arguments);
};
