#pragma once

#include "PdError.h"
#include "ReportFilter.h"
#include "ReportRow.h"

#include <QList>

class Activity;
class Context;

// The report's query over a context's connection: the saved activities that pass a filter, newest
// start first (equal starts: the later-made record first). Pending changes of the context are not
// seen; save first. Use on the context's thread only.
class ReportQuery
{
public:
    // The matching activities as plain values, with project name and task string.
    static ReportRows rows(Context &context, const ReportFilter &filter, PdError *error = nullptr);

    // The matching activities as objects of the context, in the same order.
    static QList<Activity *> activities(Context &context, const ReportFilter &filter,
                                        PdError *error = nullptr);

    // The objects of the context for rows read before, in row order; rows whose record is gone are skipped.
    static QList<Activity *> activitiesOf(Context &context, const ReportRows &rows, PdError *error = nullptr);
};
