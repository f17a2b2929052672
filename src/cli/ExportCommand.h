#pragma once

#include <QStringList>

// `pendulo export`: writes the activities a report would list to a CSV or XML file in the user's
// export formats, through the same export code as the report window.
class ExportCommand
{
public:
    static int run(const QStringList &arguments);
};
