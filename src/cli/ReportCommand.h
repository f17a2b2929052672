#pragma once

#include <QStringList>

// `pendulo report`: lists the activities of a period, narrowed as the report window narrows them,
// newest first, with their total.
class ReportCommand
{
public:
    static int run(const QStringList &arguments);
};
