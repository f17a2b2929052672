#pragma once

#include <QStringList>

// `pendulo import FILE.xml`: reads an XML export into a temporary store, as the import preview does,
// then copies every activity into the user's store: one with a stored uid overwrites that activity,
// the others are added. With --dry-run it only lists them.
class ImportCommand
{
public:
    static int run(const QStringList &arguments);
};
