#pragma once

#include <QStringList>

// `pendulo dropbox connect --token TOKEN | status | disconnect`: connects the Dropbox account with an
// access token generated for Pendulo's Dropbox application (for machines without a browser), shows the
// connection and the last sync date, or disconnects.
class DropboxCommand
{
public:
    static int run(const QStringList &arguments);
};
